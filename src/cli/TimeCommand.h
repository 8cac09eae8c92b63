#pragma once
// "time check": reads the time from a time server and, with --set, corrects the clock as the
// program does.

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

// args: "time", "check", options. Returns 2 for a usage error.
int TimeCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out);

} // namespace qv
