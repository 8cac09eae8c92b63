#pragma once
// Single instance on Linux: an flock'ed lock file and a local (Unix-domain) socket beside it in a
// private folder of the user's. A listener thread hands each message to the main thread through Post.
// The command-line tool takes the same lock, without listening, before it changes any data.

#include "app/SingleInstance.h"
#include "core/Time.h"

#include <atomic>
#include <thread>

namespace qv {

class TLinuxSingleInstance : public ISingleInstance
{
public:
    // folder: where the lock file and the socket live (DefaultFolder() for the program).
    TLinuxSingleInstance(TimerService& timers, std::string folder, std::string name = SingleInstanceName);
    ~TLinuxSingleInstance() override;
    // Raises EQvError when the lock file cannot be opened: a program that cannot tell whether it
    // runs twice must not start.
    bool Acquire() override;
    // Only the lock: true when no program holds it (kept until this object goes). The holder's
    // description is written into the lock file, so that a refused start can say who holds it.
    bool Lock();
    // What the lock file says of its holder: "quorvanta PID" or "quorvanta-cli PID COMMAND"; empty
    // when the holder has not written it yet.
    std::string HolderText() const;
    // This process's description, written by Lock().
    std::string Holder = "quorvanta";
    bool SendToRunning(int wParam, int lParam) override;
    const std::string& SocketPath() const { return FSocketPath; }

    // "quorvanta" in $XDG_RUNTIME_DIR, else in the user's cache folder, made private (0700) and
    // checked to be the user's own; raises EQvError when it cannot be.
    static std::string DefaultFolder();

private:
    void Listen();
    TimerService& FTimers;
    std::string FLockPath;
    std::string FSocketPath;
    int FLockFd = -1;
    int FListenFd = -1;
    int FWake[2] = {-1, -1}; // written when the listener must stop
    std::atomic<bool> FStopping{false};
    std::thread FListener;
};

} // namespace qv
