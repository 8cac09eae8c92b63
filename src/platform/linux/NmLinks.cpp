#include "platform/linux/NmLinks.h"

#include "platform/linux/SdBus.h"
#include "platform/linux/WorkerWake.h"

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <set>
#include <unistd.h>

namespace qv {

namespace {

constexpr const char* Service = "org.freedesktop.NetworkManager";
constexpr const char* ManagerPath = "/org/freedesktop/NetworkManager";
constexpr const char* ManagerIface = "org.freedesktop.NetworkManager";
constexpr const char* ActiveIface = "org.freedesktop.NetworkManager.Connection.Active";
constexpr const char* DeviceIface = "org.freedesktop.NetworkManager.Device";
constexpr const char* PropertiesIface = "org.freedesktop.DBus.Properties";

// NMActiveConnectionState and NMMetered values that matter here.
constexpr std::uint32_t NM_ACTIVE_CONNECTION_STATE_DEACTIVATED = 4;
constexpr std::uint32_t NM_METERED_YES = 1;
constexpr std::uint32_t NM_METERED_GUESS_YES = 3;


TProps GetAll(sdbus::IConnection& connection, const std::string& path, const char* iface)
{
    TProps props;
    auto proxy = sdbus::createProxy(connection, Service, path);
    proxy->callMethod("GetAll")
        .onInterface(PropertiesIface)
        .withTimeout(std::chrono::seconds(5))
        .withArguments(std::string(iface))
        .storeResultsTo(props);
    return props;
}

std::atomic<std::int64_t> GReadings{0};

// Throws sdbus::Error when NetworkManager does not answer.
TNetLinks ReadFrom(sdbus::IConnection& connection)
{
    ++GReadings;
    TNetLinks links;
    const TProps manager = GetAll(connection, ManagerPath, ManagerIface);
    for (const auto& active : Get<std::vector<sdbus::ObjectPath>>(manager, "ActiveConnections")) {
        TProps a;
        try {
            a = GetAll(connection, active, ActiveIface);
        } catch (const sdbus::Error&) {
            continue; // gone meanwhile
        }
        // A VPN rides on another link, whose interface carries (and counts) its traffic.
        if (Get<bool>(a, "Vpn") || Get<std::uint32_t>(a, "State") == NM_ACTIVE_CONNECTION_STATE_DEACTIVATED)
            continue;
        for (const auto& device : Get<std::vector<sdbus::ObjectPath>>(a, "Devices")) {
            TProps d;
            try {
                d = GetAll(connection, device, DeviceIface);
            } catch (const sdbus::Error&) {
                continue;
            }
            // A modem's IP traffic goes through IpInterface (wwan0, ppp0), not its control port.
            TNetLink link;
            link.Interface = Get<std::string>(d, "IpInterface");
            if (link.Interface.empty())
                link.Interface = Get<std::string>(d, "Interface");
            if (link.Interface.empty())
                continue;
            link.ConnectionUuid = Get<std::string>(a, "Uuid");
            link.ConnectionName = Get<std::string>(a, "Id");
            const std::uint32_t metered = Get<std::uint32_t>(d, "Metered");
            link.Metered = metered == NM_METERED_YES || metered == NM_METERED_GUESS_YES;
            link.Handle = active;
            links[link.Interface] = link;
        }
    }
    return links;
}

// Whether a signal of NetworkManager may change the links. Most of its signals do not: access
// points, signal strength, IP configurations, statistics.
bool Relevant(sdbus::Message& message)
{
    const std::string member = message.getMemberName();
    if (member == "DeviceAdded" || member == "DeviceRemoved" || member == "StateChanged")
        return true;
    if (member != "PropertiesChanged")
        return false;
    static const std::set<std::string> keys = {"ActiveConnections", "Devices", "State",      "Metered",
                                               "Interface",         "IpInterface", "Vpn"};
    try {
        TProps changed;
        if (message.getInterfaceName() == std::string(PropertiesIface)) {
            std::string iface;
            message >> iface;
        }
        message >> changed;
        for (const auto& [name, value] : changed)
            if (keys.count(name))
                return true;
        return false;
    } catch (const sdbus::Error&) {
        return true;
    }
}

} // namespace

TNetworkManagerLinks::TNetworkManagerLinks(TimerService& timers, std::string address)
    : FTimers(timers), FAddress(std::move(address))
{
}

TNetworkManagerLinks::~TNetworkManagerLinks()
{
    *FAlive = false;
    Stop();
}

bool TNetworkManagerLinks::Read(const std::string& address, TNetLinks& links)
{
    try {
        auto connection = Connect(address);
        links = ReadFrom(*connection);
        return true;
    } catch (const sdbus::Error&) {
        links.clear();
        return false;
    }
}

std::int64_t TNetworkManagerLinks::Readings()
{
    return GReadings;
}

void TNetworkManagerLinks::Start(TOnLinks onLinks)
{
    Stop();
    FStop = false;
    FWakeFd = MakeWakeFd();
    FWorker = std::thread([this, onLinks = std::move(onLinks)] { Watch(onLinks); });
}

void TNetworkManagerLinks::Stop()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    EndWorker(FWorker, FWakeFd);
    // What the stopped watch posted and the main loop has not run yet is dropped.
    *FAlive = false;
    FAlive = std::make_shared<std::atomic<bool>>(true);
}

