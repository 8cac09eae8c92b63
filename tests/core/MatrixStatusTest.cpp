// The connection state machine: every cell of the matrix, its exception text, nesting, and the
// failed-dial decision; then a whole connection driven by events only.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "app/MatrixStatus.h"
#include "core/DateTime.h"
#include "platform/linux/LinuxFileSystem.h"

#include <gtest/gtest.h>
#include <map>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;
using E = TMtxEventMatrixStatus;

// The matrix as the design states it: (state, event) -> (notification, next state).
struct TExpected
{
    std::string Notify;
    S Next;
};
std::map<std::pair<S, E>, TExpected> ExpectedMatrix()
{
    return {
        {{S::Idle, E::RasDialing}, {"StartPreCounting", S::RasDialing}},
        {{S::Idle, E::RasConnecting}, {"StartCounting", S::RasStart}},
        {{S::Idle, E::RasConnected}, {"StartCounting", S::RasConnected}},
        {{S::Idle, E::ManualStart}, {"StartCounting", S::ManualStart}},
        {{S::Idle, E::AskHold}, {"", S::Ask}},
        {{S::Idle, E::TapiDialing}, {"StartPreCounting", S::TapiDialing}},
        {{S::Idle, E::TapiConnected}, {"StartCounting", S::TapiStart}},
        {{S::RasDialing, E::RasIdle}, {"", S::Idle}},
        {{S::RasDialing, E::RasConnecting}, {"StartCounting", S::RasStart}},
        {{S::RasDialing, E::RasConnected}, {"StartCounting", S::RasConnected}},
        {{S::RasDialing, E::RasError}, {"ShowRasError", S::Idle}},
        {{S::RasDialing, E::ManualStop}, {"CancelRasConnection", S::Idle}},
        {{S::RasDialing, E::AskHold}, {"", S::Ask}},
        {{S::RasDialing, E::Answered}, {"Responding", S::Idle}},
        {{S::RasDialing, E::NoAnswered}, {"ShowRasError", S::Idle}},
        {{S::TapiDialing, E::RasConnecting}, {"StartCounting", S::RasStart}},
        {{S::TapiDialing, E::RasConnected}, {"StartCounting", S::RasConnected}},
        {{S::TapiDialing, E::ManualStart}, {"StartCounting", S::ManualStart}},
        {{S::TapiDialing, E::AskHold}, {"", S::Ask}},
        {{S::TapiDialing, E::TapiConnected}, {"StartCounting", S::TapiStart}},
        {{S::TapiDialing, E::TapiIdle}, {"", S::Idle}},
        {{S::ManualStart, E::RasConnecting}, {"", S::RasStart}},
        {{S::ManualStart, E::RasConnected}, {"", S::RasConnected}},
        {{S::ManualStart, E::TapiConnected}, {"", S::TapiStart}},
        {{S::ManualStart, E::ManualStop}, {"StopCounting", S::Idle}},
        {{S::TapiStart, E::RasConnecting}, {"", S::RasStart}},
        {{S::TapiStart, E::RasConnected}, {"", S::RasConnected}},
        {{S::TapiStart, E::ManualStop}, {"StopCounting", S::Idle}},
        {{S::TapiStart, E::TapiIdle}, {"StopCounting", S::Idle}},
        {{S::RasStart, E::RasIdle}, {"StopCounting", S::Idle}},
        {{S::RasStart, E::RasConnected}, {"", S::RasConnected}},
        {{S::RasStart, E::RasError}, {"ShowRasError", S::RasStart}},
        {{S::RasStart, E::ManualStop}, {"CancelRasConnection", S::RasStart}},
        {{S::Ask, E::Answered}, {"Responding", S::Idle}},
        {{S::Ask, E::NoAnswered}, {"", S::Idle}},
        {{S::RasConnected, E::RasIdle}, {"StopCounting", S::Idle}},
        {{S::RasConnected, E::ManualStop}, {"CancelRasConnection", S::RasConnected}},
    };
}

// How to reach each state from Idle.
std::vector<E> PathTo(S s)
{
    switch (s) {
    case S::Idle:
        return {};
    case S::RasDialing:
        return {E::RasDialing};
    case S::TapiDialing:
        return {E::TapiDialing};
    case S::ManualStart:
        return {E::ManualStart};
    case S::TapiStart:
        return {E::TapiConnected};
    case S::RasStart:
        return {E::RasConnecting};
    case S::Ask:
        return {E::AskHold};
    case S::RasConnected:
        return {E::RasConnected};
    }
    return {};
}

struct TRecorder
{
    explicit TRecorder(TMtxMatrixStatus& m)
    {
        const auto note = [this](const char* n) { return [this, n](void*) { Notified.push_back(n); }; };
        m.OnStartCounting = note("StartCounting");
        m.OnStartPreCounting = note("StartPreCounting");
        m.OnShowRasError = note("ShowRasError");
        m.OnCancelRasConnection = note("CancelRasConnection");
        m.OnStopCounting = note("StopCounting");
        m.OnResponding = note("Responding");
        m.OnChangeState = [this](S from, E e) { Changes.emplace_back(from, e); };
    }
    std::vector<std::string> Notified;
    std::vector<std::pair<S, E>> Changes;
};

} // namespace

