// Data plans in virtual time: cycle boundaries, counters that reset, blocks beyond the allowance,
// the speed-cap plan, alerts once per cycle, projections, a restart and a link that moves.
#include "TestSupport.h"
#include "core/DateTime.h"
#include "app/PlanMonitor.h"
#include "tariffs/DataPlans.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

constexpr std::uint64_t MB = 1000 * 1000;
constexpr std::uint64_t GB = 1000 * MB;

TDataPlan Monthly(int day, std::uint64_t allowance = 50 * GB)
{
    TDataPlan p;
    p.Name = "Mobile";
    p.ConnectionUuid = "6f1c2b9e-0000-4000-8000-000000000001";
    p.CycleDay = day;
    p.Allowance = allowance;
    p.PricePerCycle = 9.99;
    return p;
}

std::string Dates(const TPlanCycle& c)
{
    return FormatDateTime("yyyy-mm-dd", c.Start) + " " + FormatDateTime("yyyy-mm-dd", c.End);
}

} // namespace

TEST(DataPlanCycles, MonthlyDailyAndEveryNDays)
{
    // The 31st in February stands for its last day; the next cycle starts on 31 March.
    const TDataPlan last = Monthly(31);
    EXPECT_EQ(Dates(PlanCycleAt(last, At(2026, 2, 28, 10))), "2026-02-28 2026-03-31");
    EXPECT_EQ(Dates(PlanCycleAt(last, At(2026, 2, 27, 23, 59))), "2026-01-31 2026-02-28");
    EXPECT_EQ(Dates(PlanCycleAt(last, At(2028, 2, 29))), "2028-02-29 2028-03-31"); // a leap year
    EXPECT_EQ(Dates(PlanCycleAt(last, At(2026, 4, 30))), "2026-04-30 2026-05-31");
    // Day 14 across a year.
    const TDataPlan fourteenth = Monthly(14);
    EXPECT_EQ(Dates(PlanCycleAt(fourteenth, At(2027, 1, 5))), "2026-12-14 2027-01-14");
    EXPECT_EQ(Dates(PlanCycleAt(fourteenth, At(2026, 12, 14))), "2026-12-14 2027-01-14");
    EXPECT_EQ(Dates(PlanCycleAt(fourteenth, At(2026, 12, 13, 23, 59, 59))), "2026-11-14 2026-12-14");
    // Every 28 days from a date, before and after it.
    TDataPlan every = Monthly(1);
    every.Cycle = TPlanCycleKind::EveryDays;
    every.EveryDays = 28;
    every.CycleFrom = At(2026, 12, 1);
    EXPECT_EQ(Dates(PlanCycleAt(every, At(2026, 12, 28, 23))), "2026-12-01 2026-12-29");
    EXPECT_EQ(Dates(PlanCycleAt(every, At(2026, 12, 29))), "2026-12-29 2027-01-26");
    EXPECT_EQ(Dates(PlanCycleAt(every, At(2026, 11, 30))), "2026-11-03 2026-12-01");
    // Daily.
    TDataPlan daily = Monthly(1, 1 * GB);
    daily.Cycle = TPlanCycleKind::Daily;
    EXPECT_EQ(Dates(PlanCycleAt(daily, At(2026, 12, 31, 23, 59))), "2026-12-31 2027-01-01");
}

TEST(DataPlanCounters, ResetsAndWrapsCountFromZero)
{
    TCounterDelta c;
    EXPECT_EQ(c.Take(5000), 0u); // the baseline: what came before is not invented
    EXPECT_EQ(c.Take(7000), 2000u);
    EXPECT_EQ(c.Take(300), 300u); // the interface went down and up
    EXPECT_EQ(c.Take(0xFFFFFF00u), 0xFFFFFF00u - 300);
    EXPECT_EQ(c.Take(0x10), 0x10u); // a 32-bit counter wrapped: the bytes after the wrap
    c.Forget();
    EXPECT_EQ(c.Take(9000), 0u);
}

