// The modem line monitor on the simulated modem: its texts and failures, and the data module's
// handlers that feed the state machine, in virtual time.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "app/ModemSettings.h"
#include "platform/sim/SimModem.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;

struct TModemLine : testing::Test
{
    TTestContext Ctx{At(2026, 12, 9, 10, 0)};
    TSimModem Modem;
    std::unique_ptr<TDataModule> Data;
    std::vector<std::string> Messages;
    TModemLine()
    {
        Data = std::make_unique<TDataModule>(Ctx.Services, nullptr, nullptr, nullptr, &Modem);
        Data->LoadAll();
        Data->Status.SetProfile(&Data->Settings.Profiles()[0]);
        Data->OnGeneralMessage = [this](const std::string& m) { Messages.push_back(m); };
    }
    void Watch()
    {
        Data->Settings.SetDeviceName("MODEM SIMULATO 56K");
        ASSERT_TRUE(Data->StartTapiMonitor(false));
        ASSERT_EQ(Data->Settings.DeviceName(), "Modem simulato 56K");
    }
    S State() const { return Data->MtxStatus.State(); }
};

} // namespace

TEST_F(TModemLine, TextsOfTheLineAndItsFailures)
{
    EXPECT_EQ(TTapiControl::StateText(LINECALLSTATE_IDLE), "The call is idle no call actually exists");
    EXPECT_EQ(TTapiControl::StateText(3), "*** LINECALLSTATE NON GESTITO ***");
    TTapiControl& t = Data->TapiMonitor;
    Watch();
    std::vector<std::string> states, errors, order;
    t.OnChangeLineState = [&](const std::string& text, std::int64_t, std::int64_t, std::int64_t, std::int64_t) {
        states.push_back(text);
    };
    t.OnError = [&](const std::string& e) { errors.push_back(e); };
    t.OnDialing = [&](const TCallInfo& i) { order.push_back("dialing " + i.Number); };
    t.OnProceeding = [&](const TCallInfo&) { order.push_back("proceeding"); };
    t.OnConnected = [&](const TCallInfo& i) { order.push_back("connected " + std::to_string(i.Rate)); };
    t.OnDisconnected = [&](const TCallInfo&) { order.push_back("disconnected"); };
    Modem.Dial("0612345678");
    Modem.Proceed();
    Modem.Connect(56000);
    Modem.HangUp();
    EXPECT_EQ(order, (std::vector<std::string>{"dialing 0612345678", "proceeding", "connected 56000", "disconnected",
                                               "disconnected"}));
    ASSERT_EQ(states.size(), 5u);
    EXPECT_EQ(states[2], "The call has been established and the connection is made * AppName: ModemManager "
                         "dwLineDeviceID: 0 connesso a 56000");
    EXPECT_EQ(states[4], "The call is idle no call actually exists");

    // A call that is gone is reported, never raised; another failure goes to the program's handler.
    std::vector<std::string> exceptions;
    t.OnCallbackException = [&](const std::string& e) { exceptions.push_back(e); };
    Modem.FailCallInfo = LINEERR_INVALCALLHANDLE;
    Modem.Dial("06");
    EXPECT_EQ(errors.back(), "Fallita la GetCallInfo: La chiamata non esiste più");
    EXPECT_TRUE(exceptions.empty());
    Modem.FailCallInfo = MMERR_NOREPLY;
    Modem.Connect(0);
    ASSERT_EQ(exceptions.size(), 1u);
    EXPECT_EQ(exceptions[0], "Eccezione nella LineCallBack Fallita la GetCallInfo: ModemManager non risponde");

    // With the switch off (monitoring stopped) nothing comes through.
    t.StopMonitor();
    order.clear();
    Modem.Dial("06");
    EXPECT_TRUE(order.empty());
}

TEST_F(TModemLine, NoLinesOrNoServiceAtStart)
{
    Modem.Lines.clear();
    Data->Settings.SetDeviceName("(Nessuno)");
    EXPECT_FALSE(Data->StartTapiMonitor(false));
    EXPECT_EQ(Data->TapiMonitor.LastError(), "Nessun modem disponibile");
    EXPECT_TRUE(Messages.empty());

    TSimModem absent;
    absent.Running = false;
    TTapiControl t(Ctx.Services, absent);
    try {
        t.Initialize();
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Fallita la GetManagedObjects: ModemManager non è in esecuzione");
    }
    t.RaiseOnError = false;
    EXPECT_TRUE(t.Devices().empty());
}

