// Files, shortcuts, starting with the session, power-off, install and uninstall on temporary trees.
#include "TestSupport.h"
#include "app/Install.h"
#include "app/Startup.h"
#include "core/Shell.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace fs = std::filesystem;

TEST(Shell, ListFilesWithSeveralMasks)
{
    TTempDir dir;
    for (const char* n : {"Status.dat", "Settings.dat", "note.txt", "Status.dat@error", "a.bin"})
        WriteFile(dir / n, "x");
    std::vector<std::string> files = ListFiles(dir.Path + "/*.dat;" + dir.Path + "/*.txt");
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{dir / "Settings.dat", dir / "Status.dat", dir / "note.txt"}));
    EXPECT_TRUE(MatchesMask("Status.dat@error", "*.dat*"));
    EXPECT_TRUE(MatchesMask("ab", "a?"));
    EXPECT_FALSE(MatchesMask("abc", "a?"));
}

TEST(Shell, ForceDeleteRemovesReadOnlyFiles)
{
    TTempDir dir;
    WriteFile(dir / "ro.dat", "x");
    fs::permissions(dir / "ro.dat", fs::perms::owner_read);
    EXPECT_TRUE(ForceDeleteFile(dir / "ro.dat"));
    EXPECT_FALSE(fs::exists(dir / "ro.dat"));
    EXPECT_FALSE(ForceDeleteFile(dir / "missing"));
}

TEST(Shell, ShortcutsRoundTripWithAwkwardArguments)
{
    TTempDir dir;
    CreateShortcut("/opt/My Apps/quorvanta", "/winstart \"Casa mia\"", "Quorvanta", dir.Path, "Costi", "/tmp/w d");
    const TShortcut s = ReadShortcut(dir / "Quorvanta.desktop");
    EXPECT_EQ(s.Target, "/opt/My Apps/quorvanta");
    EXPECT_EQ(SplitExecLine(s.Arguments), (std::vector<std::string>{"/winstart", "Casa mia"}));
    EXPECT_EQ(s.WorkingFolder, "/tmp/w d");
    EXPECT_EQ(s.Description, "Costi");
    WriteFile(dir / "bad.desktop", "[Other]\nExec=x\n");
    EXPECT_THROW(ReadShortcut(dir / "bad.desktop"), EQvError);
}

TEST(Shell, AutoStartEntryComesAndGoes)
{
    TTempDir dir;
    TAppEnvironment env;
    env.ConfigDir = dir / "config";
    env.ExePath = "/home/anna/.local/bin/quorvanta";
    SetAutoStart(env, true, "/winstart Ufficio");
    const TShortcut s = ReadShortcut(env.ConfigDir + "/autostart/Quorvanta.desktop");
    EXPECT_EQ(s.Target, env.ExePath);
    EXPECT_EQ(s.Arguments, "/winstart Ufficio");
    // A profile named with a percent sign is not read as a field code by the desktop.
    SetAutoStart(env, true, "/winstart \"Sconto 100%\"");
    EXPECT_NE(ReadFile(env.ConfigDir + "/autostart/Quorvanta.desktop").find("Exec=/home/anna/.local/bin/quorvanta "
                                                                           "/winstart \"Sconto 100%%\"\n"),
              std::string::npos);
    EXPECT_EQ(SplitExecLine(ReadShortcut(env.ConfigDir + "/autostart/Quorvanta.desktop").Arguments),
              (std::vector<std::string>{"/winstart", "Sconto 100%"}));
    SetAutoStart(env, false, "");
    EXPECT_FALSE(fs::exists(env.ConfigDir + "/autostart/Quorvanta.desktop"));
}

TEST(Shell, PowerOffFailureIsShown)
{
    TTestContext ctx;
    ShutdownWindows(ctx.Services, true);
    EXPECT_EQ(ctx.System.PowerOffRequests, std::vector<bool>{true});
    EXPECT_TRUE(ctx.Prompter.Shown.empty());
    ctx.System.PowerOffError = "accesso negato";
    ShutdownWindows(ctx.Services, false);
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text, "Impossibile chiudere Debian GNU/Linux\r[accesso negato]");
}

