#include "core/VirtualTime.h"

#include <algorithm>

namespace qv {

namespace {
constexpr double MsPerDay = 86400000.0;
}

class VirtualTime::VTimer : public Timer
{
public:
    VTimer(VirtualTime& owner, std::string name, std::uint32_t interval)
        : FOwner(owner), FName(std::move(name)), FInterval(interval)
    {
        FOwner.Register(this);
    }
    ~VTimer() override { FOwner.Unregister(this); }

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
    void Restart()
    {
        FDue = FOwner.FTick + FInterval;
        FOrder = ++FOwner.FSequence;
    }

    VirtualTime& FOwner;
    std::string FName;
    std::uint32_t FInterval;
    bool FEnabled = false;
    std::int64_t FDue = 0;
    std::uint64_t FOrder = 0;
};

VirtualTime::VirtualTime(double now, double utcOffsetDays) : FNowAtTickZero(now), FUtcOffset(utcOffsetDays) {}

VirtualTime::~VirtualTime() = default;

double VirtualTime::Now() const
{
    return FNowAtTickZero + static_cast<double>(FTick) / MsPerDay;
}

double VirtualTime::UtcNow() const
{
    return Now() - FUtcOffset;
}

void VirtualTime::SetNow(double now)
{
    FNowAtTickZero = now - static_cast<double>(FTick) / MsPerDay;
}

std::unique_ptr<Timer> VirtualTime::CreateTimer(const std::string& name, std::uint32_t intervalMs)
{
    return std::make_unique<VTimer>(*this, name, intervalMs);
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

void VirtualTime::Register(VTimer* t)
{
    FTimers.push_back(t);
}

void VirtualTime::Unregister(VTimer* t)
{
    FTimers.erase(std::remove(FTimers.begin(), FTimers.end(), t), FTimers.end());
}

VirtualTime::VTimer* VirtualTime::NextDue(std::int64_t limit) const
{
    VTimer* best = nullptr;
    for (VTimer* t : FTimers) {
        if (!t->Armed() || t->FDue > limit)
            continue;
        if (!best || t->FDue < best->FDue || (t->FDue == best->FDue && t->FOrder < best->FOrder))
            best = t;
    }
    return best;
}

void VirtualTime::Skip(std::int64_t ms)
{
    FTick += ms;
}

void VirtualTime::Advance(std::int64_t ms)
{
    const std::int64_t target = FTick + ms;
    RunPosted();
    while (VTimer* t = NextDue(target)) {
        FTick = std::max(FTick, t->FDue);
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
