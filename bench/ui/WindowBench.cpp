// The statistics window opened on a log of 100,000 connections until it is painted: in the details
// view (the tree built, today's connections listed) and in the chart view (every month of the log);
// the resident memory of the program idle in the tray with such a log; the processor time of the
// program idle in the tray while it watches a modem of the real ModemManager; and a year of ten data
// plans' daily volumes read, summed by month and drawn in the same window.
#include "BenchPlans.h"
#include "BenchLog.h"
#include "platform/ChildProcess.h"
#include "TestSupport.h"
#include "app/DataModule.h"
#include "ui/TfmStatistiche.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

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

// A year of daily volumes of ten plans read from its file, summed by month and drawn: the statistics
// window opened on the volume measure by month, its first paint included.
void BM_VolumeChartOfAYear(benchmark::State& state)
{
    TTestContext ctx{EncodeDate(2026, 12, 31)};
    TDataModule data(ctx.Services);
    const TBytes bytes = YearOfTenPlans(ctx.Services);
    ctx.Registry.RegWriteBool(TStatsOptions::Section, "Grafico", true);
    ctx.Registry.RegWriteInteger(TStatsOptions::Section, "GraficoX", static_cast<int>(TChartMeasure::Volume));
    ctx.Registry.RegWriteInteger(TStatsOptions::Section, "GraficoY", static_cast<int>(TChartGroup::Mesi));
    ctx.Registry.RegWriteFloat(TStatsOptions::Section, "DataInizialeStatistic", EncodeDate(2026, 1, 1));
    std::size_t bars = 0;
    for (auto _ : state) {
        data.Plans.ReadFromBytes(bytes);
        auto* w = new TfmStatistiche(ctx.Services, data, [] { return nullptr; }, {});
        w->show();
        QCoreApplication::processEvents();
        const QPixmap shot = w->grab();
        benchmark::DoNotOptimize(shot.width());
        bars = w->Stats().Chart().Points.size();
        delete w;
        QCoreApplication::processEvents();
        data.Plans.SetModified(false);
    }
    state.counters["bars"] = static_cast<double>(bars);
}

// A figure of /proc/PID/status, in kB.
double StatusKb(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1));
    return 0;
}

// The program as a user starts it (the real adapters, no simulation), with a log of 100,000
// connections, measured once it has settled in the tray.
void BM_IdleProgramMemory(benchmark::State& state)
{
    TDiskContext ctx;
    {
        TDataUnits log(ctx.Services);
        FillLog(log, 100000);
        log.SetFileName("Connections.dat");
        log.Save();
    }
    // Its own data and runtime folders: never the user's data, never the user's running program.
    const std::string runtime = ctx.Dir.Path + "/run";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    std::vector<std::string> env{"QUORVANTA_DATA_DIR=" + ctx.Dir.Path, "XDG_RUNTIME_DIR=" + runtime};
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("QUORVANTA_DATA_DIR=", 0) != 0 && v.rfind("XDG_RUNTIME_DIR=", 0) != 0)
            env.push_back(v);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    double rss = 0, anon = 0;
    for (auto _ : state) {
        const char* argv[] = {QV_GUI_PATH, nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, QV_GUI_PATH, nullptr, nullptr, const_cast<char* const*>(argv), envp.data()) != 0) {
            state.SkipWithError("posix_spawn");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(6));
        rss = StatusKb(pid, "VmRSS");
        anon = StatusKb(pid, "RssAnon");
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    state.counters["rss_MB"] = rss / 1024;
    state.counters["anon_MB"] = anon / 1024;
}

// Processor time of a process so far, in clock ticks (utime + stime of /proc/PID/stat).
double CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks;
}

// How many connections a bus has (unique names), as its daemon lists them.
int BusPeers(const std::string& address)
{
    TChild list({"dbus-send", "--bus=" + address, "--print-reply", "--dest=org.freedesktop.DBus", "/",
                 "org.freedesktop.DBus.ListNames"});
    int peers = 0;
    for (std::string line = list.ReadLine(); !line.empty(); line = list.ReadLine())
        peers += line.find("\":1.") != std::string::npos ? 1 : 0;
    return peers;
}

// The program idle in the tray with the modem monitor on: ModemManager (the real daemon, in its test
// mode on a private bus) has a registered modem (the tests' fake AT modem) and the program watches
// it. The share of one core it uses over 30 seconds, once settled.
void BM_IdleProgramCpuWatchingAModem(benchmark::State& state)
{
    if (!std::filesystem::exists("/usr/sbin/ModemManager")) {
        state.SkipWithError("ModemManager is not installed");
        return;
    }
    TDiskContext ctx;
    {
        TDataModule data(ctx.Services);
        data.LoadAll();
        data.Settings.SetDeviceName("Acme ZX 56K");
        data.SaveAllModified();
    }
    TChild bus({"dbus-daemon", "--session", "--nofork", "--print-address=1", "--address=unix:dir=" + ctx.Dir.Path});
    const std::string address = bus.ReadLine();
    const std::string socket = ctx.Dir.Path + "/modem.sock";
    TChild modem({"/usr/bin/python3", DataFile("fake_at_modem.py"), socket});
    modem.ReadLine();
    TChild daemon({"/bin/sh", "-c",
                   "exec /usr/sbin/ModemManager --test-session --test-no-udev --test-enable --no-auto-scan >/dev/null 2>&1"},
                  {"DBUS_SESSION_BUS_ADDRESS=" + address});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    TChild added({"/usr/bin/python3", DataFile("mmdrive.py"), address, "add-modem", socket});
    if (added.ReadLine().empty()) {
        state.SkipWithError("the fake modem did not register");
        return;
    }
    const std::string runtime = ctx.Dir.Path + "/run";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    double share = 0;
    const int peers = BusPeers(address);
    for (auto _ : state) {
        TChild program({QV_GUI_PATH}, {"QUORVANTA_DATA_DIR=" + ctx.Dir.Path, "XDG_RUNTIME_DIR=" + runtime,
                                       "QUORVANTA_MODEMMANAGER_BUS=" + address});
        std::this_thread::sleep_for(std::chrono::seconds(8));
        // The watcher keeps its connection on the bus: without it nothing would be measured.
        if (BusPeers(address) <= peers) {
            state.SkipWithError("the program is not watching the modem");
            break;
        }
        const double before = CpuTicks(program.Pid);
        std::this_thread::sleep_for(std::chrono::seconds(30));
        const double used = CpuTicks(program.Pid) - before;
        share = used / static_cast<double>(::sysconf(_SC_CLK_TCK)) / 30.0 * 100.0;
    }
    state.counters["cpu_percent"] = share;
}

} // namespace

BENCHMARK(BM_IdleProgramCpuWatchingAModem)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdleProgramMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VolumeChartOfAYear)->Unit(benchmark::kMillisecond)->UseRealTime();
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
