#include "core/VirtualTime.h"

#include "core/LocalTime.h"

#include <algorithm>

namespace qv {

namespace {
constexpr double MsPerDay = 86400000.0;
}

VirtualTime::VirtualTime(double now, double utcOffsetDays) : FNowAtTickZero(now), FUtcOffset(utcOffsetDays)
{
    FSchedule.Now = [this] { return FTick; };
}

VirtualTime::~VirtualTime() = default;

double VirtualTime::Now() const
{
    if (FFollowZone) {
        const std::int64_t ms = FUnixAtTickZero * 1000 + FTick;
        const std::int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        return UnixToLocal(seconds) + static_cast<double>(ms - seconds * 1000) / MsPerDay;
    }
    return FNowAtTickZero + static_cast<double>(FTick) / MsPerDay;
}

void VirtualTime::FollowTimeZone()
{
    if (FFollowZone)
        return;
    FUnixAtTickZero = LocalToUnixClamped(Now()) - FTick / 1000;
    FFollowZone = true;
}

double VirtualTime::UtcNow() const
{
    return Now() - FUtcOffset;
}

void VirtualTime::SetNow(double now)
{
    if (FFollowZone)
        FUnixAtTickZero = LocalToUnixClamped(now) - FTick / 1000;
    FNowAtTickZero = now - static_cast<double>(FTick) / MsPerDay;
}

std::unique_ptr<Timer> VirtualTime::CreateTimer(const std::string& name, std::uint32_t intervalMs)
{
    return std::make_unique<TScheduledTimer>(FSchedule, name, intervalMs);
}

void VirtualTime::Post(std::function<void()> fn)
{
    std::lock_guard lock(FPostMutex);
    FPosted.push_back(std::move(fn));
}

void VirtualTime::RunPosted()
{
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(FPostMutex);
            if (FPosted.empty())
                return;
            fn = std::move(FPosted.front());
            FPosted.pop_front();
        }
        fn();
    }
}

void VirtualTime::Skip(std::int64_t ms)
{
    FTick += ms;
}

void VirtualTime::Advance(std::int64_t ms)
{
    const std::int64_t target = FTick + ms;
    RunPosted();
    while (TScheduledTimer* t = TScheduledTimer::NextDue(FSchedule, target)) {
        FTick = std::max(FTick, t->Due());
        // Re-arm before firing, so the handler may disable or re-time its own timer.
        t->Restart();
        if (t->OnTimer)
            t->OnTimer();
        RunPosted();
    }
    FTick = target;
    RunPosted();
}

} // namespace qv
