// The data plans as the user sees them, in virtual time: the strip's and the tray's view of the
// plan of the link that is up, the balloons at the warning and at the allowance, the limit's
// question, and the link taken down through its watcher or, for the program's own dial-up, hung up.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "app/PlanSettings.h"
#include "app/PlanWatch.h"

#include <cmath>

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

constexpr std::uint64_t MB = 1000 * 1000;
constexpr std::uint64_t GB = 1000 * MB;
constexpr const char* Sim = "6f1c2b9e-0000-4000-8000-000000000001";

struct TWatchFixture : testing::Test
{
    TTestContext Ctx{At(2026, 12, 10, 9, 0)};
    TDataModule Data{Ctx.Services};
    TSimNetCounters Counters;
    TSimLinkWatcher Links;
    std::vector<std::string> Balloons;
    std::vector<TEndReason> HangUps;
    std::unique_ptr<TPlanWatch> Watch;

    void Make(const std::vector<TDataPlan>& plans)
    {
        Data.LoadAll();
        for (const auto& p : plans)
            Data.Plans.StorePlan(p);
        Watch = std::make_unique<TPlanWatch>(Ctx.Services, Data.Plans, Counters, Links);
        Watch->OnBalloon = [this](const std::string& t) { Balloons.push_back(t); };
        Watch->OnHangUp = [this](TEndReason r) { HangUps.push_back(r); };
        Watch->Start();
    }
    void Traffic(const std::string& interface, std::uint64_t received)
    {
        Counters.Interfaces[interface].Received += received;
        Ctx.Time.Advance(TPlanMonitor::SampleMs);
    }
};

TDataPlan Mobile(bool limit)
{
    TDataPlan p;
    p.Name = "SIM";
    p.ConnectionUuid = Sim;
    p.CycleDay = 1;
    p.Allowance = 10 * GB;
    p.PricePerCycle = 9.99;
    p.Beyond = TPlanBeyond::PerGigabyte;
    p.BeyondPrice = 0.5;
    p.Limit = limit;
    return p;
}

} // namespace

TEST_F(TWatchFixture, TheStripAndTrayFollowTheShareAndTheLimitTakesTheLinkDown)
{
    Make({Mobile(true)});
    EXPECT_EQ(Watch->View().Level, TPlanLevel::None); // no link up
    Counters.Interfaces["wwan0"] = {0, 0};
    Links.Set({{"wwan0", TNetLink{"wwan0", Sim, "SIM Mobile", true, "/ac/0"}}});
    EXPECT_EQ(Watch->View().Level, TPlanLevel::Green);
    EXPECT_EQ(Watch->View().Strip, "0 B di 10 GB · restano 10 GB");

    Traffic("wwan0", 7 * GB);
    EXPECT_EQ(Watch->View().Level, TPlanLevel::Green);
    EXPECT_EQ(Watch->View().Percent, 70);
    EXPECT_EQ(Watch->View().Strip, "7 di 10 GB · restano 3 GB");
    // 22 days left in December counting today: 3 GB ÷ 22.
    EXPECT_EQ(Watch->View().Hint, "Piano dati «SIM» su SIM Mobile\rCiclo dal 1 dicembre al 31 dicembre 2026\r"
                                  "Usati 7,00 GB di 10,00 GB (70%)\rRestano 3,00 GB, 136,36 MB al giorno fino a fine "
                                  "ciclo\rA questo ritmo a fine ciclo: 23,15 GB\rCosto finora: € 9,99");
    EXPECT_TRUE(Balloons.empty());

    Traffic("wwan0", 1 * GB);
    EXPECT_EQ(Watch->View().Level, TPlanLevel::Yellow);
    ASSERT_EQ(Balloons.size(), 1u);
    EXPECT_EQ(Balloons[0], "Piano dati «SIM»: usato l'80% di 10,00 GB, restano 2,00 GB (90,91 MB al giorno)");
    Traffic("wwan0", 1 * GB);
    EXPECT_EQ(Balloons.size(), 1u); // once per cycle

    // The allowance used up: the balloon, then the question; "No" keeps the link.
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    Traffic("wwan0", 1 * GB);
    EXPECT_EQ(Watch->View().Level, TPlanLevel::Red);
    EXPECT_EQ(Watch->View().Percent, 100);
    ASSERT_EQ(Balloons.size(), 2u);
    EXPECT_EQ(Balloons[1], "Piano dati «SIM»: soglia di 10,00 GB esaurita, ora si paga € 0,50 per GB");
    ASSERT_FALSE(Ctx.Prompter.Shown.empty());
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Soglia del piano dati «SIM» esaurita!!!\r\rInterrompi la connessione?");
    EXPECT_TRUE(Links.Disconnected.empty());
    // Asked once per cycle: more traffic, no second question.
    const std::size_t asked = Ctx.Prompter.Shown.size();
    Traffic("wwan0", 1 * GB);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), asked);

    // Next month: a new cycle, the share starts again; at its allowance "Sì" takes the link down.
    Ctx.Time.Advance(22.0 * MSecsPerDay);
    Traffic("wwan0", 5 * GB);
    EXPECT_EQ(Watch->View().Percent, 50);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Traffic("wwan0", 6 * GB);
    EXPECT_EQ(Links.Disconnected, std::vector<std::string>{"wwan0"});
    EXPECT_EQ(Watch->View().Level, TPlanLevel::None); // the link went
    EXPECT_TRUE(HangUps.empty());
}

