#pragma once
// NetworkManager's active connections as links (org.freedesktop.NetworkManager on the system bus),
// through sdbus-c++. A worker thread sleeps on the bus until NetworkManager signals a change that
// matters — the manager's ActiveConnections or Devices, a connection's or a device's State, a
// device's interface or Metered property, a device added or removed, NetworkManager itself coming
// or going — and only then reads the connections again; a set that differs from the last one is
// reported on the main thread. Both forms of PropertiesChanged are understood: the standard one of
// org.freedesktop.DBus.Properties and the older one NetworkManager emitted on each interface.

#include "core/Time.h"
#include "detection/NetLinks.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TNetworkManagerLinks : public ILinkWatcher
{
public:
    // address: a D-Bus address to use instead of the system bus (tests).
    explicit TNetworkManagerLinks(TimerService& timers, std::string address = {});
    ~TNetworkManagerLinks() override;
    void Start(TOnLinks onLinks) override;
    void Stop() override;
    // DeactivateConnection of the link's active connection.
    bool Disconnect(const TNetLink& link) override;

    // One reading of NetworkManager's active connections; false when it does not answer.
    static bool Read(const std::string& address, TNetLinks& links);
    // How many readings the watchers of this process made (a watcher reads only when told).
    static std::int64_t Readings();

private:
    void Watch(TOnLinks onLinks);
    TimerService& FTimers;
    std::string FAddress;
    std::thread FWorker;
    std::mutex FMutex;
    bool FStop = false;
    int FWakeFd = -1;
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

// NetworkManager on the system bus, or on the bus named by QUORVANTA_NM_BUS.
std::unique_ptr<ILinkWatcher> MakeNetworkManagerLinks(TimerService& timers);

} // namespace qv
