// The dial window and the international-number guard with the simulated dial-up service, in
// virtual time.
#include "FakeViews.h"
#include "TestSupport.h"
#include "platform/sim/SimDialUp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;

bool Contains(const std::vector<std::string>& lines, const std::string& text)
{
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

struct TDialWindow : testing::Test
{
    TTestContext Ctx{At(2026, 12, 9, 10, 0)};
    TSimDialUp Sim{Ctx.Time, Ctx.Time};
    std::unique_ptr<TDataModule> Data;
    TFakeView MainView;
    TFakeWaitRasView View;
    std::unique_ptr<TMainController> Main;
    std::unique_ptr<TWaitRasController> Dial;
    std::vector<std::string> Dialled; // the entries handed to the dial-up service, in order
    TDialWindow()
    {
        Sim.AddDemoEntries();
        Data = std::make_unique<TDataModule>(Ctx.Services, nullptr, &Sim);
        Data->LoadAll();
        Data->Status.SetProfile(&Data->Settings.Profiles()[0]);
        for (const char* e : {"Provider Uno", "Provider Due"})
            Data->Settings.Entrys().EntryFor(e, keRAS).SetTaxName("Telecom - TAT Urbana");
        Main = std::make_unique<TMainController>(Ctx.Services, *Data, MainView);
        Dial = std::make_unique<TWaitRasController>(Ctx.Services, *Data, View);
        Main->AttachDialWindow(Dial.get());
        Data->RasMonitor.OnRasStartConnecting = [this](const std::string& entry, const std::string&,
                                                       const std::string&, const std::string&) {
            Dialled.push_back(entry);
        };
        Data->StartMonitoring();
    }
    ~TDialWindow() override
    {
        Main.reset();
        Dial.reset();
    }
    void Ms(std::int64_t n) { Ctx.Time.Advance(n); }
    // Three entries that share one tariff (and only they have it), each answering busy.
    void ThreeBusyEntries()
    {
        for (const char* name : {"A", "B", "C"}) {
            TSimDialUp::TEntry& e = Sim.AddEntry(name, std::string("02555000") + name[0]);
            e.Credentials = {"u", "p", true};
            e.Outcome = TSimOutcome::Busy;
            Data->Settings.Entrys().EntryFor(name, keRAS).SetTaxName("Flat - Gratis");
        }
        Data->Status.SetTax(Data->Taxations.FindTax("Flat - Gratis"));
    }
};

} // namespace

TEST_F(TDialWindow, ConnectsThroughTheWindowWhichClosesOnLine)
{
    Data->Status.Dial("Provider Uno", 100);
    EXPECT_TRUE(View.Visible);
    EXPECT_EQ(View.Caption, "Connessione a Provider Uno");
    EXPECT_EQ(View.CancelCaption, "&Annulla");
    EXPECT_FALSE(View.RetryVisible);
    EXPECT_FALSE(View.EntriesEnabled);
    EXPECT_EQ(View.Entries, (std::vector<std::string>{"Provider Due", "Provider Uno", "Servizio Premium"}));
    EXPECT_EQ(View.Selected, "Provider Uno");
    EXPECT_EQ(View.Memo, std::vector<std::string>{"Connessione a Provider Uno in corso..."});
    EXPECT_EQ(Data->Status.DialingNumber(), "0702002");
    EXPECT_TRUE(Dialled.empty()); // the delay runs first
    Ms(100);
    EXPECT_EQ(Dialled, std::vector<std::string>{"Provider Uno"});
    EXPECT_TRUE(Data->Status.DialRequested());
    EXPECT_EQ(Data->MtxStatus.State(), S::RasDialing);
    EXPECT_EQ(View.StateLabel, TMtxMatrixStatus::StateDescription(S::RasDialing));
    Ms(3000);
    EXPECT_TRUE(Contains(View.Memo, "WOW il modem s'è connesso!"));
    EXPECT_GT(View.Progress, 2);
    Ms(4000);
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected);
    EXPECT_FALSE(View.Visible);
    EXPECT_FALSE(Dial->IsDialWindowOpen());
    EXPECT_EQ(View.StatusLine, "");
    EXPECT_TRUE(View.Boxes.empty());
}

