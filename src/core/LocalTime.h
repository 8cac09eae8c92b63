#pragma once
// Local date-times of the data files against the real time that passed between them. The files keep
// local wall-clock times (the day-fraction doubles); on a daylight-saving night the wall clock skips
// or repeats an hour, so the real duration between two stored times is found through the system's
// time zone (TZ), never by subtracting them:
// - a local time that does not exist (the hour skipped in spring) is refused where a user types it,
//   and taken as the instant of the change where a rule meets one (a band that ends at 02:30);
// - an ambiguous local time (the hour repeated in autumn) is its first occurrence, unless the
//   stored order says otherwise (an end that would come before its start is the second occurrence).

#include <cstdint>
#include <optional>

namespace qv {

// Seconds since 1970 (UTC) of a local date-time; nullopt when the wall clock never showed it.
// second: for an ambiguous time, its second occurrence.
std::optional<std::int64_t> LocalToUnix(double localDateTime, bool second = false);
// The same, with a time that does not exist taken as the instant of the change.
std::int64_t LocalToUnixClamped(double localDateTime, bool second = false);
// The local date-time of an instant.
double UnixToLocal(std::int64_t unixSeconds);
// Real whole seconds from one local date-time to another (the milliseconds cut as the prices cut
// them); negative when `to` comes first even as its second occurrence.
std::int64_t RealSecondsBetween(double from, double to);
// The local date-time `seconds` real seconds after a local date-time.
double AddRealSeconds(double local, std::int64_t seconds);
// Whether a local date-time exists (is not in the hour skipped in spring).
bool LocalTimeExists(double localDateTime);

} // namespace qv
