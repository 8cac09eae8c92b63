// Pricing of spans by a tariff: limits, band crossings, pulse carry, midnight, free seconds,
// and the comparison of tariffs.
#include "TariffFixture.h"
#include "core/DateTime.h"
#include "tariffs/Agenda.h"
#include "tariffs/Taxations.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

struct TPricing : TDefaultTariffs
{
    TPricing() : TDefaultTariffs(At(2026, 12, 9, 9, 0)) {}
    TTaxItem& Urbana() { return Taxes.Taxs()[0]; }
    // A pulse tariff with weekday bands: reduced until 08:00 (100 lire a pulse), full after (200).
    TTaxItem& Pulses(const std::string& name = "Scatti", double reduced = 220, double full = 220)
    {
        TTaxItem& t = Taxes.AddTax("Prova", name, ttScatti, "");
        t.Assign(Urbana());
        t.SetNome(name);
        t.SetGestore("Prova");
        t.SetTipo(ttScatti);
        t.SetScattiRidotta(reduced);
        t.SetScattiIntera(full);
        t.SetCostoFissoRidotta(100);
        t.SetCostoFissoIntera(200);
        t.SetScattiAllaRisposta(1);
        return t;
    }
};

} // namespace

TEST_F(TPricing, TwentyMinutesPastTheTimeLimit)
{
    const auto price = Urbana().ComputeCost(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 20));
    EXPECT_NEAR(price.Cost, 836.4, 1e-9);
    EXPECT_EQ(price.Pulses, 0);
    EXPECT_EQ(static_cast<long long>(price.Cost), 836);
}

TEST_F(TPricing, LimitCountsFromTheConnectionStartAcrossABandChange)
{
    // 18:20 to 18:40 on a weekday: 600 s full, then 300 s reduced first rate, 300 s reduced second rate.
    const auto price = Urbana().ComputeCost(At(2026, 12, 9, 18, 20), At(2026, 12, 9, 18, 40));
    EXPECT_NEAR(price.Cost, 120 + 600 * 36.72 / 60 + 300 * 21.24 / 60 + 300 * 19.08 / 60, 1e-9);
    EXPECT_NEAR(Urbana().TatCost(foRidotta, 600, 600), 300 * 21.24 / 60 + 300 * 19.08 / 60, 1e-12);
    EXPECT_NEAR(Urbana().TatCost(foIntera, 1000, 60), 60 * 33.12 / 60, 1e-12);
    EXPECT_EQ(Urbana().TatCost(foIntera, 0, 0), 0);
}

TEST_F(TPricing, PulsesCarryAcrossABandChange)
{
    TTaxItem& t = Pulses();
    // 130 s in the reduced band before 08:00, then the full band: the carry of 130 s goes on.
    const double start = At(2026, 12, 9, 7, 57, 50);
    auto p = t.ComputeCost(start, At(2026, 12, 9, 8, 1, 29));
    EXPECT_EQ(p.Pulses, 1);
    EXPECT_EQ(p.Cost, 100);
    p = t.ComputeCost(start, At(2026, 12, 9, 8, 1, 30));
    EXPECT_EQ(p.Pulses, 2);
    EXPECT_EQ(p.Cost, 300); // the pulse that completes after the change costs the new band's price
    // Pulse lengths with a fraction.
    TTaxItem& frac = Pulses("Frazione", 100.5, 100.5);
    EXPECT_EQ(frac.ComputeCost(At(2026, 12, 9, 2, 0), At(2026, 12, 9, 2, 3, 21)).Pulses, 3); // 201 s: 1 + 2
}

