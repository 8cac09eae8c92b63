// The live status's per-second step of a connection that has run for an hour, a day and 30 days,
// and the comparison of the 24 default tariffs for a 10-hour connection.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "core/DateTime.h"

#include <benchmark/benchmark.h>

using namespace qv;
using namespace qv::test;

namespace {

void BM_PerSecondStep(benchmark::State& state)
{
    TTestContext ctx(EncodeDate(2026, 12, 1) + EncodeTime(10, 0, 0, 0));
    TDataModule data(ctx.Services);
    data.LoadAll();
    data.Status.SetProfile(&data.Settings.Profiles()[0]);
    data.MtxStatus.SetEvent(nullptr, TMtxEventMatrixStatus::RasConnected);
    ctx.Time.Skip(state.range(0) * 1000); // the connection has been up this long
    ctx.Time.Advance(0);
    for (auto _ : state)
        ctx.Time.Advance(1000); // one check of the clock: elapsed time, the whole price, the display
    state.counters["elapsed_s"] = data.Status.Elapsed();
    state.counters["cost"] = data.Status.CostoLire();
}

void BM_CompareTaxes(benchmark::State& state)
{
    TTestContext ctx(EncodeDate(2026, 12, 1));
    TDataModule data(ctx.Services);
    data.LoadAll();
    const double start = EncodeDate(2026, 12, 9) + EncodeTime(14, 0, 0, 0);
    const double end = start + 10.0 / 24;
    std::size_t length = 0;
    for (auto _ : state) {
        const std::string text = data.Taxations.CompareTaxes(start, end, 100000);
        length = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["text_bytes"] = static_cast<double>(length);
}

} // namespace

// A fixed number of steps, so the connection stays about as long as named (500 s more at most).
BENCHMARK(BM_PerSecondStep)->Arg(3600)->Arg(86400)->Arg(30 * 86400)->Iterations(500)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompareTaxes)->Unit(benchmark::kMicrosecond);
