#include "platform/sim/SimTime.h"

#include "core/DateTime.h"

#include <cmath>

namespace qv {

TSimTimeTransport::~TSimTimeTransport()
{
    *FEvents = {};
}

void TSimTimeTransport::Open(int check, const std::string&, int)
{
    ++Opened;
    const int generation = ++FGeneration;
    std::weak_ptr<TEvents> events = FEvents;
    FAnswerTimer = FTimers.CreateTimer("SimTimeServer", DelayMs);
    Timer* t = FAnswerTimer.get();
    t->OnTimer = [this, t, events, check, generation] {
        t->SetEnabled(false);
        const auto e = events.lock();
        if (!e || generation != FGeneration)
            return;
        switch (Behaviour) {
        case TSimTimeAnswer::Refused:
            if (e->Failed)
                e->Failed(check, "Connection refused");
            return;
        case TSimTimeAnswer::Silent:
            if (e->Connected)
                e->Connected(check);
            return;
        case TSimTimeAnswer::FiveBytes:
            if (e->Connected)
                e->Connected(check);
            if (e->Answer)
                e->Answer(check, {1, 2, 3, 4, 5});
            return;
        case TSimTimeAnswer::Time: {
            if (e->Connected)
                e->Connected(check);
            const double server = FClock.UtcNow() + OffsetSeconds * OneSecond;
            const auto s = static_cast<std::uint32_t>(std::llround((server - EncodeDate(1900, 1, 1)) * 86400.0));
            if (e->Answer)
                e->Answer(check, {static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16),
                                  static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)});
            return;
        }
        }
    };
    t->SetEnabled(true);
}

} // namespace qv
