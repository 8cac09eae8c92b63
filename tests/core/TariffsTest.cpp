// The tariff model: defaults, the band in force, lookups, presets, monthly free seconds.
#include "TariffFixture.h"
#include "core/DateTime.h"
#include "tariffs/Agenda.h"
#include "tariffs/TariffRules.h"
#include "tariffs/Taxations.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

struct TTariffs : TDefaultTariffs
{
    TTariffs() : TDefaultTariffs(EncodeDate(2026, 12, 8) + 0.5) {}
};

} // namespace

TEST_F(TTariffs, DefaultSetInOrderWithItsSpecialCases)
{
    ASSERT_EQ(Taxes.Taxs().Count(), 24u);
    EXPECT_EQ(Taxes.Taxs()[0].DisplayName(), "Telecom - TAT Urbana");
    EXPECT_EQ(Taxes.Taxs()[9].DisplayName(), "Infostrada - Libero@Sogno prima del 24.10.2000");
    EXPECT_EQ(Taxes.Taxs()[23].DisplayName(), "Flat - Gratis");
    const TTaxItem& urbana = Taxes.Taxs()[0];
    EXPECT_EQ(urbana.MinLimite(), 15);
    EXPECT_EQ(urbana.TatIntera2(), 33.12);
    EXPECT_EQ(urbana.ScattiRidotta(), 400);
    EXPECT_TRUE(urbana.Compare());
    EXPECT_EQ(urbana.Quorvanta(), 600.0 / 86400.0);
    const TTaxItem& formula = Tax("Telecom - TAT Formula Urbana");
    EXPECT_TRUE(formula.FormulaUrbana());
    EXPECT_EQ(formula.MinLimite(), 6);
    EXPECT_EQ(formula.TatRidotta2(), 10.44);
    EXPECT_EQ(formula.TatPunta2(), 18.36);
    const TTaxItem& noStop = Tax("Telecom - Teleconomy No Stop");
    EXPECT_EQ(noStop.BonusMese(), 72000);
    EXPECT_EQ(noStop.BonusDisponibile(), 72000u);
    EXPECT_EQ(noStop.MeseBonus(), EncodeDate(2026, 12, 8));
    EXPECT_FALSE(noStop.Compare());
    const TTaxItem& sogno = Tax("Infostrada - Libero@Sogno prima del 24.10.2000");
    ASSERT_EQ(sogno.BandsFeriali().Count(), 4u);
    EXPECT_EQ(sogno.BandsFeriali()[2].Tipo(), foIntera);
    EXPECT_EQ(sogno.CostoFissoRidotta(), 0);
    EXPECT_EQ(Tax("Wind - Urbana 1088 Light").MinLimite(), 4);
    for (const auto& t : Taxes.Taxs())
        for (const TBandItems* list : {&t->BandsFeriali(), &t->BandsSabato(), &t->BandsFestivi()})
            EXPECT_FALSE(TimetableError(*list)) << t->DisplayName() << ": " << *TimetableError(*list);
}

TEST_F(TTariffs, BandInForceAtBoundariesAndTheLastMillisecond)
{
    const TTaxItem& urbana = Taxes.Taxs()[0];
    // Tuesday 8 December 2026 is a holiday (Immacolata): take Wednesday 9.
    EXPECT_EQ(urbana.BandAt(At(2026, 12, 9, 7, 59, 59, 999)), foRidotta);
    EXPECT_EQ(urbana.BandAt(At(2026, 12, 9, 8, 0)), foIntera); // exactly on the boundary: the band that starts
    EXPECT_EQ(urbana.BandAt(At(2026, 12, 9, 18, 29, 59, 999)), foIntera);
    EXPECT_EQ(urbana.BandAt(At(2026, 12, 9, 18, 30)), foRidotta);
    EXPECT_EQ(urbana.BandAt(At(2026, 12, 12, 13, 0)), foRidotta); // Saturday
    EXPECT_EQ(urbana.BandAt(At(2026, 12, 12, 12, 59, 59, 999)), foIntera);
    const double lastHair = EncodeDate(2026, 12, 9) + 86399999.5 / 86400000.0;
    EXPECT_EQ(&urbana.FindBand(lastHair), &urbana.BandsFeriali()[2]);
    EXPECT_EQ(&urbana.FindBand(At(2026, 12, 9, 23, 59, 59, 999)), &urbana.BandsFeriali()[2]);
    const TTaxItem& regionali = Tax("Infostrada - Regionali");
    EXPECT_EQ(regionali.BandAt(At(2026, 12, 9, 22, 0)), foRidotta);
    EXPECT_EQ(regionali.BandAt(At(2026, 12, 9, 21, 59, 59)), foIntera);
}

