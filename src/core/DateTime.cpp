#include "core/DateTime.h"

#include "core/Errors.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace qv {

namespace {

// Days between 0000-03-01 based civil counting and 1899-12-30 (Hinnant's algorithms).
constexpr std::int64_t DaysFrom1970To1899 = -25569;

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

TDateParts CivilFromDays(std::int64_t z)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr const char* MonthLong[12] = {"gennaio", "febbraio", "marzo",     "aprile",  "maggio",   "giugno",
                                       "luglio",  "agosto",   "settembre", "ottobre", "novembre", "dicembre"};
constexpr const char* MonthShort[12] = {"gen", "feb", "mar", "apr", "mag", "giu",
                                        "lug", "ago", "set", "ott", "nov", "dic"};
constexpr const char* DayLong[7] = {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"};
constexpr const char* DayShort[7] = {"dom", "lun", "mar", "mer", "gio", "ven", "sab"};

std::string Pad(int value, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

} // namespace

TDecodedMs DecodeMs(double dateTime)
{
    if (!std::isfinite(dateTime))
        return {0, 0};
    const double total = std::nearbyint(dateTime * static_cast<double>(MSecsPerDay));
    // Far beyond any calendar date the program handles: clamp rather than overflow.
    if (std::fabs(total) > 9.0e17)
        return {0, 0};
    const auto ms = static_cast<std::int64_t>(total);
    if (ms >= 0)
        return {ms / MSecsPerDay, static_cast<std::int32_t>(ms % MSecsPerDay)};
    const std::int64_t a = -ms;
    return {-(a / MSecsPerDay), static_cast<std::int32_t>(a % MSecsPerDay)};
}

TTimeParts DecodeTime(double dateTime)
{
    const std::int32_t ms = DecodeMs(dateTime).MsOfDay;
    return {ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60, ms % 1000};
}

TDateParts DecodeDate(double dateTime)
{
    return CivilFromDays(DecodeMs(dateTime).Day + DaysFrom1970To1899);
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

std::optional<double> TryEncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               DaysFrom1970To1899);
}

double EncodeDate(int year, int month, int day)
{
    auto d = TryEncodeDate(year, month, day);
    if (!d)
        throw EQvError("Data non valida: " + Pad(day, 2) + "/" + Pad(month, 2) + "/" + Pad(year, 4));
    return *d;
}

double EncodeTime(int hour, int minute, int second, int msec)
{
    return static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / static_cast<double>(MSecsPerDay);
}

int DayOfWeek(double dateTime)
{
    // 1899-12-30 was a Saturday (7).
    const std::int64_t day = DecodeMs(dateTime).Day;
    return static_cast<int>(((day % 7) + 7 + 6) % 7) + 1;
}

std::int32_t TimeOfDayMs(double dateTime)
{
    return DecodeMs(dateTime).MsOfDay;
}

std::int64_t DayNumber(double dateTime)
{
    if (!std::isfinite(dateTime) || std::fabs(dateTime) > 1.0e7)
        return 0;
    return static_cast<std::int64_t>(std::trunc(dateTime));
}

std::int32_t TimeOfDayMsInDay(double dateTime)
{
    const TDecodedMs d = DecodeMs(dateTime);
    return d.Day != DayNumber(dateTime) ? static_cast<std::int32_t>(MSecsPerDay - 1) : d.MsOfDay;
}

double CutToSeconds(double dateTime)
{
    const TDecodedMs d = DecodeMs(dateTime);
    const double time = static_cast<double>(d.MsOfDay / 1000) / 86400.0;
    return d.Day >= 0 ? static_cast<double>(d.Day) + time : static_cast<double>(d.Day) - time;
}

std::int64_t DurationToSeconds(double duration)
{
    if (duration < 0)
        throw EQvError("L'intervallo di tempo non può essere minore di 0");
    try {
        const TDecodedMs d = DecodeMs(duration);
        std::int64_t seconds = d.Day * 86400 + d.MsOfDay / 1000;
        if (d.MsOfDay % 1000 == 999)
            ++seconds;
        return seconds;
    } catch (const std::exception& e) {
        throw EQvError(std::string("Errore durante la conversione del tempo in secondi\r[") + e.what() + "]");
    }
}

double SecondsToDuration(double seconds)
{
    return seconds * OneSecond;
}

bool IsSameDay(double a, double b)
{
    return std::trunc(a) == std::trunc(b);
}

double AbsDifference(double a, double b)
{
    return std::fabs(a - b);
}

double Frac(double x)
{
    return x - std::trunc(x);
}

double CombineDateTime(double timeSource, double dateSource)
{
    return std::trunc(dateSource) + Frac(timeSource);
}

const char* LongMonthName(int month)
{
    return month >= 1 && month <= 12 ? MonthLong[month - 1] : "";
}
const char* ShortMonthName(int month)
{
    return month >= 1 && month <= 12 ? MonthShort[month - 1] : "";
}
const char* LongDayName(int dayOfWeek)
{
    return dayOfWeek >= 1 && dayOfWeek <= 7 ? DayLong[dayOfWeek - 1] : "";
}
const char* ShortDayName(int dayOfWeek)
{
    return dayOfWeek >= 1 && dayOfWeek <= 7 ? DayShort[dayOfWeek - 1] : "";
}

std::string FormatDateTime(std::string_view pattern, double dateTime)
{
    const TDateParts date = DecodeDate(dateTime);
    const TTimeParts time = DecodeTime(dateTime);
    std::string out;
    bool afterHour = false;
    const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    const auto starts = [&](std::size_t at, std::string_view what) {
        if (at + what.size() > pattern.size())
            return false;
        for (std::size_t k = 0; k < what.size(); ++k)
            if (lower(pattern[at + k]) != what[k])
                return false;
        return true;
    };
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = lower(pattern[i]);
        std::size_t run = 1;
        while (i + run < pattern.size() && lower(pattern[i + run]) == c)
            ++run;
        switch (c) {
        case '"':
        case '\'': {
            const auto end = pattern.find(pattern[i], i + 1);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop == pattern.size() ? stop : stop + 1;
            continue;
        }
        case 'd':
            if (run == 1)
                out += std::to_string(date.Day);
            else if (run == 2)
                out += Pad(date.Day, 2);
            else if (run == 3)
                out += ShortDayName(DayOfWeek(dateTime));
            else if (run == 4)
                out += LongDayName(DayOfWeek(dateTime));
            else if (run == 5)
                out += Pad(date.Day, 2) + "/" + Pad(date.Month, 2) + "/" + Pad(date.Year, 4);
            else
                out += std::string(LongDayName(DayOfWeek(dateTime))) + " " + std::to_string(date.Day) + " " +
                       LongMonthName(date.Month) + " " + Pad(date.Year, 4);
            afterHour = false;
            break;
        case 'm':
            if (afterHour && run <= 2) {
                out += run == 1 ? std::to_string(time.Minute) : Pad(time.Minute, 2);
            } else if (run == 1) {
                out += std::to_string(date.Month);
            } else if (run == 2) {
                out += Pad(date.Month, 2);
            } else if (run == 3) {
                out += ShortMonthName(date.Month);
            } else {
                out += LongMonthName(date.Month);
            }
            afterHour = false;
            break;
        case 'y':
            out += run <= 2 ? Pad(date.Year % 100, 2) : Pad(date.Year, 4);
            afterHour = false;
            break;
        case 'h': {
            int hour = time.Hour;
            // A following am/pm marker turns the hour into the 12-hour form.
            const auto rest = pattern.substr(i + run);
            const bool twelve = rest.find("am/pm") != std::string_view::npos ||
                                rest.find("AM/PM") != std::string_view::npos ||
                                rest.find("a/p") != std::string_view::npos || rest.find("A/P") != std::string_view::npos;
            if (twelve) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += run == 1 ? std::to_string(hour) : Pad(hour, 2);
            afterHour = true;
            break;
        }
        case 'n':
            out += run == 1 ? std::to_string(time.Minute) : Pad(time.Minute, 2);
            afterHour = false;
            break;
        case 's':
            out += run == 1 ? std::to_string(time.Second) : Pad(time.Second, 2);
            afterHour = false;
            break;
        case 'z':
            out += run < 3 ? std::to_string(time.MSec) : Pad(time.MSec, 3);
            afterHour = false;
            break;
        case 'a':
            if (starts(i, "am/pm")) {
                out += time.Hour < 12 ? "am" : "pm";
                i += 5;
                continue;
            }
            if (starts(i, "a/p")) {
                out += time.Hour < 12 ? "a" : "p";
                i += 3;
                continue;
            }
            out.append(pattern.substr(i, run));
            break;
        default:
            out.append(pattern.substr(i, run));
            break;
        }
        i += run;
    }
    return out;
}

