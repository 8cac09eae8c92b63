#pragma once
// The command-line tool run in this process, with what it printed.
#include "cli/Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace qv::test {

struct TRun
{
    int Code;
    std::string Out, Err;
};

inline TRun Cli(std::vector<std::string> args)
{
    std::ostringstream o, e;
    const int rc = RunCli(std::move(args), o, e);
    return {rc, o.str(), e.str()};
}

} // namespace qv::test
