// Reading and writing a stream of a 100,000-item collection shaped like the connection log.
#include "TestSupport.h"
#include "tariffs/Connections.h"

#include <benchmark/benchmark.h>

using namespace qv;
using namespace qv::test;

namespace {

void Fill(TDataUnits& units, int n)
{
    units.Units().Reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        auto& u = units.Units().Add();
        u.SetI(36000.0 + i * 0.01);
        u.SetF(36000.0 + i * 0.01 + 0.004);
        u.SetS(300 + i % 4000);
        u.SetL(127.5 * (i % 50));
        u.SetE(u.L() / 1936.27);
        u.SetN(i % 3 ? "Tiscali" : "Libero Italia");
        u.SetZ("151.24." + std::to_string(i % 256) + "." + std::to_string(i % 200));
        u.SetY(i);
        u.SetT(static_cast<std::uint32_t>(i) * 977u);
        u.SetR(static_cast<std::uint32_t>(i) * 3331u);
    }
}

void BM_WriteLog(benchmark::State& state)
{
    TTestContext ctx;
    TDataUnits units(ctx.Services);
    Fill(units, static_cast<int>(state.range(0)));
    std::size_t size = 0;
    for (auto _ : state) {
        TBytes b = units.WriteToBytes();
        size = b.size();
        benchmark::DoNotOptimize(b.data());
    }
    state.counters["bytes"] = static_cast<double>(size);
    units.SetModified(false);
}

void BM_ReadLog(benchmark::State& state)
{
    TTestContext ctx;
    TDataUnits source(ctx.Services);
    Fill(source, static_cast<int>(state.range(0)));
    const TBytes bytes = source.WriteToBytes();
    source.SetModified(false);
    for (auto _ : state) {
        TDataUnits units(ctx.Services);
        units.ReadFromBytes(bytes);
        benchmark::DoNotOptimize(units.Units().Count());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

} // namespace

BENCHMARK(BM_WriteLog)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLog)->Arg(100000)->Unit(benchmark::kMillisecond);
