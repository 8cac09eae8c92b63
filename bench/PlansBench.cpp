// Data plans: a year of daily volumes of ten plans read from "PianiDati.dat" and summed by month,
// and "quorvanta-cli plans status" on that file as a whole process.
#include "BenchPlans.h"
#include "BenchTool.h"
#include "TestSupport.h"
#include "core/DateTime.h"
#include "platform/linux/LinuxFileSystem.h"
#include "tariffs/DataPlans.h"

#include <benchmark/benchmark.h>

using namespace qv;
using namespace qv::test;

namespace {

void BM_PlansYearReadAndSummedByMonth(benchmark::State& state)
{
    TTestContext ctx;
    const TBytes bytes = YearOfTenPlans(ctx.Services);
    for (auto _ : state) {
        TDataPlans file(ctx.Services);
        file.ReadFromBytes(bytes);
        const TPlanUsage usage = file.Usage();
        std::uint64_t total = 0;
        for (const TDataPlan& p : file.PlanList())
            for (int m = 1; m <= 12; ++m)
                total += usage.Used(p, EncodeDate(2026, m, 1), m == 12 ? EncodeDate(2027, 1, 1) : EncodeDate(2026, m + 1, 1));
        benchmark::DoNotOptimize(total);
        file.SetModified(false);
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_PlansStatusProcess(benchmark::State& state)
{
    TDiskContext ctx;
    TTestContext memory;
    ctx.Files.WriteAtomic(ctx.Env.AppPath + "PianiDati.dat", YearOfTenPlans(memory.Services));
    const std::string dir = ctx.Dir.Path;
    for (auto _ : state) {
        if (!RunTool({"--data-dir", dir.c_str(), "plans", "status"})) {
            state.SkipWithError("plans status failed");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_PlansYearReadAndSummedByMonth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlansStatusProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
