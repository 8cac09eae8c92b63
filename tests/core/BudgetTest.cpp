// Budgets, the idle hang-up, why connections end, and what a period would have cost under every
// tariff; in virtual time with the simulated dial-up service.
#include "FakeViews.h"
#include "TariffFixture.h"
#include "TestSupport.h"
#include "app/BudgetSettings.h"
#include "app/MainController.h"
#include "platform/sim/SimDialUp.h"
#include "stats/Repricing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;

struct TBudgetFixture : testing::Test
{
    TTestContext Ctx{At(2026, 3, 11, 0, 0)};
    TSimDialUp Sim{Ctx.Time, Ctx.Time};
    std::unique_ptr<TDataModule> Data;
    TFakeView View;
    std::unique_ptr<TMainController> Main;
    std::unique_ptr<TBudgetWatch> Watch;
    std::vector<std::string> Balloons;
    TBudgetFixture()
    {
        Sim.AddDemoEntries();
        Data = std::make_unique<TDataModule>(Ctx.Services, nullptr, &Sim);
        Data->LoadAll();
        Data->Status.SetProfile(&Profile());
        Profile().SetSoundsEnabled(true);
        Data->Settings.Entrys().EntryFor("Provider Uno", keRAS).SetTaxName("Telecom - TAT Urbana");
        Main = std::make_unique<TMainController>(Ctx.Services, *Data, View);
        Watch = std::make_unique<TBudgetWatch>(Ctx.Services, Data->Budgets, Data->Connections, Data->Status,
                                               Data->Sounds());
        Main->AttachBudget(Watch.get());
        Watch->OnBalloon = [this](const std::string& t) { Balloons.push_back(t); };
    }
    TProfileItem& Profile() { return Data->Settings.Profiles()[0]; }
    TBudgetItem& Budget(double amount, int day = 1)
    {
        TBudgetItem& b = Data->Budgets.BudgetFor(Profile().UserName());
        b.SetImporto(amount);
        b.SetGiornoInizio(day);
        return b;
    }
    void Spend(double when, double lire) { Data->Connections.AddSimple(1, "Provider Uno", lire, when + 0.001, when); }
    void Seconds(int n) { Ctx.Time.Advance(n * 1000LL); }
    std::vector<std::string> Played() const
    {
        std::vector<std::string> names;
        for (const auto& p : Data->SilentOutput.Played)
            names.push_back(std::to_string(p.Wav->size()));
        return names;
    }
    void OnLine()
    {
        Main->FirstActivation();
        Sim.BringUp("Provider Uno", 1);
        Seconds(3);
        ASSERT_EQ(Data->MtxStatus.State(), S::RasConnected);
    }
};

} // namespace

TEST(BudgetCycles, FirstDaysAcrossMonthsYearsAndFebruary)
{
    const auto cycle = [](double now, int day) {
        const TBudgetCycle c = BudgetCycle(now, day);
        return FormatDateTime("yyyy-mm-dd", c.Start) + " " + FormatDateTime("yyyy-mm-dd", c.End);
    };
    EXPECT_EQ(cycle(At(2026, 2, 27, 23, 59), 28), "2026-01-28 2026-02-28");
    EXPECT_EQ(cycle(At(2026, 2, 28), 28), "2026-02-28 2026-03-28");
    EXPECT_EQ(cycle(At(2026, 3, 27, 12), 28), "2026-02-28 2026-03-28");
    EXPECT_EQ(cycle(At(2028, 2, 29), 28), "2028-02-28 2028-03-28"); // a leap year's last day
    EXPECT_EQ(cycle(At(2026, 1, 5), 10), "2025-12-10 2026-01-10");
    EXPECT_EQ(cycle(At(2026, 12, 31), 1), "2026-12-01 2027-01-01");
    EXPECT_EQ(cycle(At(2026, 3, 5), 0), "2026-03-01 2026-04-01"); // taken as 1
    EXPECT_EQ(cycle(At(2026, 3, 5), 31), "2026-02-28 2026-03-28"); // taken as 28
}

