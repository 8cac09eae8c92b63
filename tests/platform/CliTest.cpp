// The command-line tool as a user runs it.
#include "ChildProcess.h"
#include "CliRun.h"
#include "TestSupport.h"
#include "app/CommandHelp.h"
#include "cli/Cli.h"
#include "platform/linux/LinuxSystem.h"
#include "tariffs/DataPlans.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>

using namespace qv;
using namespace qv::test;

namespace {
int RunTool(std::vector<std::string> args, std::string& out, std::string& err)
{
    std::ostringstream o, e;
    const int rc = RunCli(std::move(args), o, e);
    out = o.str();
    err = e.str();
    return rc;
}
} // namespace

// The help, the manual pages (English and Italian) and the bash completion come from one table:
// every command of the help is in each of them, and the pages are valid roff.
TEST(Cli, EveryCommandOfTheHelpIsInTheManualPagesAndTheCompletion)
{
    std::string out, err;
    EXPECT_EQ(RunTool({"--help"}, out, err), 0);
    EXPECT_EQ(out, CliUsageText());
    EXPECT_EQ(RunTool({"--version"}, out, err), 0);
    EXPECT_EQ(out.rfind("Quorvanta 1.0.0.", 0), 0u);
    const std::string completion = ReadFile(std::string(QV_SOURCE_DATA_DIR) + "/packaging/quorvanta-cli.bash");
    // The words the completion offers first.
    const std::size_t listAt = completion.find("local commands=\"") + 16;
    std::istringstream listed(completion.substr(listAt, completion.find('"', listAt) - listAt));
    std::set<std::string> completed{std::istream_iterator<std::string>(listed), std::istream_iterator<std::string>()};
    const std::string english = CliManPage(TManLanguage::English), italian = CliManPage(TManLanguage::Italian);
    ASSERT_GE(CliCommands().size(), 25u);
    for (const TCommandHelp& c : CliCommands()) {
        const std::string name = CommandName(c);
        EXPECT_NE(CliUsageText().find("\n  " + name + " "), std::string::npos) << name;
        for (const std::string* page : {&english, &italian})
            EXPECT_NE(page->find(".TP\n\\fB" + name), std::string::npos) << name;
        EXPECT_TRUE(completed.count(name)) << name << " is not completed";
    }
    for (const TOptionHelp& o : CliOptions()) {
        const std::string option = std::string(o.Option).substr(0, std::string(o.Option).find(' '));
        EXPECT_NE(CliUsageText().find(option), std::string::npos) << option;
        EXPECT_NE(completion.find(option), std::string::npos) << option;
    }
    // The graphical program's help and page name --data-dir and the portable folder.
    for (const std::string& text : {GuiUsageText(), GuiManPage(TManLanguage::English), GuiManPage(TManLanguage::Italian),
                                    english, italian}) {
        EXPECT_NE(text.find("data"), std::string::npos);
        EXPECT_NE(text.find("portable"), std::string::npos);
    }
    EXPECT_NE(GuiUsageText().find("--data-dir DIR"), std::string::npos);
    // groff reads each page without a warning.
    if (!std::filesystem::exists("/usr/bin/groff"))
        GTEST_SKIP() << "groff is not installed: the pages' roff is not checked";
    TTempDir dir;
    int n = 0;
    for (const std::string& page : {english, italian, GuiManPage(TManLanguage::English), GuiManPage(TManLanguage::Italian)}) {
        const std::string file = dir / ("page" + std::to_string(n++) + ".1");
        WriteFile(file, page);
        const std::string warnings = dir / "warnings.txt";
        const int rc = std::system(("groff -man -Tutf8 -ww -z " + file + " 2> " + warnings).c_str());
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(ReadFile(warnings), "") << page;
    }
}