bool TNetworkManagerLinks::Disconnect(const TNetLink& link)
{
    if (link.Handle.empty())
        return false;
    try {
        auto connection = Connect(FAddress);
        auto proxy = sdbus::createProxy(*connection, Service, ManagerPath);
        proxy->callMethod("DeactivateConnection")
            .onInterface(ManagerIface)
            .withTimeout(std::chrono::seconds(10))
            .withArguments(sdbus::ObjectPath(link.Handle));
        return true;
    } catch (const sdbus::Error&) {
        return false;
    }
}

void TNetworkManagerLinks::Watch(TOnLinks onLinks)
{
    auto alive = FAlive;
    const auto report = [this, alive, &onLinks](const TNetLinks& links) {
        FTimers.Post([alive, onLinks, links] {
            if (*alive && onLinks)
                onLinks(links);
        });
    };
    std::unique_ptr<sdbus::IConnection> connection;
    std::vector<sdbus::Slot> matches;
    bool changed = true;
    try {
        connection = Connect(FAddress);
        matches.push_back(connection->addMatch(std::string("type='signal',sender='") + Service + "'",
                                               [&changed](sdbus::Message& m) { changed = changed || Relevant(m); }));
        matches.push_back(connection->addMatch(std::string("type='signal',sender='org.freedesktop.DBus',"
                                                           "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                                                           "arg0='") + Service + "'",
                                               [&changed](sdbus::Message&) { changed = true; }));
    } catch (const sdbus::Error&) {
        report({}); // no bus: no managed links
        return;
    }
    std::optional<TNetLinks> last;
    for (;;) {
        try {
            while (connection->processPendingRequest()) {
            }
        } catch (const sdbus::Error&) {
        }
        if (changed) {
            changed = false;
            TNetLinks links;
            try {
                links = ReadFrom(*connection);
            } catch (const sdbus::Error&) {
                links.clear(); // NetworkManager gone: its links went with it
            }
            if (!last || *last != links) {
                report(links);
                last = std::move(links);
            }
            continue; // what came in during the reading is handled before sleeping
        }
        sdbus::IConnection::PollData poll{};
        try {
            poll = connection->getEventLoopPollData();
        } catch (const sdbus::Error&) {
            return;
        }
        pollfd fds[2] = {{poll.fd, static_cast<short>(poll.events), 0}, {FWakeFd, POLLIN, 0}};
        ::poll(fds, 2, poll.getPollTimeout());
        std::lock_guard lock(FMutex);
        if (FStop)
            return;
    }
}

std::unique_ptr<ILinkWatcher> MakeNetworkManagerLinks(TimerService& timers)
{
    const char* bus = std::getenv("QUORVANTA_NM_BUS");
    return std::make_unique<TNetworkManagerLinks>(timers, bus ? bus : "");
}

} // namespace qv
