// The connection log: loading and saving "Connections.dat" of 100,000 connections on disk, and the
// sums by day, month, year and entry over 1,000,000 connections.
#include "BenchLog.h"
#include "BenchTool.h"
#include "TestSupport.h"
#include "platform/linux/LinuxFileSystem.h"
#include "tariffs/Connections.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace {

// "Connections.dat" of n connections in the context's folder.
void WriteLogFile(TDiskContext& ctx, int n)
{
    TDataUnits log(ctx.Services);
    FillLog(log, n);
    log.SetFileName("Connections.dat");
    log.Save();
}

void BM_SaveConnectionsDat(benchmark::State& state)
{
    TDiskContext ctx;
    TDataUnits log(ctx.Services);
    FillLog(log, 100000);
    log.SetFileName("Connections.dat");
    for (auto _ : state)
        log.Save();
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(ctx.Env.AppPath + "Connections.dat"));
}

void BM_LoadConnectionsDat(benchmark::State& state)
{
    TDiskContext ctx;
    WriteLogFile(ctx, 100000);
    for (auto _ : state) {
        TDataUnits log(ctx.Services);
        log.SetFileName("Connections.dat");
        benchmark::DoNotOptimize(log.Units().Count());
    }
}

// "quorvanta-cli resave" of a 100,000-connection file as a whole process: start-up, reading,
// writing, the atomic save (with its flush to disk) and the exit, as a user runs it.
void BM_ResaveProcess(benchmark::State& state)
{
    TDiskContext ctx;
    WriteLogFile(ctx, 100000);
    const std::string in = ctx.Env.AppPath + "Connections.dat";
    const std::string out = ctx.Env.AppPath + "Copy.dat";
    // The hundreds of megabytes the save benchmark left to write go to disk first: the resave's
    // own flush would otherwise wait for them.
    ::sync();
    for (auto _ : state) {
        if (!RunTool({"resave", in.c_str(), out.c_str()})) {
            state.SkipWithError("resave failed");
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
}

// The tool's start and exit alone: the libraries it loads before any work.
void BM_VersionProcess(benchmark::State& state)
{
    for (auto _ : state) {
        if (!RunTool({"version"})) {
            state.SkipWithError("version failed");
            break;
        }
    }
}

template <bool (TDataUnits::*Sum)(TDataUnitsItems&, double, double, std::vector<int>*) const>
void BM_Sum(benchmark::State& state)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    FillLog(log, 1000000);
    TDataUnitsItems items(nullptr);
    for (auto _ : state) {
        (log.*Sum)(items, 0, 1e9, nullptr);
        benchmark::DoNotOptimize(items.Count());
    }
    state.counters["groups"] = static_cast<double>(items.Count());
    log.SetModified(false);
}

} // namespace

BENCHMARK(BM_SaveConnectionsDat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadConnectionsDat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResaveProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VersionProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Sum, &TDataUnits::SumByDay)->Name("BM_SumByDay/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Sum, &TDataUnits::SumByMonth)->Name("BM_SumByMonth/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Sum, &TDataUnits::SumByYear)->Name("BM_SumByYear/1000000")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Sum, &TDataUnits::SumByEntry)->Name("BM_SumByEntry/1000000")->Unit(benchmark::kMillisecond);