TEST_F(TModemLine, AModemNotThereIsToldAndTheChoiceKept)
{
    Data->Settings.SetDeviceName("Modem sparito");
    EXPECT_FALSE(Data->StartTapiMonitor(true));
    EXPECT_EQ(Messages.back(), "Impossibile monitorare il modem Modem sparito\r[Il modem non è presente]");
    EXPECT_EQ(Data->Settings.DeviceName(), "Modem sparito"); // only the user changes it
}

TEST_F(TModemLine, AModemThatGoesAwayEndsItsCallAndIsWatchedAgainWhenBack)
{
    Watch();
    Modem.Dial("0612345678");
    Modem.Connect(56000);
    ASSERT_EQ(State(), S::TapiStart);
    Ctx.Time.Advance(30000);
    Modem.Vanish();
    EXPECT_EQ(State(), S::Idle);
    EXPECT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Messages.back(), "Il modem Modem simulato 56K non è presente: il monitoraggio riprende quando torna");
    EXPECT_TRUE(Data->TapiMonitor.Monitoring());
    EXPECT_EQ(Data->Settings.DeviceName(), "Modem simulato 56K");
    Modem.Return();
    EXPECT_EQ(Messages.back(), "Il modem Modem simulato 56K è di nuovo presente: monitoraggio ripreso");
    Modem.Dial("0612345678");
    EXPECT_EQ(State(), S::TapiDialing);
}

TEST_F(TModemLine, ADialledCallIsCountedAndLoggedUnderItsNumber)
{
    Watch();
    Modem.Dial("0612345678");
    EXPECT_EQ(State(), S::TapiDialing);
    EXPECT_EQ(Messages.back(), "Selezione del modem Modem simulato 56K in corso...");
    Ctx.Time.Advance(4000);
    Modem.Connect(56000);
    EXPECT_EQ(State(), S::TapiStart);
    EXPECT_EQ(Data->Status.CallRate(), 56000);
    Ctx.Time.Advance(60000);
    Modem.HangUp();
    EXPECT_EQ(State(), S::Idle);
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(Data->Connections.Units()[0].N(), "0612345678");
    EXPECT_GT(Data->Connections.Units()[0].L(), 0);
    // Told once, though the line reports both "disconnected" and "idle".
    EXPECT_EQ(std::count(Messages.begin(), Messages.end(), "Disconnessione del modem Modem simulato 56K"), 1);
}

TEST_F(TModemLine, OnlyConnectedCountsWithFullMonitoringAndADroppedDialAsksOrEnds)
{
    Watch();
    Modem.Connect(33600);
    EXPECT_EQ(State(), S::Idle);
    EXPECT_EQ(Data->Status.AppName(), "ModemManager");
    Modem.HangUp();
    Data->Settings.SetFullTapiMonitor(true);
    Modem.Connect(33600);
    EXPECT_EQ(State(), S::TapiStart);
    Modem.HangUp();
    EXPECT_EQ(State(), S::Idle);

    // A dial that ends before the answer is charged the opening (the default tariff has one), so
    // the program asks whether the call was answered; No drops it unlogged.
    Modem.Dial("0612345678");
    Ctx.Time.Advance(2000);
    Modem.HangUp();
    EXPECT_GT(Data->Status.CostoLire(), 0);
    EXPECT_EQ(State(), S::Ask);
    Ctx.Time.Advance(100);
    EXPECT_EQ(State(), S::Idle);
    EXPECT_EQ(Data->Connections.Units().Count(), 1u); // only the full-monitoring call before
}

TEST_F(TModemLine, TheSettingsPageChoosesTheLineOrNone)
{
    TModemSettings rules(*Data);
    EXPECT_EQ(rules.Choices(), (std::vector<std::string>{"(Nessuno)", "Modem simulato 56K"}));
    EXPECT_EQ(rules.Reason(), "");
    rules.Apply("Modem simulato 56K");
    EXPECT_TRUE(Data->TapiMonitor.Monitoring());
    EXPECT_EQ(Messages.back(), "Monitoraggio modem Modem simulato 56K avviato");
    EXPECT_EQ(rules.Current(), "Modem simulato 56K");
    rules.Apply("(Nessuno)");
    EXPECT_FALSE(Data->TapiMonitor.Monitoring());
    EXPECT_EQ(Messages.back(), "Monitoraggio modem terminato");
    EXPECT_EQ(Data->Settings.DeviceName(), "(Nessuno)");

    TSimModem empty;
    empty.Lines.clear();
    TDataModule other(Ctx.Services, nullptr, nullptr, nullptr, &empty);
    TModemSettings none(other);
    EXPECT_EQ(none.Choices(), (std::vector<std::string>{"(Nessuno)"}));
    EXPECT_EQ(none.Reason(), "Nessun modem disponibile");
}
