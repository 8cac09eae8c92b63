#pragma once
// The command-line tool run in this process, with what it printed.
#include "TestSupport.h"
#include "app/DataClasses.h"
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

// A connection of "Tiscali" (8 December 2026 21:30, ten minutes, 1234.5 lire) left in "Status.dat"
// by a program that stopped while counting.
inline void LeavePendingConnection(TDiskContext& ctx)
{
    TStandaloneStatus crashed(ctx.Services);
    crashed.SetFileName("Status.dat");
    crashed.SetStartTime(At(2026, 12, 8, 21, 30));
    crashed.SetTime(SecondsToDuration(600));
    crashed.SetCostoLire(1234.5);
    crashed.SetEntryName("Tiscali");
    crashed.Save();
}

} // namespace qv::test
