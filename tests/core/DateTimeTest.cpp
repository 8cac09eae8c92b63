// Day-fraction date-times: decoding through rounded milliseconds, durations, text forms, Easter.
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Functions.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(DateTime, DecodeRoundsToTheNearestMillisecond)
{
    EXPECT_EQ(DecodeMs(36997.4376736111).MsOfDay, (10 * 3600 + 30 * 60 + 15) * 1000);
    // 13:00:00 of a present-day date is a hair below 13:00 as a double: it still decodes as 13:00.
    const double oneOClock = EncodeDate(2026, 12, 8) + 13.0 / 24.0;
    EXPECT_EQ(TimeOfDayMs(oneOClock), 13 * 3600000);
    // A negative date keeps its day in the integer part and its time in the fraction.
    const TDecodedMs neg = DecodeMs(-1.25);
    EXPECT_EQ(neg.Day, -1);
    EXPECT_EQ(neg.MsOfDay, 6 * 3600000);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", -1.25), "1899-12-29 06:00:00.000");
    // Half a millisecond before midnight rounds into the next day.
    const TDecodedMs late = DecodeMs(45000.0 + 86399999.5 / 86400000.0);
    EXPECT_EQ(late.Day, 45001);
    EXPECT_EQ(late.MsOfDay, 0);
    EXPECT_EQ(DecodeMs(45000.0 + 86399999.4 / 86400000.0).MsOfDay, 86399999);
    EXPECT_DOUBLE_EQ(CutToSeconds(45000.0 + 1234.567 / 86400.0), 45000.0 + 1234.0 / 86400.0);
}

TEST(DateTime, CalendarAndWeekDays)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(2001, 4, 16), 36997.0);
    const TDateParts d = DecodeDate(36997.4376736111);
    EXPECT_EQ(d.Year, 2001);
    EXPECT_EQ(d.Month, 4);
    EXPECT_EQ(d.Day, 16);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 8)), 3); // a Tuesday
    EXPECT_EQ(DayOfWeek(0), 7);                       // 1899-12-30 was a Saturday
    EXPECT_FALSE(TryEncodeDate(2001, 2, 29));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
    EXPECT_THROW(EncodeDate(2026, 13, 1), EQvError);
}

TEST(DateTime, DurationToSeconds)
{
    EXPECT_EQ(DurationToSeconds(90 * OneSecond), 90);
    EXPECT_EQ(DurationToSeconds(89.999 * OneSecond), 90); // n s 999 ms counts as n + 1 s
    EXPECT_EQ(DurationToSeconds(89.998 * OneSecond), 89);
    EXPECT_EQ(DurationToSeconds(3.0 + 5 * OneSecond), 3 * 86400 + 5);
    // Every whole number of seconds in a long connection comes back whole.
    for (int s = 0; s < 200000; s += 7)
        ASSERT_EQ(DurationToSeconds(SecondsToDuration(s)), s);
    try {
        DurationToSeconds(-OneSecond);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "L'intervallo di tempo non può essere minore di 0");
    }
}

TEST(DateTime, DurationTextForms)
{
    EXPECT_EQ(FormatDurationShort(65 * OneSecond, true), "01.05");
    EXPECT_EQ(FormatDurationShort(65 * OneSecond, false), "1 min 5 sec");
    EXPECT_EQ(FormatDurationShort((3 * 3600 + 7 * 60) * OneSecond, true), "3.07");
    EXPECT_EQ(FormatDurationShort((3 * 3600 + 7 * 60) * OneSecond, false), "3 h 7 min ");
    EXPECT_EQ(FormatDurationShort(5 * OneSecond, false), "5 sec");
    EXPECT_EQ(FormatDurationShort(1.0 + 60 * OneSecond, true), "24.01");
    EXPECT_EQ(FormatDurationLong(1.0 + 5 * OneSecond), "1 giorno 0 h 0 min 5 sec");
    EXPECT_EQ(FormatDurationLong(2.0 + 3661 * OneSecond), "2 giorni 1 h 1 min 1 sec");
    EXPECT_EQ(FormatDurationLong(3661 * OneSecond), "1 h 1 min 1 sec");
    EXPECT_EQ(FormatDurationLong(61 * OneSecond), "1 min 1 sec");
    EXPECT_EQ(FormatDurationLong(0), "0 sec");
}

