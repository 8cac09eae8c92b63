// The live status in virtual time: what a running connection shows second by second.
#include "LiveFixture.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

using E = TMtxEventMatrixStatus;
using TLive = TLiveFixture;

} // namespace

TEST_F(TLive, TwentyMinuteTimeRatedConnection)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Feed(E::RasConnected); // already up: counting starts directly
    EXPECT_EQ(Status().CostoLire(), 120);
    EXPECT_EQ(Rings(), 1); // the answer of a time-rated call is marked with the sound
    Seconds(1200);
    EXPECT_EQ(Status().Elapsed(), 1200);
    EXPECT_NEAR(Status().CostoLire(), 836.4, 1e-9);
    EXPECT_EQ("£ " + std::to_string(static_cast<long long>(Status().CostoLire())), "£ 836");
    EXPECT_EQ(DurationToSeconds(Status().Time()), 1200);
    // The time-limit notification came once, at 15 minutes.
    int limits = 0;
    Status().OnMinLimit = [&] { ++limits; };
    Seconds(600);
    EXPECT_EQ(limits, 0);
}

TEST_F(TLive, TimeLimitNotifiedOnceAtTheLimit)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    std::vector<int> at;
    Status().OnMinLimit = [&] { at.push_back(Status().Elapsed()); };
    Feed(E::RasConnected);
    Seconds(1000);
    EXPECT_EQ(at, std::vector<int>{900});
}

TEST_F(TLive, PulsesEveryTwoHundredTwentySeconds)
{
    Status().SetTax(&PulseTariff(220));
    Feed(E::RasConnected);
    EXPECT_EQ(Status().NumScatti(), 1);
    EXPECT_EQ(Rings(), 1);
    Seconds(219);
    EXPECT_EQ(Status().NumScatti(), 1);
    EXPECT_EQ(Status().Remaining(), 1u);
    Seconds(1);
    EXPECT_EQ(Status().NumScatti(), 2);
    EXPECT_EQ(Rings(), 2);
    EXPECT_EQ(Status().CostoLire(), 254);
    EXPECT_EQ(Status().Remaining(), 220u);
}

TEST_F(TLive, PreWarningBeepsOncePerPeriodOrEverySecond)
{
    Status().SetTax(&PulseTariff(220));
    Feed(E::RasConnected);
    Seconds(219);
    EXPECT_EQ(Sounds.Beeps.size(), 1u); // at 15 s left, once
    EXPECT_EQ(Sounds.Beeps[0].Frequency, 1366);
    Profile().SetPetulante(true);
    Seconds(220);
    EXPECT_EQ(Sounds.Beeps.size(), 1u + 15u); // every second of the last 15 of the next period
}

TEST_F(TLive, FractionalPulseLengthGivesAlternatingPeriods)
{
    Status().SetTax(&PulseTariff(400.5));
    Feed(E::RasConnected);
    std::vector<int> periodEnds;
    std::uint32_t last = 0;
    Status().OnRemainingChange = [&] {
        if (Status().Remaining() > last)
            periodEnds.push_back(Status().Elapsed());
        last = Status().Remaining();
    };
    Seconds(2100);
    ASSERT_GE(periodEnds.size(), 6u);
    std::vector<int> periods;
    for (std::size_t i = 2; i < 7 && i < periodEnds.size(); ++i)
        periods.push_back(periodEnds[i] - periodEnds[i - 1]);
    // The first jump is the display starting; then 400, 400, 401, 400, 401.
    EXPECT_EQ(periodEnds[1], 400);
    EXPECT_EQ(periods, (std::vector<int>{400, 401, 400, 401}));
}

TEST_F(TLive, FreeSecondsFreezeTheCostAndShowInRemaining)
{
    TTaxItem& t = Tariff("Telecom - Teleconomy No Stop");
    t.SetBonusDisponibile(100);
    Status().SetTax(&t);
    Feed(E::RasConnected);
    EXPECT_EQ(Status().CostoLire(), 0);
    Seconds(40);
    EXPECT_EQ(Status().CostoLire(), 0);
    EXPECT_EQ(Status().Remaining(), 60u);
    EXPECT_EQ(t.BonusDisponibile(), 60u);
    Seconds(60);
    EXPECT_EQ(t.BonusDisponibile(), 0u);
    Seconds(60);
    // Once the allowance is used up only the seconds after it are priced (18 lire a minute), with
    // no connection charge: the seconds that were free stay free.
    EXPECT_NEAR(Status().CostoLire(), 60 * 18.0 / 60, 1e-9);
    EXPECT_EQ(Status().BonusAtStart(), 100u);
    EXPECT_EQ(Status().Remaining(), 0u);
}

