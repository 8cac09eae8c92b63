// The modem line monitor against a fake ModemManager (python3-dbusmock with a template of ours) on a
// private D-Bus that the test starts and stops: lines named as mmcli shows them, a connection of
// another program dialled, counted, priced and logged, a call seen only as connected, a modem that
// goes away, no modems, no ModemManager. Nothing here touches the system bus.
#include "ChildProcess.h"
#include "CliRun.h"
#include "TestSupport.h"
#include "app/DataModule.h"
#include "platform/linux/ModemManagerLines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;

struct TFakeModemManager : testing::Test
{
    TTempDir Dir;
    TChild Bus{{"dbus-daemon", "--session", "--nofork", "--print-address=1", "--address=unix:dir=" + Dir.Path}};
    std::string Address = Bus.ReadLine();
    std::unique_ptr<TChild> Mock;

    // The fake service, started when a test wants it.
    void StartModemManager()
    {
        Mock = std::make_unique<TChild>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--template", DataFile("fake_modemmanager.py")},
            std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + Address});
        // Ready once it answers.
        for (int i = 0; i < 200; ++i) {
            TModemManagerLines::TModems modems;
            if (TModemManagerLines::Read(Address, modems))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        FAIL() << "the fake ModemManager did not start";
    }
    // One call of the fake's Mock interface; its printed result.
    std::string Ctl(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"/usr/bin/python3", DataFile("mmctl.py"), Address});
        TChild ctl(args);
        return ctl.ReadLine();
    }
};

// The program's data on virtual time, watching the fake's modems.
struct TWatched : TFakeModemManager
{
    TTestContext Ctx{At(2026, 12, 9, 10, 0)};
    std::unique_ptr<TModemManagerLines> Lines;
    std::unique_ptr<TDataModule> Data;
    std::vector<std::string> Messages;
    void Open()
    {
        Lines = std::make_unique<TModemManagerLines>(Ctx.Time, Address, 40);
        Data = std::make_unique<TDataModule>(Ctx.Services, nullptr, nullptr, nullptr, Lines.get());
        Data->LoadAll();
        Data->Status.SetProfile(&Data->Settings.Profiles()[0]);
        Data->OnGeneralMessage = [this](const std::string& m) { Messages.push_back(m); };
    }
    // Lets the watcher's reports in, in virtual time, until the condition holds (or 5 s pass).
    template <class TCondition> bool Until(TCondition condition)
    {
        for (int i = 0; i < 500; ++i) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Ctx.Time.Advance(10);
        }
        return condition();
    }
    S State() const { return Data->MtxStatus.State(); }
};

} // namespace

TEST_F(TWatched, AConnectionOfAnotherProgramIsCountedPricedAndLogged)
{
    StartModemManager();
    const std::string modem = Ctl({"AddModem", "Acme", "ZX 56K"});
    ASSERT_EQ(modem, "/org/freedesktop/ModemManager1/Modem/0");
    const std::string bearer = Ctl({"AddBearer", modem, "", "0612345678"});
    Open();
    ASSERT_EQ(Data->TapiMonitor.Devices().size(), 1u);
    EXPECT_EQ(Data->TapiMonitor.Devices()[0].Name, "Acme ZX 56K");
    // A name in another letter case finds the modem; the setting keeps the name as the service has it.
    Data->Settings.SetDeviceName("acme zx 56k");
    ASSERT_TRUE(Data->StartTapiMonitor(true));
    EXPECT_EQ(Data->Settings.DeviceName(), "Acme ZX 56K");
    EXPECT_EQ(Messages.back(), "Monitoraggio modem Acme ZX 56K avviato");

    Ctl({"SetModemState", modem, "i:10"}); // connecting
    ASSERT_TRUE(Until([&] { return State() == S::TapiDialing; }));
    EXPECT_EQ(Messages.back(), "Selezione dispositivo TAPI Acme ZX 56K in corso...");
    EXPECT_EQ(Data->Status.DialingNumber(), "0612345678");
    Ctl({"SetModemState", modem, "i:11"}); // connected
    Ctl({"SetBearerConnected", bearer, "b:true"});
    ASSERT_TRUE(Until([&] { return State() == S::TapiStart; }));
    EXPECT_TRUE(Data->Status.IsCounting());
    EXPECT_EQ(Data->Status.AppName(), "ModemManager");
    Ctx.Time.Advance(120000); // two minutes on line
    Ctl({"SetBearerConnected", bearer, "b:false"});
    Ctl({"SetModemState", modem, "i:8"}); // registered again
    ASSERT_TRUE(Until([&] { return State() == S::Idle; }));
    EXPECT_EQ(Messages.back(), "Disconnessione dispositivo TAPI Acme ZX 56K");
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    const TDataUnitsItem& record = Data->Connections.Units()[0];
    EXPECT_EQ(record.N(), "0612345678");
    EXPECT_GT(record.L(), 0);
    EXPECT_GE(DurationToSeconds(record.F() - record.I()), 119); // the count begins within the first second
    // The entry of a modem call is named by its number.
    const int entry = Data->Settings.Entrys().IndexOfEntry("0612345678");
    ASSERT_GE(entry, 0);
    EXPECT_EQ(Data->Settings.Entrys()[static_cast<std::size_t>(entry)].Kind(), keTAPI);
}

