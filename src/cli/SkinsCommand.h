#pragma once
// "skins list | export FILE | import FILE": the skins of "Skin.dat" from the command line.

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

int SkinsCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);

} // namespace qv
