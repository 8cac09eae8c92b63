// The command-line tool never loses a record: a pending connection is settled before a new count,
// a damaged log is rescued rather than restarted, signals end a count as the user expects, and
// writers wait for each other.
#include "TestSupport.h"
#include "app/DataClasses.h"
#include "CliRun.h"
#include "platform/linux/LinuxSingleInstance.h"

#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

// Ten logged connections, the 5th with one letter of a property name damaged.
std::string DamagedLog(TDiskContext& ctx)
{
    TDataUnits log(ctx.Services);
    for (int i = 0; i < 10; ++i)
        log.AddSimple(i, "Voce " + std::to_string(i), 100.0 * (i + 1), 46000 + i + 0.01, 46000 + i);
    TBytes bytes = log.WriteToBytes();
    log.SetModified(false);
    std::size_t seen = 0;
    for (std::size_t p = 0; p + 2 < bytes.size(); ++p)
        if (bytes[p] == 1 && bytes[p + 1] == 1 && bytes[p + 2] == 'I' && ++seen == 5)
            bytes[p + 2] = 'J';
    return std::string(bytes.begin(), bytes.end());
}

// The tool started in the background with its output in a file; returns its pid.
int Spawn(const std::string& dir, const std::string& args, const std::string& outFile)
{
    const std::string command =
        std::string(QV_CLI_PATH) + " --data-dir " + dir + " " + args + " > " + outFile + " 2>&1 & echo $!";
    FILE* p = ::popen(command.c_str(), "r");
    char buf[32] = {};
    const bool read = p && std::fgets(buf, sizeof buf, p) != nullptr;
    if (p)
        ::pclose(p);
    return read ? std::atoi(buf) : -1;
}