TEST(DataPlanCosts, BlocksPerGigabyteSpeedCapAndNoAllowance)
{
    TDataPlan blocks = Monthly(1, 1 * GB);
    blocks.Beyond = TPlanBeyond::PerBlock;
    blocks.BlockBytes = 100 * MB;
    blocks.BeyondPrice = 0.50;
    EXPECT_DOUBLE_EQ(PlanCycleCost(blocks, 1 * GB), 9.99);
    EXPECT_DOUBLE_EQ(PlanCycleCost(blocks, 1 * GB + 1), 9.99 + 0.50); // a started block is charged whole
    EXPECT_DOUBLE_EQ(PlanCycleCost(blocks, 1 * GB + 100 * MB), 9.99 + 0.50);
    EXPECT_DOUBLE_EQ(PlanCycleCost(blocks, 1 * GB + 100 * MB + 1), 9.99 + 1.00);
    TDataPlan perGb = blocks;
    perGb.Beyond = TPlanBeyond::PerGigabyte;
    EXPECT_DOUBLE_EQ(PlanCycleCost(perGb, 3 * GB + 500 * MB), 9.99 + 2.5 * 0.50);
    TDataPlan cap = blocks;
    cap.Beyond = TPlanBeyond::SpeedCap;
    EXPECT_DOUBLE_EQ(PlanCycleCost(cap, 40 * GB), 9.99);
    // Without an allowance every byte is priced.
    TDataPlan payg = perGb;
    payg.Allowance.reset();
    payg.PricePerCycle = 0;
    EXPECT_DOUBLE_EQ(PlanCycleCost(payg, 2 * GB), 1.00);
    // Received only.
    TDataPlan down = blocks;
    down.Counts = TPlanCounts::ReceivedOnly;
    EXPECT_EQ(CountedBytes(down, 10, 7), 10u);
    EXPECT_EQ(CountedBytes(blocks, 10, 7), 17u);
}

TEST(DataPlanStatus, ProjectionPerDayLeftAndAlertsOncePerCycle)
{
    std::vector<TDataPlan> plans{Monthly(14, 10 * GB)};
    plans[0].Limit = true;
    TPlanUsage usage;
    TPlanTracker tracker(plans, usage);
    TPlanAlerts alerts;
    const std::string uuid = plans[0].ConnectionUuid;
    // The cycle from 14 December; on the 24th at midnight 4 GB were used (10 of 31 days).
    tracker.Sample("wwan0", uuid, 0, 0, At(2026, 12, 14, 8));
    tracker.Sample("wwan0", uuid, 3 * GB, 1 * GB, At(2026, 12, 23, 22));
    TPlanStatus s = PlanStatusAt(plans[0], usage, At(2026, 12, 24));
    EXPECT_EQ(s.Used, 4 * GB);
    EXPECT_EQ(*s.Remaining, 6 * GB);
    EXPECT_DOUBLE_EQ(s.Percent, 40);
    EXPECT_EQ(s.Projection, 4 * GB * 31 / 10); // at the same pace to 14 January
    EXPECT_EQ(*s.PerDayLeft, 6 * GB / 21);     // 24 December to 13 January
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::None);
    // 80 %: the warning, once.
    tracker.Sample("wwan0", uuid, 7 * GB, 1 * GB, At(2026, 12, 25, 10));
    s = PlanStatusAt(plans[0], usage, At(2026, 12, 25, 10));
    EXPECT_DOUBLE_EQ(s.Percent, 80);
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::Warning);
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::None);
    // 100 %: the limit, once.
    tracker.Sample("wwan0", uuid, 9 * GB, 1 * GB, At(2026, 12, 26, 10));
    s = PlanStatusAt(plans[0], usage, At(2026, 12, 26, 10));
    EXPECT_EQ(*s.Remaining, 0u);
    EXPECT_EQ(*s.PerDayLeft, 0u);
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::Limit);
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::None);
    // A new cycle: nothing used yet, then both alerts again.
    s = PlanStatusAt(plans[0], usage, At(2027, 1, 14, 1));
    EXPECT_EQ(s.Used, 0u);
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::None);
    tracker.Sample("wwan0", uuid, 20 * GB, 1 * GB, At(2027, 1, 20)); // 11 GB in a day
    s = PlanStatusAt(plans[0], usage, At(2027, 1, 20));
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::Limit); // straight past both: the limit's alone
    EXPECT_EQ(alerts.Check(plans[0], s), TPlanAlert::None);
    // A plan without allowance shows its cost and raises nothing.
    TDataPlan payg = plans[0];
    payg.Allowance.reset();
    payg.Beyond = TPlanBeyond::PerGigabyte;
    payg.BeyondPrice = 1;
    payg.PricePerCycle = 0;
    s = PlanStatusAt(payg, usage, At(2027, 1, 20));
    EXPECT_FALSE(s.Remaining);
    EXPECT_DOUBLE_EQ(s.Cost, 11.0);
    EXPECT_EQ(alerts.Check(payg, s), TPlanAlert::None);
}