TEST(Cli, UsageAndErrors)
{
    std::string out, err;
    EXPECT_EQ(RunTool({}, out, err), 2);
    EXPECT_NE(err.find("Uso: quorvanta-cli"), std::string::npos);
    EXPECT_EQ(RunTool({"version"}, out, err), 0);
    EXPECT_EQ(out.rfind("Quorvanta 1.0.0.", 0), 0u);
    TTempDir dir;
    EXPECT_EQ(RunTool({"--data-dir", dir.Path, "dump", dir / "missing.dat"}, out, err), 1);
    EXPECT_EQ(err.rfind("Errore: ", 0), 0u);
    WriteFile(dir / "garbage.dat", "not a data file");
    EXPECT_EQ(RunTool({"dump", dir / "garbage.dat"}, out, err), 1);
    EXPECT_NE(err.find("Formato del file non valido"), std::string::npos);
    WriteFile(dir / "alien.dat", std::string("TPF0\x06TAlien\x00\x00\x00", 14));
    EXPECT_EQ(RunTool({"dump", dir / "alien.dat"}, out, err), 1);
    EXPECT_NE(err.find("Classe di dati sconosciuta: TAlien"), std::string::npos);
}

// The data plans' file is one of the program's data files: dump shows it.
TEST(Cli, DumpShowsTheDataPlansFile)
{
    TDiskContext ctx;
    {
        TDataPlans plans(ctx.Services);
        TDataPlan p;
        p.Name = "Mobile";
        p.Interface = "wwan0";
        p.Allowance = 50000000000ull;
        plans.StorePlan(p);
        ctx.Files.WriteAtomic(ctx.Env.AppPath + "PianiDati.dat", plans.WriteToBytes());
        plans.SetModified(false);
    }
    std::string out, err;
    EXPECT_EQ(RunTool({"dump", ctx.Env.AppPath + "PianiDati.dat"}, out, err), 0) << err;
    EXPECT_NE(out.find("TDataPlans"), std::string::npos) << out;
    EXPECT_NE(out.find("Plans[0].Nome = \"Mobile\""), std::string::npos) << out;
    EXPECT_NE(out.find("Plans[0].Soglia = 50000000000"), std::string::npos) << out;
}

// Plans added, listed and reported from the command line, over volumes logged today.
TEST(Cli, PlansAddListStatusAndUsage)
{
    TTempDir dir;
    std::string out, err;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Mobile", "--connection", "6f1c", "--monthly", "1",
                       "--allowance", "10GB", "--price", "9,99", "--block", "500MB", "--block-price", "0,50"},
                      out, err),
              0)
        << err;
    EXPECT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Mobile", "--interface", "wwan0"}, out, err), 1);
    EXPECT_NE(err.find("esiste già"), std::string::npos);
    // One plan per link.
    EXPECT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Doppio", "--connection", "6F1C"}, out, err), 1);
    EXPECT_NE(err.find("Il collegamento del piano Doppio ha già il piano Mobile"), std::string::npos) << err;
    EXPECT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Nulla"}, out, err), 1);
    EXPECT_NE(err.find("--connection UUID o --interface NOME"), std::string::npos);
    EXPECT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Y", "--interface", "x", "--allowance", "10GiB"}, out, err), 1);
    // 10.6 GB today: 600 MB beyond the allowance are two started blocks.
    TSystemClock clock;
    {
        TDiskContext ctx;
        TDataPlans plans(ctx.Services);
        plans.ReadFromBytes(ctx.Files.ReadAll(dir / "PianiDati.dat"));
        TPlanUsage usage;
        usage.Add("Mobile", clock.Now(), 10500000000ull, 100000000ull);
        plans.StoreUsage(usage);
        ctx.Files.WriteAtomic(dir / "PianiDati.dat", plans.WriteToBytes());
        plans.SetModified(false);
    }
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "list"}, out, err), 0);
    EXPECT_NE(out.find("Mobile\tconnessione 6f1c\tmensile dal giorno 1\t10,00 GB\t€ 9,99"), std::string::npos) << out;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "status", "--json"}, out, err), 0) << err;
    EXPECT_NE(out.find("\"used\": 10600000000"), std::string::npos) << out;
    EXPECT_NE(out.find("\"remaining\": 0"), std::string::npos) << out;
    EXPECT_NE(out.find("\"cost\": 10.99"), std::string::npos) << out;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "usage", "--by", "day"}, out, err), 0) << err;
    EXPECT_EQ(out, "Mobile\t" + FormatDateTime("yyyy-mm-dd", clock.Now()) + "\t10,60 GB\n");
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "remove", "mobile"}, out, err), 0);
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "list"}, out, err), 0);
    EXPECT_EQ(out, "");
}

