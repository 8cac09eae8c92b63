#pragma once
// Virtual time for tests and the command-line tool: a settable clock and timers that fire only
// when Advance() moves time forward, in due order, without sleeping.

#include "core/ScheduledTimer.h"

#include <deque>
#include <mutex>
#include <vector>

namespace qv {

class VirtualTime : public Clock, public TimerService
{
public:
    // now: the local date-time at tick 0; utcOffsetDays: local minus UTC.
    explicit VirtualTime(double now = 45000.0, double utcOffsetDays = 1.0 / 24.0);
    ~VirtualTime() override;

    double Now() const override;
    double UtcNow() const override;
    // Like a real tick counter, it does not start at 0 (a live status takes 0 for "no start").
    std::int64_t TickCount() const override { return FTick + TickOrigin; }
    static constexpr std::int64_t TickOrigin = 1000000;

    std::unique_ptr<Timer> CreateTimer(const std::string& name, std::uint32_t intervalMs = 1000) override;
    void Post(std::function<void()> fn) override;
    void WaitMilliseconds(std::uint32_t ms) override { Advance(ms); }

    // Moves time forward by ms, firing every due timer occurrence and every posted call in order.
    void Advance(std::int64_t ms);
    // Moves time forward without firing anything, as when the main loop was blocked; the next
    // Advance fires each overdue timer once (missed firings coalesce, as window timers do).
    void Skip(std::int64_t ms);
    // Sets the wall clock without moving the tick counter (the user or a time server set the clock).
    void SetNow(double now);
    // Runs the calls posted so far.
    void RunPosted();
    // From now on the wall clock follows the system's time zone as a real one does: it jumps an
    // hour forward or back on a daylight-saving night while the ticks go on evenly.
    void FollowTimeZone();

private:
    std::int64_t FTick = 0;
    double FNowAtTickZero;
    double FUtcOffset;
    bool FFollowZone = false;
    std::int64_t FUnixAtTickZero = 0;
    TScheduledTimer::TSchedule FSchedule;
    std::mutex FPostMutex;
    std::deque<std::function<void()>> FPosted;
};

} // namespace qv
