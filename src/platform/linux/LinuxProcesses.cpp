#include "platform/linux/LinuxProcesses.h"

#include "core/Shell.h"
#include "core/Strings.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qv {

namespace fs = std::filesystem;

namespace {

int PidfdOpen(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int PidfdSendSignal(int fd, int sig)
{
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, fd, sig, nullptr, 0));
}

// The threads that end stubborn programs, joined before the process exits.
class TTerminations
{
public:
    ~TTerminations() { Finish(); }
    void Add(std::thread t)
    {
        std::lock_guard lock(FMutex);
        FThreads.push_back(std::move(t));
    }
    void Finish()
    {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(FMutex);
            threads.swap(FThreads);
        }
        for (auto& t : threads)
            if (t.joinable())
                t.join();
    }

private:
    std::mutex FMutex;
    std::vector<std::thread> FThreads;
};

TTerminations& Terminations()
{
    static TTerminations t;
    return t;
}

class TLinuxProcess : public IProcess, public std::enable_shared_from_this<TLinuxProcess>
{
public:
    TLinuxProcess(pid_t pid, int pidfd, int killAfterMs) : FPid(pid), FFd(pidfd), FKillAfterMs(killAfterMs) {}
    ~TLinuxProcess() override
    {
        if (!Reaped(false) && FFd >= 0) {
            // Let go while it runs: a waiter collects it when it ends, so it never stays a zombie.
            std::thread([fd = FFd] {
                siginfo_t info{};
                while (::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(fd), &info, WEXITED) != 0 &&
                       errno == EINTR) {
                }
                ::close(fd);
            }).detach();
            return;
        }
        if (FFd >= 0)
            ::close(FFd);
    }
    bool Running() override
    {
        std::lock_guard lock(FMutex);
        return !ReapLocked(false);
    }
    std::string Terminate() override
    {
        {
            std::lock_guard lock(FMutex);
            if (ReapLocked(false))
                return {}; // it ended by itself: nothing to do
            if (SignalGroupLocked(SIGTERM) != 0)
                return errno == ESRCH ? std::string() : std::string(std::strerror(errno));
        }
        // A program that ignores SIGTERM gets SIGKILL; the wait runs beside the main loop.
        Terminations().Add(std::thread([self = shared_from_this()] {
            pollfd p{self->FFd, POLLIN, 0};
            if (::poll(&p, 1, self->FKillAfterMs) == 0) {
                std::lock_guard lock(self->FMutex);
                if (!self->ReapLocked(false))
                    self->SignalGroupLocked(SIGKILL);
            }
            self->Reaped(true);
        }));
        return {};
    }

private:
    bool Reaped(bool wait)
    {
        std::lock_guard lock(FMutex);
        return ReapLocked(wait);
    }
    // The program and everything it started in its group. While the program is not collected its
    // pid, and so its group's id, cannot belong to anyone else.
    int SignalGroupLocked(int sig)
    {
        const int rc = PidfdSendSignal(FFd, sig);
        if (rc == 0)
            ::kill(-FPid, sig);
        return rc;
    }
    // True when the process has ended (and it was collected).
    bool ReapLocked(bool wait)
    {
        if (FEnded)
            return true;
        siginfo_t info{};
        const int rc =
            ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(FFd), &info, WEXITED | (wait ? 0 : WNOHANG));
        if (rc == 0) {
            if (info.si_pid != 0)
                FEnded = true;
        } else if (errno == ECHILD) {
            FEnded = true; // collected elsewhere
        }
        return FEnded;
    }
    pid_t FPid;
    int FFd;
    int FKillAfterMs;
    bool FEnded = false;
    std::mutex FMutex;
};

// The program named without a folder, looked up through PATH.
std::string FindInPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    for (const std::string& dir : Split(path ? path : "/usr/bin:/bin", ':')) {
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

IProcessLauncher::TResult Spawn(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workingDirectory, int killAfterMs)
{
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own session: the program outlives a terminal closed under Quorvanta, and default signals.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return {nullptr, LaunchErrorText(rc)};
    const int fd = PidfdOpen(pid);
    if (fd < 0)
        return {nullptr, LaunchErrorText(errno)};
    return {std::make_shared<TLinuxProcess>(pid, fd, killAfterMs), {}};
}

} // namespace

void TLinuxProcessLauncher::FinishTerminations()
{
    Terminations().Finish();
}

std::string LaunchErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return TLaunchError::FileNotFound;
    case ENOTDIR:
        return TLaunchError::PathNotFound;
    case EACCES:
    case EPERM:
        return TLaunchError::AccessDenied;
    case ENOMEM:
        return TLaunchError::OutOfMemory;
    case ENOEXEC:
        return TLaunchError::NoAssociation;
    default:
        return std::strerror(error);
    }
}

IProcessLauncher::TResult TLinuxProcessLauncher::Start(const TStartRequest& r)
{
    std::string path = Trim(r.Path);
    if (path.empty())
        return {nullptr, TLaunchError::FileNotFound};
    std::vector<std::string> args = SplitExecLine(r.CommandLine);
    std::string workDir = r.WorkingDirectory;
    const bool address = path.find("://") != std::string::npos || path.rfind("mailto:", 0) == 0;
    // A relative path is the working folder's (where the program runs), checked and run as one.
    if (!address && path[0] != '/' && !workDir.empty()) {
        std::error_code ec;
        const fs::path inFolder = fs::path(workDir) / path;
        if (path.find('/') != std::string::npos || fs::exists(inFolder, ec))
            path = fs::absolute(inFolder, ec).lexically_normal().string();
    }
    if (!address && path.find('/') == std::string::npos && !fs::exists(path)) {
        const std::string found = FindInPath(path);
        if (found.empty())
            return {nullptr, TLaunchError::FileNotFound};
        path = found;
    }
    if (!address) {
        std::error_code ec;
        const fs::path p(path);
        if (!fs::exists(p, ec))
            return {nullptr, fs::exists(p.parent_path(), ec) || p.parent_path().empty() ? TLaunchError::FileNotFound
                                                                                         : TLaunchError::PathNotFound};
        if (!workDir.empty() && !fs::is_directory(workDir, ec))
            return {nullptr, TLaunchError::PathNotFound};
        if (LowerCase(p.extension().string()) == ".desktop") {
            // A desktop entry stands for a shortcut: its program, parameters and folder.
            try {
                const TShortcut s = ReadShortcut(path);
                std::vector<std::string> all = SplitExecLine(s.Arguments);
                all.insert(all.end(), args.begin(), args.end());
                std::string target = s.Target;
                if (target.find('/') == std::string::npos)
                    target = FindInPath(target);
                if (target.empty())
                    return {nullptr, TLaunchError::FileNotFound};
                return Spawn(target, all, workDir.empty() ? s.WorkingFolder : workDir, KillAfterMs);
            } catch (const std::exception&) {
                return {nullptr, "Impossibile ricavare le informazioni dal collegamento"};
            }
        }
        if (!fs::is_directory(p, ec) && ::access(path.c_str(), X_OK) == 0)
            return Spawn(path, args, workDir, KillAfterMs);
    }
    // A document, a folder or an address: the desktop's handler opens it.
    const std::string opener = Opener.find('/') == std::string::npos ? FindInPath(Opener) : Opener;
    if (opener.empty() || ::access(opener.c_str(), X_OK) != 0)
        return {nullptr, TLaunchError::NoAssociation};
    TResult opened = Spawn(opener, {path}, workDir, KillAfterMs);
    if (!opened.Error.empty())
        opened.Error = TLaunchError::NoAssociation;
    return opened;
}

} // namespace qv