namespace {

bool ReadNumber(std::string_view s, std::size_t& i, int minDigits, int maxDigits, int& value)
{
    int digits = 0;
    value = 0;
    while (i < s.size() && digits < maxDigits && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++digits;
    }
    return digits >= minDigits;
}

bool Expect(std::string_view s, std::size_t& i, char c)
{
    if (i < s.size() && s[i] == c) {
        ++i;
        return true;
    }
    return false;
}

// Parses "hh:mm[:ss[.zzz]]" from s[i]; fills the time and advances i.
bool ReadClock(std::string_view s, std::size_t& i, double& time)
{
    int h = 0, m = 0, sec = 0, ms = 0;
    if (!ReadNumber(s, i, 1, 2, h) || !Expect(s, i, ':') || !ReadNumber(s, i, 2, 2, m))
        return false;
    if (Expect(s, i, ':')) {
        if (!ReadNumber(s, i, 2, 2, sec))
            return false;
        if (Expect(s, i, '.')) {
            const std::size_t start = i;
            if (!ReadNumber(s, i, 1, 3, ms))
                return false;
            for (std::size_t k = i - start; k < 3; ++k)
                ms *= 10;
        }
    }
    if (h > 23 || m > 59 || sec > 59)
        return false;
    time = EncodeTime(h, m, sec, ms);
    return true;
}

std::optional<double> Finish(std::string_view s, std::size_t i, double date)
{
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i == s.size())
        return date;
    double time = 0;
    if (!ReadClock(s, i, time))
        return std::nullopt;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i != s.size())
        return std::nullopt;
    return date >= 0 ? date + time : date - time;
}

} // namespace