// Plans exported to JSON and imported elsewhere as they were; a file with one wrong plan is refused
// whole, naming the plan and the field.
TEST(Cli, PlansExportAndImport)
{
    TTempDir a, b;
    std::string out, err;
    ASSERT_EQ(RunTool({"--data-dir", a.Path, "plans", "add", "Mobile", "--connection", "6f1c", "--monthly", "14",
                       "--allowance", "50GB", "--price", "9,99", "--per-gb", "0,50", "--limit", "--warning", "75"},
                      out, err),
              0)
        << err;
    ASSERT_EQ(RunTool({"--data-dir", a.Path, "plans", "add", "Sat", "--interface", "sat0", "--every", "28", "--from",
                       "2026-12-01", "--no-allowance", "--block", "100MB", "--block-price", "1", "--received-only"},
                      out, err),
              0)
        << err;
    ASSERT_EQ(RunTool({"--data-dir", a.Path, "plans", "export", a / "plans.json"}, out, err), 0) << err;
    EXPECT_EQ(out, "Esportati 2 piani in " + a / "plans.json" + "\n");
    ASSERT_EQ(RunTool({"--data-dir", b.Path, "plans", "import", a / "plans.json"}, out, err), 0) << err;
    std::string listA, listB;
    ASSERT_EQ(RunTool({"--data-dir", a.Path, "plans", "list"}, listA, err), 0);
    ASSERT_EQ(RunTool({"--data-dir", b.Path, "plans", "list"}, listB, err), 0);
    EXPECT_EQ(listA, listB);
    EXPECT_NE(listB.find("Sat\tinterfaccia sat0\togni 28 giorni dal 1 dicembre 2026\tsenza soglia\t€ 0,00\toltre: € 1,00 "
                         "ogni 100,00 MB iniziati\tsolo ricevuti"),
              std::string::npos)
        << listB;
    // The JSON says the same as the file: the limit and the warning went across too.
    const std::string json = ReadFile(a / "plans.json");
    EXPECT_NE(json.find("\"limit\": true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"warning\": 75"), std::string::npos) << json;

    // A second plan with a negative price: nothing is imported, the error names it.
    WriteFile(b / "bad.json", R"({"plans": [{"name": "Nuovo", "interface": "ppp0"},
        {"name": "Caro", "interface": "wwan1", "price": -3}]})");
    EXPECT_EQ(RunTool({"--data-dir", b.Path, "plans", "import", b / "bad.json"}, out, err), 1);
    EXPECT_NE(err.find("piano n. 2): price deve essere un importo"), std::string::npos) << err;
    WriteFile(b / "bad.json", R"({"plans": [{"name": "X", "interface": "ppp0", "cycle": {"kind": "every", "days": 7}}]})");
    EXPECT_EQ(RunTool({"--data-dir", b.Path, "plans", "import", b / "bad.json"}, out, err), 1);
    EXPECT_NE(err.find("cycle.from deve essere una data"), std::string::npos) << err;
    WriteFile(b / "bad.json", "{\"plans\": [");
    EXPECT_EQ(RunTool({"--data-dir", b.Path, "plans", "import", b / "bad.json"}, out, err), 1);
    EXPECT_NE(err.find("File dei piani non leggibile"), std::string::npos) << err;
    ASSERT_EQ(RunTool({"--data-dir", b.Path, "plans", "list"}, out, err), 0);
    EXPECT_EQ(out, listA);
}

