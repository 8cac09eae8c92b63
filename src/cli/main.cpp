#include "cli/Cli.h"
#include "platform/linux/LinuxFileSystem.h"

#include <iostream>

int main(int argc, char** argv)
{
    qv::UseLargePages();
    std::vector<std::string> args(argv + 1, argv + argc);
    return qv::RunCli(std::move(args), std::cout, std::cerr);
}
