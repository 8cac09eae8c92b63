// The frame of start-up: run modes, command line, data folder, the exception handler, load order.
#include "app/DataClasses.h"
#include "TestSupport.h"
#include "app/Startup.h"
#include "core/DateTime.h"
#include "core/Environment.h"

#include <gtest/gtest.h>
#include <map>

using namespace qv;
using namespace qv::test;

TEST(Startup, RunModeFromExecutableName)
{
    EXPECT_EQ(RunModeFromExeName("/usr/bin/quorvanta"), TRunMode::rmNormal);
    EXPECT_EQ(RunModeFromExeName("/tmp/SETUP.EXE"), TRunMode::rmInstall);
    EXPECT_EQ(RunModeFromExeName("quorvanta-setup"), TRunMode::rmInstall);
    EXPECT_EQ(RunModeFromExeName("/x/_UninstallQuorvanta.exe"), TRunMode::rmUninstall);
    EXPECT_EQ(RunModeFromExeName("Quorvanta-Uninstall"), TRunMode::rmUninstall);
    EXPECT_EQ(RunModeFromExeName("setup2"), TRunMode::rmNormal);
    EXPECT_EQ(static_cast<int>(TRunMode::rmNormal), 2);
}

TEST(Startup, CommandLineNamesTheProfile)
{
    TCommandLine c = ParseCommandLine({"/WinStart", "Casa"});
    EXPECT_TRUE(c.StartedByWinStart);
    EXPECT_EQ(c.ProfileName, "Casa");
    c = ParseCommandLine({"/winstart"});
    EXPECT_TRUE(c.StartedByWinStart);
    EXPECT_EQ(c.ProfileName, "");
    c = ParseCommandLine({"Ufficio", "--simulate"});
    EXPECT_FALSE(c.StartedByWinStart);
    EXPECT_TRUE(c.Simulate);
    EXPECT_EQ(c.ProfileName, "Ufficio");
}

TEST(Startup, DataFolderChoice)
{
    std::map<std::string, std::string> vars{{"HOME", "/home/anna"}};
    const TGetEnv env = [&](const std::string& n) -> std::optional<std::string> {
        const auto it = vars.find(n);
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    bool portable = false;
    const auto exists = [&](const std::string& p) { return portable && p == "/opt/qv/portable"; };
    EXPECT_EQ(ResolveDataFolder(std::nullopt, env, "/opt/qv/quorvanta", exists), "/home/anna/.local/share/Quorvanta/");
    vars["XDG_DATA_HOME"] = "/srv/data";
    EXPECT_EQ(ResolveDataFolder(std::nullopt, env, "/opt/qv/quorvanta", exists), "/srv/data/Quorvanta/");
    portable = true;
    EXPECT_EQ(ResolveDataFolder(std::nullopt, env, "/opt/qv/quorvanta", exists), "/opt/qv/");
    vars["QUORVANTA_DATA_DIR"] = "/var/qv";
    EXPECT_EQ(ResolveDataFolder(std::nullopt, env, "/opt/qv/quorvanta", exists), "/var/qv/");
    EXPECT_EQ(ResolveDataFolder(std::string("/mnt/x/"), env, "/opt/qv/quorvanta", exists), "/mnt/x/");

    std::vector<std::string> args{"dump", "--data-dir", "/d", "f", "--data-dir=/e"};
    EXPECT_EQ(TakeDataDirArg(args), "/e");
    EXPECT_EQ(args, (std::vector<std::string>{"dump", "f"}));

    TAppEnvironment e;
    ResolveUserFolders(e, env, "# comment\nXDG_DESKTOP_DIR=\"$HOME/Scrivania\"\n");
    EXPECT_EQ(e.DesktopDir, "/home/anna/Scrivania");
    EXPECT_EQ(e.ConfigDir, "/home/anna/.config");
    EXPECT_EQ(BuildFromVersion("1.0.0.42"), 42);
    EXPECT_EQ(BuildFromVersion("1.0.0.x"), -1);
    EXPECT_EQ(AppNameFromExe("/usr/bin/Quorvanta.exe"), "Quorvanta");
}

TEST(ExceptionHandler, FirstExceptionWritesTheDiagnosticFileOnlyOnce)
{
    TTestContext ctx(EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 0));
    TExceptionHandler handler(ctx.Services, EncodeDate(2026, 12, 8) + EncodeTime(9, 5, 7, 0));
    std::vector<std::string> balloons;
    handler.ShowGeneralBalloon = [&](const std::string& t) { balloons.push_back(t); };
    handler.StateText = [] { return "Conteggio in corso"; };
    handler.Handle(SenderText("TTimer", "TimerSystem"), "Divisione per zero");
    const std::string text = ctx.Files.Text("/data/Exception.txt");
    EXPECT_EQ(text, "Quorvanta: 1.0.0.7 debug info:\n"
                    "Stato: Conteggio in corso\n"
                    "Monitoraggio del modem: [disabilitato]\n"
                    "libcurl: libcurl 7.88.1\n"
                    "Orario avvio     9.05.07\n"
                    "Orario eccezione 10.00.00\n"
                    "Oggetto          TimerSystem - TTimer\n"
                    "«Divisione per zero»\n"
                    "SO: Debian GNU/Linux -> MajorVersion: 6 MinorVersion: 1 BuildNumber: 0-sim PlatformId: Linux\n"
                    "\n"
                    "Si verifica quando...\n");
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0], "Attenzione: si è verificata l'eccezione \r«Divisione per zero» nell'oggetto TimerSystem - "
                           "TTimer\rinviare le informazioni contenute in /data/Exception.txt a assistenza@quorvanta.it");
    handler.Handle("TfmMain", "Altro errore");
    EXPECT_EQ(ctx.Files.Text("/data/Exception.txt"), text);
    EXPECT_EQ(handler.Count(), 2);
    EXPECT_EQ(balloons.size(), 2u);
    EXPECT_TRUE(ctx.Prompter.Shown.empty());
}