TEST(DataPlanTracker, ARestartAndALinkMovingToAnotherInterfaceKeepTheCycle)
{
    std::vector<TDataPlan> plans{Monthly(1, 20 * GB)};
    TDataPlan wired;
    wired.Name = "Satellite";
    wired.Interface = "sat0";
    plans.push_back(wired);
    TPlanUsage usage;
    {
        TPlanTracker tracker(plans, usage);
        tracker.Sample("wwan0", plans[0].ConnectionUuid, 1000, 100, At(2026, 12, 3, 9));
        EXPECT_EQ(tracker.Sample("wwan0", plans[0].ConnectionUuid, 5000, 600, At(2026, 12, 3, 10))->Name, "Mobile");
    }
    // The program restarts: the counters are a new baseline, the cycle's usage stays.
    TPlanTracker tracker(plans, usage);
    EXPECT_EQ(tracker.Sample("wwan0", plans[0].ConnectionUuid, 9000, 900, At(2026, 12, 4, 9))->Name, "Mobile");
    EXPECT_EQ(PlanStatusAt(plans[0], usage, At(2026, 12, 4, 9)).Used, 4500u);
    tracker.Sample("wwan0", plans[0].ConnectionUuid, 10000, 1000, At(2026, 12, 4, 10));
    // The same SIM on another port: the plan follows the connection; the new interface has its own
    // counters.
    tracker.Gone("wwan0");
    tracker.Sample("wwan1", plans[0].ConnectionUuid, 70000, 100, At(2026, 12, 4, 11));
    tracker.Sample("wwan1", plans[0].ConnectionUuid, 72000, 300, At(2026, 12, 4, 12));
    EXPECT_EQ(PlanStatusAt(plans[0], usage, At(2026, 12, 4, 12)).Used, 4500u + 1100 + 2200);
    // An interface NetworkManager does not manage goes to the plan of that interface; another one to
    // none.
    tracker.Sample("sat0", "", 100, 10, At(2026, 12, 4, 12));
    EXPECT_EQ(tracker.Sample("sat0", "", 400, 20, At(2026, 12, 4, 13))->Name, "Satellite");
    EXPECT_EQ(usage.Used(plans[1], At(2026, 12, 1), At(2027, 1, 1)), 310u);
    EXPECT_EQ(tracker.Sample("eth0", "", 400, 20, At(2026, 12, 4, 13)), nullptr);
    // Per day.
    const auto& days = usage.Days("Mobile");
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days.at(DayNumber(At(2026, 12, 3))).Received, 4000u);
}

