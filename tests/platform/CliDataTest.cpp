// The command-line tool on a data folder: reference files, tariffs exchange, the log.
#include "TestSupport.h"
#include "app/DataClasses.h"
#include "CliRun.h"
#include "platform/linux/LinuxSingleInstance.h"

#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sstream>
#include <thread>
#include <tuple>

using namespace qv;
using namespace qv::test;

class CliReferenceFiles : public testing::TestWithParam<const char*>
{
};

TEST_P(CliReferenceFiles, DumpMatchesAndResaveGivesTheSameBytes)
{
    TTempDir dir;
    const std::string name = GetParam();
    const TRun dump = Cli({"dump", DataFile(name + ".dat")});
    ASSERT_EQ(dump.Code, 0) << dump.Err;
    EXPECT_EQ(StripDump(dump.Out), StripDump(ReadFile(DataFile(name + ".expected.txt"))));
    ASSERT_EQ(Cli({"resave", DataFile(name + ".dat"), dir / "out.dat"}).Code, 0);
    EXPECT_EQ(ReadFile(dir / "out.dat"), ReadFile(DataFile(name + ".dat")));
}

INSTANTIATE_TEST_SUITE_P(Files, CliReferenceFiles,
                         testing::Values("Taxations", "Connections", "Status", "StatusDefaults"));

TEST(CliData, ReadingCreatesNothingAndAFirstChangeCreatesEveryDataFile)
{
    TTempDir dir;
    const TRun list = Cli({"--data-dir", dir.Path, "tariffs", "list"});
    ASSERT_EQ(list.Code, 0) << list.Err;
    EXPECT_EQ(std::count(list.Out.begin(), list.Out.end(), '\n'), 24);
    EXPECT_EQ(list.Out.substr(0, list.Out.find('\n')), "Telecom - TAT Urbana");
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path));
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "log", "add", "--from", "2026-12-08 10:00:00", "--to", "2026-12-08 10:01:00"})
                  .Code,
              0);
    for (const char* f : {"Settings.dat", "Taxations.dat", "Calendar.dat", "Connections.dat"})
        EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
    const TRun settings = Cli({"dump", dir / "Settings.dat"});
    EXPECT_NE(settings.Out.find("Profiles[0].UserName = \"Amministratore\""), std::string::npos);
    const TRun calendar = Cli({"dump", dir / "Calendar.dat"});
    EXPECT_NE(calendar.Out.find("Giorni.Count = 366"), std::string::npos);
    EXPECT_NE(calendar.Out.find("Giorni[359].IsFesta = True"), std::string::npos); // 25 December
    const TRun log = Cli({"dump", dir / "Connections.dat"});
    EXPECT_NE(log.Out.find("Units.Count = 1"), std::string::npos);
}

