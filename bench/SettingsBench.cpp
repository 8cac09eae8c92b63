// The settings window's costs: taking the opening image of the settings, tariffs and calendar and
// putting it back (Annulla), and one paint of the time-band bar over a day already cut into many
// frames.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "app/SettingsSession.h"
#include "app/WaveSounds.h"
#include "core/DateTime.h"
#include "skins/TimeTableBar.h"

#include <benchmark/benchmark.h>
#include <random>

using namespace qv;
using namespace qv::test;

namespace {

void BM_SettingsOpenAndCancel(benchmark::State& state)
{
    TTestContext ctx(EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0, 0));
    TDataModule data(ctx.Services);
    data.LoadAll();
    data.Status.SetProfile(&data.Settings.Profiles()[0]);
    std::size_t bytes = 0;
    for (auto _ : state) {
        TSettingsSession session(ctx.Services, data);
        data.Taxations.Taxs()[0].SetNome("Cambiata"); // one change, so Annulla has work to do
        session.Cancel();
        bytes = data.Agenda.WriteToBytes().size() + data.Taxations.WriteToBytes().size() +
                data.Settings.WriteToBytes().size();
    }
    state.counters["image_bytes"] = static_cast<double>(bytes);
}

void BM_BarPaint(benchmark::State& state)
{
    TTimeTableBar bar;
    bar.Editable = true;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> px(0, 575);
    const std::uint32_t colours[] = {clLime, clYellow, clRed};
    // A day cut into the finest frames the pixel grid allows (one per five minutes).
    for (int x = 0; x < 574; x += 2)
        bar.InsertFrame(bar.TimeAt(x, 576), bar.TimeAt(x + 2, 576), colours[(x / 2) % 3]);
    // Short strokes keep the day cut as finely as it was.
    for (auto _ : state) {
        const int x = px(rng) & ~1;
        bar.NewFrameColor = colours[px(rng) % 3];
        bar.MouseDown(x, 576);
        bar.MouseUp(x + 2, 576);
    }
    state.counters["frames"] = static_cast<double>(bar.Count());
}

} // namespace

BENCHMARK(BM_SettingsOpenAndCancel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BarPaint)->Unit(benchmark::kMicrosecond);

namespace {

// What the sounds cost at every start: the 13 defaults are made in memory before "Waves.dat" is
// read over them.
void BM_WavesAtStart(benchmark::State& state)
{
    TTestContext ctx;
    {
        TSilentOutput out;
        TWaveSounds first(ctx.Services, out);
        first.SetFileName("Waves.dat");
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        TSilentOutput out;
        TWaveSounds waves(ctx.Services, out);
        waves.SetFileName("Waves.dat");
        bytes = ctx.Files.ReadAll("/data/Waves.dat").size();
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

} // namespace

BENCHMARK(BM_WavesAtStart)->Unit(benchmark::kMillisecond);