TEST(Install, PerUserInstallThenUninstall)
{
    TTempDir dir;
    TTestContext ctx;
    ctx.Env.HomeDir = dir.Path;
    ctx.Env.ConfigDir = dir / "config";
    ctx.Env.DataHome = dir / "share";
    ctx.Env.DesktopDir = dir / "Desktop";
    ctx.Env.BinDir = dir / "bin";
    ctx.Env.AppPath = dir / "data/";
    ctx.Env.ExePath = dir / "build-quorvanta";
    WriteFile(ctx.Env.ExePath, "#!/bin/sh\n");
    fs::create_directories(ctx.Env.AppPath);
    SetAutoStart(ctx.Env, true, "");
    ctx.Registry.RegWriteBool("Options", "external1", true);

    std::vector<std::string> steps;
    InstallProgram(ctx.Services, ctx.Env.BinDir, [&](const std::string& s) { steps.push_back(s); });
    EXPECT_EQ(steps.front(), "Aggiornamento informazioni del registro di configurazione...");
    EXPECT_TRUE(fs::exists(ctx.Env.BinDir + "/quorvanta"));
    EXPECT_TRUE((fs::status(ctx.Env.BinDir + "/quorvanta").permissions() & fs::perms::owner_exec) != fs::perms::none);
    EXPECT_EQ(ReadShortcut(ctx.Env.DesktopDir + "/Quorvanta.desktop").Target, ctx.Env.BinDir + "/quorvanta");
    EXPECT_TRUE(fs::exists(ctx.Env.DataHome + "/applications/Quorvanta.desktop"));
    EXPECT_FALSE(fs::exists(AutoStartFile(ctx.Env)));
    EXPECT_FALSE(ctx.Registry.RegReadBool("Options", "external1", true));
    EXPECT_EQ(ctx.Registry.RegReadString("", "Directory", ""), ctx.Env.BinDir);

    // Saying no leaves everything in place.
    WriteFile(ctx.Env.AppPath + "Status.dat", "x");
    WriteFile(ctx.Env.AppPath + "Status.dat@error", "x");
    WriteFile(ctx.Env.AppPath + "Exception.txt", "x");
    ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_FALSE(UninstallProgram(ctx.Services));
    EXPECT_TRUE(fs::exists(ctx.Env.AppPath + "Status.dat"));

    ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(UninstallProgram(ctx.Services));
    EXPECT_FALSE(fs::exists(ctx.Env.AppPath));
    EXPECT_FALSE(fs::exists(ctx.Env.BinDir + "/quorvanta"));
    EXPECT_FALSE(fs::exists(ctx.Env.DesktopDir + "/Quorvanta.desktop"));
    EXPECT_FALSE(fs::exists(ctx.Env.DataHome + "/applications/Quorvanta.desktop"));
    EXPECT_TRUE(ctx.RegistryStore.Values.empty());
    EXPECT_EQ(ctx.Prompter.Shown.back().Text, "Quorvanta è stato disinstallato completamente!");
}

TEST(Install, UninstallReportsFilesLeftBehind)
{
    TTempDir dir;
    TTestContext ctx;
    ctx.Env.AppPath = dir / "data/";
    ctx.Env.ConfigDir = dir / "config";
    ctx.Env.DataHome = dir / "share";
    ctx.Env.DesktopDir = dir / "Desktop";
    fs::create_directories(ctx.Env.AppPath);
    WriteFile(ctx.Env.AppPath + "Settings.dat", "x");
    WriteFile(ctx.Env.AppPath + "mine.txt", "x");
    ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(UninstallProgram(ctx.Services));
    EXPECT_FALSE(fs::exists(ctx.Env.AppPath + "Settings.dat"));
    EXPECT_TRUE(fs::exists(ctx.Env.AppPath + "mine.txt"));
    EXPECT_EQ(ctx.Prompter.Shown.back().Text,
              "Alcuni file non sono stati eliminati!\r\rControllare la directory " + ctx.Env.AppPath);
}