TEST_F(TPricing, MidnightSplitsTheSpanAndUsesTheNextDaysList)
{
    TTaxItem& t = Urbana();
    // Saturday 12 December 2026 23:59:30 to Sunday 00:00:30; Sundays use the holiday list, set to peak.
    t.BandsFestivi()[0].SetTipo(foPunta);
    t.SetTatPunta1(600);
    t.SetTatRidotta1(60);
    const auto price = t.ComputeCost(At(2026, 12, 12, 23, 59, 30), At(2026, 12, 13, 0, 0, 30));
    EXPECT_NEAR(price.Cost, 120 + 30 * 60.0 / 60 + 30 * 600.0 / 60, 1e-9);
    EXPECT_THROW(t.ComputeCost(At(2026, 12, 13, 0, 0, 30), At(2026, 12, 12, 23, 0)), EQvError);
    // Milliseconds are dropped at both ends.
    EXPECT_EQ(t.ComputeCost(At(2026, 12, 9, 10, 0) + 0.9 * OneSecond, At(2026, 12, 9, 10, 1) + 0.2 * OneSecond).Cost,
              t.ComputeCost(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 1)).Cost);
}

TEST_F(TPricing, FreeSecondsMakeTheStartFree)
{
    TTaxItem& t = Urbana();
    t.SetBonusDisponibile(100);
    EXPECT_EQ(t.ConnectionCharge(At(2026, 12, 9, 10, 0)).Cost, 0);
    EXPECT_EQ(t.ComputeCost(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 1, 40)).Cost, 0);
    EXPECT_NEAR(t.ComputeCost(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 2, 40)).Cost, 60 * 36.72 / 60, 1e-9);
    // An explicit allowance wins over the tariff's own.
    EXPECT_NEAR(t.ComputeCost(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 2, 40), false, {}, 0).Cost,
                120 + 160 * 36.72 / 60, 1e-9);
}

TEST_F(TPricing, ProgressReportsRunningTotals)
{
    std::vector<double> seen;
    Urbana().ComputeCost(At(2026, 12, 9, 7, 0), At(2026, 12, 9, 9, 0), false,
                         [&](double cost, std::int32_t) { seen.push_back(cost); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_LT(seen[0], seen[1]);
}

TEST_F(TPricing, CompareTaxesPutsTheLargestSavingFirst)
{
    TTaxations taxes(Ctx.Services);
    taxes.SetAgenda(&Agenda);
    const auto flat = [&](const char* name, double perMinute) {
        TTaxItem& t = taxes.AddTax("Test", name, ttTat, "");
        t.SetCostoFissoRidotta(0);
        t.SetCostoFissoIntera(0);
        t.SetCostoFissoPunta(0);
        for (auto set : {&TTaxItem::SetTatRidotta1, &TTaxItem::SetTatIntera1, &TTaxItem::SetTatPunta1})
            (t.*set)(perMinute);
    };
    flat("Cara", 70);     // 10 minutes: 700
    flat("Economica", 40); // 400
    TTaxItem& pulses = taxes.AddTax("Test", "Scatti", ttScatti, "");
    (void)pulses;
    std::vector<int> percents;
    const std::string text = taxes.CompareTaxes(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 10), 1000,
                                                [&](const std::string&, int p) { percents.push_back(p); });
    EXPECT_EQ(text, "risparmiavi 600 £irette con Test - Economica\rrisparmiavi 300 £irette con Test - Cara\r");
    EXPECT_EQ(percents, (std::vector<int>{0, 33}));
    EXPECT_EQ(taxes.CompareTaxes(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 10), 300), "");
    int calls = 0;
    EXPECT_EQ(taxes.CompareTaxes(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 10), 1000, {},
                                 [&] { return ++calls > 1; }),
              "risparmiavi 300 £irette con Test - Cara\r");
    // The saving has the width of its pattern, as every "%3.0n" text of the program.
    EXPECT_EQ(taxes.CompareTaxes(At(2026, 12, 9, 10, 0), At(2026, 12, 9, 10, 10), 701.9),
              "risparmiavi 301 £irette con Test - Economica\rrisparmiavi   1 £irette con Test - Cara\r");
}

TEST_F(TPricing, ABandWithoutPulseLengthChargesNothingAndCarriesNothing)
{
    TTaxItem& t = Pulses("Notte libera", 0, 220);
    // An hour of free night, then two minutes of day: only the charge at the answer (100 lire).
    const auto price = t.ComputeCost(At(2026, 12, 9, 7, 0), At(2026, 12, 9, 8, 2));
    EXPECT_EQ(price.Pulses, 1);
    EXPECT_NEAR(price.Cost, 100, 1e-9);
}
