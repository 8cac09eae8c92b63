#pragma once
// A main loop without a toolkit, for the command-line tool: timers on the steady clock and calls
// posted by worker threads, run until asked to stop.

#include "core/ScheduledTimer.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace qv {

class TLoopTimers : public TimerService
{
public:
    explicit TLoopTimers(const Clock& clock) : FClock(clock)
    {
        FSchedule.Now = [this] { return FClock.TickCount(); };
    }
    ~TLoopTimers() override;
    std::unique_ptr<Timer> CreateTimer(const std::string& name, std::uint32_t intervalMs = 1000) override;
    void Post(std::function<void()> fn) override;
    void WaitMilliseconds(std::uint32_t ms) override;

    // Runs timers and posted calls until Stop() or until stop() answers true (checked at least every
    // 100 ms, so a signal flag is seen promptly).
    void Run(const std::function<bool()>& stop = {});
    void Stop();

private:
    void RunOnce(std::int64_t maxWaitMs);
    const Clock& FClock;
    TScheduledTimer::TSchedule FSchedule;
    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FPosted;
    std::atomic<bool> FStop{false};
};

} // namespace qv