TEST_F(TWatchFixture, ADialUpPlanIsHungUpAndAPlanWithoutAllowanceShowsItsCost)
{
    TDataPlan dial = Mobile(true);
    dial.Name = "ISDN";
    dial.ConnectionUuid.clear();
    dial.Interface = "ppp0";
    TDataPlan flat;
    flat.Name = "Satellite";
    flat.Interface = "sat0";
    flat.Beyond = TPlanBeyond::PerBlock;
    flat.BeyondPrice = 1;
    flat.BlockBytes = 100 * MB;
    Make({dial, flat});
    Counters.Interfaces["sat0"] = {0, 0};
    Links.Set({{"sat0", TNetLink{"sat0", "", "", false, ""}}});
    Traffic("sat0", 250 * MB);
    EXPECT_EQ(Watch->View().Strip, "250 MB · € 3,00"); // three started blocks
    EXPECT_EQ(Watch->View().TrayLine, "Satellite: 250,00 MB, € 3,00");
    // pppd's link, not NetworkManager's: the program hangs up its own dial-up.
    Counters.Interfaces["ppp0"] = {0, 0};
    Links.Set({{"ppp0", TNetLink{"ppp0", "", "", false, ""}}, {"sat0", TNetLink{"sat0", "", "", false, ""}}});
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Traffic("ppp0", 11 * GB);
    EXPECT_EQ(Watch->View().Level, TPlanLevel::Red); // the plan furthest into its allowance
    EXPECT_EQ(Links.Disconnected, std::vector<std::string>{"ppp0"});
    EXPECT_EQ(HangUps, std::vector<TEndReason>{erDataPlan});
}

TEST(DataPlanLinks, NetworkManagersLinksAndTheKernelsMergeIntoOneSet)
{
    auto managed = std::make_unique<TSimLinkWatcher>();
    auto others = std::make_unique<TSimLinkWatcher>();
    TSimLinkWatcher* m = managed.get();
    TSimLinkWatcher* o = others.get();
    TMergedLinks merged(std::move(managed), std::move(others));
    std::vector<TNetLinks> reports;
    merged.Start([&](const TNetLinks& l) { reports.push_back(l); });
    const TNetLink wwan{"wwan0", Sim, "SIM", true, "/ac/1"};
    m->Set({{"wwan0", wwan}});
    // The kernel sees wwan0 too, without NetworkManager's connection: NetworkManager's view wins.
    o->Set({{"wwan0", TNetLink{"wwan0", "", "", false, ""}}, {"ppp0", TNetLink{"ppp0", "", "", false, ""}}});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports.back().at("wwan0"), wwan);
    EXPECT_EQ(reports.back().count("ppp0"), 1u);
    o->Set({{"ppp0", TNetLink{"ppp0", "", "", false, ""}}, {"wwan0", TNetLink{"wwan0", "", "", false, ""}}});
    EXPECT_EQ(reports.size(), 2u); // the same set: not reported again
    // Each link is taken down by its own watcher.
    EXPECT_TRUE(merged.Disconnect(wwan));
    EXPECT_EQ(m->Disconnected, std::vector<std::string>{"wwan0"});
    EXPECT_FALSE(merged.Disconnect(reports.back().at("ppp0")));
    EXPECT_EQ(o->Disconnected, std::vector<std::string>{"ppp0"});
}