TEST_F(TLive, PulseRatedFreeSecondsAlsoStayFree)
{
    TTaxItem& t = FreePulseTariff(60, 120);
    Status().SetTax(&t);
    Feed(E::RasConnected);
    EXPECT_EQ(Status().NumScatti(), 0);
    Seconds(180);
    EXPECT_EQ(Status().NumScatti(), 1); // 60 s after the free 120
    EXPECT_EQ(Status().CostoLire(), 127);
}

TEST_F(TLive, RemainingTimeOfATimeRatedTariff)
{
    TTaxItem& t = Tariff("Telecom - TAT Urbana");
    Status().SetTax(&t);
    Feed(E::RasConnected);
    Seconds(5);
    EXPECT_EQ(Status().Remaining(), 595u); // ten minutes by default
    Seconds(600);
    EXPECT_EQ(Status().Remaining(), 595u); // a new period began at 600 s
    t.SetQuorvanta(0);
    Seconds(1);
    EXPECT_EQ(Status().StepPeriod(), 0);
    EXPECT_EQ(Status().Remaining(), 0u);
}

TEST_F(TLive, AutomaticDisconnectionPeriodShowsAsRemainingTime)
{
    Profile().SetAutoDisconnect(true);
    Profile().SetTimeOutConnection(3600);
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Feed(E::RasConnected);
    Seconds(7);
    EXPECT_EQ(Status().Remaining(), 3600u - 7u);
}

TEST_F(TLive, DialOffsetDelaysTheCharge)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Data->Settings.Entrys().EntryFor("Tiscali", keRAS).SetDialTime(30);
    Status().SetEntryName("Tiscali");
    Feed(E::RasDialing);
    Seconds(1);
    EXPECT_EQ(Status().Elapsed(), -29);
    EXPECT_EQ(Status().CostoLire(), 0);
    Seconds(29);
    EXPECT_EQ(Status().Elapsed(), 0);
    EXPECT_EQ(Status().CostoLire(), 0);
    Seconds(1);
    EXPECT_EQ(Status().Elapsed(), 1); // the dial time has run out: the call is priced from here
    EXPECT_NEAR(Status().CostoLire(), 120 + 36.72 / 60, 1e-9);
    Feed(E::RasConnected);
    EXPECT_EQ(Status().CostoLire(), 120);
    EXPECT_EQ(Status().Elapsed(), 1);
}

TEST_F(TLive, WithoutDialTimeCostAccruesFromTheFirstSecond)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Feed(E::RasDialing);
    Feed(E::RasConnecting);
    Seconds(1);
    EXPECT_EQ(Status().Elapsed(), 1);
    EXPECT_NEAR(Status().CostoLire(), 120 + 36.72 / 60, 1e-9);
}

TEST_F(TLive, BandChangesAndTheFirstCheck)
{
    std::vector<TFasciaOraria> bands;
    int days = 0, minutes = 0;
    Status().OnBandChange = [&](TFasciaOraria b) { bands.push_back(b); };
    Status().OnDayChange = [&] { ++days; };
    Status().OnMinuteChange = [&] { ++minutes; };
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Seconds(1);
    EXPECT_EQ(bands, std::vector<TFasciaOraria>{foIntera});
    EXPECT_EQ(days, 1);
    EXPECT_EQ(minutes, 1);
    Ctx.Time.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(18, 29, 58, 0));
    Seconds(3);
    EXPECT_EQ(bands, (std::vector<TFasciaOraria>{foIntera, foRidotta}));
    // A blocked loop: the late firing runs the per-second step once.
    int seconds = 0;
    Status().OnSecond = [&] { ++seconds; };
    Ctx.Time.Skip(5000);
    Seconds(0);
    EXPECT_EQ(seconds, 1);
}

