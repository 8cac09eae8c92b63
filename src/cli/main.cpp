#include "cli/Cli.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return qv::RunCli(std::move(args), std::cout, std::cerr);
}
