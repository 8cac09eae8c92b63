// The data plans in the statistics: the volume per plan, per cycle (with its cost), per day and per
// month; the days the links were not watched; and what a period's traffic would have cost under
// each plan.
#include "TestSupport.h"
#include "core/DateTime.h"
#include "stats/Reports.h"
#include "stats/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qv;
using namespace qv::test;

namespace {

constexpr std::uint64_t MB = 1000 * 1000;
constexpr std::uint64_t GB = 1000 * MB;

struct TTwoPlans
{
    TDataPlan Sim, Sat;
    TPlanUsage Usage;
    TTwoPlans()
    {
        Sim.Name = "SIM";
        Sim.ConnectionUuid = "6f1c";
        Sim.CycleDay = 14;
        Sim.Allowance = 10 * GB;
        Sim.PricePerCycle = 9.99;
        Sim.Beyond = TPlanBeyond::PerBlock;
        Sim.BlockBytes = 1 * GB;
        Sim.BeyondPrice = 2;
        Sat.Name = "Sat";
        Sat.Interface = "sat0";
        Sat.Counts = TPlanCounts::ReceivedOnly;
        Sat.Beyond = TPlanBeyond::PerGigabyte;
        Sat.BeyondPrice = 0.5;
        // 1 GB received and 0,1 GB sent every day from 1 November to 10 December 2026 on the SIM;
        // 4 GB received on the satellite on 20 November.
        for (double d = std::floor(At(2026, 11, 1)); d <= std::floor(At(2026, 12, 10)); ++d)
            Usage.Add("SIM", d + 0.5, 1 * GB, 100 * MB);
        Usage.Add("Sat", At(2026, 11, 20, 12), 4 * GB, 1 * GB);
    }
    std::vector<TDataPlan> Plans() const { return {Sim, Sat}; }
};

std::vector<std::pair<std::string, std::string>> Bars(const TChartData& chart)
{
    std::vector<std::pair<std::string, std::string>> bars;
    for (auto it = chart.Points.rbegin(); it != chart.Points.rend(); ++it)
        bars.emplace_back(it->Label, it->Mark);
    return bars;
}

} // namespace

TEST(DataPlanStats, VolumePerPlanCycleDayAndMonth)
{
    const TTwoPlans t;
    const double from = At(2026, 11, 1), to = At(2026, 12, 10, 23, 59, 59);
    // Per plan: what each counts (the satellite's sent bytes are not).
    const TChartData plans = ComputeVolumeChart(t.Plans(), t.Usage, TChartGroup::Tipi, from, to, to);
    EXPECT_EQ(plans.Title, "Volume di traffico per piano");
    EXPECT_EQ(Bars(plans), (std::vector<std::pair<std::string, std::string>>{{"SIM", "44,00 GB"}, {"Sat", "4,00 GB"}}));
    // Per cycle: the SIM's cycles from the 14th, each whole with its cost (a started block charged
    // whole); the satellite's months with no allowance.
    const TChartData cycles = ComputeVolumeChart(t.Plans(), t.Usage, TChartGroup::Connessioni, from, to, to);
    EXPECT_EQ(Bars(cycles), (std::vector<std::pair<std::string, std::string>>{
                                {"SIM: 14 ott 2026 – 13 nov 2026", "14,30 GB · € 19,99"},
                                {"SIM: 14 nov 2026 – 13 dic 2026", "29,70 GB · € 49,99"},
                                {"Sat: 1 nov 2026 – 30 nov 2026", "4,00 GB · € 2,00"},
                                {"Sat: 1 dic 2026 – 31 dic 2026", "0 B · € 0,00"}}));
    EXPECT_NEAR(cycles.Totals.Euro, 71.98, 1e-9);
    // Per month: every plan summed.
    const TChartData months = ComputeVolumeChart(t.Plans(), t.Usage, TChartGroup::Mesi, from, to, to);
    EXPECT_EQ(Bars(months), (std::vector<std::pair<std::string, std::string>>{{"novembre 2026", "37,00 GB"},
                                                                              {"dicembre 2026", "11,00 GB"}}));
    const TChartData days = ComputeVolumeChart(t.Plans(), t.Usage, TChartGroup::Giorni, At(2026, 11, 20),
                                               At(2026, 11, 21, 23, 59, 59), to);
    EXPECT_EQ(Bars(days), (std::vector<std::pair<std::string, std::string>>{{"ven 20 nov 2026", "5,10 GB"},
                                                                            {"sab 21 nov 2026", "1,10 GB"}}));
    // The axis in GB, whole steps.
    const TChartScale scale = ChartScale(TChartMeasure::Volume, 37e9);
    EXPECT_EQ(scale.Ticks.back().Label, "50 GB");
    EXPECT_EQ(ChartScale(TChartMeasure::Volume, 850e6).Ticks[1].Label, "200 MB");
}

