#include "platform/linux/LinuxSystem.h"

#include "core/Strings.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {

std::string OsNameFromOsRelease(const std::string& text)
{
    for (const std::string& raw : Split(text, '\n')) {
        const std::string line = Trim(raw);
        if (line.rfind("NAME=", 0) != 0)
            continue;
        std::string value = line.substr(5);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (!value.empty())
            return value;
    }
    return "Linux";
}

TOsVersion ParseKernelRelease(const std::string& sysname, const std::string& release)
{
    TOsVersion v;
    v.Platform = sysname;
    std::size_t i = 0;
    const auto number = [&](int& out) {
        out = 0;
        while (i < release.size() && release[i] >= '0' && release[i] <= '9')
            out = out * 10 + (release[i++] - '0');
    };
    number(v.Major);
    if (i < release.size() && release[i] == '.') {
        ++i;
        number(v.Minor);
    }
    if (i < release.size() && release[i] == '.')
        ++i;
    v.Build = release.substr(i);
    return v;
}

std::string TLinuxSystem::OsName()
{
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(FRoot + file);
        if (!in)
            continue;
        std::stringstream ss;
        ss << in.rdbuf();
        return OsNameFromOsRelease(ss.str());
    }
    return "Linux";
}

TOsVersion TLinuxSystem::OsVersion()
{
    utsname u{};
    if (::uname(&u) != 0)
        return {};
    return ParseKernelRelease(u.sysname, u.release);
}

int RunProgram(const std::vector<std::string>& argv, std::string* output)
{
    if (argv.empty())
        return -1;
    int pipeFd[2] = {-1, -1};
    if (output && ::pipe2(pipeFd, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(output ? pipeFd[1] : devnull, 1);
        ::dup2(devnull, 2);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (output) {
        ::close(pipeFd[1]);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(pipeFd[0], buf, sizeof buf)) > 0)
            output->append(buf, static_cast<std::size_t>(n));
        ::close(pipeFd[0]);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (!WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
}

std::string TLinuxSystem::ComponentVersion(const std::string& component)
{
    std::string out;
    int rc = -1;
    if (component == "pppd")
        rc = RunProgram({"pppd", "--version"}, &out);
    else if (component == "chat")
        rc = RunProgram({"chat", "-V"}, &out);
    else if (component == "libcurl")
        rc = RunProgram({"curl-config", "--version"}, &out);
    const std::string first = Trim(CutFrom(out, "\n"));
    if (rc < 0 || first.empty())
        return "???";
    return first;
}

std::string TLinuxSystem::PowerOff(bool force)
{
    std::vector<std::string> argv = {"systemctl", "poweroff"};
    if (force)
        argv.push_back("--force");
    const int rc = RunProgram(argv);
    if (rc == 0)
        return {};
    return rc < 0 ? "systemctl non disponibile" : "systemctl poweroff è terminato con il codice " + std::to_string(rc);
}

bool TLinuxSystem::SetSystemClock(double)
{
    // Setting the clock belongs to the time-service adapter; without it the request is refused.
    return false;
}

void TLinuxSystem::Halt(int exitCode)
{
    std::exit(exitCode);
}

double UnixToDateTime(double unixSeconds)
{
    return 25569.0 + unixSeconds / 86400.0;
}

double TSystemClock::UtcNow() const
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return UnixToDateTime(static_cast<double>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) /
                          1000.0);
}

double TSystemClock::Now() const
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    ::localtime_r(&secs, &local);
    return UnixToDateTime(static_cast<double>(ms) / 1000.0 + static_cast<double>(local.tm_gmtoff));
}

std::int64_t TSystemClock::TickCount() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace qv
