#include "platform/linux/LoopTimers.h"

#include <algorithm>
#include <chrono>

namespace qv {

TLoopTimers::~TLoopTimers() = default;

std::unique_ptr<Timer> TLoopTimers::CreateTimer(const std::string& name, std::uint32_t intervalMs)
{
    return std::make_unique<TScheduledTimer>(FSchedule, name, intervalMs);
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
    // Every timer due now fires once (late firings coalesce); a handler may arm, disarm or destroy
    // timers, so the next one is looked up afresh each time, and a restarted timer is not due again.
    const std::int64_t now = FClock.TickCount();
    while (TScheduledTimer* t = TScheduledTimer::NextDue(FSchedule, now)) {
        t->Restart();
        if (t->OnTimer)
            t->OnTimer();
    }
    std::int64_t wait = maxWaitMs;
    const std::int64_t after = FClock.TickCount();
    for (TScheduledTimer* t : FSchedule.Timers)
        if (t->Armed())
            wait = std::min(wait, std::max<std::int64_t>(0, t->Due() - after));
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
