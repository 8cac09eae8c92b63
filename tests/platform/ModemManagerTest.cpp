// The modem line monitor against the real ModemManager: the daemon runs on a private D-Bus that the
// test starts, in its test mode (no udev, no scan), and is given a fake 3GPP modem with voice calls
// that answers AT commands on a Unix socket (tests/data/fake_at_modem.py). The calls are placed as
// another program would (tests/data/mmdrive.py). Nothing here touches the system bus.
#include "ChildProcess.h"
#include "CliRun.h"
#include "TestSupport.h"
#include "app/DataModule.h"
#include "platform/linux/ModemManagerLines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;
constexpr const char* Daemon = "/usr/sbin/ModemManager";

struct TRealModemManager : testing::Test
{
    TTempDir Dir;
    std::unique_ptr<TChild> Bus;
    std::string Address;
    std::string Socket = Dir / "modem.sock";
    std::unique_ptr<TChild> Modem;
    std::unique_ptr<TChild> ModemManager;

    void SetUp() override
    {
        if (!std::filesystem::exists(Daemon))
            GTEST_SKIP() << "ModemManager is not installed (make deps installs modemmanager)";
        Bus = std::make_unique<TChild>(std::vector<std::string>{"dbus-daemon", "--session", "--nofork",
                                                                "--print-address=1", "--address=unix:dir=" + Dir.Path});
        Address = Bus->ReadLine();
        ASSERT_FALSE(Address.empty());
        Modem = std::make_unique<TChild>(std::vector<std::string>{"/usr/bin/python3", DataFile("fake_at_modem.py"), Socket});
        ASSERT_EQ(Modem->ReadLine(), "ready");
    }
    void TearDown() override
    {
        ModemManager.reset(); // before the modem and the bus it talks to
        Modem.reset();
        Bus.reset();
    }
    void StartDaemon()
    {
        ModemManager = std::make_unique<TChild>(
            std::vector<std::string>{"/bin/sh", "-c",
                                     std::string("exec ") + Daemon +
                                         " --test-session --test-no-udev --test-enable --no-auto-scan >>" +
                                         Dir / "mm.log" + " 2>&1"},
            std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + Address});
        for (int i = 0; i < 400; ++i) {
            TModemManagerLines::TModems modems;
            if (TModemManagerLines::Read(Address, modems))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        FAIL() << "ModemManager did not take its name: " << ReadFile(Dir / "mm.log");
    }
    // One action of tests/data/mmdrive.py; its printed result.
    std::string Drive(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"/usr/bin/python3", DataFile("mmdrive.py"), Address});
        TChild drive(args);
        return drive.ReadLine();
    }
};

// The program's data on virtual time, watching the daemon's modems.
struct TWatched : TRealModemManager
{
    TTestContext Ctx{At(2026, 12, 9, 10, 0)};
    std::unique_ptr<TModemManagerLines> Lines;
    std::unique_ptr<TDataModule> Data;
    std::vector<std::string> Messages;
    void TearDown() override
    {
        Data.reset();
        Lines.reset();
        TRealModemManager::TearDown();
    }
    void Open()
    {
        Data.reset();
        Lines = std::make_unique<TModemManagerLines>(Ctx.Time, Address);
        Data = std::make_unique<TDataModule>(Ctx.Services, nullptr, nullptr, nullptr, Lines.get());
        Data->LoadAll();
        Data->Status.SetProfile(&Data->Settings.Profiles()[0]);
        Data->OnGeneralMessage = [this](const std::string& m) { Messages.push_back(m); };
    }
    // Lets the watcher's reports in, in virtual time, until the condition holds (or 20 s pass).
    template <class TCondition> bool Until(TCondition condition)
    {
        for (int i = 0; i < 2000; ++i) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Ctx.Time.Advance(10);
        }
        return condition();
    }
    S State() const { return Data->MtxStatus.State(); }
    std::string Last() const { return Messages.empty() ? std::string() : Messages.back(); }
};

} // namespace

