#pragma once
// quorvanta-cli: the program's data and rules from the command line.

#include <iosfwd>
#include <string>
#include <vector>

namespace qv {

// args without the program name; returns the exit code.
int RunCli(std::vector<std::string> args, std::ostream& out, std::ostream& err);

} // namespace qv
