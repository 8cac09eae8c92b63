#include "app/PlanMonitor.h"

#include <set>

namespace qv {

TPlanMonitor::TPlanMonitor(TServices& services, TDataPlans& file, INetCounters& counters)
    : FServices(services), FFile(file), FCounters(counters), FPlans(file.PlanList()), FUsage(file.Usage()),
      FTracker(FPlans, FUsage)
{
    FTimer = services.Timers.CreateTimer("TimerPiani", SampleMs);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this] {
        Sample();
        // Counted bytes are saved every ten seconds; the watched time alone once a minute.
        ++FSinceSave;
        if ((FSinceSave >= SamplesPerSave && FUnsaved) || FSinceSave >= 6 * SamplesPerSave)
            SaveUsage();
    };
}

TPlanMonitor::~TPlanMonitor()
{
    FTimer->OnTimer = nullptr;
    if (FUnsaved)
        SaveUsage();
}

void TPlanMonitor::SetLinks(TNetLinks links)
{
    // An interface that went away: its next appearance is a new baseline.
    bool added = false;
    for (const auto& [interface, link] : FLinks)
        if (!links.count(interface))
            FTracker.Gone(interface);
    for (const auto& [interface, link] : links)
        added = added || !FLinks.count(interface);
    FLinks = std::move(links);
    // A new link's baseline is taken now, so that its traffic until the next reading counts.
    if (added && FTimer->Enabled())
        Sample();
}

TNetLink TPlanMonitor::LinkOf(const TDataPlan& plan) const
{
    for (const auto& [interface, link] : FLinks) {
        const TDataPlan* p = FTracker.PlanOf(interface, link.ConnectionUuid);
        if (p && p->Name == plan.Name)
            return link;
    }
    TNetLink link;
    link.Interface = plan.Interface;
    return link;
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
    std::map<std::string, std::string> links;
    for (const auto& [interface, link] : FLinks)
        links[interface] = link.ConnectionUuid;
    for (const TDataPlan& p : FPlans)
        if (p.ConnectionUuid.empty() && !p.Interface.empty())
            links.emplace(p.Interface, "");
    const double now = FServices.Clk.Now();
    // The time since the last reading was watched, when it is a reading's pace (not a suspended
    // computer's sleep, nor a clock set back).
    const std::int64_t tick = FServices.Clk.TickCount();
    if (FLastTick >= 0 && tick - FLastTick <= 3 * static_cast<std::int64_t>(SampleMs) && tick > FLastTick)
        FUsage.AddWatched(now - static_cast<double>(tick - FLastTick) / 86400000.0, now);
    FLastTick = tick;
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
}

void TPlanMonitor::SaveUsage()
{
    FSinceSave = 0;
    FFile.StoreUsage(FUsage);
    FFile.Save();
    FUnsaved = false;
}

} // namespace qv