TEST_F(TTariffs, HolidaysAndSundaysUseTheHolidayTimetable)
{
    const TTaxItem& urbana = Taxes.Taxs()[0];
    // 1 May 2027 is a Saturday and a holiday; 13 December 2026 a Sunday the calendar does not list.
    EXPECT_EQ(&urbana.BandsFor(At(2027, 5, 1, 10, 0)), &urbana.BandsFestivi());
    EXPECT_EQ(&urbana.BandsFor(At(2026, 12, 13, 10, 0)), &urbana.BandsFestivi());
    EXPECT_EQ(&urbana.BandsFor(At(2026, 12, 12, 10, 0)), &urbana.BandsSabato());
    EXPECT_EQ(&urbana.BandsFor(At(2027, 3, 29, 10, 0)), &urbana.BandsFestivi()); // Easter Monday 2027
    EXPECT_EQ(urbana.BandAt(At(2027, 5, 1, 10, 0)), foRidotta);
}

TEST_F(TTariffs, LookupsIgnoreCaseAndBlanks)
{
    EXPECT_EQ(Taxes.IndexOfTax("  telecom ", "TAT URBANA"), 0);
    EXPECT_EQ(Taxes.FindTax("TELECOM - tat urbana"), &Taxes.Taxs()[0]);
    EXPECT_EQ(Taxes.FindTax("Telecom - TAT"), nullptr);
    EXPECT_TRUE(Taxes.NameTaken(&Taxes.Taxs()[1], "telecom", "tat urbana"));
    EXPECT_FALSE(Taxes.NameTaken(&Taxes.Taxs()[0], "telecom", "tat urbana"));
    try {
        Taxes.AddTax("TELECOM", " tat urbana ", ttScatti, "");
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile aggiungere la tariffa Telecom - TAT Urbana\rE' già presente una tariffa "
                               "con questo nome!");
    }
    EXPECT_EQ(Taxes.Taxs().Count(), 24u);
    TTaxItem& added = Taxes.AddTax(" Nuovo ", " Scatti ", ttScatti, "x");
    EXPECT_EQ(added.DisplayName(), "Nuovo - Scatti");
    EXPECT_FALSE(added.Compare());
    EXPECT_EQ(added.ScattiPunta(), 170);
}

TEST_F(TTariffs, FormulaUrbanaPresetOnlyForTimeRated)
{
    TTaxItem& pulses = Taxes.AddTax("Prova", "Scatti", ttScatti, "");
    pulses.SetTatRidotta2(1);
    pulses.SetFormulaUrbana(true);
    EXPECT_TRUE(pulses.FormulaUrbana());
    EXPECT_EQ(pulses.TatRidotta2(), 1);
    EXPECT_EQ(pulses.MinLimite(), 0);
    TTaxItem& time = Taxes.AddTax("Prova", "Tempo", ttTat, "");
    time.SetFormulaUrbana(true);
    EXPECT_EQ(time.TatRidotta2(), 10.44);
    EXPECT_EQ(time.LimitSeconds(), 360);
    time.SetFormulaUrbana(false);
    EXPECT_EQ(time.TatRidotta2(), 10.44);
}

