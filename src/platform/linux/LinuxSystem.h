#pragma once
// The operating system as the program sees it on Linux: /etc/os-release, uname, component
// versions, systemctl for powering off, and the local-time clock.

#include "core/System.h"
#include "core/Time.h"

#include <string>
#include <vector>

namespace qv {

class TLinuxSystem : public ISystem
{
public:
    // root prefixes /etc/os-release (tests point it at a temporary tree).
    explicit TLinuxSystem(std::string root = "") : FRoot(std::move(root)) {}
    std::string OsName() override;
    TOsVersion OsVersion() override;
    std::string ComponentVersion(const std::string& component) override;
    std::string PowerOff(bool force) override;
    bool SetSystemClock(double utcDateTime) override;
    void Halt(int exitCode) override;

private:
    std::string FRoot;
};

// The NAME of an os-release text ("Linux" when missing).
std::string OsNameFromOsRelease(const std::string& text);
// Major, minor and the rest of a kernel release such as "6.1.0-18-amd64".
TOsVersion ParseKernelRelease(const std::string& sysname, const std::string& release);

// Runs a program (no shell) and returns its exit code, or -1 when it could not start; its
// standard output goes to output when given.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

class TSystemClock : public Clock
{
public:
    double Now() const override;
    double UtcNow() const override;
    std::int64_t TickCount() const override;
};

// Unix time (seconds, with fraction) <-> day-fraction date-time.
double UnixToDateTime(double unixSeconds);

} // namespace qv