bool WaitForText(const std::string& file, const std::string& text, int ms = 10000)
{
    for (int i = 0; i < ms / 50; ++i) {
        if (ReadFile(file).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool WaitForExit(int pid)
{
    for (int i = 0; i < 200; ++i) {
        if (::kill(pid, 0) != 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

TEST(CliRecords, ACountIsNotStartedOverAPendingConnection)
{
    TDiskContext ctx;
    const std::string d = ctx.Dir.Path;
    LeavePendingConnection(ctx);
    const std::string pending = "Connessione non salvata: «Tiscali» di martedì 8 dicembre 2026 delle 21:30 "
                                "[Durata: 10 min 0 sec spesa: 1234 lire]";
    for (const std::vector<std::string>& start :
         {std::vector<std::string>{"monitor", "--dial", "Provider Uno", "--for", "1"}, {"dial", "Provider Uno"},
          {"monitor", "--for", "1"}}) {
        std::vector<std::string> args{"--data-dir", d, "--simulate"};
        args.insert(args.end(), start.begin(), start.end());
        const TRun r = Cli(args);
        EXPECT_EQ(r.Code, 1) << start[0];
        EXPECT_NE(r.Err.find("connessione non salvata: «Tiscali»"), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("recover --keep"), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("recover --discard"), std::string::npos) << r.Err;
        EXPECT_NE(Cli({"--data-dir", d, "status"}).Out.find(pending), std::string::npos) << start[0];
    }
    ASSERT_EQ(Cli({"--data-dir", d, "recover", "--keep"}).Code, 0);
    const TRun dialled = Cli({"--data-dir", d, "--simulate", "dial", "Provider Uno"});
    EXPECT_EQ(dialled.Code, 0) << dialled.Err;
    // The dial leaves no count of its own behind to be taken for a lost one.
    EXPECT_EQ(Cli({"--data-dir", d, "status"}).Out.find("Connessione non salvata"), std::string::npos);
}

TEST(CliRecords, ADamagedLogIsRescuedByAWritingCommandAndReadAsFarAsItGoes)
{
    TDiskContext ctx;
    const std::string d = ctx.Dir.Path;
    const std::string damaged = DamagedLog(ctx);
    WriteFile(ctx.Dir / "Connections.dat", damaged);

    // dump: what was understood, then where it stopped understanding.
    const TRun dump = Cli({"dump", ctx.Dir / "Connections.dat"});
    EXPECT_EQ(dump.Code, 1);
    EXPECT_NE(dump.Out.find("Units.Count = 9"), std::string::npos) << dump.Out;
    EXPECT_NE(dump.Out.find("# danneggiato: posizione "), std::string::npos) << dump.Out;
    EXPECT_NE(dump.Out.find("Proprietà sconosciuta: Units.J"), std::string::npos) << dump.Out;

    // A command that reads uses the nine whole items and changes nothing.
    const TRun summary = Cli({"--data-dir", d, "log", "summary", "--by", "entry"});
    EXPECT_EQ(summary.Code, 0) << summary.Err;
    EXPECT_EQ(std::count(summary.Out.begin(), summary.Out.end(), '\n'), 9) << summary.Out;
    EXPECT_NE(summary.Err.find("Sono usati i dati leggibili"), std::string::npos) << summary.Err;
    EXPECT_EQ(ReadFile(ctx.Dir / "Connections.dat"), damaged);

    // A command that writes keeps them, sets the damaged copy aside and says so.
    const TRun add =
        Cli({"--data-dir", d, "log", "add", "--from", "2026-12-08 10:00:00", "--to", "2026-12-08 10:01:00"});
    EXPECT_EQ(add.Code, 0) << add.Err;
    EXPECT_NE(add.Err.find("spostato in Connections.dat@error"), std::string::npos) << add.Err;
    EXPECT_EQ(ReadFile(ctx.Dir / "Connections.dat@error"), damaged);
    const TRun after = Cli({"--data-dir", d, "log", "summary", "--by", "entry"});
    EXPECT_EQ(std::count(after.Out.begin(), after.Out.end(), '\n'), 10) << after.Out;
    EXPECT_EQ(after.Err, "");
    EXPECT_EQ(after.Out.find("Voce 4"), std::string::npos);
    EXPECT_NE(after.Out.find("Voce 9"), std::string::npos);
}

// Ctrl+C, a logout (SIGTERM) and a closed terminal (SIGHUP) end a count and log it; a dial stopped
// before the line answered logs nothing and leaves nothing to recover.
TEST(CliRecords, SignalsEndTheCountAndADialThatNeverAnsweredIsNoConnection)
{
    for (const int sig : {SIGHUP, SIGTERM, SIGINT}) {
        TTempDir dir;
        const std::string out = dir / "out.txt";
        const int pid = Spawn(dir.Path, "--simulate monitor --dial 'Provider Uno'", out);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(WaitForText(out, "[Connessione pppd attiva]")) << ReadFile(out);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        ::kill(pid, sig);
        ASSERT_TRUE(WaitForExit(pid)) << sig;
        EXPECT_NE(ReadFile(out).find("Connessione registrata: Provider Uno"), std::string::npos)
            << "signal " << sig << "\n"
            << ReadFile(out);
        const TRun summary = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"});
        EXPECT_EQ(summary.Out.substr(0, summary.Out.find('\t')), "Provider Uno") << sig;
    }
    TTempDir dir;
    const std::string out = dir / "out.txt";
    const int pid = Spawn(dir.Path, "--simulate monitor --dial 'Provider Uno'", out);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForText(out, "Provo a fare il numero")) << ReadFile(out);
    ::kill(pid, SIGTERM);
    ASSERT_TRUE(WaitForExit(pid));
    EXPECT_EQ(ReadFile(out).find("Connessione registrata"), std::string::npos) << ReadFile(out);
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"}).Out, "");
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "status"}).Out.find("Connessione non salvata"), std::string::npos);
}

TEST(CliRecords, WritersWaitForEachOtherAndARefusalNamesTheHolder)
{
    TTempDir dir;
    std::vector<int> pids;
    for (int i = 0; i < 20; ++i) {
        const std::string from = "2026-12-08 10:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ":00";
        const std::string to = "2026-12-08 10:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ":30";
        pids.push_back(Spawn(dir.Path, "log add --from '" + from + "' --to '" + to + "' --entry E" + std::to_string(i),
                             dir / ("out" + std::to_string(i) + ".txt")));
    }
    for (int pid : pids)
        ASSERT_TRUE(WaitForExit(pid));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(ReadFile(dir / ("out" + std::to_string(i) + ".txt")), "") << i;
    const TRun summary = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"});
    EXPECT_EQ(std::count(summary.Out.begin(), summary.Out.end(), '\n'), 20) << summary.Out;

    // Another command that holds the lock too long is named in the refusal.
    VirtualTime time;
    TLinuxSingleInstance other(time, TLinuxSingleInstance::DefaultFolder());
    other.Holder = "quorvanta-cli sms queue";
    ASSERT_TRUE(other.Lock());
    const TRun refused =
        Cli({"--data-dir", dir.Path, "log", "add", "--from", "2026-12-08 11:00:00", "--to", "2026-12-08 11:01:00"});
    EXPECT_EQ(refused.Code, 1);
    EXPECT_NE(refused.Err.find("Un altro comando di quorvanta-cli («sms queue», processo " +
                               std::to_string(::getpid()) + ")"),
              std::string::npos)
        << refused.Err;
}
