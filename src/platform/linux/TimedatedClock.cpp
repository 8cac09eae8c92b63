#include "platform/linux/TimedatedClock.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sdbus-c++/sdbus-c++.h>

namespace qv {

namespace {

std::string ShiftDirectly(std::int64_t microseconds)
{
    timespec now{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0)
        return std::strerror(errno);
    const std::int64_t ns = static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec + microseconds * 1000;
    const timespec to{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    return ::clock_settime(CLOCK_REALTIME, &to) == 0 ? std::string() : std::strerror(errno);
}

} // namespace

std::unique_ptr<IClockSetter> MakeClockSetter()
{
    const char* bus = std::getenv("QUORVANTA_TIMEDATED_BUS");
    if (bus && *bus)
        return std::make_unique<TTimedatedClock>(bus, false);
    return std::make_unique<TTimedatedClock>();
}

std::string TTimedatedClock::ShiftClock(std::int64_t microseconds)
{
    std::string failure;
    try {
        auto connection = FAddress.empty() ? sdbus::createSystemBusConnection()
                                           : sdbus::createSessionBusConnectionWithAddress(FAddress);
        auto proxy = sdbus::createProxy(*connection, "org.freedesktop.timedate1", "/org/freedesktop/timedate1");
        // Relative to the clock as timedated reads it; polkit may ask the user for a password,
        // which takes as long as the user needs.
        proxy->callMethod("SetTime")
            .onInterface("org.freedesktop.timedate1")
            .withArguments(static_cast<std::int64_t>(microseconds), true, true)
            .withTimeout(std::chrono::minutes(2));
        return {};
    } catch (const sdbus::Error& e) {
        const std::string name = e.getName();
        // timedated refuses while it keeps the clock synchronised itself.
        if (name == "org.freedesktop.timedate1.AutomaticTimeSyncEnabled")
            return AutomaticSyncReason;
        const bool absent = name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
                            name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
                            name.find("NoServer") != std::string::npos || name.find("FileNotFound") != std::string::npos;
        if (!absent || !FAllowDirect)
            return e.getMessage().empty() ? name : e.getMessage();
        failure = e.getMessage();
    }
    const std::string direct = ShiftDirectly(microseconds);
    return direct.empty() ? direct : direct + (failure.empty() ? "" : " (" + failure + ")");
}

} // namespace qv
