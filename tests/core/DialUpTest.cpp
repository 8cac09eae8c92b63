// The dial-up monitor on the simulated service, in virtual time: the poll's classes and
// notifications, dialling with its steps and errors, and whole connections through the data module.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "detection/RasControl.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/sim/SimDialUp.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

struct TDialUp : testing::Test
{
    TTestContext Ctx{At(2026, 12, 9, 10, 0)};
    TSimDialUp Sim{Ctx.Time, Ctx.Time};
    TRasControl Ras{Ctx.Services, Sim};
    std::vector<std::string> Log;
    TDialUp()
    {
        Sim.AddDemoEntries();
        Ras.OnRasOffLine = [this] { Log.push_back("OffLine"); };
        Ras.OnRasDialing = [this] { Log.push_back("Dialing"); };
        Ras.OnRasConnecting = [this] { Log.push_back("Connecting"); };
        Ras.OnRasOnLine = [this] { Log.push_back("OnLine"); };
        Ras.OnRasChangeConnectionsNumber = [this] { Log.push_back("Count" + std::to_string(Ras.ConnectionCount())); };
        Ras.SetCheckBusy(true);
    }
};

} // namespace

TEST_F(TDialUp, PollReportsEachClassChangeOnce)
{
    Ctx.Time.Advance(1000);
    EXPECT_TRUE(Log.empty());
    Sim.BringUp("Provider Uno", 2);
    Ctx.Time.Advance(5000);
    EXPECT_EQ(Log, (std::vector<std::string>{"Count1", "Dialing", "Connecting", "OnLine"}));
    EXPECT_EQ(Ras.RasControlProcedure, "DoCheckConnection");
    Log.clear();
    Sim.BringUp("Provider Due", 1); // a second connection: the first one still decides
    Ctx.Time.Advance(3000);
    EXPECT_EQ(Log, std::vector<std::string>{"Count2"});
    Sim.BringDown("Provider Uno");
    Sim.BringDown("Provider Due");
    Ctx.Time.Advance(1000);
    EXPECT_EQ(Log, (std::vector<std::string>{"Count2", "Count0", "OffLine"}));
    // A failing enumeration is class 4: nothing is reported and the class is kept.
    Sim.FailEnumeration = true;
    EXPECT_EQ(Ras.RasLineState(), 4);
    Log.clear();
    Ctx.Time.Advance(2000);
    EXPECT_TRUE(Log.empty());
}

TEST_F(TDialUp, EntryFunctions)
{
    std::vector<std::string> entries;
    Ras.RasEntries(entries);
    EXPECT_EQ(entries, (std::vector<std::string>{"Provider Due", "Provider Uno", "Servizio Premium"}));
    EXPECT_TRUE(Ras.IsRasEntry("Provider Uno"));
    EXPECT_FALSE(Ras.IsRasEntry("provider uno"));
    EXPECT_EQ(Ras.EntryPhoneNumber("Provider Uno"), "0702002");
    EXPECT_EQ(Ras.EntryPhoneNumber("Servizio Premium"), "00882164466771");
    Sim.PhoneBook["Provider Due"].Properties = {true, 39, "06", "1234567"};
    EXPECT_EQ(Ras.EntryPhoneNumber("Provider Due"), "061234567"); // Italy: no international part
    EXPECT_EQ(Ras.EntryPhoneNumber("Nessuno"), "");
    EXPECT_EQ(Ras.RasErrorText(1), "Impossibile caricare dinamicamente la funzione dalla DLL");
    EXPECT_EQ(Ras.RasErrorText(676), "La linea è occupata.");
    EXPECT_EQ(Ras.GetEntryCredentials("Provider Uno").Password, "segreta");
}

