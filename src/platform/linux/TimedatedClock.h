#pragma once
// Moving the system clock on Linux: through systemd-timedated on D-Bus (SetTime, relative,
// interactive so that polkit may ask for a password) when it runs, else with clock_settime when
// the process may.

#include "timesync/InternetTime.h"

#include <memory>
#include <string>

namespace qv {

class TTimedatedClock : public IClockSetter
{
public:
    // busAddress: a D-Bus address to reach timedated on (empty: the system bus); allowDirect: try
    // clock_settime when timedated is not there.
    explicit TTimedatedClock(std::string busAddress = {}, bool allowDirect = true)
        : FAddress(std::move(busAddress)), FAllowDirect(allowDirect)
    {
    }
    std::string ShiftClock(std::int64_t microseconds) override;

private:
    std::string FAddress;
    bool FAllowDirect;
};

// The clock setter the program and the tool use: timedated on the system bus, or on the bus named
// by QUORVANTA_TIMEDATED_BUS (then never clock_settime, so a test cannot move the real clock).
std::unique_ptr<IClockSetter> MakeClockSetter();

} // namespace qv
