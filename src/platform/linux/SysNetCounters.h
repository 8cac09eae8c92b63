#pragma once
// Interface byte counters from sysfs: ROOT/IF/statistics/rx_bytes and tx_bytes (ROOT is
// /sys/class/net unless a test gives another tree).

#include "detection/NetCounters.h"

namespace qv {

class TSysNetCounters : public INetCounters
{
public:
    explicit TSysNetCounters(std::string root = "/sys/class/net") : FRoot(std::move(root)) {}
    std::optional<TInterfaceBytes> Read(const std::string& interface) override;

private:
    std::string FRoot;
};

} // namespace qv
