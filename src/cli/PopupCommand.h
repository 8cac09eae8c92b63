#pragma once
// "popup users | groups | messages | send": the popup messages from the command line; an immediate
// send waits for its outcome.

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

int PopupCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);

} // namespace qv
