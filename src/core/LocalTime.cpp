#include "core/LocalTime.h"

#include "core/DateTime.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

namespace qv {

namespace {

constexpr std::int64_t UnixEpochDay = 25569; // 1970-01-01 as a day number

// Local date-time as whole seconds on the same scale as Unix time ("as if it were UTC").
std::int64_t NominalSeconds(double local)
{
    // As durations count: 23:59:59.999, the end of a day, is the next day's first second.
    const TDecodedMs d = DecodeMs(local);
    return (d.Day - UnixEpochDay) * 86400 + d.MsOfDay / 1000 + (d.MsOfDay % 1000 == 999 ? 1 : 0);
}

std::int64_t OffsetAt(std::int64_t unixSeconds)
{
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return tm.tm_gmtoff;
}

// The offsets in force around a local hour: one where nothing changes, two around a change. Each
// local hour is looked up once (a year of connections reprices without asking the zone again).
struct THourOffsets
{
    std::int64_t Hour = INT64_MIN;
    std::int64_t Before = 0, After = 0;
};

THourOffsets LookUp(std::int64_t nominalHour)
{
    static std::array<THourOffsets, 4096> cache;
    static std::mutex lock;
    static std::string zone;
    const std::size_t slot = static_cast<std::size_t>(nominalHour) & 4095u;
    {
        std::lock_guard<std::mutex> guard(lock);
        // Another zone (TZ changed): what was looked up belongs to the old one.
        const char* tz = std::getenv("TZ");
        if (zone != (tz ? tz : "")) {
            zone = tz ? tz : "";
            ::tzset();
            cache.fill({});
        }
        if (cache[slot].Hour == nominalHour)
            return cache[slot];
    }
    const std::int64_t l = nominalHour * 3600;
    THourOffsets h;
    h.Hour = nominalHour;
    // No zone moves its clock by more than a day: the offsets a day before and after bracket it.
    h.Before = OffsetAt(l - 86400);
    h.After = OffsetAt(l + 86400);
    if (h.Before == h.After) {
        // Changes closer together than two days (none known): look at this hour itself.
        const std::int64_t here = OffsetAt(l - h.Before);
        if (here != h.Before)
            h.After = here;
    }
    std::lock_guard<std::mutex> guard(lock);
    cache[slot] = h;
    return h;
}

} // namespace

std::optional<std::int64_t> LocalToUnix(double localDateTime, bool second)
{
    const std::int64_t l = NominalSeconds(localDateTime);
    const THourOffsets h = LookUp(static_cast<std::int64_t>(std::floor(static_cast<double>(l) / 3600.0)));
    // No change of the clock near this hour: one answer, without asking the zone again.
    if (h.Before == h.After)
        return l - h.Before;
    std::optional<std::int64_t> first, other;
    for (const std::int64_t offset : {h.Before, h.After}) {
        const std::int64_t u = l - offset;
        if (OffsetAt(u) != offset)
            continue;
        if (!first || u < *first) {
            if (first && *first != u)
                other = first;
            first = u;
        } else if (u != *first) {
            other = u;
        }
    }
    if (second && other)
        return other;
    return first;
}

std::int64_t LocalToUnixClamped(double localDateTime, bool second)
{
    if (const auto u = LocalToUnix(localDateTime, second))
        return *u;
    // In the skipped hour: the instant of the change, found between the two readings.
    const std::int64_t l = NominalSeconds(localDateTime);
    const THourOffsets h = LookUp(static_cast<std::int64_t>(std::floor(static_cast<double>(l) / 3600.0)));
    std::int64_t lo = l - std::max(h.Before, h.After), hi = l - std::min(h.Before, h.After);
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (OffsetAt(mid) == h.Before)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

double UnixToLocal(std::int64_t unixSeconds)
{
    const std::int64_t local = unixSeconds + OffsetAt(unixSeconds);
    const std::int64_t days = local >= 0 ? local / 86400 : -((-local + 86399) / 86400);
    const std::int64_t secs = local - days * 86400;
    const double day = static_cast<double>(days + UnixEpochDay);
    // Dates before 1899-12-30 keep the time of day in the absolute fraction.
    const double frac = static_cast<double>(secs) / 86400.0;
    return day >= 0 ? day + frac : day - frac;
}

std::int64_t RealSecondsBetween(double from, double to)
{
    const std::int64_t nominal = NominalSeconds(to) - NominalSeconds(from);
    const std::int64_t a = LocalToUnixClamped(from);
    std::int64_t b = LocalToUnixClamped(to);
    // Nothing changed the clock between them: the plain difference (the usual case, and what a
    // zone without daylight saving always gives).
    if (b - a == nominal && nominal >= 0)
        return nominal;
    if (b < a)
        b = LocalToUnixClamped(to, true);
    return b - a;
}

double AddRealSeconds(double local, std::int64_t seconds)
{
    return UnixToLocal(LocalToUnixClamped(local) + seconds);
}

bool LocalTimeExists(double localDateTime)
{
    return LocalToUnix(localDateTime).has_value();
}

} // namespace qv