TEST_F(TBudgetFixture, SpentAndItsProjectionOverTheCycle)
{
    TBudgetItem& b = Budget(60000, 1);
    Spend(At(2026, 2, 28, 20), 99999); // the cycle before
    Spend(At(2026, 3, 1, 9), 4000);
    Spend(At(2026, 3, 10, 22), 6000);
    Spend(At(2026, 4, 1, 0), 99999); // the next cycle
    const TBudgetState s = ComputeBudget(Data->Connections, b, At(2026, 3, 11), 500);
    EXPECT_DOUBLE_EQ(s.Spent, 10500);
    // 10 days of the 31: 1,050 a day.
    EXPECT_NEAR(s.Projection, 1050 * 31, 1e-6);
    EXPECT_NEAR(s.Percent, 17.5, 1e-9);
    EXPECT_EQ(BudgetText(s, b), "Budget: £ 10.500 di £ 60.000 (17%), previsti £ 32.550");
    // The first hours of a cycle count as a whole day.
    EXPECT_NEAR(ComputeBudget(Data->Connections, b, At(2026, 3, 1, 10), 0).Projection, 4000 * 31, 1e-6);
}

TEST_F(TBudgetFixture, EachAlertOncePerCycleAndTheTrayHint)
{
    Budget(10000, 1);
    Spend(At(2026, 3, 2, 9), 8100);
    Watch->Check();
    ASSERT_EQ(Balloons.size(), 1u);
    EXPECT_EQ(Balloons[0], "Attenzione: hai speso il 80% del budget mensile (£ 8.100 di £ 10.000)");
    Seconds(5);
    EXPECT_EQ(Balloons.size(), 1u); // the one-second check says it once
    EXPECT_NE(View.TrayHint.find("Budget: £ 8.100 di £ 10.000 (81%)"), std::string::npos) << View.TrayHint;
    Spend(At(2026, 3, 3, 9), 1000);
    Seconds(1);
    ASSERT_EQ(Balloons.size(), 2u);
    EXPECT_EQ(Balloons[1], "Attenzione: hai speso il 90% del budget mensile (£ 9.100 di £ 10.000)");
    const std::size_t sounds = Data->SilentOutput.Played.size();
    Spend(At(2026, 3, 4, 9), 1000);
    Seconds(1);
    ASSERT_EQ(Balloons.size(), 3u);
    EXPECT_EQ(Balloons[2], "Budget mensile esaurito: spese £ 10.100 su £ 10.000!");
    EXPECT_EQ(Data->SilentOutput.Played.size(), sounds + 1); // "MsgError"
    Seconds(3);
    EXPECT_EQ(Balloons.size(), 3u);
    // The alerts given survive a restart of the program: they are in "Budget.dat".
    EXPECT_EQ(Data->Budgets.FindBudget(Profile().UserName())->Avvisi(), 7);

    // A new cycle starts over; a jump straight past 100 % tells only the last alert.
    Ctx.Time.SetNow(At(2026, 4, 2, 10));
    Spend(At(2026, 4, 2, 9), 12000);
    Seconds(1);
    ASSERT_EQ(Balloons.size(), 4u);
    EXPECT_EQ(Balloons[3], "Budget mensile esaurito: spese £ 12.000 su £ 10.000!");
    Seconds(2);
    EXPECT_EQ(Balloons.size(), 4u);
}

TEST_F(TBudgetFixture, AnExhaustedBudgetHangsUpAfterTheQuestionAndTheEndSaysWhy)
{
    TBudgetItem& b = Budget(1, 1);
    b.SetRiaggancia(true);
    // The charge at the answer passes the budget at once.
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    OnLine();
    bool asked = false;
    for (const auto& shown : Ctx.Prompter.Shown)
        asked = asked || shown.Text == "Budget mensile esaurito!!!\r\rInterrompi la connessione?";
    EXPECT_TRUE(asked);
    Seconds(3);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Budgets.EndOf(Data->Connections.Units()[0].I()), erBudget);

    // A line that drops by itself, and one the user hangs up.
    b.SetImporto(0);
    OnLine();
    Sim.BringDown("Provider Uno");
    Seconds(3);
    ASSERT_EQ(Data->Connections.Units().Count(), 2u);
    EXPECT_EQ(Data->Budgets.EndOf(Data->Connections.Units()[1].I()), erDropped);
    OnLine();
    Main->Disconnect(true);
    Seconds(3);
    ASSERT_EQ(Data->Connections.Units().Count(), 3u);
    EXPECT_EQ(Data->Budgets.EndOf(Data->Connections.Units()[2].I()), erUser);
    EXPECT_STREQ(EndReasonText(erUser), "utente");
    EXPECT_STREQ(EndReasonText(erDropped), "linea caduta");
}