TEST_F(TDialWindow, SavedPasswordNeverAsksMissingOneAsksEveryAttempt)
{
    // A saved password: two busy attempts, no box.
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
    Data->Status.Dial("Provider Uno", 100);
    Ms(100 + 3000 + 9000 + 1000);
    EXPECT_EQ(Dial->Attempt(), 2);
    EXPECT_EQ(Dialled.size(), 2u);
    EXPECT_TRUE(View.Boxes.empty());
    Dial->CancelClicked();
    EXPECT_FALSE(View.Visible);
    Ms(5000);

    // No saved password: the box on every attempt, an empty user refused, the password saved only
    // when asked to.
    Sim.PhoneBook["Provider Due"].Outcome = TSimOutcome::Busy;
    View.Typed = {TFakeWaitRasView::TTyped{"", "x", false}, TFakeWaitRasView::TTyped{"anna", "pw", false},
                  TFakeWaitRasView::TTyped{"anna", "pw2", true}};
    Data->Status.Dial("Provider Due", 100);
    Ms(100);
    ASSERT_EQ(View.Boxes.size(), 1u);
    EXPECT_EQ(View.Boxes[0].Caption, "Connessione a: Provider Due");
    EXPECT_EQ(View.Boxes[0].User, "anna");
    EXPECT_TRUE(View.Boxes[0].FocusPassword);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text, "Manca il nome utente!");
    EXPECT_FALSE(Sim.PhoneBook["Provider Due"].Credentials.PasswordSaved);
    EXPECT_EQ(Dialled.back(), "Provider Due");
    Ms(3000 + 9000 + 1000);
    EXPECT_EQ(View.Boxes.size(), 2u); // asked again
    EXPECT_TRUE(Sim.PhoneBook["Provider Due"].Credentials.PasswordSaved);
    EXPECT_EQ(Sim.PhoneBook["Provider Due"].Credentials.Password, "pw2");
    Ms(3000 + 9000 + 1000);
    EXPECT_EQ(View.Boxes.size(), 2u); // saved now: not asked
    EXPECT_EQ(Dial->Attempt(), 3);
}

TEST_F(TDialWindow, CancelledCredentialsBoxCancelsTheDial)
{
    Data->Status.Dial("Provider Due", 100);
    Ms(100); // the box is cancelled (no typed answer)
    EXPECT_EQ(View.Boxes.size(), 1u);
    EXPECT_FALSE(View.Visible);
    EXPECT_TRUE(Contains(View.Memo, "Chiusura della connessione a Provider Due..."));
    EXPECT_EQ(Data->Status.DialingNumber(), "");
    Ms(10000);
    EXPECT_FALSE(std::count(Dialled.begin(), Dialled.end(), "Provider Due"));
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
}

TEST_F(TDialWindow, WindowClosedWhileTheBoxIsOpenDialsNothing)
{
    View.Typed = {TFakeWaitRasView::TTyped{"anna", "pw", false}};
    View.DuringBox = [this] { Main->Disconnect(false); };
    Data->Status.Dial("Provider Due", 100);
    Ms(100);
    EXPECT_EQ(View.Boxes.size(), 1u);
    EXPECT_FALSE(View.Visible);
    Ms(8000);
    EXPECT_TRUE(Dialled.empty());
}

TEST_F(TDialWindow, BusyLineShowsTheErrorAndCountsDownToTheRedial)
{
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
    Data->Status.Dial("Provider Uno", 100);
    Ms(100 + 3000);
    EXPECT_EQ(View.CancelCaption, "&Chiudi");
    EXPECT_TRUE(View.RetryVisible);
    EXPECT_TRUE(View.EntriesEnabled);
    EXPECT_FALSE(View.Animation);
    EXPECT_EQ(View.Beeps, 1);
    EXPECT_EQ(View.StateLabel, "La linea è occupata.");
    EXPECT_EQ(Dial->LastError(), "La linea è occupata.");
    EXPECT_TRUE(Contains(View.Memo, "Errore: La linea è occupata."));
    EXPECT_EQ(View.Fronts, 0); // a busy line does not take the foreground
    // Two entries share the tariff: the cycle choice is offered.
    EXPECT_TRUE(View.ModeVisible);
    EXPECT_EQ(View.ModeHint, "Prova con la connessione corrente");
    Ms(500);
    EXPECT_EQ(View.StatusLine.rfind("Quorvanta al prossimo tentativo [1] 00:0", 0), 0u) << View.StatusLine;
    EXPECT_FALSE(Contains(View.Memo, View.StatusLine)); // shown, not logged
    Ms(9600);
    EXPECT_EQ(Dial->Attempt(), 2);
    EXPECT_EQ(Dialled, (std::vector<std::string>{"Provider Uno", "Provider Uno"})); // mode 0: the same entry
    EXPECT_TRUE(Contains(View.Memo, "Connessione [2] a Provider Uno in corso..."));
    EXPECT_EQ(View.CancelCaption, "&Annulla");
    Ms(3600);
    EXPECT_EQ(View.StatusLine.rfind("Quorvanta al prossimo tentativo [2] ", 0), 0u) << View.StatusLine;
}

