#pragma once
// Whether the computer is on line: NetworkManager's own answer when it runs (full connectivity, or
// "connected globally" when it does not check connectivity), else a default route.

#include <optional>
#include <string>

namespace qv {

// NetworkManager on the system bus (or the bus at address); nothing when it does not answer.
std::optional<bool> NetworkManagerOnline(const std::string& address = {});
// A default route (destination 0.0.0.0) on an interface that is up, in /proc/net/route's text.
bool DefaultRouteIn(const std::string& routeTable);
// NetworkManager (on the bus named by QUORVANTA_NM_BUS when set), else /proc/net/route.
bool InternetConnected();

} // namespace qv