// The alert of a spent budget is told once a cycle, but every connection counted after it is
// offered the hang-up, also when the alert came with no count running.
TEST_F(TBudgetFixture, AConnectionAfterTheAlertIsStillOfferedTheHangUp)
{
    TBudgetItem& b = Budget(400, 1);
    b.SetRiaggancia(true);
    Spend(At(2026, 3, 2, 10, 0), 500); // spent before any count (an import, a lowered budget)
    Seconds(2);
    ASSERT_EQ(Balloons.size(), 1u);
    EXPECT_EQ(Balloons[0].rfind("Budget mensile esaurito", 0), 0u);
    const auto questions = [&] {
        return std::count_if(Ctx.Prompter.Shown.begin(), Ctx.Prompter.Shown.end(), [](const auto& shown) {
            return shown.Text == "Budget mensile esaurito!!!\r\rInterrompi la connessione?";
        });
    };
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    OnLine();
    Seconds(600);
    EXPECT_EQ(questions(), 1); // asked once for this connection, not every second
    EXPECT_EQ(Balloons.size(), 1u);
    Main->Disconnect(true);
    Seconds(3);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    OnLine();
    Seconds(3);
    EXPECT_EQ(questions(), 2); // the next connection is asked again
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
}

// The clock set an hour forward on a line that moves 1000 bytes a second is no quiet hour.
TEST_F(TBudgetFixture, AClockChangeIsNoTimeWithoutTraffic)
{
    TIdleItem& rule = Data->Budgets.IdleFor("Provider Uno");
    rule.SetAttivo(true);
    rule.SetByte(100000); // ten minutes at 1000 bytes a second move 600,000
    rule.SetMinuti(10);
    Sim.BytesPerSecondIn = 1000;
    Sim.BytesPerSecondOut = 0;
    OnLine();
    Seconds(60);
    Ctx.Time.SetNow(Ctx.Time.Now() + 1.0 / 24);
    Seconds(5);
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected);
    for (const auto& shown : Ctx.Prompter.Shown)
        EXPECT_EQ(shown.Text.find("Connessione inattiva"), std::string::npos);
}

TEST_F(TBudgetFixture, TheDurationLimitIsTheEndsReason)
{
    TEntryItem& entry = Data->Settings.Entrys().EntryFor("Provider Uno", keRAS);
    entry.SetAutoDisconnect(true);
    entry.SetTimeOutConnection(60);
    entry.SetAskDisconnect(false);
    OnLine();
    Seconds(70);
    Seconds(3);
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Budgets.EndOf(Data->Connections.Units()[0].I()), erLimit);
}

TEST(IdleMeter, QuietOnlyAfterAWholeWindowAndABurstResetsIt)
{
    TIdleMeter m;
    const double t0 = At(2026, 3, 11, 10);
    std::uint64_t bytes = 5000;
    for (int s = 0; s < 120; ++s)
        m.Sample(t0 + s * OneSecond, bytes += 5); // 5 bytes a second
    EXPECT_FALSE(m.Idle(t0 + 119 * OneSecond, 1000, 2)); // not yet two minutes of samples
    m.Sample(t0 + 120 * OneSecond, bytes += 5);
    EXPECT_TRUE(m.Idle(t0 + 120 * OneSecond, 1000, 2)); // 600 bytes in two minutes
    EXPECT_FALSE(m.Idle(t0 + 120 * OneSecond, 500, 2));
    m.Sample(t0 + 121 * OneSecond, bytes += 2000); // a burst
    EXPECT_FALSE(m.Idle(t0 + 121 * OneSecond, 1000, 2));
    for (int s = 122; s <= 240; ++s)
        m.Sample(t0 + s * OneSecond, bytes += 5);
    EXPECT_FALSE(m.Idle(t0 + 240 * OneSecond, 1000, 2)); // the burst is still inside the window
    for (int s = 241; s <= 242; ++s)
        m.Sample(t0 + s * OneSecond, bytes += 5);
    EXPECT_TRUE(m.Idle(t0 + 242 * OneSecond, 1000, 2));
    m.Reset();
    EXPECT_FALSE(m.Idle(t0 + 242 * OneSecond, 1000, 2));
}