TEST(MatrixStatus, EveryCellRaisesItsNotificationAndMovesToItsState)
{
    const auto expected = ExpectedMatrix();
    int checked = 0;
    for (int si = 0; si < StateCount; ++si) {
        for (int ei = 0; ei < EventCount; ++ei) {
            const S s = static_cast<S>(si);
            const E e = static_cast<E>(ei);
            TMtxMatrixStatus m;
            TRecorder r(m);
            for (E step : PathTo(s))
                m.SetEvent(nullptr, step);
            ASSERT_EQ(m.State(), s);
            r.Notified.clear();
            r.Changes.clear();
            m.SetEvent(nullptr, e);
            const auto it = expected.find({s, e});
            const TExpected want = it == expected.end() ? TExpected{"", s} : it->second;
            const std::string where = std::string(TMtxMatrixStatus::StateName(s)) + "+" + TMtxMatrixStatus::EventName(e);
            EXPECT_EQ(m.State(), want.Next) << where;
            EXPECT_EQ(r.Notified, want.Notify.empty() ? std::vector<std::string>{} : std::vector<std::string>{want.Notify})
                << where;
            if (want.Next != s)
                EXPECT_EQ(r.Changes, (std::vector<std::pair<S, E>>{{s, e}})) << where;
            else
                EXPECT_TRUE(r.Changes.empty()) << where;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 104);
}

TEST(MatrixStatus, NamesPredicatesAndCountingAcrossMonitors)
{
    TMtxMatrixStatus m;
    EXPECT_STREQ(TMtxMatrixStatus::StateDescription(S::Ask), "Non so se il provider ha risposto");
    EXPECT_STREQ(TMtxMatrixStatus::EventName(E::TapiIdle), "TapiIdle");
    bool tick = false;
    m.HasStartTick = [&] { return tick; };
    m.SetEvent(nullptr, E::ManualStart);
    EXPECT_FALSE(m.IsCounting()); // no start tick: nothing counts
    tick = true;
    EXPECT_TRUE(m.IsCounting());
    TRecorder r(m);
    m.SetEvent(nullptr, E::RasConnecting);
    m.SetEvent(nullptr, E::RasConnected);
    EXPECT_TRUE(r.Notified.empty()); // the manual count carries on
    m.SetEvent(nullptr, E::RasIdle);
    EXPECT_EQ(r.Notified, std::vector<std::string>{"StopCounting"});
    m.SetEvent(nullptr, E::RasDialing);
    EXPECT_TRUE(m.IsDialing());
    EXPECT_TRUE(m.IsRasDialing());
}

TEST(MatrixStatus, ListenerFailureKeepsTheStateAndNamesTheStep)
{
    TMtxMatrixStatus m;
    m.OnStartCounting = [](void*) { throw EQvError("boom"); };
    try {
        m.SetEvent(nullptr, E::RasConnected);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "ESetEventException [4]  Eccezione nella SetEvent [Idle,RasConnected] di "
                               "TMtxMatrixStatusboom");
    }
    EXPECT_EQ(m.State(), S::Idle);
    m.OnStartCounting = nullptr;
    m.OnChangeState = [](S, E) { throw EQvError("x"); };
    try {
        m.SetEvent(nullptr, E::RasConnected);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("ESetEventException [6] ", 0), 0u);
    }
}

TEST(MatrixStatus, NestedEventsRunAtOnceAndAreReportedInDebug)
{
    TMtxMatrixStatus m;
    std::vector<std::string> messages;
    m.EnableDebug = true;
    m.ShowMessage = [&](const std::string& t) { messages.push_back(t); };
    std::vector<std::pair<S, E>> changes;
    m.OnChangeState = [&](S from, E e) { changes.emplace_back(from, e); };
    // The pre-count listener feeds RasConnected: the nested call moves to RasConnected, then the outer
    // call compares its own next state (RasDialing) with it and sets it.
    m.OnStartPreCounting = [&](void*) { m.SetEvent(nullptr, E::RasConnected); };
    m.SetEvent(nullptr, E::RasDialing);
    EXPECT_EQ(m.State(), S::RasDialing);
    EXPECT_EQ(changes, (std::vector<std::pair<S, E>>{{S::Idle, E::RasConnected}, {S::Idle, E::RasDialing}}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Attenzione: richiamata la SetEvent [Idle,RasConnected] in una funzione!\rEvento RasDialing "
                           "in esecuzione");
}

namespace {

struct TDialFailure : testing::Test
{
    TTestContext Ctx{EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0, 0)};
    TDataModule Data{Ctx.Services};
    TDialFailure()
    {
        Data.LoadAll();
        Data.MtxStatus.SetEvent(nullptr, E::RasDialing);
    }
};

} // namespace