TEST(CliData, TariffsExportImportRoundTripAndRefusal)
{
    TTempDir dir;
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "tariffs", "export", dir / "t.json"}).Code, 0);
    const std::string json = ReadFile(dir / "t.json");
    EXPECT_NE(json.find("\"TimeEnd\": \"23:59:59.999\""), std::string::npos);
    EXPECT_NE(json.find("\"Quorvanta\": \"00:10:00\""), std::string::npos);
    // Importing what was exported changes nothing.
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "tariffs", "import", dir / "t.json"}).Code, 0);
    const std::string before = ReadFile(dir / "Taxations.dat");
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "tariffs", "import", dir / "t.json"}).Code, 0);
    EXPECT_EQ(ReadFile(dir / "Taxations.dat"), before);

    // A new tariff with explicit rates over the urban preset, and a replaced one.
    WriteFile(dir / "new.json", R"({"tariffs": [
      {"Gestore": "Casa", "Nome": "Prova", "Tipo": "ttTat", "FormulaUrbana": true, "TatRidotta1": 5,
       "BandsFeriali": [{"Tipo": "foRidotta", "TimeBegin": "00:00:00", "TimeEnd": "12:00:00"},
                        {"Tipo": "foPunta", "TimeBegin": "12:00:00", "TimeEnd": "23:59:59.999"}]},
      {"Gestore": "flat", "Nome": "GRATIS", "Tipo": "ttScatti", "ScattiRidotta": 60,
       "ScattiIntera": 60, "ScattiPunta": 60}]})");
    const TRun import = Cli({"--data-dir", dir.Path, "tariffs", "import", dir / "new.json"});
    ASSERT_EQ(import.Code, 0) << import.Err;
    const TRun list = Cli({"--data-dir", dir.Path, "tariffs", "list"});
    EXPECT_EQ(std::count(list.Out.begin(), list.Out.end(), '\n'), 25);
    const TRun dump = Cli({"dump", dir / "Taxations.dat"});
    EXPECT_NE(dump.Out.find("Taxs[24].Gestore = \"Casa\""), std::string::npos);
    EXPECT_NE(dump.Out.find("Taxs[24].TatRidotta1 = 4014000000000000"), std::string::npos);  // 5, not the preset
    EXPECT_NE(dump.Out.find("Taxs[24].TatRidotta2 = 4024E147AE147AE1"), std::string::npos);  // 10.44 of the preset
    EXPECT_NE(dump.Out.find("Taxs[24].BandsFeriali[1].Tipo = foPunta"), std::string::npos);
    EXPECT_NE(dump.Out.find("Taxs[23].Tipo = ttScatti"), std::string::npos);

    const std::string good = ReadFile(dir / "Taxations.dat");
    const std::vector<std::pair<std::string, std::string>> bad = {
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttTat", "BandsSabato": [
           {"Tipo": "foRidotta", "TimeBegin": "00:00:00", "TimeEnd": "08:00:00"},
           {"Tipo": "foIntera", "TimeBegin": "09:00:00", "TimeEnd": "23:59:59.999"}]}]})",
         "Tariffa «A - B», campo «BandsSabato»"},
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttMinuti"}]})", "campo «Tipo»"},
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttTat", "BandsFestivi": [
           {"Tipo": "foNotte", "TimeBegin": "00:00:00", "TimeEnd": "23:59:59.999"}]}]})",
         "campo «BandsFestivi[0].Tipo»"},
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttTat", "MinLimite": "dieci"}]})", "campo «MinLimite»"},
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttTat"}, )", "non è un file di tariffe valido"},
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttScatti", "ScattiRidotta": 60,
           "ScattiIntera": 0, "ScattiPunta": 60}]})",
         "campo «ScattiIntera»: la durata dello scatto deve essere maggiore di zero"},
        {R"({"tariffs": [{"Gestore": "A", "Nome": "B", "Tipo": "ttScatti", "ScattiRidotta": 60,
           "ScattiIntera": 60, "ScattiPunta": -1.5}]})",
         "campo «ScattiPunta»"},
    };
    for (const auto& [text, message] : bad) {
        WriteFile(dir / "bad.json", text);
        const TRun r = Cli({"--data-dir", dir.Path, "tariffs", "import", dir / "bad.json"});
        EXPECT_EQ(r.Code, 1);
        EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
        EXPECT_EQ(ReadFile(dir / "Taxations.dat"), good);
    }
}

TEST(CliData, LogAddSummaryExportImport)
{
    TTempDir dir;
    const auto add = [&](const char* from, const char* to, const char* pulses, const char* cost, const char* entry) {
        return Cli({"--data-dir", dir.Path, "log", "add", "--from", from, "--to", to, "--pulses", pulses, "--cost", cost,
                    "--entry", entry});
    };
    ASSERT_EQ(add("2026-12-08 10:00:00", "2026-12-08 10:10:00", "2", "1936.27", "Tiscali").Code, 0);
    ASSERT_EQ(add("2026-12-08 20:00:00", "2026-12-08 20:20:00", "3", "500", "tiscali").Code, 0);
    ASSERT_EQ(add("2026-11-30 09:00:00", "2026-11-30 09:01:00", "1", "10", "Libero").Code, 0);
    EXPECT_EQ(add("2026-12-08 10:00:00", "2026-12-07 10:00:00", "1", "1", "x").Code, 1);
    EXPECT_EQ(add("ieri", "oggi", "1", "1", "x").Code, 1);
    // Nonsense never reaches the log, and every refusal says what was wrong in Italian.
    for (const auto& [pulses, cost, message] : std::vector<std::tuple<const char*, const char*, std::string>>{
             {"1", "nan", "Costo non valido: nan"},
             {"1", "inf", "Costo non valido: inf"},
             {"99999999999", "1", "Numero di scatti non valido: 99999999999"},
             {"-3", "1", "Numero di scatti non valido: -3"}}) {
        const TRun r = add("2026-12-08 11:00:00", "2026-12-08 11:10:00", pulses, cost, "x");
        EXPECT_EQ(r.Code, 1);
        EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
    }
    const TRun forever = Cli({"--data-dir", dir.Path, "--simulate", "monitor", "--for", "1e300"});
    EXPECT_EQ(forever.Code, 1);
    EXPECT_NE(forever.Err.find("Durata non valida: 1e300"), std::string::npos) << forever.Err;
    TRun s = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "day"});
    EXPECT_EQ(s.Out, "30/11/2026\t1\t1\t1 min 0 sec\t10\t0,01\n08/12/2026\t2\t5\t30 min 0 sec\t2.436\t1,26\n");
    s = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry", "--from", "2026-12-01 00:00:00", "--to",
             "2026-12-31 23:59:59"});
    EXPECT_EQ(s.Out, "Tiscali\t2\t5\t30 min 0 sec\t2.436\t1,26\n");
    s = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "month"});
    EXPECT_EQ(s.Out.substr(0, s.Out.find('\t')), "novembre 2026");
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "log", "summary", "--by", "week"}).Code, 1);

    ASSERT_EQ(Cli({"--data-dir", dir.Path, "log", "export", dir / "log.txt"}).Code, 0);
    TTempDir other;
    const TRun imported = Cli({"--data-dir", other.Path, "log", "import", dir / "log.txt"});
    EXPECT_EQ(imported.Code, 0);
    EXPECT_NE(imported.Out.find("Importate ben 3 connessioni!"), std::string::npos);
    EXPECT_EQ(Cli({"--data-dir", other.Path, "log", "summary", "--by", "day"}).Out,
              Cli({"--data-dir", dir.Path, "log", "summary", "--by", "day"}).Out);
}

