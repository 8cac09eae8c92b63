// The command-line tool as a user runs it.
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