TEST(DateTime, FormatPatternsInItalian)
{
    const double t = EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 42);
    EXPECT_EQ(FormatDateTime("dddd d mmmm yyyy h:nn:ss", t), "martedì 8 dicembre 2026 9:05:07");
    EXPECT_EQ(FormatDateTime("d mmm yyyy ddd", t), "8 dic 2026 mar");
    EXPECT_EQ(FormatDateTime("h.nn", t), "9.05");
    EXPECT_EQ(FormatDateTime("hh:nn:ss", t), "09:05:07");
    EXPECT_EQ(FormatDateTime("mmmm yyyy", t), "dicembre 2026");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:mm", t), "08/12/2026 09:05"); // mm after hh is minutes
    EXPECT_EQ(FormatDateTime("h.nn.ss", t), "9.05.07");
    EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", t), "09:05:07.042");
    EXPECT_EQ(FormatDateTime("\"ore\" h 'e' n", t), "ore 9 e 5");
    EXPECT_EQ(FormatDateTime("h am/pm", t + 0.5), "9 pm");
}

TEST(DateTime, ParseItalianAndIsoForms)
{
    const auto t = ParseDateTimeIt("16/04/2001 10:30:15");
    ASSERT_TRUE(t);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", *t), "2001-04-16 10:30:15");
    EXPECT_EQ(*ParseDateTimeIt("1/2/2003"), EncodeDate(2003, 2, 1));
    EXPECT_FALSE(ParseDateTimeIt("31/02/2001 10:00:00"));
    EXPECT_FALSE(ParseDateTimeIt("16/04/2001 25:00:00"));
    EXPECT_FALSE(ParseDateTimeIt("16/04/2001 10:00:00 x"));
    EXPECT_EQ(*ParseDateTimeIso("2001-04-16 10:30:15"), *t);
    EXPECT_EQ(TimeOfDayMs(*ParseTimeOfDay("23:59:59.999")), 86399999);
    EXPECT_FALSE(ParseTimeOfDay("24:00:00"));
}

TEST(DateTime, EasterAndSpecialDays)
{
    struct TCase
    {
        int Year, Month, Day;
    };
    for (const TCase c : {TCase{2000, 4, 24}, TCase{2001, 4, 16}, TCase{1981, 4, 20}, TCase{1954, 4, 19},
                          TCase{2026, 4, 6}, TCase{2019, 4, 22}, TCase{2285, 3, 23}}) {
        const TDateParts m = EasterMonday(c.Year);
        EXPECT_EQ(m.Month, c.Month) << c.Year;
        EXPECT_EQ(m.Day, c.Day) << c.Year;
    }
    EXPECT_TRUE(IsEasterMonday(EncodeDate(2001, 4, 16) + 0.75));
    EXPECT_TRUE(IsEasterSunday(EncodeDate(2001, 4, 15)));
    EXPECT_FALSE(IsEasterSunday(EncodeDate(2001, 4, 16)));
    EXPECT_THROW(EasterMonday(1582), EQvError);
    EXPECT_EQ(SpecialDay(EncodeDate(2026, 12, 25)), 1);
    EXPECT_EQ(SpecialDay(EncodeDate(2000, 1, 1)), 3);
    EXPECT_EQ(SpecialDay(EncodeDate(2027, 1, 1)), 2);
    EXPECT_EQ(SpecialDay(EncodeDate(2027, 1, 2)), 0);
}

TEST(Numbers, ItalianSeparatorsAndEuro)
{
    EXPECT_EQ(FormatNumber(1234567.0), "1.234.567");
    EXPECT_EQ(FormatNumber(1234.5678, 3), "1.234,568");
    EXPECT_EQ(FormatNumber(-1234.4), "-1.234");
    EXPECT_EQ(FormatNumber(-0.2), "0");
    EXPECT_EQ(FormatNumber(999.0), "999");
    EXPECT_EQ(FormatNumber(std::int64_t{-1000}), "-1.000");
    EXPECT_EQ(FormatNumber(INT64_MIN), "-9.223.372.036.854.775.808");
    EXPECT_DOUBLE_EQ(LireToEuro(1936.27), 1.0);
}

TEST(Numbers, PatternsWithAWidth)
{
    EXPECT_EQ(FormatPattern("%3.0n", 1), "  1");
    EXPECT_EQ(FormatPattern("%3.0n", 1234), "1.234");
    EXPECT_EQ(FormatPattern("%3.2n", 5.5), "5,50");
    EXPECT_EQ(FormatPattern("%3.3n", 0.25), "0,250");
    EXPECT_EQ(FormatPattern("%8.2n", -1234.5), "-1.234,50");
    EXPECT_EQ(FormatPattern("%10.1n", 12.34), "      12,3");
    for (const char* bad : {"%3.0d", "3.0n", "%3n", "%.n", "%3.0nx", ""})
        EXPECT_THROW(FormatPattern(bad, 1), EQvError) << bad;
}