TEST(DataPlanFile, PlansAndDailyVolumesGoThroughTheStreamFormat)
{
    TTestContext ctx(At(2026, 12, 10, 12));
    TDataPlans file(ctx.Services);
    TDataPlan mobile = Monthly(14, 50 * GB);
    mobile.Beyond = TPlanBeyond::PerBlock;
    mobile.BlockBytes = 500 * MB;
    mobile.BeyondPrice = 0.5;
    mobile.Limit = true;
    file.StorePlan(mobile);
    TDataPlan payg;
    payg.Name = "Satellite";
    payg.Interface = "sat0";
    payg.Counts = TPlanCounts::ReceivedOnly;
    payg.Cycle = TPlanCycleKind::EveryDays;
    payg.EveryDays = 28;
    payg.CycleFrom = At(2026, 12, 1);
    payg.Beyond = TPlanBeyond::PerGigabyte;
    payg.BeyondPrice = 2;
    file.StorePlan(payg);
    mobile.PricePerCycle = 12.99;
    file.StorePlan(mobile); // the same name: replaced, not added
    TPlanUsage usage;
    usage.Add("Mobile", At(2026, 12, 9, 8), 6 * GB, 1 * GB);
    usage.Add("Mobile", At(2026, 12, 10, 8), 3 * GB, 0);
    usage.Add("Satellite", At(2026, 12, 10, 9), 700, 20);
    file.StoreUsage(usage);

    TDataPlans again(ctx.Services);
    again.ReadFromBytes(file.WriteToBytes());
    const std::vector<TDataPlan> plans = again.PlanList();
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0].Name, "Mobile");
    EXPECT_EQ(plans[0].ConnectionUuid, mobile.ConnectionUuid);
    EXPECT_EQ(plans[0].CycleDay, 14);
    EXPECT_EQ(*plans[0].Allowance, 50 * GB); // beyond 32 bits
    EXPECT_DOUBLE_EQ(plans[0].PricePerCycle, 12.99);
    EXPECT_EQ(plans[0].Beyond, TPlanBeyond::PerBlock);
    EXPECT_EQ(plans[0].BlockBytes, 500 * MB);
    EXPECT_TRUE(plans[0].Limit);
    EXPECT_EQ(plans[1].Interface, "sat0");
    EXPECT_EQ(plans[1].Counts, TPlanCounts::ReceivedOnly);
    EXPECT_EQ(plans[1].Cycle, TPlanCycleKind::EveryDays);
    EXPECT_DOUBLE_EQ(plans[1].CycleFrom, At(2026, 12, 1));
    EXPECT_FALSE(plans[1].Allowance);
    const TPlanUsage read = again.Usage();
    EXPECT_EQ(read.Used(plans[0], At(2026, 12, 1), At(2027, 1, 1)), 10 * GB);
    EXPECT_EQ(read.Used(plans[1], At(2026, 12, 1), At(2027, 1, 1)), 700u);
    EXPECT_EQ(PlanStatusAt(plans[0], read, At(2026, 12, 10, 12)).Used, 10 * GB); // from 14 November
    EXPECT_EQ(PlanStatusAt(plans[0], read, At(2026, 12, 14)).Used, 0u);
}

TEST(DataPlanTexts, VolumesAndCycles)
{
    EXPECT_EQ(ParseVolume("50 GB"), 50 * GB);
    EXPECT_EQ(ParseVolume("1,5GB"), 1500 * MB);
    EXPECT_EQ(ParseVolume("500 mb"), 500 * MB);
    EXPECT_EQ(ParseVolume("1234"), 1234u);
    EXPECT_FALSE(ParseVolume("50 GiB"));
    EXPECT_FALSE(ParseVolume("GB"));
    EXPECT_FALSE(ParseVolume("1,2,3 GB"));
    EXPECT_FALSE(ParseVolume(", GB"));
    EXPECT_FALSE(ParseVolume(""));
    EXPECT_EQ(VolumeText(12340 * MB), "12,34 GB");
    EXPECT_EQ(VolumeText(850 * MB), "850,00 MB");
    EXPECT_EQ(VolumeText(0), "0 B");
    EXPECT_EQ(CycleText(Monthly(14)), "mensile dal giorno 14");
    TDataPlan every = Monthly(1);
    every.Cycle = TPlanCycleKind::EveryDays;
    every.EveryDays = 28;
    every.CycleFrom = At(2026, 12, 1);
    EXPECT_EQ(CycleText(every), "ogni 28 giorni dal 1 dicembre 2026");
}