TEST_F(TBudgetFixture, AQuietLineIsHungUpAfterTheQuestion)
{
    TIdleItem& rule = Data->Budgets.IdleFor("Provider Uno");
    rule.SetAttivo(true);
    rule.SetByte(100000);
    rule.SetMinuti(1);
    Sim.BytesPerSecondIn = 100; // 6,000 bytes a minute: quiet
    Sim.BytesPerSecondOut = 0;
    OnLine();
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    Seconds(70);
    ASSERT_FALSE(Ctx.Prompter.Shown.empty());
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text,
              "Connessione inattiva (meno di 100000 byte in 1 minuto)!!!\r\rInterrompi la connessione?");
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected); // No: the next question waits a whole minute
    const std::size_t questions = Ctx.Prompter.Shown.size();
    Seconds(30);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), questions);
    // Traffic keeps the line: a burst of 200,000 bytes a second for two seconds.
    Sim.BytesPerSecondIn = 200000;
    Seconds(2);
    Sim.BytesPerSecondIn = 100;
    Seconds(40);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), questions);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Seconds(40);
    Seconds(3);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Budgets.EndOf(Data->Connections.Units()[0].I()), erIdle);
}

TEST_F(TBudgetFixture, TheSettingsPageRulesAndTheFileKeepsThemApart)
{
    TBudgetSettings rules(Ctx.Services, *Data);
    TBudgetSettings::TBudgetForm f;
    f.Importo = "diecimila";
    EXPECT_FALSE(rules.ApplyBudget(f));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Il valore specificato per il campo «Budget mensile (£)» non è valido!");
    f.Importo = "50000";
    f.GiornoInizio = 29;
    EXPECT_FALSE(rules.ApplyBudget(f));
    f.GiornoInizio = 15;
    f.Riaggancia = true;
    ASSERT_TRUE(rules.ApplyBudget(f));
    EXPECT_EQ(rules.Budget().Importo, "50000");
    EXPECT_EQ(rules.Budget().GiornoInizio, 15);
    TBudgetSettings::TIdleForm idle;
    idle.Attivo = true;
    idle.Minuti = "0";
    EXPECT_FALSE(rules.ApplyIdle("Provider Due", idle));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Il valore specificato per il campo «In (minuti)» non è valido!");
    idle.Minuti = "5";
    ASSERT_TRUE(rules.ApplyIdle("Provider Due", idle));
    EXPECT_TRUE(rules.Idle("provider due").Attivo);
    const auto entries = rules.Entries();
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Provider Uno"), entries.end());

    // The budget lives in its own file; the others do not change.
    const TBytes settings = Data->Settings.WriteToBytes();
    Data->SaveAllModified();
    EXPECT_EQ(Data->Settings.WriteToBytes(), settings);
    TBudgets again(Ctx.Services);
    again.ReadFromBytes(Ctx.Files.Files.at("/data/Budget.dat"));
    ASSERT_NE(again.FindBudget(Profile().UserName()), nullptr);
    EXPECT_EQ(again.FindBudget(Profile().UserName())->Importo(), 50000);
    EXPECT_EQ(again.FindIdle("Provider Due")->Minuti(), 5);
}

struct TRepricing : TDefaultTariffs
{
    TRepricing() : TDefaultTariffs(At(2026, 3, 11)) {}
};

