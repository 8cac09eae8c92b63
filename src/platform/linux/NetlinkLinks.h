#pragma once
// The interfaces that are up, from the kernel's routing netlink (RTMGRP_LINK): one dump at the start,
// then the kernel's messages as links are added, removed, brought up or down; a worker thread sleeps
// on the socket and reports a changed set on the main thread. Loopback is left out. These links
// carry no NetworkManager connection; this watcher cannot take one down.

#include "core/Time.h"
#include "detection/NetLinks.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TNetlinkLinks : public ILinkWatcher
{
public:
    explicit TNetlinkLinks(TimerService& timers) : FTimers(timers) {}
    ~TNetlinkLinks() override;
    void Start(TOnLinks onLinks) override;
    void Stop() override;
    bool Disconnect(const TNetLink&) override { return false; }

private:
    void Watch(TOnLinks onLinks, int sock);
    TimerService& FTimers;
    std::thread FWorker;
    int FWakeFd = -1;
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

// NetworkManager's links (when its module loads) merged with the kernel's other interfaces.
std::unique_ptr<ILinkWatcher> MakeLinkWatcher(TimerService& timers);

} // namespace qv