TEST_F(TDialUp, OwnDialReportsItsSteps)
{
    std::vector<std::string> events;
    Ras.OnRasEvent = [&](const std::string& e) { events.push_back(e); };
    std::string started;
    Ras.OnRasStartConnecting = [&](const std::string& e, const std::string&, const std::string&,
                                   const std::string& number) { started = e + " " + number; };
    Ras.Dial("Provider Uno", "utente", "segreta");
    EXPECT_EQ(started, "Provider Uno 0702002");
    Ctx.Time.Advance(6000);
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events[2], "Provo a fare il numero 0702002");
    EXPECT_EQ(events.back(), "Siamo in rete!");
    EXPECT_EQ(Log.back(), "OnLine");
    EXPECT_EQ(Ras.ConnectionAddress("Provider Uno"), "151.24.3.7");
    Ras.HangUpAll();
    EXPECT_EQ(Log.back(), "OnLine"); // pppd takes the link down before it ends
    Ctx.Time.Advance(1000);
    EXPECT_EQ(Log.back(), "OffLine");
    EXPECT_FALSE(Ras.HasConnections());
}

TEST_F(TDialUp, WrongPasswordErasesItBeforeTheErrorAndBusyHangsUpTwice)
{
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::WrongPassword;
    std::vector<std::string> order;
    Ras.OnWrongPassword = [&] { order.push_back("WrongPassword"); };
    Ras.OnRasError = [&](int error, int step) {
        order.push_back("Error " + std::to_string(error) + " at " + std::to_string(step) + " password '" +
                        Sim.PhoneBook["Provider Uno"].Credentials.Password + "'");
    };
    Ras.Dial("Provider Uno", "utente", "segreta");
    Ctx.Time.Advance(6000);
    EXPECT_EQ(order, (std::vector<std::string>{"WrongPassword", "Error 691 at 5 password ''"}));
    EXPECT_FALSE(Ras.HasConnections());

    Sim.PhoneBook["Provider Due"].Outcome = TSimOutcome::Busy;
    order.clear();
    int disconnecting = 0;
    Ras.OnRasDisconnecting = [&] { ++disconnecting; };
    Ras.OnRasLineBusy = [&] { order.push_back("Busy"); };
    Ras.Dial("Provider Due", "anna", "x");
    Ctx.Time.Advance(6000);
    EXPECT_EQ(order, (std::vector<std::string>{"Busy", "Error 676 at 2 password ''"}));
    // The ended pppd stays listed until its error has been told; the hang-ups it gets are harmless.
    EXPECT_GE(disconnecting, 1);
    EXPECT_FALSE(Ras.HasConnections());
}

namespace {

// The program's data with the simulated service, monitoring on.
struct TMonitored : testing::Test, TDiskContext
{
    TSimDialUp Sim{Time, Time};
    std::unique_ptr<TDataModule> Data;
    TMonitored() : TDiskContext(At(2026, 12, 9, 10, 0))
    {
        Sim.AddDemoEntries();
        Data = std::make_unique<TDataModule>(Services, nullptr, &Sim);
        Data->LoadAll();
        Data->Status.SetProfile(&Data->Settings.Profiles()[0]);
    }
    TStatus& Status() { return Data->Status; }
    std::vector<TMtxStateMatrixStatus> States;
    void Watch()
    {
        Data->OnStateShown = [this](TMtxStateMatrixStatus s) { States.push_back(s); };
    }
};

} // namespace

