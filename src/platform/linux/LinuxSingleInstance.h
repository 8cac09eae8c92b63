#pragma once
// Single instance on Linux: an flock'ed lock file and a local (Unix-domain) socket beside it in the
// user's runtime folder. A listener thread hands each message to the main thread through Post.

#include "app/SingleInstance.h"
#include "core/Time.h"

#include <atomic>
#include <thread>

namespace qv {

class TLinuxSingleInstance : public ISingleInstance
{
public:
    // folder: where the lock file and the socket live ($XDG_RUNTIME_DIR, else /tmp).
    TLinuxSingleInstance(TimerService& timers, std::string folder, std::string name = SingleInstanceName);
    ~TLinuxSingleInstance() override;
    bool Acquire() override;
    bool SendToRunning(int wParam, int lParam) override;
    const std::string& SocketPath() const { return FSocketPath; }

    // The runtime folder of the user: $XDG_RUNTIME_DIR when set, else /tmp.
    static std::string DefaultFolder();

private:
    void Listen();
    TimerService& FTimers;
    std::string FLockPath;
    std::string FSocketPath;
    int FLockFd = -1;
    int FListenFd = -1;
    std::atomic<bool> FStopping{false};
    std::thread FListener;
};

} // namespace qv