TEST(DataPlanMonitor, CountsEveryTwoSecondsSavesEveryTenAndAlertsOnce)
{
    TTestContext ctx(At(2026, 12, 10, 12));
    TSimNetCounters counters;
    TDataPlan sat;
    sat.Name = "Satellite";
    sat.Interface = "sat0";
    sat.Allowance = 1 * GB;
    sat.Limit = true;
    std::vector<std::pair<TPlanAlert, double>> alerts;
    {
        TDataPlans file(ctx.Services);
        file.SetFileName("PianiDati.dat");
        file.StorePlan(sat);
        file.Save();
        TDataPlan mobile = Monthly(1, 10 * GB);
        file.StorePlan(mobile);
        counters.Interfaces["sat0"] = {5000, 100}; // before the program started: not counted
        TPlanMonitor monitor(ctx.Services, file, counters);
        monitor.OnAlert = [&alerts](const TDataPlan&, TPlanAlert a, const TPlanStatus& s) { alerts.push_back({a, s.Percent}); };
        monitor.Start();
        // 100 MB a second on the satellite link; the mobile link is up on wwan0 from the fourth second.
        for (int second = 1; second <= 12; ++second) {
            counters.Interfaces["sat0"].Received += 100 * MB;
            if (second == 4) {
                counters.Interfaces["wwan0"] = {777, 0};
                monitor.SetLinks({{"wwan0", TNetLink{"wwan0", mobile.ConnectionUuid, "SIM", true, "/ac/1"}}});
            }
            if (second > 4)
                counters.Interfaces["wwan0"].Sent += 1 * MB;
            ctx.Time.Advance(1000);
        }
        // Readings at start, when a link comes and every two seconds; the fifth timed reading (at the
        // tenth second) saved the usage.
        TDataPlans saved(ctx.Services);
        saved.ReadFromBytes(ctx.Files.ReadAll(ctx.Env.AppPath + "PianiDati.dat"));
        EXPECT_EQ(saved.Usage().Used(sat, 0, 1e6), 1000 * MB);
        EXPECT_EQ(monitor.Usage().Used(sat, 0, 1e6), 1200 * MB);
        EXPECT_EQ(monitor.Usage().Used(mobile, 0, 1e6), 8 * MB); // from its first reading (second 4)
        // 80 % at 0,8 GB: the warning; 100 % at 1 GB: the limit; nothing more.
        ASSERT_EQ(alerts.size(), 2u);
        EXPECT_EQ(alerts[0].first, TPlanAlert::Warning);
        EXPECT_EQ(alerts[1].first, TPlanAlert::Limit);
        // The link goes away: its counters are gone; back with new counters, a new baseline.
        monitor.SetLinks({});
        counters.Interfaces.erase("wwan0");
        ctx.Time.Advance(2000);
        counters.Interfaces["wwan0"] = {50, 5};
        monitor.SetLinks({{"wwan0", TNetLink{"wwan0", mobile.ConnectionUuid, "SIM", true, "/ac/1"}}});
        ctx.Time.Advance(2000);
        EXPECT_EQ(monitor.Usage().Used(mobile, 0, 1e6), 8 * MB);
        monitor.Stop();
    }
    // A restart in the same cycle: what was counted (saved when the monitor stopped) goes on.
    TDataPlans file(ctx.Services);
    file.ReadFromBytes(ctx.Files.ReadAll(ctx.Env.AppPath + "PianiDati.dat"));
    file.SetFileName("PianiDati.dat");
    EXPECT_EQ(file.Usage().Used(sat, 0, 1e6), 1200 * MB);
    TPlanMonitor again(ctx.Services, file, counters);
    again.Start();
    counters.Interfaces["sat0"].Received += 1 * MB;
    ctx.Time.Advance(2000);
    EXPECT_EQ(again.Usage().Used(sat, 0, 1e6), 1201 * MB);
    file.SetModified(false);
}