TEST_F(TDialFailure, BusyLineAfterTheDeviceConnectedIsStillAnError)
{
    std::vector<std::string> n;
    Data.MtxStatus.OnShowRasError = [&](void*) { n.push_back("ShowRasError"); };
    Data.Status.DialFailed(676, 3);
    EXPECT_EQ(n, std::vector<std::string>{"ShowRasError"});
    EXPECT_EQ(Data.MtxStatus.State(), S::Idle);
}

TEST_F(TDialFailure, DialledStepAsksAndConnectedStepStoresTheCall)
{
    Data.Status.DialFailed(680, 2);
    EXPECT_EQ(Data.MtxStatus.State(), S::Ask);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Ctx.Time.Advance(10);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text, "La connessione non è riuscita!\r\rC'è stata risposta alla chiamata?");
    EXPECT_EQ(Data.MtxStatus.State(), S::Idle);
    ASSERT_EQ(Data.Connections.Units().Count(), 1u); // answered: stored with its opening charge
    EXPECT_EQ(Data.Connections.Units()[0].L(), 120);

    std::vector<std::string> hints;
    Data.Status.OnHint = [&](const std::string& h) { hints.push_back(h); };
    Data.MtxStatus.SetEvent(nullptr, E::RasDialing);
    Data.Status.DialFailed(718, 5);
    EXPECT_EQ(Data.MtxStatus.State(), S::Idle);
    EXPECT_EQ(Data.Connections.Units().Count(), 2u);
    EXPECT_EQ(hints.back(), "La connessione a vuoto è costata 120 £ire\rMaledizione! @#@##");
}

TEST_F(TDialFailure, TariffWithoutOpeningChargeDropsTheAttempt)
{
    Data.Status.SetTax(Data.Taxations.FindTax("Flat - Gratis"));
    Data.Status.DialFailed(718, 5);
    EXPECT_EQ(Data.MtxStatus.State(), S::Idle);
    EXPECT_TRUE(Ctx.Prompter.Shown.empty());
    EXPECT_EQ(Data.Connections.Units().Count(), 0u);
}

TEST(TypicalConnection, DrivenByEventsFromDialToTheLogOnDisk)
{
    TDiskContext disk(At(2026, 12, 9, 10, 0));
    VirtualTime& time = disk.Time;
    TLinuxFileSystem& files = disk.Files;
    TServices& services = disk.Services;
    TTempDir& dir = disk.Dir;
    TRecordingSounds sounds;
    TDataModule data(services, &sounds);
    data.LoadAll();
    data.Status.SetProfile(&data.Settings.Profiles()[0]);
    data.Settings.Entrys().EntryFor("Tiscali", keRAS).SetTaxName("Telecom - TAT Urbana");
    std::vector<TConnectionData> saved;
    data.Status.OnConnectionSaved = [&](const TConnectionData& c) { saved.push_back(c); };

    data.Status.SetEntryName("Tiscali");
    data.MtxStatus.SetEvent(nullptr, E::RasDialing); // the dialler starts: pre-count
    EXPECT_NE(data.Status.StartTick(), 0u);
    EXPECT_EQ(data.Status.CostoLire(), 0);
    time.Advance(5000); // five seconds of dialling (the entry's dial time is not charged)
    EXPECT_EQ(data.Status.Elapsed(), 0);
    data.MtxStatus.SetEvent(nullptr, E::RasConnected); // on line: the charge at the answer
    EXPECT_EQ(data.Status.CostoLire(), 120);
    time.Advance(3 * 60 * 1000); // three minutes priced per minute
    EXPECT_NEAR(data.Status.CostoLire(), 120 + 180 * 36.72 / 60, 1e-9);
    data.MtxStatus.SetEvent(nullptr, E::RasIdle); // hung up
    EXPECT_EQ(data.MtxStatus.State(), S::Idle);
    ASSERT_EQ(saved.size(), 1u);

    TDataUnits onDisk(services);
    onDisk.ReadFromBytes(files.ReadAll(dir / "Connections.dat"));
    ASSERT_EQ(onDisk.Units().Count(), 1u);
    const TDataUnitsItem& u = onDisk.Units()[0];
    EXPECT_EQ(u.N(), "Tiscali");
    EXPECT_EQ(DurationToSeconds(u.Duration()), 180);
    EXPECT_NEAR(u.L(), 120 + 180 * 36.72 / 60, 1e-9);
    EXPECT_EQ(FormatDateTime("hh:nn:ss", u.I()), "10:00:00");
    EXPECT_EQ(data.Status.StartTick(), 0u);
    EXPECT_EQ(data.Status.CostoLire(), 0);
    EXPECT_EQ(data.Status.EntryName(), "");
    TStatus reread(services, data.Settings, data.Connections);
    reread.ReadFromBytes(files.ReadAll(dir / "Status.dat"));
    EXPECT_EQ(reread.StartTime(), 0);
    EXPECT_EQ(reread.CostoLire(), 0);
}
