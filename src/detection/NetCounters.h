#pragma once
// The kernel's byte counters of network interfaces, as the data plans read them. The Linux reader
// takes them from /sys/class/net/IF/statistics; the simulated one from what a test sets.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace qv {

struct TInterfaceBytes
{
    std::uint64_t Received = 0;
    std::uint64_t Sent = 0;
};

class INetCounters
{
public:
    virtual ~INetCounters() = default;
    // None when the interface does not exist (any more).
    virtual std::optional<TInterfaceBytes> Read(const std::string& interface) = 0;
};

class TSimNetCounters : public INetCounters
{
public:
    std::optional<TInterfaceBytes> Read(const std::string& interface) override
    {
        const auto it = Interfaces.find(interface);
        return it == Interfaces.end() ? std::nullopt : std::optional<TInterfaceBytes>(it->second);
    }
    std::map<std::string, TInterfaceBytes> Interfaces;
};

} // namespace qv
