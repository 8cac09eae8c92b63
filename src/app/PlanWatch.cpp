#include "app/PlanWatch.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Prompter.h"

#include <cmath>

namespace qv {

namespace {

// "il 70%", "l'80%": the article by how the number is spoken (uno, otto, undici, ottanta...).
std::string ThePercent(int n)
{
    const bool vowel = n == 1 || n == 8 || n == 11 || (n >= 80 && n <= 89);
    return (vowel ? "l'" : "il ") + std::to_string(n) + "%";
}

} // namespace

TPlanView PlanViewOf(const TDataPlan& plan, const TPlanStatus& s, const std::string& linkName)
{
    TPlanView v;
    const std::string cycle =
        "dal " + FormatDateTime("d mmmm", s.Cycle.Start) + " al " + FormatDateTime("d mmmm yyyy", s.Cycle.End - 1);
    v.Hint = "Piano dati «" + plan.Name + "»" + (linkName.empty() ? "" : " su " + linkName) + "\r" + "Ciclo " + cycle +
             "\r";
    if (plan.Allowance) {
        v.Percent = static_cast<int>(std::min(100.0, std::floor(s.Percent)));
        v.Level = s.Percent >= 100                                                   ? TPlanLevel::Red
                  : plan.WarningPercent > 0 && s.Percent >= plan.WarningPercent ? TPlanLevel::Yellow
                                                                                 : TPlanLevel::Green;
        // The strip is narrow: used of the allowance and what remains, in short forms.
        std::string used = VolumeText(s.Used, 1);
        const std::string allowance = VolumeText(*plan.Allowance, 1);
        const std::string unit = allowance.substr(allowance.rfind(' '));
        if (used.size() > unit.size() && used.compare(used.size() - unit.size(), unit.size(), unit) == 0)
            used.erase(used.size() - unit.size()); // "40,2 di 50 GB"
        v.Strip = used + " di " + allowance + " · restano " + VolumeText(*s.Remaining, 1);
        v.Hint += "Usati " + VolumeText(s.Used) + " di " + VolumeText(*plan.Allowance) + " (" +
                  FormatNumber(std::floor(s.Percent), 0) + "%)\rRestano " + VolumeText(*s.Remaining) + ", " +
                  VolumeText(*s.PerDayLeft) + " al giorno fino a fine ciclo\r";
        v.TrayLine = plan.Name + ": " + FormatNumber(std::floor(s.Percent), 0) + "% di " + VolumeText(*plan.Allowance);
    } else {
        v.Level = TPlanLevel::Green;
        v.Strip = VolumeText(s.Used, 1) + " · " + EuroText(s.Cost);
        v.Hint += "Usati " + VolumeText(s.Used) + "\r";
        v.TrayLine = plan.Name + ": " + VolumeText(s.Used) + ", " + EuroText(s.Cost);
    }
    v.Hint += "A questo ritmo a fine ciclo: " + VolumeText(s.Projection) + "\rCosto finora: " + EuroText(s.Cost);
    return v;
}

TPlanWatch::TPlanWatch(TServices& services, TDataPlans& file, INetCounters& counters, ILinkWatcher& links)
    : FServices(services), FFile(file), FCounters(counters), FLinks(links)
{
    ReloadPlans();
}

TPlanWatch::~TPlanWatch()
{
    Stop();
}

void TPlanWatch::ReloadPlans()
{
    EditPlans(nullptr);
}

void TPlanWatch::EditPlans(const std::function<void(TDataPlans&)>& edit)
{
    // What was counted so far goes to the file first; the edit works on it; a new monitor goes on
    // from what the file then holds.
    TNetLinks links;
    if (FMonitor) {
        links = FMonitor->Links();
        FMonitor->Stop();
        FMonitor.reset();
    }
    if (edit) {
        edit(FFile);
        FFile.Save();
    }
    FMonitor = std::make_unique<TPlanMonitor>(FServices, FFile, FCounters);
    FMonitor->OnAlert = [this](const TDataPlan& p, TPlanAlert a, const TPlanStatus& s) { Alert(p, a, s); };
    FMonitor->OnChange = [this] { Refresh(); };
    FMonitor->SetLinks(links);
    if (FStarted) {
        FMonitor->Start();
        WatchLinks();
    }
    Refresh();
}

void TPlanWatch::WatchLinks()
{
    // Without plans nothing is watched: no bus and no netlink socket for those who do not use them.
    const bool wanted = FStarted && !FMonitor->Plans().empty();
    if (wanted == FWatching)
        return;
    FWatching = wanted;
    if (!wanted) {
        FLinks.Stop();
        FMonitor->SetLinks({});
        return;
    }
    FLinks.Start([this](const TNetLinks& links) {
        FMonitor->SetLinks(links);
        Refresh();
    });
}

void TPlanWatch::Start()
{
    if (FStarted)
        return;
    FStarted = true;
    FMonitor->Start();
    WatchLinks();
}

void TPlanWatch::Stop()
{
    if (!FStarted)
        return;
    FStarted = false;
    WatchLinks();
    FMonitor->Stop();
}

void TPlanWatch::Refresh()
{
    TPlanView best;
    double bestPercent = -1;
    const double now = FServices.Clk.Now();
    for (const TDataPlan& plan : FMonitor->Plans()) {
        const TNetLink link = FMonitor->LinkOf(plan);
        // Up now: reported by the watcher, or an interface plan whose interface has counters.
        const bool up = FMonitor->Links().count(link.Interface) ||
                        (plan.ConnectionUuid.empty() && FCounters.Read(link.Interface).has_value());
        if (!up)
            continue;
        const TPlanStatus s = PlanStatusAt(plan, FMonitor->Usage(), now);
        if (s.Percent > bestPercent) {
            bestPercent = s.Percent;
            best = PlanViewOf(plan, s, link.ConnectionName.empty() ? link.Interface : link.ConnectionName);
        }
    }
    if (best == FView)
        return;
    FView = best;
    if (OnViewChange)
        OnViewChange();
}

void TPlanWatch::Alert(const TDataPlan& plan, TPlanAlert alert, const TPlanStatus& s)
{
    Refresh();
    if (!plan.Allowance)
        return;
    const std::string name = "Piano dati «" + plan.Name + "»: ";
    if (alert == TPlanAlert::Warning) {
        if (OnBalloon)
            OnBalloon(name + "usato " + ThePercent(static_cast<int>(std::floor(s.Percent))) + " di " + VolumeText(*plan.Allowance) +
                      ", restano " + VolumeText(*s.Remaining) + " (" + VolumeText(*s.PerDayLeft) + " al giorno)");
        return;
    }
    if (OnBalloon)
        OnBalloon(name + "soglia di " + VolumeText(*plan.Allowance) + " esaurita" +
                  (plan.Beyond == TPlanBeyond::SpeedCap ? ", ora a velocità ridotta" : ", ora si paga " + BeyondText(plan)));
    if (!plan.Limit || FAsking)
        return;
    const TNetLink link = FMonitor->LinkOf(plan);
    if (!FMonitor->Links().count(link.Interface))
        return;
    FAsking = true;
    if (SetQuestionPending)
        SetQuestionPending(true);
    const bool yes = AskYesNo(FServices.Prompter, "Soglia del piano dati «" + plan.Name +
                                                      "» esaurita!!!\r\rInterrompi la connessione?") == TModalResult::mrYes;
    if (SetQuestionPending)
        SetQuestionPending(false);
    FAsking = false;
    if (!yes)
        return;
    // NetworkManager takes its connection down; a link of the program's own dial-up is hung up.
    if (!FLinks.Disconnect(FMonitor->LinkOf(plan)) && OnHangUp)
        OnHangUp(erDataPlan);
}

} // namespace qv
