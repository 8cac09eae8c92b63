#include "cli/Cli.h"
#include "platform/linux/LinuxFileSystem.h"

#include <iostream>

int main(int argc, char** argv)
{
    // A command reads and writes a large file once and ends: large pages spare it thousands of
    // faults. The program, which stays in the tray, does without them: a large page partly used
    // stays resident whole.
    qv::UseLargePages();
    std::vector<std::string> args(argv + 1, argv + argc);
    return qv::RunCli(std::move(args), std::cout, std::cerr);
}