TEST_F(TLive, ManualCountIsLoggedWithTheManualName)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    int needed = 0;
    Status().OnTaxNeeded = [&] { ++needed; };
    Data->ManualStart();
    EXPECT_EQ(needed, 1);
    EXPECT_EQ(Status().EntryName(), "Avvio manuale");
    EXPECT_TRUE(Status().IsCounting());
    Data->ManualStart(); // ignored while counting
    Seconds(60);
    Data->ManualStop();
    EXPECT_FALSE(Status().IsCounting());
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Connections.Units()[0].N(), "Avvio manuale");
    EXPECT_EQ(DurationToSeconds(Data->Connections.Units()[0].Duration()), 60);
}

TEST_F(TLive, EntryRemembersItsTariff)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    std::vector<std::string> hints;
    Status().OnHint = [&](const std::string& h) { hints.push_back(h); };
    Status().SetEntryName("Tiscali");
    Status().SetTax(&Tariff("Flat - Gratis"));
    EXPECT_EQ(Data->Settings.Entrys().EntryFor("Tiscali", keRAS).TaxName(), "Flat - Gratis");
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Data->Settings.Entrys().EntryFor("Tiscali", keRAS).SetTaxName("Flat - Gratis");
    Status().SetEntryName("");
    Status().SetEntryName("Tiscali");
    EXPECT_EQ(Status().Tax(), &Tariff("Flat - Gratis"));
    EXPECT_EQ(hints.back(), "Imposto la tariffa Flat - Gratis associata alla connessione Tiscali");
}

TEST_F(TLive, PendingConnectionIsOfferedOnceAtLoadThenReset)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Status().SetEntryName("Tiscali");
    Feed(E::RasConnected);
    Seconds(90);
    Status().Save(); // the process dies here: the count is in "Status.dat" only
    Data->MtxStatus.OnChangeState = nullptr;
    Data->MtxStatus.OnStopCounting = nullptr;
    Data.reset();
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Start();
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text.rfind("Attenzione: la connessione «Tiscali» di mercoledì 9 dicembre 2026 delle "
                                               "10:00\rnon è stata salvata",
                                               0),
              0u);
    EXPECT_NE(Ctx.Prompter.Shown[0].Text.find("[Durata: 1 min 30 sec spesa: 175 lire]"), std::string::npos);
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Connections.Units()[0].N(), "Tiscali");
    EXPECT_EQ(Status().StartTime(), 0);
    EXPECT_FALSE(Status().Modified()); // reset and saved
    Data.reset();
    Start();
    EXPECT_EQ(Ctx.Prompter.Shown.size(), 1u); // not asked again
}

TEST_F(TLive, StatusTextSummarisesTheConnection)
{
    Status().SetTax(&Tariff("Telecom - TAT Urbana"));
    Status().SetEntryName("Tiscali");
    Status().SetDinamicIP("151.24.3.7");
    Status().SetCallRate(56000);
    Status().SetDialingNumber("0702002");
    Feed(E::RasConnected);
    Status().ScheduledDisconnect = EncodeDate(2026, 12, 9) + EncodeTime(23, 0, 0, 0);
    EXPECT_EQ(Status().StatusText(), "Connessione pppd attiva [Tiscali]\r"
                                     "Tariffa Telecom - TAT Urbana - Fascia intera\r"
                                     "Indirizzo IP 151.24.3.7\r"
                                     "Connesso alla velocità di 56.000 bps\r"
                                     "Numero telefonico 0702002\r"
                                     "Il conteggio è iniziato alle 10:00:00\r"
                                     "Disconnessione programmata: mercoledì 9 dicembre 2026 23:00:00");
}

TEST_F(TLive, InternationalNumbersAreReported)
{
    std::vector<std::string> numbers;
    Status().OnInternationalNumber = [&](const std::string& n) { numbers.push_back(n); };
    Status().SetDialingNumber("0702002");
    Status().SetDialingNumber("00390702002");
    EXPECT_EQ(numbers, std::vector<std::string>{"00390702002"});
    Data->Settings.SetInternationalPrefix("");
    EXPECT_FALSE(Status().IsInternationalNumber());
}