TEST_F(TTariffs, MonthlyFreeSecondsRenewOncePerMonth)
{
    TTaxItem& t = Tax("Telecom - Teleconomy No Stop");
    t.SetBonusDisponibile(0);
    t.SetMeseBonus(EncodeDate(2026, 12, 5));
    t.RenewMonthlyBonus(At(2026, 12, 20, 0, 0));
    EXPECT_EQ(t.BonusDisponibile(), 0u); // same month: nothing, even at zero
    EXPECT_EQ(t.MeseBonus(), EncodeDate(2026, 12, 1));
    t.SetMeseBonus(EncodeDate(2026, 11, 17));
    t.RenewMonthlyBonus(At(2026, 12, 1, 0, 0, 1));
    EXPECT_EQ(t.BonusDisponibile(), 72000u);
    EXPECT_EQ(t.MeseBonus(), EncodeDate(2026, 12, 1));
    TTaxItem& none = Taxes.Taxs()[0];
    none.RenewMonthlyBonus(At(2027, 1, 1, 0, 0));
    EXPECT_EQ(none.BonusDisponibile(), 0u);
}

TEST_F(TTariffs, NamesColoursTextsAndDamage)
{
    EXPECT_EQ(BandName(foPunta), "ora di punta");
    EXPECT_THROW(BandName(foNone), EQvError);
    EXPECT_EQ(BandOfColor(BandColor(foIntera)), foIntera);
    EXPECT_THROW(BandOfColor(0x123456), EQvError);
    EXPECT_THROW(Taxes.Taxs()[0].PulseLength(foNone), EQvError);
    EXPECT_EQ(Taxes.Taxs()[0].PulsePrice(foNone), 120);
    EXPECT_EQ(TTaxItem::BandsText(Taxes.Taxs()[0].BandsSabato(), "Fasce orarie SABATO"),
              "Fasce orarie SABATO\rFascia ridotta dalle 0.00.00 alle 8.00.00\rFascia intera dalle 8.00.00 alle "
              "13.00.00\rFascia ridotta dalle 13.00.00 alle 23.59.59");
    TTaxItem& broken = Taxes.Taxs()[0];
    broken.BandsFeriali()[1].SetTimeBegin(9.0 / 24);
    try {
        broken.FindBand(At(2026, 12, 9, 8, 30));
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "L'orario 8.30 non rientra in nessuna fascia!");
    }
    EXPECT_TRUE(TimetableError(broken.BandsFeriali()));
}

TEST_F(TTariffs, QuorvantaKeepsTheTimeOfDayOnly)
{
    TTaxItem& t = Taxes.Taxs()[0];
    t.SetQuorvanta(3.25);
    EXPECT_EQ(t.Quorvanta(), 0.25);
    t.SetQuorvanta(0);
    EXPECT_EQ(TimeOfDayMs(t.Quorvanta()), 1);
}

TEST_F(TTariffs, EmptyOrMissingFileEndsWithTheDefaults)
{
    TTaxations fresh(Ctx.Services);
    fresh.SetFileName("Taxations.dat");
    EXPECT_EQ(fresh.Taxs().Count(), 24u);
    fresh.Taxs().Clear();
    fresh.Save();
    TTaxations again(Ctx.Services);
    again.SetFileName("Taxations.dat");
    EXPECT_EQ(again.Taxs().Count(), 24u);
}

TEST_F(TTariffs, AssignKeepsExplicitRatesOverThePreset)
{
    TTaxItem& src = Taxes.AddTax("Casa", "Prova", ttTat, "");
    src.SetFormulaUrbana(true);
    src.SetTatRidotta1(5);
    src.BandsFeriali()[0].SetTipo(foPunta);
    TTaxItem& dst = Taxes.Taxs().Add();
    dst.Assign(src);
    EXPECT_EQ(dst.TatRidotta1(), 5);
    EXPECT_EQ(dst.TatRidotta2(), 10.44);
    EXPECT_TRUE(dst.FormulaUrbana());
    EXPECT_EQ(dst.BandsFeriali()[0].Tipo(), foPunta);
    EXPECT_EQ(dst.DisplayName(), "Casa - Prova");
}

TEST_F(TTariffs, ReadingAFileDoesNotReapplyThePreset)
{
    TTaxItem& t = Taxes.AddTax("Casa", "Prova", ttTat, "");
    t.SetFormulaUrbana(true);
    t.SetTatRidotta1(5);
    TTaxations copy(Ctx.Services);
    copy.ReadFromBytes(Taxes.WriteToBytes());
    EXPECT_EQ(copy.FindTax("Casa - Prova")->TatRidotta1(), 5);
    EXPECT_FALSE(copy.Modified());
}