std::optional<double> ParseDateTimeIt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    int d = 0, m = 0, y = 0;
    if (!ReadNumber(text, i, 1, 2, d) || !Expect(text, i, '/') || !ReadNumber(text, i, 1, 2, m) ||
        !Expect(text, i, '/') || !ReadNumber(text, i, 4, 4, y))
        return std::nullopt;
    const auto date = TryEncodeDate(y, m, d);
    if (!date)
        return std::nullopt;
    return Finish(text, i, *date);
}

std::optional<double> ParseDateTimeIso(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    int d = 0, m = 0, y = 0;
    if (!ReadNumber(text, i, 4, 4, y) || !Expect(text, i, '-') || !ReadNumber(text, i, 2, 2, m) ||
        !Expect(text, i, '-') || !ReadNumber(text, i, 2, 2, d))
        return std::nullopt;
    const auto date = TryEncodeDate(y, m, d);
    if (!date)
        return std::nullopt;
    if (i < text.size() && text[i] == 'T')
        ++i;
    return Finish(text, i, *date);
}

std::optional<double> ParseTimeOfDay(std::string_view text)
{
    std::size_t i = 0;
    double time = 0;
    if (!ReadClock(text, i, time) || i != text.size())
        return std::nullopt;
    return time;
}

TDateParts EasterMonday(int year)
{
    int M = 0, N = 0;
    if (year >= 1583 && year <= 1699) {
        M = 22;
        N = 2;
    } else if (year >= 1700 && year <= 1799) {
        M = 23;
        N = 3;
    } else if (year >= 1800 && year <= 1899) {
        M = 23;
        N = 4;
    } else if (year >= 1900 && year <= 2099) {
        M = 24;
        N = 5;
    } else if (year >= 2100 && year <= 2199) {
        M = 24;
        N = 6;
    } else if (year >= 2200 && year <= 2299) {
        M = 25;
        N = 0;
    } else if (year >= 2300 && year <= 2399) {
        M = 26;
        N = 1;
    } else if (year >= 2400 && year <= 2499) {
        M = 25;
        N = 1;
    } else {
        throw EQvError("Anno fuori dall'intervallo 1583-2499: " + std::to_string(year));
    }
    const int a = year % 19, b = year % 4, c = year % 7;
    const int d = (19 * a + M) % 30;
    const int e = (2 * b + 4 * c + 6 * d + N) % 7;
    int month = 3;
    int day = 22 + d + e;
    if (day > 31) {
        month = 4;
        day = d + e - 9;
        if (day == 26)
            day = 19;
        else if (day == 25 && d == 28 && e == 6 && (11 * M + 11) % 30 < 19)
            day = 18;
    }
    // Easter Monday is the day after Easter Sunday.
    const TDateParts monday = DecodeDate(EncodeDate(year, month, day) + 1);
    return monday;
}

bool IsEasterMonday(double date)
{
    // Asked for every priced day: the dates of all supported years are computed once.
    static const std::vector<std::int64_t> mondays = [] {
        std::vector<std::int64_t> days;
        for (int year = 1583; year <= 2499; ++year) {
            const TDateParts e = EasterMonday(year);
            days.push_back(static_cast<std::int64_t>(EncodeDate(year, e.Month, e.Day)));
        }
        return days;
    }();
    const std::int64_t day = DecodeMs(date).Day;
    const TDateParts d = CivilFromDays(day + DaysFrom1970To1899);
    if (d.Year < 1583 || d.Year > 2499)
        return false;
    return mondays[static_cast<std::size_t>(d.Year - 1583)] == day;
}

bool IsEasterSunday(double date)
{
    return IsEasterMonday(date + 1);
}

int SpecialDay(double date)
{
    const TDateParts d = DecodeDate(date);
    if (d.Month == 12 && d.Day == 25)
        return 1;
    if (d.Month == 1 && d.Day == 1)
        return d.Year == 2000 ? 3 : 2;
    return 0;
}

} // namespace qv
