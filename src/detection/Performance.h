#pragma once
// Byte counters of the active dial-up connection, refreshed every second while a connection is
// counted; and the free-resource watch, which on this system never reports a shortage.

#include "core/Services.h"
#include "detection/RasApi.h"

#include <functional>
#include <memory>

namespace qv {

class TPerformance
{
public:
    TPerformance(TServices& services, IRasApi& api);

    // Reading the connection's counters on or off.
    bool ActiveRAS() const { return FActive; }
    void SetActiveRAS(bool on);
    // Switches the one-second refresh on (the main window does it at first activation).
    void SetEnabled(bool on) { FTimer->SetEnabled(on); }
    void RefreshAll();
    std::uint32_t BytesTransmitted() const { return FCounts.Sent; }
    std::uint32_t BytesReceived() const { return FCounts.Received; }

    // Raised only when a counter changed.
    std::function<void(std::uint32_t sent, std::uint32_t received)> OnChangeData;
    std::function<void(const std::string&)> OnError;

private:
    IRasApi& FApi;
    std::unique_ptr<Timer> FTimer;
    bool FActive = false;
    TByteCounts FCounts;
};

// The resource guards of old systems: here every kind of resource is always available.
class TSysResource9x
{
public:
    bool ResourcesAbove(int /*percent*/) const { return true; }
    bool Active() const { return false; }
    std::string ResourceText() const { return {}; }
};

} // namespace qv
