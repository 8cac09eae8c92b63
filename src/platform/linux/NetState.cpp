#include "platform/linux/NetState.h"

#include "core/Strings.h"

#include <cstdlib>
#include <fstream>
#include <sdbus-c++/sdbus-c++.h>
#include <sstream>

namespace qv {

std::optional<bool> NetworkManagerOnline(const std::string& address)
{
    try {
        auto connection = address.empty() ? sdbus::createSystemBusConnection()
                                          : sdbus::createSessionBusConnectionWithAddress(address);
        auto proxy = sdbus::createProxy(*connection, "org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager");
        const auto get = [&proxy](const char* name) {
            sdbus::Variant v;
            proxy->callMethod("Get")
                .onInterface("org.freedesktop.DBus.Properties")
                .withArguments(std::string("org.freedesktop.NetworkManager"), std::string(name))
                .withTimeout(std::chrono::seconds(2))
                .storeResultsTo(v);
            // The property is an unsigned 32-bit number; other integer types are read too.
            if (v.containsValueOfType<std::uint32_t>())
                return static_cast<std::int64_t>(v.get<std::uint32_t>());
            if (v.containsValueOfType<std::int32_t>())
                return static_cast<std::int64_t>(v.get<std::int32_t>());
            return v.get<std::int64_t>();
        };
        // NM_CONNECTIVITY_FULL; when connectivity is not checked (unknown), NM_STATE_CONNECTED_GLOBAL.
        const std::int64_t connectivity = get("Connectivity");
        if (connectivity != 0)
            return connectivity == 4;
        return get("State") >= 70;
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
}

bool DefaultRouteIn(const std::string& routeTable)
{
    std::istringstream in(routeTable);
    std::string line;
    std::getline(in, line); // the heading
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        if (!(fields >> iface >> destination >> gateway >> flags))
            continue;
        // RTF_UP (1) on a route to 0.0.0.0.
        const unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        if (destination == "00000000" && (f & 1u) != 0)
            return true;
    }
    return false;
}

bool InternetConnected()
{
    const char* bus = std::getenv("QUORVANTA_NM_BUS");
    if (const auto nm = NetworkManagerOnline(bus ? bus : ""))
        return *nm;
    std::ifstream in("/proc/net/route");
    std::stringstream ss;
    ss << in.rdbuf();
    return DefaultRouteIn(ss.str());
}

} // namespace qv
