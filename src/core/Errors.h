#pragma once
// The program's one exception type: it carries the Italian message (UTF-8) shown to the user.

#include <stdexcept>
#include <string>

namespace qv {

class EQvError : public std::runtime_error
{
public:
    explicit EQvError(const std::string& message) : std::runtime_error(message) {}
};

// Thrown by a test double of the process control when the program is asked to stop at once,
// so a test can observe the stop without ending the test process.
class EHaltRequested : public std::runtime_error
{
public:
    explicit EHaltRequested(int code) : std::runtime_error("halt"), Code(code) {}
    int Code;
};

} // namespace qv