// monitor counts the traffic of a plan's link and shows its volume: the counters of a tree of our
// own move while it runs (the real kernel's are tried in the netlink test).
TEST(Cli, MonitorShowsAndCountsTheVolumeOfAPlansLink)
{
    TTempDir dir;
    std::string out, err;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Satellite", "--interface", "sat0", "--allowance",
                       "1GB"},
                      out, err),
              0)
        << err;
    std::filesystem::create_directories(dir / "net/sat0/statistics");
    WriteFile(dir / "net/sat0/statistics/tx_bytes", "0\n");
    WriteFile(dir / "net/sat0/statistics/rx_bytes", "0\n");
    // 10 MB every tenth of a second.
    TChild traffic({"/bin/sh", "-c",
                    "cd '" + dir / "net/sat0/statistics" +
                        "' && i=0; while :; do i=$((i+10000000)); echo $i >rx.tmp && mv rx.tmp rx_bytes; sleep 0.1; done"});
    ::setenv("QUORVANTA_SYS_CLASS_NET", (dir / "net").c_str(), 1);
    const TRun r = Cli({"--data-dir", dir.Path, "--simulate", "monitor", "--for", "5"});
    ::unsetenv("QUORVANTA_SYS_CLASS_NET");
    EXPECT_NE(r.Out.find("Dati Satellite: "), std::string::npos) << r.Out << r.Err;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "status", "--json"}, out, err), 0) << err;
    const auto at = out.find("\"used\": ");
    ASSERT_NE(at, std::string::npos) << out;
    const double used = std::stod(out.substr(at + 8));
    // About 4 seconds between the first and the last reading: 400 MB, give or take the shell's pace.
    EXPECT_GT(used, 100e6) << out;
    EXPECT_LT(used, 600e6) << out;
}

// The plans' traffic in the statistics chart and the comparison of the plans over a period.
TEST(Cli, VolumeChartAndPlansCompare)
{
    TTempDir dir;
    std::string out, err;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "SIM", "--connection", "6f1c", "--monthly", "1",
                       "--allowance", "10GB", "--price", "9,99", "--per-gb", "1"},
                      out, err),
              0)
        << err;
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "add", "Sat", "--interface", "sat0", "--no-allowance",
                       "--per-gb", "0,25"},
                      out, err),
              0)
        << err;
    {
        TDiskContext ctx;
        TDataPlans plans(ctx.Services);
        plans.ReadFromBytes(ctx.Files.ReadAll(dir / "PianiDati.dat"));
        TPlanUsage usage;
        usage.Add("SIM", At(2026, 11, 3, 10), 12000000000ull, 0);
        usage.Add("SIM", At(2026, 11, 4, 10), 2000000000ull, 0);
        plans.StoreUsage(usage);
        ctx.Files.WriteAtomic(dir / "PianiDati.dat", plans.WriteToBytes());
        plans.SetModified(false);
    }
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "stats", "chart", "--measure", "volume", "--group", "giorni", "--from",
                       "2026-11-01", "--to", "2026-11-30"},
                      out, err),
              0)
        << err;
    EXPECT_EQ(out, "Volume di traffico per giorno\n  mar 3 nov 2026  12,00 GB\n  mer 4 nov 2026  2,00 GB\n"
                   "Intervallo di osservazione: Periodo dal 1 novembre 2026 al 30 novembre 2026 Volume 14,00 GB\n");
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "plans", "compare", "--from", "2026-11-01", "--to", "2026-11-30"}, out,
                      err),
              0)
        << err;
    EXPECT_EQ(out, "Il traffico dal 1 novembre 2026 al 30 novembre 2026 con ciascun piano:\n"
                   "Sat: € 3,50 per 1 ciclo (14,00 GB)\nSIM: € 13,99 per 1 ciclo (14,00 GB)\n");
    ASSERT_EQ(RunTool({"--data-dir", dir.Path, "report", "details", "--pdf", dir / "d.pdf"}, out, err), 0) << err;
}