TEST_F(TRepricing, EachConnectionPricedWithTheFreeSecondsRenewedEachMonth)
{
    // A tariff with monthly free seconds, and connections over two months.
    TTaxItem* withBonus = nullptr;
    for (auto& t : Taxes.Taxs())
        if (t->BonusMese() > 0)
            withBonus = t.get();
    ASSERT_NE(withBonus, nullptr);
    std::vector<TRepricingSpan> spans;
    for (int day = 1; day <= 60; day += 3)
        spans.push_back({At(2026, 1, 1) + day + 10 / 24.0, At(2026, 1, 1) + day + 10 / 24.0 + 6 * 3600 * OneSecond, 1000});
    const TRepricingResult r = Reprice(spans, Taxes);
    EXPECT_EQ(r.Connections, spans.size());
    EXPECT_DOUBLE_EQ(r.Paid, 1000.0 * spans.size());
    ASSERT_EQ(r.Rows.size(), Taxes.Taxs().Count());
    for (std::size_t i = 1; i < r.Rows.size(); ++i)
        EXPECT_LE(r.Rows[i - 1].Total, r.Rows[i].Total);

    // The same, connection by connection, with ComputeCost.
    double expected = 0;
    int month = 0;
    std::uint32_t allowance = 0;
    for (const auto& s : spans) {
        const int m = DecodeDate(s.Start).Month;
        if (m != month) {
            month = m;
            allowance = static_cast<std::uint32_t>(withBonus->BonusMese());
        }
        expected += withBonus->ComputeCost(s.Start, s.End, false, {}, allowance).Cost;
        const auto used = static_cast<std::uint32_t>(std::min<std::int64_t>(allowance, 6 * 3600));
        allowance -= used;
    }
    const auto row = std::find_if(r.Rows.begin(), r.Rows.end(),
                                  [&](const TRepricingRow& x) { return x.Tariff == withBonus->DisplayName(); });
    ASSERT_NE(row, r.Rows.end());
    EXPECT_DOUBLE_EQ(row->Total, expected);
    EXPECT_DOUBLE_EQ(row->Saving, r.Paid - expected);
    // Without renewal (one allowance for both months) the total would be higher: the test sees it.
    std::uint32_t once = static_cast<std::uint32_t>(withBonus->BonusMese());
    double single = 0;
    for (const auto& s : spans) {
        single += withBonus->ComputeCost(s.Start, s.End, false, {}, once).Cost;
        once -= std::min<std::uint32_t>(once, 6 * 3600);
    }
    EXPECT_GT(single, expected);
    // The user's tariffs are not changed by the repricing.
    EXPECT_EQ(withBonus->BonusDisponibile(), static_cast<std::uint32_t>(withBonus->BonusMese()));

    std::atomic<bool> cancel{true};
    EXPECT_TRUE(Reprice(spans, Taxes, {}, &cancel).Cancelled);
    EXPECT_NE(RepricingText(r).find(r.Rows[0].Tariff + "  £ "), std::string::npos);
}

TEST_F(TRepricing, OnAWorkerWithProgressAndTheResultOnTheMainThread)
{
    TDataUnits log(Ctx.Services);
    for (int i = 0; i < 50; ++i)
        log.AddSimple(3, "Uno", 500, At(2026, 2, 1) + i * 0.5 + 0.02, At(2026, 2, 1) + i * 0.5);
    auto task = std::make_unique<TRepricingTask>(Ctx.Services, Taxes, Agenda,
                                                 RepricingSpans(log, At(2026, 2, 1), At(2026, 2, 28)));
    std::vector<int> percents;
    std::optional<TRepricingResult> result;
    task->OnProgress = [&](const std::string& text, int p) {
        EXPECT_EQ(text.rfind("Calcolo del costo con ", 0), 0u);
        percents.push_back(p);
    };
    task->OnDone = [&](const TRepricingResult& r) { result = r; };
    task->Start();
    for (int i = 0; i < 2000 && !result; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Ctx.Time.Advance(1);
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Connections, 50u); // 1 to 27 February and the morning of the 28th
    EXPECT_EQ(percents.back(), 100);
    EXPECT_FALSE(task->Running());
    // A task destroyed while it works neither hangs nor reports afterwards.
    auto second = std::make_unique<TRepricingTask>(Ctx.Services, Taxes, Agenda,
                                                   RepricingSpans(log, At(2026, 2, 1), At(2026, 2, 28)));
    bool reported = false;
    second->OnDone = [&](const TRepricingResult&) { reported = true; };
    second->Start();
    second.reset();
    Ctx.Time.Advance(10);
    EXPECT_FALSE(reported);
}
