#include "app/PlanMonitor.h"

#include <set>

namespace qv {

TPlanMonitor::TPlanMonitor(TServices& services, TDataPlans& file, INetCounters& counters)
    : FServices(services), FFile(file), FCounters(counters), FPlans(file.PlanList()), FUsage(file.Usage()),
      FTracker(FPlans, FUsage)
{
    FTimer = services.Timers.CreateTimer("TimerPiani", SampleMs);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this] { Sample(); };
}

TPlanMonitor::~TPlanMonitor()
{
    FTimer->OnTimer = nullptr;
    if (FUnsaved)
        SaveUsage();
}

void TPlanMonitor::SetLinks(std::map<std::string, std::string> links)
{
    // An interface that went away: its next appearance is a new baseline.
    for (const auto& [interface, uuid] : FLinks)
        if (!links.count(interface))
            FTracker.Gone(interface);
    FLinks = std::move(links);
}

void TPlanMonitor::Start()
{
    Sample(); // the baselines
    FTimer->SetEnabled(true);
}

void TPlanMonitor::Stop()
{
    FTimer->SetEnabled(false);
    Sample();
    SaveUsage();
}

void TPlanMonitor::Sample()
{
    std::map<std::string, std::string> links = FLinks;
    for (const TDataPlan& p : FPlans)
        if (p.ConnectionUuid.empty() && !p.Interface.empty())
            links.emplace(p.Interface, "");
    const double now = FServices.Clk.Now();
    std::set<const TDataPlan*> counted;
    bool changed = false;
    for (const auto& [interface, uuid] : links) {
        const auto bytes = FCounters.Read(interface);
        if (!bytes) {
            FTracker.Gone(interface);
            continue;
        }
        const std::uint64_t before = FUsage.Total();
        if (const TDataPlan* plan = FTracker.Sample(interface, uuid, bytes->Received, bytes->Sent, now)) {
            counted.insert(plan);
            changed = changed || FUsage.Total() != before;
        }
    }
    for (const TDataPlan* plan : counted) {
        const TPlanStatus status = PlanStatusAt(*plan, FUsage, now);
        const TPlanAlert alert = FAlerts.Check(*plan, status);
        if (alert != TPlanAlert::None && OnAlert)
            OnAlert(*plan, alert, status);
    }
    if (changed) {
        FUnsaved = true;
        if (OnChange)
            OnChange();
    }
    if (++FSinceSave >= SamplesPerSave && FUnsaved)
        SaveUsage();
}

void TPlanMonitor::SaveUsage()
{
    FSinceSave = 0;
    FFile.StoreUsage(FUsage);
    FFile.Save();
    FUnsaved = false;
}

} // namespace qv