TEST_F(TDialWindow, CycleModeDialsTheEntriesOfTheTariffInTurn)
{
    ThreeBusyEntries();
    Data->Status.Dial("A", 100);
    Ms(100 + 3000);
    EXPECT_TRUE(View.ModeVisible);
    Dial->ModeToggled(true);
    EXPECT_EQ(Data->Status.RedialMode, 2);
    EXPECT_EQ(View.ModeHint, "Riprova ciclicamente con \rA\rB\rC");
    // Each round: the delay, three seconds to the busy tone, nine to the redial.
    for (int round = 0; round < 4; ++round)
        Ms(12100);
    EXPECT_EQ(Dialled, (std::vector<std::string>{"A", "B", "C", "A", "B"}));
    EXPECT_EQ(Dial->Attempt(), 5);
    EXPECT_EQ(View.Caption, "Connessione a B");
    EXPECT_EQ(View.Selected, "B");
    // A new dial request starts the window afresh.
    Dial->CancelClicked();
    Data->Status.Dial("C", 100);
    EXPECT_EQ(Data->Status.RedialMode, 0);
    EXPECT_FALSE(View.ModeVisible);
    Ms(100);
    EXPECT_EQ(Dial->Attempt(), 1);
}

TEST_F(TDialWindow, RetryAndEntryChoiceAfterAnError)
{
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
    Data->Status.Dial("Provider Uno", 100);
    Ms(100 + 3000);
    Dial->EntryChosen("Provider Due");
    Sim.PhoneBook["Provider Due"].Credentials = {"anna", "x", true};
    Dial->RetryClicked();
    EXPECT_FALSE(Dial->TimerRecall().Enabled());
    Ms(10);
    EXPECT_EQ(Dialled.back(), "Provider Due");
    EXPECT_EQ(Dial->Attempt(), 2);
    Ms(6000);
    EXPECT_FALSE(View.Visible);
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected);
}

TEST_F(TDialWindow, WrongPasswordAfterAPaidCallTakesTheForeground)
{
    // The answered call is charged; with a cost on the log no redial is scheduled.
    Data->Status.SetTax(Data->Taxations.FindTax("Telecom - TAT Urbana"));
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::WrongPassword;
    Data->Status.Dial("Provider Uno", 100);
    Ms(100 + 4000 + 1100); // the ended pppd leaves the poll within a second of its error
    EXPECT_EQ(View.CancelCaption, "&Chiudi");
    EXPECT_GT(Data->Status.LastCost(), 0); // the stored call of this failure
    // A second failure now finds a cost on the log: no redial, and the program comes forward.
    Sim.PhoneBook["Provider Uno"].Credentials = {"utente", "segreta", true};
    Dial->RetryClicked();
    Ms(10 + 4000 + 1100);
    EXPECT_EQ(View.Fronts, 1);
    EXPECT_FALSE(Dial->TimerRecall().Enabled());
}

TEST_F(TDialWindow, FailedDialWithoutWindowOnlyShowsTheBalloon)
{
    Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
    Data->RasMonitor.Dial("Provider Uno", "utente", "segreta");
    Ms(4000);
    EXPECT_EQ(View.Shown, 0);
    EXPECT_TRUE(View.Memo.empty());
    EXPECT_EQ(View.Beeps, 0);
    EXPECT_FALSE(Dial->TimerRecall().Enabled());
    EXPECT_TRUE(Contains(MainView.General(), "Errore: La linea è occupata."));
    Ms(20000);
    EXPECT_EQ(Dialled.size(), 1u);
}

