// The holiday calendar: holidays, day positions, saints, laws.
#include "TestSupport.h"
#include "core/DateTime.h"
#include "tariffs/Agenda.h"

#include <gtest/gtest.h>
#include <set>

using namespace qv;
using namespace qv::test;

TEST(Calendar, MissingFileGivesEveryDayAndTheNineHolidays)
{
    TTestContext ctx;
    TAgenda agenda(ctx.Services);
    agenda.SetFileName("Calendar.dat");
    ASSERT_EQ(agenda.Giorni().Count(), 366u);
    int holidays = 0;
    for (const auto& d : agenda.Giorni())
        holidays += d->IsFesta() ? 1 : 0;
    EXPECT_EQ(holidays, 9);
    ASSERT_EQ(agenda.SanctiDays().size(), 366u);
    EXPECT_EQ(agenda.Giorni()[0].Santi(), "SS. Madre di Dio-S. Fulgenzio-Capodanno");
    EXPECT_EQ(agenda.Giorni()[365].Santi(), "S. Silvestro-S. Melania");
    EXPECT_EQ(agenda.Giorni()[59].Giorno(), 29);
    EXPECT_GE(agenda.Murphy().Count(), 120u);
    EXPECT_EQ(agenda.Murphy()[0].Capitolo(), "Murfologia");
    std::set<std::string> chapters;
    for (const auto& l : agenda.Murphy())
        chapters.insert(l->Capitolo());
    EXPECT_GE(chapters.size(), 5u);
    // The days are saved with the file and come back.
    agenda.Save();
    TAgenda again(ctx.Services);
    again.SetFileName("Calendar.dat");
    EXPECT_EQ(again.Giorni().Count(), 366u);
    EXPECT_EQ(again.SaintsOf(EncodeDate(2027, 12, 31)), "S. Silvestro-S. Melania");
}

TEST(Calendar, HolidaysByTableAndByEaster)
{
    TTestContext ctx;
    TAgenda agenda(ctx.Services);
    agenda.ResetDays();
    for (int year : {1999, 2000, 2026})
        EXPECT_TRUE(agenda.IsHoliday(EncodeDate(year, 1, 6)));
    EXPECT_TRUE(agenda.IsHoliday(EncodeDate(2001, 4, 16) + 0.9));
    EXPECT_FALSE(agenda.IsHoliday(EncodeDate(2001, 4, 15)));
    EXPECT_FALSE(agenda.IsHoliday(EncodeDate(2026, 12, 13))); // a plain Sunday
}

TEST(Calendar, UnmarkedHolidayStaysUnmarkedAfterReload)
{
    TTestContext ctx;
    {
        TAgenda agenda(ctx.Services);
        agenda.SetFileName("Calendar.dat");
        TDayItem& stefano = agenda.Giorni()[static_cast<std::size_t>(TAgenda::DayIndex(EncodeDate(2026, 12, 26)))];
        EXPECT_TRUE(stefano.IsFesta());
        stefano.SetIsFesta(false);
        EXPECT_TRUE(agenda.Modified());
    }
    TAgenda agenda(ctx.Services);
    agenda.SetFileName("Calendar.dat");
    EXPECT_FALSE(agenda.IsHoliday(EncodeDate(2030, 12, 26)));
    EXPECT_TRUE(agenda.IsHoliday(EncodeDate(2030, 12, 25)));
}

TEST(Calendar, DayPositionsInLeapAndOtherYears)
{
    EXPECT_EQ(TAgenda::DayIndex(EncodeDate(2000, 3, 1)), 60);
    EXPECT_EQ(TAgenda::DayIndex(EncodeDate(2001, 3, 1)), 60);
    EXPECT_EQ(TAgenda::DayIndex(EncodeDate(2001, 2, 28)), 58);
    EXPECT_EQ(TAgenda::DayIndex(EncodeDate(2000, 2, 29)), 59);
    EXPECT_EQ(TAgenda::DayIndex(EncodeDate(2026, 12, 31) + 0.99), 365);
    EXPECT_EQ(TAgenda::DayIndex(EncodeDate(2026, 1, 1)), 0);
}

TEST(Calendar, DayTextsAndMissingSaints)
{
    TTestContext ctx;
    TAgenda agenda(ctx.Services);
    try {
        agenda.SaintsOf(EncodeDate(2026, 12, 8));
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Il giorno 08/12/2026 non ha un santo!");
    }
    agenda.ResetDays();
    const auto [monday, item] = agenda.DayText(EncodeDate(2001, 4, 16), true);
    EXPECT_EQ(monday.rfind("Lunedì dell'Angelo 16 aprile 2001\r", 0), 0u);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(agenda.DayText(EncodeDate(2001, 4, 15), true).first.rfind("Pasqua 15 aprile 2001\r", 0), 0u);
    EXPECT_EQ(agenda.DayText(EncodeDate(2001, 4, 16), false).first.rfind("16 aprile 2001\r", 0), 0u);
}

TEST(Calendar, LawsDoNotRepeatUntilAllWereShown)
{
    TTestContext ctx;
    TAgenda agenda(ctx.Services);
    agenda.Murphy().Clear();
    for (const char* t : {"Uno", "Due", "Tre"}) {
        TMurphyItem& law = agenda.Murphy().Add();
        law.SetTitolo(t);
        law.SetLegge(t);
    }
    agenda.Murphy()[1].SetLegge("Testo due");
    agenda.Murphy()[1].SetCorollari({"a", "b"});
    agenda.SeedLaws(7);
    std::set<std::string> seen;
    for (int i = 0; i < 3; ++i)
        seen.insert(agenda.NextLaw());
    EXPECT_EQ(seen, (std::set<std::string>{"Uno", "Due\r\nTesto due\r\na\r\nb", "Tre"}));
    EXPECT_FALSE(agenda.NextLaw().empty()); // repeats are allowed once all were shown
}