TEST_F(TWatched, VoiceAndDataCallsOfAnotherProgramAreCountedPricedAndLogged)
{
    // No ModemManager on the bus: no lines, the reason kept, the user's choice left alone.
    Open();
    Data->Settings.SetDeviceName("Acme ZX 56K");
    EXPECT_FALSE(Data->StartTapiMonitor(false));
    EXPECT_EQ(Data->TapiMonitor.LastError(), "Fallita la GetManagedObjects: ModemManager non è in esecuzione");
    EXPECT_EQ(Data->Settings.DeviceName(), "Acme ZX 56K");
    // ModemManager without modems: its object manager is empty.
    StartDaemon();
    Open();
    Data->Settings.SetDeviceName("(Nessuno)");
    EXPECT_FALSE(Data->StartTapiMonitor(false));
    EXPECT_EQ(Data->TapiMonitor.LastError(), "Nessun modem disponibile");

    const std::string modem = Drive({"add-modem", Socket});
    ASSERT_EQ(modem, "/org/freedesktop/ModemManager1/Modem/0") << ReadFile(Dir / "mm.log");
    ::setenv("QUORVANTA_MODEMMANAGER_BUS", Address.c_str(), 1);
    const TRun listed = Cli({"--data-dir", Dir / "cli", "modems"});
    ::unsetenv("QUORVANTA_MODEMMANAGER_BUS");
    EXPECT_EQ(listed.Out, "  Acme ZX 56K\n") << listed.Err;

    Open();
    ASSERT_EQ(Data->TapiMonitor.Devices().size(), 1u);
    EXPECT_EQ(Data->TapiMonitor.Devices()[0].Name, "Acme ZX 56K");
    Data->Settings.SetFullTapiMonitor(true);
    // A name in another letter case finds the modem; the setting keeps the name as the service has it.
    Data->Settings.SetDeviceName("acme zx 56k");
    ASSERT_TRUE(Data->StartTapiMonitor(true));
    EXPECT_EQ(Data->Settings.DeviceName(), "Acme ZX 56K");
    EXPECT_EQ(Last(), "Monitoraggio modem Acme ZX 56K avviato");

    // A voice call: the number comes from the call object (bearers have none).
    const std::string call = Drive({"call", "0612345678"});
    ASSERT_EQ(call.rfind("/org/freedesktop/ModemManager1/Call/", 0), 0u) << call;
    ASSERT_TRUE(Until([&] { return State() == S::TapiStart; })) << static_cast<int>(State());
    EXPECT_EQ(Data->Status.DialingNumber(), "0612345678");
    EXPECT_EQ(Data->Status.AppName(), "ModemManager");
    Ctx.Time.Advance(120000); // two minutes on line
    Drive({"hangup", call});
    ASSERT_TRUE(Until([&] { return State() == S::Idle; }));
    EXPECT_EQ(Last(), "Disconnessione del modem Acme ZX 56K");
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    const TDataUnitsItem& voice = Data->Connections.Units()[0];
    EXPECT_EQ(voice.N(), "0612345678");
    EXPECT_GT(voice.L(), 0);
    EXPECT_GE(DurationToSeconds(voice.F() - voice.I()), 119);

    // A data connection: named by the bearer's APN.
    const std::string bearer = Drive({"connect", "ibox.tim.it"});
    ASSERT_EQ(bearer.rfind("/org/freedesktop/ModemManager1/Bearer/", 0), 0u) << bearer;
    ASSERT_TRUE(Until([&] { return State() == S::TapiStart; }));
    Ctx.Time.Advance(60000);
    Drive({"disconnect"});
    ASSERT_TRUE(Until([&] { return State() == S::Idle; }));
    ASSERT_EQ(Data->Connections.Units().Count(), 2u);
    EXPECT_EQ(Data->Connections.Units()[1].N(), "ibox.tim.it");
    const int entry = Data->Settings.Entrys().IndexOfEntry("ibox.tim.it");
    ASSERT_GE(entry, 0);
    EXPECT_EQ(Data->Settings.Entrys()[static_cast<std::size_t>(entry)].Kind(), keTAPI);
}

TEST_F(TWatched, ARestartOfModemManagerEndsTheCallAndTheWatchGoesOnWithTheSameModem)
{
    StartDaemon();
    ASSERT_FALSE(Drive({"add-modem", Socket}).empty());
    Open();
    Data->Settings.SetFullTapiMonitor(true);
    Data->Settings.SetDeviceName("Acme ZX 56K");
    ASSERT_TRUE(Data->StartTapiMonitor(false));
    const std::string call = Drive({"call", "0612345678"});
    ASSERT_TRUE(Until([&] { return State() == S::TapiStart; }));
    Ctx.Time.Advance(30000);

    ModemManager.reset(); // stopped: the call ends and is logged, the line waits
    ASSERT_TRUE(Until([&] { return Last() == "Il modem Acme ZX 56K non è presente: il monitoraggio riprende quando torna"; }))
        << Last();
    EXPECT_EQ(State(), S::Idle);
    EXPECT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_TRUE(Data->TapiMonitor.Monitoring());
    EXPECT_EQ(Data->Settings.DeviceName(), "Acme ZX 56K");

    StartDaemon(); // back, with the same modem found by its identity
    ASSERT_FALSE(Drive({"add-modem", Socket}).empty());
    ASSERT_TRUE(Until([&] { return Last() == "Il modem Acme ZX 56K è di nuovo presente: monitoraggio ripreso"; })) << Last();
    const std::string again = Drive({"call", "0698765432"});
    ASSERT_TRUE(Until([&] { return State() == S::TapiStart; }));
    Drive({"hangup", again});
    ASSERT_TRUE(Until([&] { return State() == S::Idle; }));
    ASSERT_EQ(Data->Connections.Units().Count(), 2u);
    EXPECT_EQ(Data->Connections.Units()[1].N(), "0698765432");
}

TEST_F(TWatched, TheWatcherReadsOnlyWhenModemManagerSignalsAChange)
{
    StartDaemon();
    ASSERT_FALSE(Drive({"add-modem", Socket}).empty());
    Open();
    Data->Settings.SetDeviceName("Acme ZX 56K");
    ASSERT_TRUE(Data->StartTapiMonitor(false));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::int64_t settled = TModemManagerLines::Readings();
    std::this_thread::sleep_for(std::chrono::seconds(3)); // nothing happens: nothing is read
    EXPECT_EQ(TModemManagerLines::Readings(), settled);
    const std::string call = Drive({"call", "0612345678"});
    ASSERT_TRUE(Until([&] { return TModemManagerLines::Readings() > settled; }));
    Drive({"hangup", call});
}
