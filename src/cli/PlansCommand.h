#pragma once
// "plans list | add | set | remove | status" and "usage": the data plans of "PianiDati.dat" and the
// volume counted for them, from the command line.

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

int PlansCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);
int UsageCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);

} // namespace qv