TEST(DataPlanStats, DaysNotWatchedAreToldNotInvented)
{
    TTwoPlans t;
    // Watched from 1 December at noon to 3 December at 06:00, and all of 5 December; now is
    // 5 December 23:59.
    t.Usage.AddWatched(At(2026, 12, 1, 12), At(2026, 12, 3, 6));
    t.Usage.AddWatched(At(2026, 12, 5), At(2026, 12, 5, 23, 59));
    EXPECT_DOUBLE_EQ(t.Usage.Watched().at(DayNumber(At(2026, 12, 2))), 86400);
    EXPECT_NEAR(t.Usage.Watched().at(DayNumber(At(2026, 12, 1))), 43200, 1e-6);
    const double now = At(2026, 12, 5, 23, 59);
    // Asked from 1 November: its 30 days and 1 December (half), 3 (a quarter) and 4 (none); today
    // counts up to now.
    EXPECT_EQ(t.Usage.GapDays(std::floor(At(2026, 11, 1)), std::floor(At(2026, 12, 6)), now), 33);
    // The chart speaks from the first day ever watched: three days.
    const TChartData chart = ComputeVolumeChart(t.Plans(), t.Usage, TChartGroup::Giorni, At(2026, 11, 1),
                                                At(2026, 12, 5, 23, 59, 59), now);
    EXPECT_EQ(chart.Note, "Traffico non contato: Quorvanta non era in esecuzione per parte di 3 giorni del periodo");
    const TChartData watched = ComputeVolumeChart(t.Plans(), t.Usage, TChartGroup::Giorni, At(2026, 12, 2),
                                                  At(2026, 12, 2, 23, 59, 59), now);
    EXPECT_EQ(watched.Note, "");
}

TEST(DataPlanStats, WhatThePeriodWouldHaveCostUnderEachPlan)
{
    const TTwoPlans t;
    // 14 November to 13 December: 30 days of 1,1 GB and the satellite's 5 GB on the 20th.
    const auto rows = ComparePlans(t.Plans(), t.Usage, std::floor(At(2026, 11, 14)), std::floor(At(2026, 12, 14)));
    ASSERT_EQ(rows.size(), 2u);
    // The satellite counts what was received: 27 + 4 GB at € 0,50, over two of its months.
    EXPECT_EQ(rows[0].Plan, "Sat");
    EXPECT_EQ(rows[0].Cycles, 2);
    EXPECT_EQ(rows[0].Volume, 31 * GB);
    EXPECT_NEAR(rows[0].Cost, 15.5, 1e-9);
    // The SIM: one cycle of 29,7 + 5 GB, 24,7 GB beyond: 25 started blocks at € 2.
    EXPECT_EQ(rows[1].Plan, "SIM");
    EXPECT_EQ(rows[1].Cycles, 1);
    EXPECT_NEAR(rows[1].Cost, 9.99 + 50, 1e-9);
    EXPECT_EQ(PlanComparisonText(rows), "Sat: € 15,50 per 2 cicli (31,00 GB)\nSIM: € 59,99 per 1 ciclo (34,70 GB)\n");
}
