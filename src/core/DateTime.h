#pragma once
// Day-fraction date-times (days since 1899-12-30; the fraction is the time of day, one second is
// 1/86400): decoding, encoding, text forms, the Easter date and the special days.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

constexpr double OneSecond = 1.0 / 86400.0;
constexpr std::int64_t MSecsPerDay = 86400000;

// The one decoding of a date-time: the whole value is turned into a millisecond count rounded to the
// nearest millisecond, then split into a day number and the milliseconds of that day. A negative
// value keeps its day in the integer part and its time in the absolute fraction (-1.25 is the day
// before 1899-12-30 at 06:00). Every piece of the program that needs the time of day uses this.
struct TDecodedMs
{
    std::int64_t Day;      // whole days since 1899-12-30
    std::int32_t MsOfDay;  // 0 .. 86399999
};
TDecodedMs DecodeMs(double dateTime);

struct TTimeParts
{
    int Hour, Minute, Second, MSec;
};
struct TDateParts
{
    int Year, Month, Day;
};

TTimeParts DecodeTime(double dateTime);
TDateParts DecodeDate(double dateTime);
double EncodeDate(int year, int month, int day); // throws EQvError when not a valid date
double EncodeTime(int hour, int minute, int second, int msec);
std::optional<double> TryEncodeDate(int year, int month, int day);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// 1 = Sunday .. 7 = Saturday, as the program counts week days.
int DayOfWeek(double dateTime);

// Time of day in whole milliseconds (through DecodeMs).
std::int32_t TimeOfDayMs(double dateTime);
// The same, kept within the moment's own day: an instant that rounds up to the next midnight is the
// day's last millisecond (23:59:59.999). Time bands are looked up with this.
std::int32_t TimeOfDayMsInDay(double dateTime);
// The day of a moment as the calendar sees it (the integer part, days since 1899-12-30).
std::int64_t DayNumber(double dateTime);
// The date-time with the milliseconds of its rounded millisecond count dropped.
double CutToSeconds(double dateTime);

// Whole seconds of a non-negative duration; a duration decoding to n s 999 ms counts n + 1 s.
// Negative durations raise "L'intervallo di tempo non può essere minore di 0".
std::int64_t DurationToSeconds(double duration);
double SecondsToDuration(double seconds);

bool IsSameDay(double a, double b);
double AbsDifference(double a, double b);
double Frac(double x);
double CombineDateTime(double timeSource, double dateSource);

// FormatDateTime patterns: d dd ddd dddd m mm mmm mmmm (minutes after h) yy yyyy h hh n nn s ss z zzz
// am/pm a/p, "/" and ":" separators, quoted literals; Italian day and month names.
std::string FormatDateTime(std::string_view pattern, double dateTime);
// "dd/mm/yyyy hh:nn:ss" (the time part may be missing, seconds optional).
std::optional<double> ParseDateTimeIt(std::string_view text);
// "YYYY-MM-DD hh:mm:ss" (the time part may be missing; milliseconds optional).
std::optional<double> ParseDateTimeIso(std::string_view text);
// "hh:mm:ss" or "hh:mm:ss.zzz" as a time of day.
std::optional<double> ParseTimeOfDay(std::string_view text);

const char* LongMonthName(int month);  // 1..12, "gennaio"
const char* ShortMonthName(int month); // "gen"
const char* LongDayName(int dayOfWeek);  // 1 = "domenica"
const char* ShortDayName(int dayOfWeek); // "dom"

// Month and day of Easter Monday (years 1583..2499; others raise EQvError).
TDateParts EasterMonday(int year);
bool IsEasterMonday(double date);
bool IsEasterSunday(double date);
// 1 for 25 December, 3 for 1 January 2000, 2 for any other 1 January, 0 otherwise.
int SpecialDay(double date);

} // namespace qv
