#pragma once
// A simulated time server and clock for tests and --simulate: the server answers with the clock's
// own UTC time moved by an offset (or refuses, stays silent, or answers with the wrong length),
// and the clock only records the corrections asked of it.

#include "core/Time.h"
#include "timesync/InternetTime.h"

#include <memory>
#include <vector>

namespace qv {

enum class TSimTimeAnswer
{
    Time,     // four bytes: the clock's UTC time plus OffsetSeconds
    Refused,  // the connection is refused
    Silent,   // connects and says nothing
    FiveBytes // an answer of the wrong length
};

class TSimTimeTransport : public ITimeTransport
{
public:
    TSimTimeTransport(Clock& clock, TimerService& timers) : FClock(clock), FTimers(timers) {}
    ~TSimTimeTransport() override;
    void SetEvents(TEvents events) override { *FEvents = std::move(events); }
    void Open(int check, const std::string& host, int port) override;
    void Close() override { ++FGeneration; }

    TSimTimeAnswer Behaviour = TSimTimeAnswer::Time;
    double OffsetSeconds = 0;
    std::uint32_t DelayMs = 40;
    int Opened = 0; // connections opened so far

private:
    Clock& FClock;
    TimerService& FTimers;
    const std::shared_ptr<TEvents> FEvents = std::make_shared<TEvents>();
    std::unique_ptr<Timer> FAnswerTimer;
    int FGeneration = 0;
};

class TSimClockSetter : public IClockSetter
{
public:
    std::string ShiftClock(std::int64_t microseconds) override
    {
        Shifts.push_back(microseconds);
        if (!Failure.empty())
            return Failure;
        if (OnShift)
            OnShift(microseconds);
        return {};
    }
    std::vector<std::int64_t> Shifts;
    std::string Failure;                            // non-empty: every shift fails with it
    std::function<void(std::int64_t)> OnShift;      // a virtual clock can follow the shift
};

} // namespace qv