TEST_F(TMonitored, ConnectionDialledByAnotherProgramIsCountedAndLogged)
{
    Data->Settings.Entrys().EntryFor("Provider Uno", keRAS).SetTaxName("Telecom - TAT Urbana");
    Status().SetTax(Data->Taxations.FindTax("Flat - Gratis"));
    Watch();
    Data->StartMonitoring();
    Sim.BringUp("Provider Uno", 2);
    Time.Advance(1000);
    EXPECT_EQ(Data->MtxStatus.State(), TMtxStateMatrixStatus::RasDialing);
    Time.Advance(1000);
    EXPECT_EQ(Data->MtxStatus.State(), TMtxStateMatrixStatus::RasStart);
    EXPECT_EQ(Status().EntryName(), "Provider Uno");
    EXPECT_EQ(Status().DialingNumber(), "0702002");
    EXPECT_EQ(Status().Tax(), Data->Taxations.FindTax("Telecom - TAT Urbana")); // chosen through the entry
    Time.Advance(1000);
    EXPECT_EQ(Data->MtxStatus.State(), TMtxStateMatrixStatus::RasConnected);
    EXPECT_EQ(Status().DinamicIP(), "151.24.3.7");
    Time.Advance(120000);
    EXPECT_GT(Status().BytesReceived(), 400000u);
    EXPECT_GT(Status().CostoLire(), 120);
    const double cost = Status().CostoLire();
    Sim.BringDown("Provider Uno");
    Time.Advance(1000);
    EXPECT_EQ(States, (std::vector<TMtxStateMatrixStatus>{TMtxStateMatrixStatus::RasDialing,
                                                          TMtxStateMatrixStatus::RasStart,
                                                          TMtxStateMatrixStatus::RasConnected,
                                                          TMtxStateMatrixStatus::Idle}));
    TDataUnits onDisk(Services);
    onDisk.ReadFromBytes(Files.ReadAll(Dir / "Connections.dat"));
    ASSERT_EQ(onDisk.Units().Count(), 1u);
    EXPECT_EQ(onDisk.Units()[0].N(), "Provider Uno");
    EXPECT_EQ(onDisk.Units()[0].Z(), "151.24.3.7");
    EXPECT_GT(onDisk.Units()[0].R(), 400000u);
    EXPECT_GT(onDisk.Units()[0].T(), 0u);
    EXPECT_NEAR(onDisk.Units()[0].L(), cost, 1.0);
    EXPECT_EQ(Status().StartTick(), 0u);
    EXPECT_EQ(Status().BytesReceived(), 0u);
}

TEST_F(TMonitored, EntryWithoutTariffAsksForOne)
{
    int needed = 0;
    Status().OnTaxNeeded = [&] { ++needed; };
    Data->StartMonitoring();
    Sim.BringUp("Provider Due", 1);
    Time.Advance(4000);
    EXPECT_EQ(needed, 1);
    EXPECT_TRUE(Status().IsCounting());
}

TEST_F(TMonitored, ConnectionAlreadyUpIsCountedAtOnceWithoutPreCount)
{
    Sim.BringUp("Provider Uno", 1);
    Time.Advance(3000); // on line before monitoring starts
    int preCounts = 0;
    Data->MtxStatus.OnStartPreCounting = [&](void*) { ++preCounts; };
    Watch();
    Data->StartMonitoring();
    Time.Advance(1000);
    EXPECT_EQ(States, std::vector<TMtxStateMatrixStatus>{TMtxStateMatrixStatus::RasConnected});
    EXPECT_EQ(preCounts, 0);
    EXPECT_TRUE(Status().IsCounting());
    EXPECT_EQ(Status().CostoLire(), 120);
}

TEST_F(TMonitored, OwnDialsThatFail)
{
    Data->StartMonitoring();
    int redials = 0;
    Data->OnRedial = [&] { ++redials; };
    // A busy line: nothing is charged or stored, the redial is asked for.
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
    Data->RasMonitor.Dial("Provider Uno", "utente", "segreta");
    Time.Advance(8000);
    EXPECT_EQ(redials, 1);
    EXPECT_EQ(Data->MtxStatus.State(), TMtxStateMatrixStatus::Idle);
    EXPECT_EQ(Data->Connections.Units().Count(), 0u);
    EXPECT_EQ(Status().LastRasError, 676);
    // A wrong password after the modem answered: the answered call is stored with its charge, and
    // the saved password is gone.
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::WrongPassword;
    Data->RasMonitor.Dial("Provider Uno", "utente", "segreta");
    Time.Advance(8000);
    EXPECT_EQ(Data->MtxStatus.State(), TMtxStateMatrixStatus::Idle);
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Connections.Units()[0].N(), "Errore RAS - Provider Uno");
    EXPECT_NEAR(Data->Connections.Units()[0].L(), 120, 5); // the charge and the seconds it was counted
    EXPECT_FALSE(Sim.PhoneBook["Provider Uno"].Credentials.PasswordSaved);
    // A drop right after the modem connected is stored the same way.
    Sim.PhoneBook["Provider Due"].Outcome = TSimOutcome::DropsAfterConnect;
    Data->RasMonitor.Dial("Provider Due", "anna", "x");
    Time.Advance(8000);
    EXPECT_EQ(Data->Connections.Units().Count(), 2u);
    EXPECT_EQ(Status().LastRasError, 629); // as pppd reports a hang-up
}