TEST_F(TDialWindow, MenuDisconnectAndClosingGoThroughTheWindow)
{
    Main->DialFromMenu("Provider Uno");
    EXPECT_TRUE(Dial->IsDialWindowOpen());
    Ms(1000);
    // A second menu choice while the window is open only brings it forward with its state.
    Main->DialFromMenu("Provider Due");
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text.rfind("Connessione a Provider Uno\r", 0), 0u);
    EXPECT_EQ(Dialled, std::vector<std::string>{"Provider Uno"});
    // Disconnecting while dialling hangs up and closes the window.
    Main->Disconnect(true);
    EXPECT_FALSE(View.Visible);
    Ms(2000);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
    // Closing the program cancels a dial the program asked for.
    Main->DialFromMenu("Provider Uno");
    Ms(1000);
    EXPECT_TRUE(Main->CloseQuery());
    EXPECT_FALSE(View.Visible);
    EXPECT_EQ(Data->Status.DialingNumber(), "");
}

TEST_F(TDialWindow, StartEntryAndSecondStartDialThroughTheWindow)
{
    Data->Settings.Profiles()[0].SetRasStartEntry("Provider Uno");
    Main->FirstActivation();
    Ms(500);
    EXPECT_TRUE(Dial->IsDialWindowOpen());
    Ms(4 * 1000 + 1 + 6000);
    EXPECT_EQ(Dialled, std::vector<std::string>{"Provider Uno"});
    EXPECT_FALSE(Dial->IsDialWindowOpen()); // on line
    // A second start while a dial window is open brings it forward instead of dialling again.
    Main->Disconnect(false);
    Ms(2000);
    Main->DialFromMenu("Provider Due");
    Main->SecondStart(static_cast<int>(TRunMode::rmNormal));
    EXPECT_GE(View.Fronts, 1);
    EXPECT_FALSE(Main->TimerDelayRasConnect().Enabled());
}

TEST(TDialWindowRules, RetryTimeStaysBelowAnHour)
{
    TTestContext ctx{At(2026, 12, 9, 10, 0)};
    TSimDialUp sim{ctx.Time, ctx.Time};
    sim.AddDemoEntries();
    TDataModule data(ctx.Services, nullptr, &sim);
    data.LoadAll();
    TFakeWaitRasView view;
    TWaitRasController dial(ctx.Services, data, view);
    sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
    data.Settings.Entrys().EntryFor("Provider Uno", keRAS).SetRetryTime(7200);
    data.StartMonitoring();
    data.Status.Dial("Provider Uno", 100);
    EXPECT_EQ(dial.RetrySeconds(), 3599);
    ctx.Time.Advance(3100);
    ctx.Time.Advance(500);
    EXPECT_EQ(view.StatusLine.rfind("Quorvanta al prossimo tentativo [1] 59:5", 0), 0u) << view.StatusLine;
    data.Settings.Entrys().EntryFor("Provider Uno", keRAS).SetRetryTime(-5);
    EXPECT_EQ(dial.RetrySeconds(), 0);
}

// ---- the international-number guard ----

