// The statistics window opened on a log of 100,000 connections until it is painted: in the details
// view (the tree built, today's connections listed) and in the chart view (every month of the log).
#include "BenchLog.h"
#include "TestSupport.h"
#include "app/DataModule.h"
#include "ui/TfmStatistiche.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace qv;
using namespace qv::test;

namespace {

void BM_StatsWindowOpen(benchmark::State& state)
{
    TTestContext ctx;
    TDataModule data(ctx.Services);
    FillLog(data.Connections, 100000);
    const bool chart = state.range(0) == 1;
    ctx.Registry.RegWriteBool(TStatsOptions::Section, "Grafico", chart);
    ctx.Registry.RegWriteInteger(TStatsOptions::Section, "GraficoY", 3);
    ctx.Registry.RegWriteFloat(TStatsOptions::Section, "DataInizialeStatistic", 36526);
    std::size_t rows = 0;
    for (auto _ : state) {
        auto* w = new TfmStatistiche(ctx.Services, data, [] { return nullptr; }, {});
        w->show();
        QCoreApplication::processEvents();
        // Everything the first paint draws, drawn now.
        const QPixmap shot = w->grab();
        benchmark::DoNotOptimize(shot.width());
        rows = chart ? w->Stats().Chart().Points.size() : static_cast<std::size_t>(w->ListModel->rowCount());
        delete w;
        QCoreApplication::processEvents();
    }
    state.counters[chart ? "bars" : "rows"] = static_cast<double>(rows);
}

} // namespace

BENCHMARK(BM_StatsWindowOpen)->ArgName("chart")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
