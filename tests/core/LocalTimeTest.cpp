// Real durations between local times across the daylight-saving nights of Europe/Rome (the test
// entry point sets TZ): prices, the live count's end time and refusals agree with the real clock.
#include "LiveFixture.h"
#include "core/LocalTime.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

// A time-rated tariff of 1 lira a second in every band, with a charge of 100 lire at the answer.
TTaxItem& FlatTariff(TTaxations& taxations, const std::string& name = "Piatta")
{
    TTaxItem& t = taxations.AddTax("Prova", name, ttTat, "");
    for (auto set : {&TTaxItem::SetTatRidotta1, &TTaxItem::SetTatRidotta2, &TTaxItem::SetTatIntera1,
                     &TTaxItem::SetTatIntera2, &TTaxItem::SetTatPunta1, &TTaxItem::SetTatPunta2})
        (t.*set)(60);
    for (auto set : {&TTaxItem::SetCostoFissoRidotta, &TTaxItem::SetCostoFissoIntera, &TTaxItem::SetCostoFissoPunta})
        (t.*set)(100);
    return t;
}

} // namespace

TEST(LocalTime, DaylightSavingNightsCountTheRealSeconds)
{
    struct TCase
    {
        double From, To;
        std::int64_t Seconds;
    };
    for (const TCase c : {
             TCase{At(2026, 3, 29, 1, 30), At(2026, 3, 29, 3, 30), 3600},       // the hour skipped
             TCase{At(2026, 10, 25, 1, 30), At(2026, 10, 25, 3, 30), 3 * 3600}, // the hour repeated
             TCase{At(2026, 12, 9, 1, 30), At(2026, 12, 9, 3, 30), 2 * 3600},
             TCase{At(2026, 3, 28, 12, 0), At(2026, 3, 29, 12, 0), 23 * 3600},
             TCase{At(2026, 10, 25, 2, 30), At(2026, 10, 25, 2, 10), 40 * 60}, // the end is the second 02:10
         })
        EXPECT_EQ(RealSecondsBetween(c.From, c.To), c.Seconds) << FormatDateTime("dd/mm hh:nn", c.From);
    EXPECT_FALSE(LocalTimeExists(At(2026, 3, 29, 2, 30)));
    EXPECT_TRUE(LocalTimeExists(At(2026, 3, 29, 3, 0)));
    EXPECT_TRUE(LocalTimeExists(At(2026, 10, 25, 2, 30)));
    // An hour after 01:30 on the spring night the wall clock shows 03:30.
    EXPECT_EQ(FormatDateTime("hh:nn", AddRealSeconds(At(2026, 3, 29, 1, 30), 3600)), "03:30");
    EXPECT_EQ(FormatDateTime("hh:nn", AddRealSeconds(At(2026, 10, 25, 1, 30), 3 * 3600)), "03:30");
    EXPECT_EQ(RealSecondsBetween(At(2026, 3, 29, 2, 0), At(2026, 3, 29, 2, 59)), 0); // inside the gap
}

TEST_F(TLiveFixture, PricesAndTheLiveCountAgreeOnDaylightSavingNights)
{
    TTaxItem& flat = FlatTariff(Data->Taxations);
    // The price of two wall-clock hours is the price of the hours that passed.
    EXPECT_DOUBLE_EQ(flat.ComputeCost(At(2026, 3, 29, 1, 30), At(2026, 3, 29, 3, 30)).Cost, 100 + 3600);
    EXPECT_DOUBLE_EQ(flat.ComputeCost(At(2026, 10, 25, 1, 30), At(2026, 10, 25, 3, 30)).Cost, 100 + 3 * 3600);

    // A count through the spring night: 90 real minutes, logged from 01:30 to 04:00.
    Ctx.Time.SetNow(At(2026, 3, 29, 1, 30));
    Ctx.Time.FollowTimeZone();
    Status().SetTax(&flat);
    Status().SetEntryName("Tiscali");
    Feed(E::RasConnected);
    Seconds(90 * 60);
    Feed(E::RasIdle);
    ASSERT_EQ(Log().Units().Count(), 1u);
    const TDataUnitsItem& c = Log().Units()[0];
    EXPECT_EQ(FormatDateTime("hh:nn", c.I()), "01:30");
    EXPECT_EQ(FormatDateTime("hh:nn", c.F()), "04:00");
    EXPECT_EQ(RealSecondsBetween(c.I(), c.F()), 90 * 60);
    EXPECT_NEAR(c.L(), 100 + 90 * 60, 1.0);
    EXPECT_NEAR(c.L(), flat.ComputeCost(c.I(), c.F()).Cost, 1e-6);
}

// A count from 31 March 23:50 to 1 April 01:10 with the March allowance used up: the March part is
// charged, April's 3600 free seconds cover its first hour, the last ten minutes are charged.
TEST_F(TLiveFixture, AMonthChangeDuringACountGivesTheNewAllowanceFromItsFirstSecond)
{
    TTaxItem& flat = FlatTariff(Data->Taxations);
    flat.SetBonusMese(3600);
    flat.SetMeseBonus(At(2026, 3, 1));
    flat.SetBonusDisponibile(0);
    Ctx.Time.SetNow(At(2026, 3, 31, 23, 50));
    Status().SetTax(&flat);
    Status().SetEntryName("Tiscali");
    Feed(E::RasConnected);
    for (int s = 0; s < 80 * 60; ++s) {
        Seconds(1);
        if (s == 10 * 60 + 1)
            Data->Taxations.RenewMonthlyBonuses(); // the program's day change, a second late
    }
    Feed(E::RasIdle);
    ASSERT_EQ(Log().Units().Count(), 1u);
    const double expected = 100 + 600 + 600;
    EXPECT_NEAR(Log().Units()[0].L(), expected, 1.0);
    EXPECT_EQ(flat.BonusDisponibile(), 0u);
    // The price of the span by itself, as repricing and comparisons compute it, is the same.
    TTaxItem& again = FlatTariff(Data->Taxations, "Piatta 2");
    again.SetBonusMese(3600);
    const TTaxItem::TPrice price = again.ComputeCost(At(2026, 3, 31, 23, 50), At(2026, 4, 1, 1, 10), false, {}, 0);
    EXPECT_DOUBLE_EQ(price.Cost, expected);
    EXPECT_EQ(price.FreeLeft, 0u);
    EXPECT_EQ(again.ComputeCost(At(2026, 3, 31, 23, 50), At(2026, 4, 1, 0, 30), false, {}, 0).FreeLeft, 1800u);
}
