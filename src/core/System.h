#pragma once
// What the program asks of the operating system beyond files: its name and version for messages
// and the diagnostic file, versions of the components it relies on, powering off, setting the
// clock, and stopping the process at once.

#include <string>

namespace qv {

struct TOsVersion
{
    int Major = 0;
    int Minor = 0;
    std::string Build;    // the rest of the kernel release
    std::string Platform; // the kernel's name ("Linux")
};

class ISystem
{
public:
    virtual ~ISystem() = default;
    // The system's name as messages show it ("Debian GNU/Linux").
    virtual std::string OsName() = 0;
    virtual TOsVersion OsVersion() = 0;
    // Version of a component the program relies on ("pppd", "chat", "libcurl"); "???" when unknown.
    virtual std::string ComponentVersion(const std::string& component) = 0;
    // Asks the system to power off; returns an empty string on success, else the reason.
    virtual std::string PowerOff(bool force) = 0;
    // Sets the system clock (UTC day-fraction, milliseconds 0); true on success.
    virtual bool SetSystemClock(double utcDateTime) = 0;
    // Ends the process at once (a data file could not be read, a start-up failure).
    virtual void Halt(int exitCode) = 0;
};

} // namespace qv
