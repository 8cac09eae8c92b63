#include "detection/Performance.h"

namespace qv {

TPerformance::TPerformance(TServices& services, IRasApi& api) : FApi(api)
{
    FTimer = services.Timers.CreateTimer("FTimerPerformance", 1000);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this] { RefreshAll(); };
}

void TPerformance::SetActiveRAS(bool on)
{
    FActive = on;
    if (!on)
        FCounts = {};
}

void TPerformance::RefreshAll()
{
    if (!FActive)
        return;
    std::vector<TRasConnection> connections;
    if (FApi.Connections(connections) != 0 || connections.empty())
        return;
    const auto counts = FApi.ByteCounts(connections.front().Handle);
    if (!counts) {
        // Counting stays off until the next connection: told once, not tried again every second.
        FActive = false;
        if (OnError)
            OnError("Impossibile leggere i contatori dei byte della connessione " + connections.front().Entry);
        return;
    }
    if (counts->Sent == FCounts.Sent && counts->Received == FCounts.Received)
        return;
    FCounts = *counts;
    if (OnChangeData)
        OnChangeData(FCounts.Sent, FCounts.Received);
}

} // namespace qv