TEST(ExceptionHandler, DialUpFailureIsRewordedAndWarnedOnce)
{
    TTestContext ctx;
    TExceptionHandler handler(ctx.Services, 45000);
    std::vector<bool> pending;
    handler.SetQuestionPending = [&](bool v) { pending.push_back(v); };
    handler.LastRasApi = [] { return "RasGetConnectStatus"; };
    const std::string av = "Access violation at address BFF7B997 in module 'KERNEL32.DLL'. Read of address 0";
    handler.Handle("FTimerCheckConnectionRasControl - TTimer", av);
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text.rfind("Attenzione il supporto RAS di Debian GNU/Linux", 0), 0u);
    EXPECT_EQ(pending, (std::vector<bool>{true, false}));
    const std::string text = ctx.Files.Text("/data/Exception.txt");
    EXPECT_NE(text.find("«Fallimento supporto RAS»"), std::string::npos);
    EXPECT_NE(text.find("LastRasAPI: RasGetConnectStatus\n"), std::string::npos);
    EXPECT_NE(text.find("pppd: pppd version 2.4.9\n"), std::string::npos);
    handler.Handle("FTimerCheckConnectionRasControl - TTimer", av);
    EXPECT_EQ(ctx.Prompter.Shown.size(), 1u);
}

TEST(ExceptionHandler, LowResourcesRewordTheMessage)
{
    TTestContext ctx;
    TExceptionHandler handler(ctx.Services, 45000);
    handler.ResourcesBelow = [](int percent) { return percent <= 3; };
    std::string tariffBalloon;
    handler.ShowTariffBalloon = [&](const std::string& t) { tariffBalloon = t; };
    handler.Handle("TfmMain", "x");
    EXPECT_NE(ctx.Files.Text("/data/Exception.txt").find("«Risorse di Debian GNU/Linux in esaurimento: Quorvanta non "
                                                         "riesce a funzionare correttamente - x»"),
              std::string::npos);
    EXPECT_EQ(tariffBalloon.rfind("Quorvanta non ha risorse sufficienti", 0), 0u);
}

TEST(Startup, BlockingErrorStopsTheProgram)
{
    TTestContext ctx;
    TExceptionHandler handler(ctx.Services, 45000);
    EXPECT_THROW(StartupFailed(ctx.Services, handler, "boom"), EHaltRequested);
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Kind, TMsgKind::Error);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text, "Si è verificato un errore bloccante... ahimè!\rQuorvanta verrà terminato\r\r["
                                          "Eccezione nell' avvio di Quorvanta boom]");
    EXPECT_NE(ctx.Files.Text("/data/Exception.txt").find("«Eccezione nell' avvio di Quorvanta boom»"),
              std::string::npos);
}

TEST(Startup, DataFilesLoadInOrderAndSaveAtShutdown)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    TStandaloneStatus status(ctx.Services);
    std::vector<std::string> order;
    log.OnLoaded = [&] { order.push_back("Connections.dat"); };
    status.OnLoaded = [&] { order.push_back("Status.dat"); };
    TDataFiles files;
    files.Add(log, "Connections.dat");
    files.Add(status, "Status.dat");
    files.LoadAll();
    EXPECT_EQ(order, (std::vector<std::string>{"Connections.dat", "Status.dat"}));
    status.SetCallRate(9);
    const int writes = ctx.Files.Writes;
    files.SaveAllModified();
    EXPECT_EQ(ctx.Files.Writes, writes + 1);
    EXPECT_FALSE(status.Modified());
}
