#pragma once
// The data plans at work: every two seconds the counters of the links that are up are read and
// counted for their plans; the usage is written to "PianiDati.dat" every ten seconds when it grew
// (a crash loses at most those seconds), once a minute otherwise (for the time watched, which tells
// the statistics where traffic was not counted), and when the monitor stops. Each plan's warning and limit
// are raised once per cycle.

#include "core/Services.h"
#include "detection/NetCounters.h"
#include "detection/NetLinks.h"
#include "tariffs/DataPlans.h"

#include <functional>
#include <map>
#include <memory>

namespace qv {

class TPlanMonitor
{
public:
    static constexpr std::uint32_t SampleMs = 2000;
    static constexpr int SamplesPerSave = 5;

    TPlanMonitor(TServices& services, TDataPlans& file, INetCounters& counters);
    ~TPlanMonitor();

    // The links up now. The plans named by interface are always watched.
    void SetLinks(TNetLinks links);
    const TNetLinks& Links() const { return FLinks; }
    // The link a plan counts now (for an interface plan whose link is not reported, its interface).
    TNetLink LinkOf(const TDataPlan& plan) const;
    void Start();
    // Counts one last time and saves.
    void Stop();

    const TPlanUsage& Usage() const { return FUsage; }
    std::vector<TDataPlan>& Plans() { return FPlans; }

    std::function<void(const TDataPlan&, TPlanAlert, const TPlanStatus&)> OnAlert;
    // After a reading that counted something.
    std::function<void()> OnChange;

private:
    void Sample();
    void SaveUsage();
    TServices& FServices;
    TDataPlans& FFile;
    INetCounters& FCounters;
    std::vector<TDataPlan> FPlans;
    TPlanUsage FUsage;
    TPlanTracker FTracker;
    TPlanAlerts FAlerts;
    TNetLinks FLinks;
    std::unique_ptr<Timer> FTimer;
    int FSinceSave = 0;
    std::int64_t FLastTick = -1;
    bool FUnsaved = false;
};

} // namespace qv
