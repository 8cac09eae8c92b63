#pragma once
// What the D-Bus adapters share: a property of a GetAll answer read as its type (else a fallback),
// and a connection to the system bus or to the bus at an address (tests).

#include <map>
#include <memory>
#include <sdbus-c++/sdbus-c++.h>
#include <string>

namespace qv {

using TProps = std::map<std::string, sdbus::Variant>;

template <class T> T Get(const TProps& props, const std::string& name, T fallback = {})
{
    const auto it = props.find(name);
    if (it == props.end() || !it->second.containsValueOfType<T>())
        return fallback;
    return it->second.get<T>();
}

inline std::unique_ptr<sdbus::IConnection> Connect(const std::string& address)
{
    return address.empty() ? sdbus::createSystemBusConnection() : sdbus::createSessionBusConnectionWithAddress(address);
}

} // namespace qv
