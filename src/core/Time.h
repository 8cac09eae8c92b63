#pragma once
// Injected time: the wall clock, the steady tick counter, timers in the manner of the program's
// window timers, and the one way a worker thread hands work to the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qv {

class Clock
{
public:
    virtual ~Clock() = default;
    // Local wall-clock date-time as a day-fraction (days since 1899-12-30, fraction = time of day).
    virtual double Now() const = 0;
    // The same for UTC.
    virtual double UtcNow() const = 0;
    // Steady milliseconds; only differences are meaningful.
    virtual std::int64_t TickCount() const = 0;
};

// A repeating timer: while enabled it fires OnTimer every Interval milliseconds. Enabling it, or
// changing the interval while it is enabled, restarts the countdown. A one-shot disables itself.
class Timer
{
public:
    virtual ~Timer() = default;
    virtual void SetInterval(std::uint32_t ms) = 0;
    virtual std::uint32_t Interval() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual const std::string& Name() const = 0;
    std::function<void()> OnTimer;
};

class TimerService
{
public:
    virtual ~TimerService() = default;
    virtual std::unique_ptr<Timer> CreateTimer(const std::string& name, std::uint32_t intervalMs = 1000) = 0;
    // Thread-safe: runs fn on the main thread later.
    virtual void Post(std::function<void()> fn) = 0;
    // Keeps the main loop running (timers, posted calls) until ms milliseconds have passed.
    virtual void WaitMilliseconds(std::uint32_t ms) = 0;
};

} // namespace qv
