#include "platform/linux/LoopTimers.h"

#include <algorithm>
#include <chrono>

namespace qv {

class TLoopTimers::TLoopTimer : public Timer
{
public:
    TLoopTimer(TLoopTimers& owner, std::string name, std::uint32_t interval)
        : FOwner(owner), FName(std::move(name)), FInterval(interval)
    {
        FOwner.FTimers.push_back(this);
    }
    ~TLoopTimer() override
    {
        auto& v = FOwner.FTimers;
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
        if (enabled)
            Restart();
    }
    bool Enabled() const override { return FEnabled; }
    const std::string& Name() const override { return FName; }
    void Restart()
    {
        FDue = FOwner.FClock.TickCount() + FInterval;
        FOrder = ++FOwner.FSequence;
    }
    bool Armed() const { return FEnabled && FInterval > 0; }

    TLoopTimers& FOwner;
    std::string FName;
    std::uint32_t FInterval;
    bool FEnabled = false;
    std::int64_t FDue = 0;
    std::uint64_t FOrder = 0;
};

TLoopTimers::~TLoopTimers() = default;

std::unique_ptr<Timer> TLoopTimers::CreateTimer(const std::string& name, std::uint32_t intervalMs)
{
    return std::make_unique<TLoopTimer>(*this, name, intervalMs);
}

void TLoopTimers::Post(std::function<void()> fn)
{
    {
        std::lock_guard lock(FMutex);
        FPosted.push_back(std::move(fn));
    }
    FWake.notify_one();
}

void TLoopTimers::Stop()
{
    FStop = true;
    FWake.notify_one();
}

void TLoopTimers::RunOnce(std::int64_t maxWaitMs)
{
    // Posted calls first, then every timer that is due (one firing each: late firings coalesce).
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(FMutex);
            if (FPosted.empty())
                break;
            fn = std::move(FPosted.front());
            FPosted.pop_front();
        }
        fn();
    }
    const std::int64_t now = FClock.TickCount();
    std::vector<TLoopTimer*> due;
    for (TLoopTimer* t : FTimers)
        if (t->Armed() && t->FDue <= now)
            due.push_back(t);
    std::sort(due.begin(), due.end(), [](auto* a, auto* b) { return a->FDue != b->FDue ? a->FDue < b->FDue : a->FOrder < b->FOrder; });
    for (TLoopTimer* t : due) {
        // A handler may destroy or disarm other timers: check it is still there and armed.
        if (std::find(FTimers.begin(), FTimers.end(), t) == FTimers.end() || !t->Armed() || t->FDue > now)
            continue;
        t->Restart();
        if (t->OnTimer)
            t->OnTimer();
    }
    std::int64_t wait = maxWaitMs;
    const std::int64_t after = FClock.TickCount();
    for (TLoopTimer* t : FTimers)
        if (t->Armed())
            wait = std::min(wait, std::max<std::int64_t>(0, t->FDue - after));
    std::unique_lock lock(FMutex);
    if (FPosted.empty() && !FStop)
        FWake.wait_for(lock, std::chrono::milliseconds(wait));
}

void TLoopTimers::Run(const std::function<bool()>& stop)
{
    FStop = false;
    while (!FStop && !(stop && stop()))
        RunOnce(100);
}

void TLoopTimers::WaitMilliseconds(std::uint32_t ms)
{
    const std::int64_t until = FClock.TickCount() + ms;
    while (FClock.TickCount() < until)
        RunOnce(std::max<std::int64_t>(1, until - FClock.TickCount()));
}

} // namespace qv