namespace {

struct TGuard : TDialWindow
{
    // Runs the main thread's posted calls until the phone-book scan has finished.
    void FinishScan()
    {
        Main->FirstActivation();
        Ms(5000); // the end of start-up starts the scan
        ASSERT_NE(Main->InternationalCheck(), nullptr);
        for (int i = 0; i < 10000 && !Main->InternationalCheck()->Done(); ++i) {
            Ctx.Time.RunPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Ctx.Time.RunPosted();
        ASSERT_TRUE(Main->InternationalCheck()->Done());
    }
};

} // namespace

TEST_F(TGuard, ScanWarnsForEntriesAbroadOnly)
{
    Sim.AddEntry("Roma", "").Properties = {true, 39, "06", "5551234"};
    Sim.AddEntry("Zurigo", "").Properties = {true, 41, "44", "5551234"};
    bool pendingWhileShown = false;
    MainView.OnWarning = [&](TInternationalWarning& w) {
        pendingWhileShown = Data->QuestionPending;
        EXPECT_EQ(w.Prefix(), "00");
        EXPECT_TRUE(w.FromScan());
    };
    FinishScan();
    EXPECT_EQ(MainView.Warnings,
              (std::vector<std::string>{"Attenzione: la connessione «Servizio Premium» di pppd sembra essere "
                                        "impostata per un numero internazionale: 00882164466771",
                                        "Attenzione: la connessione «Zurigo» di pppd sembra essere impostata per "
                                        "un numero internazionale: 0041445551234"}));
    EXPECT_TRUE(pendingWhileShown);
    EXPECT_FALSE(Data->QuestionPending);
}

TEST_F(TGuard, EmptyPrefixNeverWarns)
{
    Data->Settings.SetInternationalPrefix("");
    FinishScan();
    Data->Status.Dial("Servizio Premium", 100);
    EXPECT_EQ(Data->Status.DialingNumber(), "00882164466771");
    EXPECT_TRUE(MainView.Warnings.empty());
}

TEST_F(TGuard, DialledNumberAbroadWarnsAndTheWindowSetsThePrefix)
{
    MainView.OnWarning = [&](TInternationalWarning& w) {
        EXPECT_FALSE(w.FromScan());
        EXPECT_EQ(w.OpeningText(),
                  "Attenzione: il numero selezionato 00882164466771 sembra essere un numero internazionale!");
        EXPECT_FALSE(w.Accept("0x1"));
        EXPECT_FALSE(w.Accept(""));
        EXPECT_FALSE(w.Accept("-1"));
        EXPECT_TRUE(w.Accept(" 0088 "));
    };
    Sim.PhoneBook["Servizio Premium"].Credentials = {"ospite", "x", true};
    Data->Status.Dial("Servizio Premium", 100);
    ASSERT_EQ(MainView.Warnings.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), 3u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text, "Il prefisso inserito non è valido");
    EXPECT_EQ(Data->Settings.InternationalPrefix(), "0088");
    // The guard only warns: the dial goes on.
    Ms(100);
    EXPECT_EQ(Dialled, std::vector<std::string>{"Servizio Premium"});
}

TEST(TInternationalScan, EndsWhenItsOwnerGoesWhileAWarningWaits)
{
    VirtualTime time;
    TSimDialUp sim{time, time};
    sim.AddDemoEntries();
    int shown = 0;
    {
        TCheckInternationalThread scan(time, sim, "00", [&](const std::string&, const std::string&) { ++shown; });
        // Nobody runs the posted call: the worker waits until the scan is destroyed.
    }
    time.RunPosted();
    EXPECT_EQ(shown, 0);
}

TEST(TInternationalScan, AFailingPhoneBookEndsTheScanWithItsMessage)
{
    struct TBrokenBook : TSimDialUp
    {
        using TSimDialUp::TSimDialUp;
        int EntryProperties(const std::string&, TRasEntryProperties&) override
        {
            throw std::runtime_error("rubrica illeggibile");
        }
    };
    VirtualTime time;
    TBrokenBook book{time, time};
    book.AddDemoEntries();
    int shown = 0;
    TCheckInternationalThread scan(time, book, "00", [&](const std::string&, const std::string&) { ++shown; });
    for (int i = 0; i < 10000 && !scan.Done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(scan.Done());
    EXPECT_EQ(scan.Error(), "rubrica illeggibile");
    time.RunPosted();
    EXPECT_EQ(shown, 0);
}

TEST_F(TDialWindow, TheTariffChooserIsAnsweredBeforeTheCredentialsBoxOpens)
{
    // "Provider Due" has no tariff of its own and no saved password: two questions, one at a time.
    Data->Settings.Entrys().EntryFor("Provider Due", keRAS).SetTaxName("");
    View.AnswerOpenQuestion = [&] {
        View.Order.push_back("tariff");
        Data->QuestionPending = false; // the chooser closes
    };
    View.Typed.push_back(TFakeWaitRasView::TTyped{"anna", "x", false});
    Data->Status.Dial("Provider Due", 100);
    Ms(200);
    EXPECT_EQ(MainView.Choosers, 1);
    EXPECT_EQ(View.Order, (std::vector<std::string>{"wait", "tariff", "credentials"}));
}