TEST_F(TWatched, ACallSeenOnlyAsConnectedCountsOnlyWithFullMonitoring)
{
    StartModemManager();
    const std::string modem = Ctl({"AddModem", "Acme", "ZX 56K"});
    const std::string call = Ctl({"AddCall", modem, "0698765432"});
    Ctl({"SetCallState", call, "i:7"}); // terminated: nothing going on yet
    Open();
    Data->Settings.SetDeviceName("Acme ZX 56K");
    ASSERT_TRUE(Data->StartTapiMonitor(false));
    const std::string bearer = Ctl({"AddBearer", modem, "ibox.tim.it", ""});
    Ctl({"SetBearerConnected", bearer, "b:true"});
    // Seen only as connected: without full monitoring nothing is counted, but the call is known.
    ASSERT_TRUE(Until([&] { return Data->Status.AppName() == "ModemManager"; }));
    Ctx.Time.Advance(2000);
    EXPECT_EQ(State(), S::Idle);
    Ctl({"SetBearerConnected", bearer, "b:false"});
    Ctx.Time.Advance(1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Ctx.Time.Advance(10);

    Data->Settings.SetFullTapiMonitor(true);
    Ctl({"SetBearerConnected", bearer, "b:true"});
    ASSERT_TRUE(Until([&] { return State() == S::TapiStart; }));
    Ctl({"SetBearerConnected", bearer, "b:false"});
    ASSERT_TRUE(Until([&] { return State() == S::Idle; }));
    EXPECT_EQ(Data->Connections.Units().Count(), 1u);
}

TEST_F(TWatched, AModemThatGoesAwayStopsTheMonitoring)
{
    StartModemManager();
    const std::string modem = Ctl({"AddModem", "Acme", "ZX 56K"});
    Open();
    Data->Settings.SetDeviceName("Acme ZX 56K");
    ASSERT_TRUE(Data->StartTapiMonitor(false));
    Ctl({"RemoveModem", modem});
    ASSERT_TRUE(Until([&] { return !Data->TapiMonitor.Monitoring(); }));
    EXPECT_EQ(Data->Settings.DeviceName(), "(Nessuno)");
    ASSERT_FALSE(Messages.empty());
    EXPECT_EQ(Messages.back(), "Monitoraggio modem terminato\r[Acme ZX 56K: Il modem non è più presente]");
}

TEST_F(TWatched, NoModemsAndNoModemManager)
{
    // No ModemManager on the bus: no lines, the reason kept, the setting left alone.
    Open();
    Data->Settings.SetDeviceName("(Nessuno)");
    EXPECT_FALSE(Data->StartTapiMonitor(false));
    EXPECT_TRUE(Data->TapiMonitor.Devices().empty());
    EXPECT_EQ(Data->TapiMonitor.LastError(), "Fallita la GetManagedObjects: ModemManager non è in esecuzione");
    EXPECT_TRUE(Messages.empty());

    // ModemManager without modems.
    StartModemManager();
    Data.reset();
    Open();
    Data->Settings.SetDeviceName("(Nessuno)");
    EXPECT_FALSE(Data->StartTapiMonitor(false));
    EXPECT_EQ(Data->TapiMonitor.LastError(), "Non sono configurati dispositivi TAPI");
    EXPECT_EQ(Data->Settings.DeviceName(), "(Nessuno)");
    EXPECT_TRUE(Messages.empty());
}

TEST_F(TFakeModemManager, TheCommandLineListsTheModems)
{
    ::setenv("QUORVANTA_MODEMMANAGER_BUS", Address.c_str(), 1);
    const TRun none = Cli({"--data-dir", Dir.Path, "modems"});
    EXPECT_EQ(none.Out, "Nessun modem: Fallita la GetManagedObjects: ModemManager non è in esecuzione\n");
    StartModemManager();
    Ctl({"AddModem", "Acme", "ZX 56K"});
    Ctl({"AddModem", "Huawei", "E3372"});
    const TRun two = Cli({"--data-dir", Dir.Path, "modems"});
    ::unsetenv("QUORVANTA_MODEMMANAGER_BUS");
    EXPECT_EQ(two.Code, 0) << two.Err;
    EXPECT_EQ(two.Out, "  Acme ZX 56K\n  Huawei E3372\n");
}
