// Statistics over 1,000,000 connections: the tree of years, months and days, the chart by day, and
// a details report laid out into a PDF in memory; a year of connections repriced under every tariff.
#include "BenchLog.h"
#include "TestSupport.h"
#include "stats/Repricing.h"
#include "tariffs/Agenda.h"
#include "stats/PdfCanvas.h"
#include "stats/Reports.h"
#include "stats/Statistics.h"

#include <benchmark/benchmark.h>

using namespace qv;
using namespace qv::test;

namespace {

struct TBigLog
{
    TTestContext Ctx;
    TDataUnits Log{Ctx.Services};
    explicit TBigLog(int n) { FillLog(Log, n); }
};

TBigLog& Million()
{
    static TBigLog log(1000000);
    return log;
}

void BM_StatsTree(benchmark::State& state)
{
    TBigLog& big = Million();
    std::size_t nodes = 0;
    for (auto _ : state) {
        const TStatsTree tree = BuildStatsTree(big.Log, big.Log.Units()[500000].I());
        nodes = tree.Nodes.size();
        benchmark::DoNotOptimize(tree.Selected);
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}

void BM_ChartByDay(benchmark::State& state)
{
    TBigLog& big = Million();
    std::size_t points = 0;
    for (auto _ : state) {
        const TChartData chart = ComputeChart(big.Log, TChartMeasure::Lire, TChartGroup::Giorni, 0, 1e9);
        points = chart.Points.size();
        benchmark::DoNotOptimize(chart.Totals.Lire);
    }
    state.counters["points"] = static_cast<double>(points);
}

// The details report of one year: its node rows laid out and written as PDF.
void BM_DetailsReportOfAYear(benchmark::State& state)
{
    TBigLog& big = Million();
    const TStatsTree tree = BuildStatsTree(big.Log, 0);
    std::vector<TPrintRequest::TElement> elements;
    for (const int n : tree.Subtree(tree.Nodes[0].Children[3]))
        elements.push_back({&tree.Nodes[static_cast<std::size_t>(n)].Data, nullptr});
    std::size_t bytes = 0;
    for (auto _ : state) {
        TPdfCanvas pdf(A4ShortSide, A4LongSide);
        RenderDetailsReport(pdf, DetailsRows(elements), 45000);
        bytes = pdf.Document().size();
    }
    state.counters["rows"] = static_cast<double>(elements.size());
    state.counters["bytes"] = static_cast<double>(bytes);
}

} // namespace

BENCHMARK(BM_StatsTree)->Name("BM_StatsTree/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartByDay)->Name("BM_ChartByDay/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetailsReportOfAYear)->Unit(benchmark::kMillisecond);

namespace {

// A year of 10,000 connections priced under the 24 default tariffs, monthly free seconds included.
void BM_RepricingYear(benchmark::State& state)
{
    TTestContext ctx(At(2026, 12, 31));
    TAgenda agenda(ctx.Services);
    agenda.ResetDays();
    TTaxations taxes(ctx.Services);
    taxes.SetAgenda(&agenda);
    taxes.LoadDefaultTaxes();
    std::vector<TRepricingSpan> spans;
    const double start = At(2026, 1, 1);
    for (int i = 0; i < 10000; ++i) {
        // About 27 a day at every hour, from one to ninety minutes.
        const double s = start + i * (365.0 / 10000.0) + (i % 7) / 24.0;
        spans.push_back({s, s + (60 + (i * 37) % 5400) * OneSecond, 1000});
    }
    std::size_t rows = 0;
    for (auto _ : state) {
        const TRepricingResult r = Reprice(spans, taxes);
        rows = r.Rows.size();
        benchmark::DoNotOptimize(r.Paid);
    }
    state.counters["tariffs"] = static_cast<double>(rows);
    state.counters["connections"] = static_cast<double>(spans.size());
}

} // namespace

BENCHMARK(BM_RepricingYear)->Unit(benchmark::kMillisecond);
