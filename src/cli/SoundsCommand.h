#pragma once
// "sounds" (list, play, export, import the named sounds) and "programs run" (a profile's programs
// of one start kind, for scripts).

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

int SoundsCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out);
int ProgramsCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace qv