// The settings page's rules: a plan's fields as typed and back, a wrong field refused by its label,
// and an edit while the watch counts — renamed plans keep their volumes, nothing counted is lost.
TEST_F(TWatchFixture, ThePlansPageEditsWhileTheWatchCountsAndLosesNothing)
{
    TDataPlan every = Mobile(false);
    every.Name = "Ogni 28";
    every.ConnectionUuid.clear();
    every.Interface = "wwan1";
    every.Cycle = TPlanCycleKind::EveryDays;
    every.EveryDays = 28;
    every.CycleFrom = std::floor(At(2026, 12, 1));
    every.Beyond = TPlanBeyond::PerBlock;
    every.BlockBytes = 250 * MB;
    every.BeyondPrice = 1.5;
    Make({Mobile(false), every});
    TPlanSettings rules(Ctx.Services, Data);
    std::vector<TPlanSettings::TPlanForm> forms = rules.Plans();
    ASSERT_EQ(forms.size(), 2u);
    EXPECT_EQ(forms[1].Dal, "01/12/2026");
    EXPECT_EQ(forms[1].Soglia, "10,00 GB");
    EXPECT_EQ(forms[1].Blocco, "250,00 MB");
    EXPECT_EQ(forms[1].PrezzoOltre, "1,50");
    // Every form says again the plan it came from.
    for (std::size_t i = 0; i < forms.size(); ++i) {
        TDataPlan p;
        ASSERT_TRUE(rules.PlanOf(forms[i], forms, p));
        EXPECT_EQ(TPlanSettings::FormOf(p), forms[i]);
    }
    // Wrong fields, each refused by its label.
    const auto refused = [&](auto change) {
        std::vector<TPlanSettings::TPlanForm> f = forms;
        change(f[0]);
        TDataPlan p;
        Ctx.Prompter.Shown.clear();
        const bool ok = rules.PlanOf(f[0], f, p);
        return !ok && !Ctx.Prompter.Shown.empty() ? Ctx.Prompter.Shown.back().Text : std::string("accepted");
    };
    EXPECT_EQ(refused([](auto& f) { f.Soglia = "10 GiB"; }),
              "Il valore specificato per il campo «Traffico incluso» non è valido!");
    EXPECT_EQ(refused([](auto& f) { f.Prezzo = "-1"; }),
              "Il valore specificato per il campo «Prezzo per ciclo (€)» non è valido!");
    EXPECT_EQ(refused([](auto& f) { f.Connessione = " "; }),
              "Il valore specificato per il campo «Connessione (UUID)» non è valido!");
    EXPECT_EQ(refused([](auto& f) {
                  f.PerInterfaccia = true;
                  f.Interfaccia = "../../etc";
              }),
              "Il valore specificato per il campo «Interfaccia» non è valido!");
    EXPECT_EQ(refused([](auto& f) { f.Nome = "ogni 28"; }), "Esiste già un piano di nome «ogni 28»!");
    EXPECT_EQ(refused([](auto& f) { f.Soglia = ""; }), "accepted"); // no allowance
    // One plan per link: the second plan on the SIM is refused, naming both.
    {
        std::vector<TPlanSettings::TPlanForm> twice = forms;
        twice[1].PerInterfaccia = false;
        twice[1].Connessione = Sim;
        int failed = -1;
        Ctx.Prompter.Shown.clear();
        EXPECT_FALSE(rules.Apply(twice, &failed));
        EXPECT_EQ(failed, 1);
        ASSERT_FALSE(Ctx.Prompter.Shown.empty());
        EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Il collegamento del piano «Ogni 28» ha già il piano «SIM»!");
    }

    // Counting on the SIM; the page renames it and drops the other plan while the watch runs.
    Counters.Interfaces["wwan0"] = {0, 0};
    Links.Set({{"wwan0", TNetLink{"wwan0", Sim, "SIM Mobile", true, "/ac/0"}}});
    Traffic("wwan0", 3 * GB);
    Counters.Interfaces["wwan0"].Received += 1 * GB; // not yet read when the page applies
    forms[0].Nome = "SIM lavoro";
    forms.pop_back();
    bool ok = false;
    Watch->EditPlans([&](TDataPlans&) { ok = rules.Apply(forms); });
    ASSERT_TRUE(ok);
    ASSERT_EQ(Watch->Monitor().Plans().size(), 1u);
    TDataPlan renamed = Watch->Monitor().Plans()[0];
    EXPECT_EQ(renamed.Name, "SIM lavoro");
    EXPECT_EQ(Watch->Monitor().Usage().Used(renamed, 0, 1e6), 4 * GB);
    Traffic("wwan0", 1 * GB); // counting goes on under the new name
    EXPECT_EQ(Watch->Monitor().Usage().Used(renamed, 0, 1e6), 5 * GB);
    EXPECT_EQ(Watch->View().TrayLine, "SIM lavoro: 50% di 10,00 GB");
    // And on disk, after the watch stops.
    Watch->Stop();
    TDataPlans saved(Ctx.Services);
    saved.ReadFromBytes(Ctx.Files.ReadAll(Ctx.Env.AppPath + "PianiDati.dat"));
    EXPECT_EQ(saved.Usage().Used(renamed, 0, 1e6), 5 * GB);
    ASSERT_EQ(saved.PlanList().size(), 1u);
}