TEST(CliData, PriceCompareAndStatus)
{
    TTempDir dir;
    const std::string d = dir.Path;
    TRun r = Cli({"--data-dir", d, "price", "--tariff", "TELECOM - tat urbana", "--from", "2026-12-09 10:00:00", "--to",
                  "2026-12-09 10:20:00", "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "{\"cost\": 836.4, \"pulses\": 0}\n");
    r = Cli({"--data-dir", d, "price", "--tariff", "Telecom - TAT Urbana", "--from", "2026-12-09 10:00:00", "--to",
             "2026-12-09 10:20:00"});
    EXPECT_NE(r.Out.find("Costo: 836,400 lire (0,432 euro)"), std::string::npos) << r.Out;
    r = Cli({"--data-dir", d, "price", "--tariff", "Telecom - TAT Urbana", "--from", "2026-12-09 10:20:00", "--to",
             "2026-12-09 10:00:00"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("L'intervallo di tempo non è corretto!"), std::string::npos);
    EXPECT_EQ(Cli({"--data-dir", d, "price", "--tariff", "Nessuna - Tariffa", "--from", "2026-12-09 10:00:00", "--to",
                   "2026-12-09 10:20:00"})
                  .Code,
              1);
    EXPECT_EQ(Cli({"--data-dir", d, "price", "--tariff", "Flat - Gratis", "--from", "9/12/2026", "--to",
                   "2026-12-09 10:20:00"})
                  .Code,
              1);
    r = Cli({"--data-dir", d, "compare", "--cost", "1000", "--from", "2026-12-09 10:00:00", "--to",
             "2026-12-09 10:20:00"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "risparmiavi 640 £irette con Wind - Internet Light 1088 24 Ore");
    EXPECT_EQ(r.Out.find('\r'), std::string::npos);
    r = Cli({"--data-dir", d, "compare", "--json", "--cost", "1000", "--from", "2026-12-09 10:00:00", "--to",
             "2026-12-09 10:20:00"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out.rfind("{\"text\":\"risparmiavi 640 £irette con Wind - Internet Light 1088 24 Ore\\r", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("\"lines\":[\"risparmiavi 640 £irette con Wind - Internet Light 1088 24 Ore\",\""),
              std::string::npos);
    r = Cli({"--data-dir", d, "status"});
    ASSERT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out.rfind("Nessuna connessione attiva\nTariffa Telecom - TAT Urbana - Fascia ", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("  Scatti: 0\n"), std::string::npos);
}

TEST(CliData, SimulatedConnectionMonitoredPricedAndLogged)
{
    TTempDir dir;
    const TRun r = Cli({"--data-dir", dir.Path, "--simulate", "monitor", "--dial", "Provider Uno", "--for", "8"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("[Selezione del numero (pppd)]"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Provo a fare il numero 0702002"), std::string::npos);
    EXPECT_NE(r.Out.find("[Connessione pppd attiva]"), std::string::npos);
    EXPECT_NE(r.Out.find("scatti 0  £ 120"), std::string::npos);
    EXPECT_NE(r.Out.find("Connessione registrata: Provider Uno"), std::string::npos);
    const TRun summary = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"});
    EXPECT_EQ(summary.Out.substr(0, summary.Out.find('\t')), "Provider Uno");
    const TRun entries = Cli({"--data-dir", dir.Path, "--simulate", "entries"});
    EXPECT_NE(entries.Out.find("Servizio Premium\t00882164466771"), std::string::npos);
}

TEST(CliData, MonitorStoppedBySigtermKeepsTheRunningCount)
{
    TTempDir dir;
    const std::string command = std::string(QV_CLI_PATH) + " --data-dir " + dir.Path +
                                " --simulate monitor --dial 'Provider Uno' > " + (dir / "out.txt") + " 2>&1 & echo $!";
    FILE* p = ::popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[32] = {};
    ASSERT_NE(std::fgets(buf, sizeof buf, p), nullptr);
    ::pclose(p);
    const int pid = std::atoi(buf);
    ASSERT_GT(pid, 0);
    // On line after about five seconds of simulated dialling; then stopped from outside.
    for (int i = 0; i < 200 && ReadFile(dir / "out.txt").find("[Connessione pppd attiva]") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(ReadFile(dir / "out.txt").find("Connessione registrata: Provider Uno"), std::string::npos)
        << ReadFile(dir / "out.txt");
    const TRun summary = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"});
    EXPECT_EQ(summary.Out.substr(0, summary.Out.find('\t')), "Provider Uno");
}

// A connection left by a crash is shown by the commands that read, decided only by "recover", and
// never discarded on the user's behalf.
TEST(CliData, PendingConnectionWaitsForTheUsersDecision)
{
    TDiskContext ctx;
    const std::string d = ctx.Dir.Path;
    const auto leaveConnection = [&] { LeavePendingConnection(ctx); };
    leaveConnection();
    const std::string status = ReadFile(ctx.Dir / "Status.dat");
    for (const std::vector<std::string>& read :
         {std::vector<std::string>{"tariffs", "list"}, {"log", "summary", "--by", "day"}, {"entries"}}) {
        std::vector<std::string> args{"--data-dir", d, "--simulate"};
        args.insert(args.end(), read.begin(), read.end());
        EXPECT_EQ(Cli(args).Code, 0) << read[0];
    }
    EXPECT_EQ(ReadFile(ctx.Dir / "Status.dat"), status); // no question answered, nothing rewritten
    const TRun shown = Cli({"--data-dir", d, "status"});
    EXPECT_NE(shown.Out.find("Connessione non salvata: «Tiscali» di martedì 8 dicembre 2026 delle 21:30 "
                             "[Durata: 10 min 0 sec spesa: 1234 lire]"),
              std::string::npos)
        << shown.Out;
    // A command that writes leaves it there too.
    ASSERT_EQ(Cli({"--data-dir", d, "log", "add", "--from", "2026-12-08 10:00:00", "--to", "2026-12-08 10:01:00"}).Code,
              0);
    EXPECT_NE(Cli({"--data-dir", d, "status"}).Out.find("Connessione non salvata"), std::string::npos);

    const TRun kept = Cli({"--data-dir", d, "recover", "--keep"});
    ASSERT_EQ(kept.Code, 0) << kept.Err;
    EXPECT_NE(kept.Out.find("Connessione aggiunta al registro: «Tiscali»"), std::string::npos);
    EXPECT_NE(Cli({"--data-dir", d, "log", "summary", "--by", "entry"}).Out.find("\nTiscali\t1\t0\t10 min 0 sec\t1.234"),
              std::string::npos);
    EXPECT_EQ(Cli({"--data-dir", d, "status"}).Out.find("Connessione non salvata"), std::string::npos);
    EXPECT_NE(Cli({"--data-dir", d, "recover", "--discard"}).Out.find("Nessuna connessione da recuperare"),
              std::string::npos);

    leaveConnection();
    const TRun discarded = Cli({"--data-dir", d, "recover", "--discard"});
    EXPECT_NE(discarded.Out.find("Connessione ignorata: «Tiscali»"), std::string::npos);
    EXPECT_NE(Cli({"--data-dir", d, "log", "summary", "--by", "entry"}).Out.find("\nTiscali\t1\t"),
              std::string::npos); // still one
    EXPECT_EQ(Cli({"--data-dir", d, "recover"}).Code, 2);
}

TEST(CliData, CommandsThatWriteRefuseWhileTheProgramRuns)
{
    TTempDir dir;
    VirtualTime time;
    TLinuxSingleInstance program(time, TLinuxSingleInstance::DefaultFolder());
    ASSERT_TRUE(program.Acquire());
    for (const std::vector<std::string>& write :
         {std::vector<std::string>{"log", "add", "--from", "2026-12-08 10:00:00", "--to", "2026-12-08 10:01:00"},
          {"tariffs", "import", "/nonexistent.json"},
          {"recover", "--keep"},
          {"monitor", "--for", "1"},
          {"dial", "Provider Uno"}}) {
        std::vector<std::string> args{"--data-dir", dir.Path, "--simulate"};
        args.insert(args.end(), write.begin(), write.end());
        const TRun r = Cli(args);
        EXPECT_EQ(r.Code, 1) << write[0];
        EXPECT_NE(r.Err.find("Quorvanta è in esecuzione"), std::string::npos) << r.Err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path));
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "tariffs", "list"}).Code, 0); // reading is allowed
}
