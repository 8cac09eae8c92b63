#pragma once
// The data plans as the user sees them: the links reported by a watcher go to the plans' monitor;
// the plan of a link that is up is shown in the strip (used of the allowance, what remains, what may
// still be used each day; a plan without allowance, its cost so far) and in the tray (a disc filled
// by the share used, green below the warning, yellow from it, red at the allowance). The warning and
// the allowance used up are told in a balloon once per cycle; a plan with a limit then asks whether
// to take the link down — through the link's watcher (NetworkManager), else by hanging up the
// program's own dial-up.

#include "app/Budget.h"
#include "app/PlanMonitor.h"

#include <functional>
#include <memory>
#include <string>

namespace qv {

enum class TPlanLevel
{
    None, // no link with a plan is up
    Green,
    Yellow,
    Red
};

// What the strip and the tray show for one plan.
struct TPlanView
{
    TPlanLevel Level = TPlanLevel::None;
    int Percent = 0;       // of the allowance, 0..100 (0 without one)
    std::string Strip;     // one short line
    std::string Hint;      // the full account, several lines
    std::string TrayLine;  // one line of the tray's hint
    bool operator==(const TPlanView&) const = default;
};
TPlanView PlanViewOf(const TDataPlan& plan, const TPlanStatus& status, const std::string& linkName);

class TPlanWatch
{
public:
    TPlanWatch(TServices& services, TDataPlans& file, INetCounters& counters, ILinkWatcher& links);
    ~TPlanWatch();
    void Start();
    void Stop();
    // The plans were edited: counting goes on with the new ones.
    void ReloadPlans();
    // Edits the plans' file with what was counted so far in it, saves it, and goes on with the
    // plans it then holds.
    void EditPlans(const std::function<void(TDataPlans&)>& edit);

    // The plan shown: of the links up with a plan, the one furthest into its allowance.
    const TPlanView& View() const { return FView; }
    TPlanMonitor& Monitor() { return *FMonitor; }

    std::function<void(const std::string& text)> OnBalloon;
    std::function<void()> OnViewChange;
    // Hangs up the program's own dial-up (a link the watcher cannot take down).
    std::function<void(TEndReason)> OnHangUp;
    std::function<void(bool)> SetQuestionPending;

private:
    void Alert(const TDataPlan& plan, TPlanAlert alert, const TPlanStatus& status);
    void Refresh();
    void WatchLinks();
    TServices& FServices;
    TDataPlans& FFile;
    INetCounters& FCounters;
    ILinkWatcher& FLinks;
    std::unique_ptr<TPlanMonitor> FMonitor;
    TPlanView FView;
    bool FAsking = false;
    bool FStarted = false;
    bool FWatching = false;
};

} // namespace qv
