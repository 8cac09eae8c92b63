#pragma once
// The timers of a toolkit-free loop (virtual time in tests, the command-line tool's real loop):
// interval, enabled state, due time and a creation order that breaks ties between equal due times.

#include "core/Time.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace qv {

class TScheduledTimer : public Timer
{
public:
    // The timers of one loop and the clock they count on.
    struct TSchedule
    {
        std::vector<TScheduledTimer*> Timers;
        std::uint64_t Sequence = 0;
        std::function<std::int64_t()> Now;
    };

    TScheduledTimer(TSchedule& schedule, std::string name, std::uint32_t interval)
        : FSchedule(schedule), FName(std::move(name)), FInterval(interval)
    {
        FSchedule.Timers.push_back(this);
    }
    ~TScheduledTimer() override
    {
        auto& v = FSchedule.Timers;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }

    void SetInterval(std::uint32_t ms) override
    {
        if (ms == FInterval)
            return;
        FInterval = ms;
        if (FEnabled)
            Restart();
    }
    std::uint32_t Interval() const override { return FInterval; }
    void SetEnabled(bool enabled) override
    {
        if (enabled == FEnabled)
            return;
        FEnabled = enabled;
        if (FEnabled)
            Restart();
    }
    bool Enabled() const override { return FEnabled; }
    const std::string& Name() const override { return FName; }

    bool Armed() const { return FEnabled && FInterval > 0; }
    std::int64_t Due() const { return FDue; }
    void Restart()
    {
        FDue = FSchedule.Now() + FInterval;
        FOrder = ++FSchedule.Sequence;
    }
    // The armed timer due first (up to limit), the earlier armed one first on a tie; none when no
    // timer is due by then.
    static TScheduledTimer* NextDue(const TSchedule& schedule, std::int64_t limit)
    {
        TScheduledTimer* best = nullptr;
        for (TScheduledTimer* t : schedule.Timers) {
            if (!t->Armed() || t->FDue > limit)
                continue;
            if (!best || t->FDue < best->FDue || (t->FDue == best->FDue && t->FOrder < best->FOrder))
                best = t;
        }
        return best;
    }

private:
    TSchedule& FSchedule;
    std::string FName;
    std::uint32_t FInterval;
    bool FEnabled = false;
    std::int64_t FDue = 0;
    std::uint64_t FOrder = 0;
};

} // namespace qv
