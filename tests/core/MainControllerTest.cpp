// The main window's rules with a fake view, in virtual time.
#include "TestSupport.h"
#include "FakeViews.h"
#include "app/DataClasses.h"
#include "app/MainController.h"
#include "app/TariffChooser.h"
#include "platform/sim/SimDialUp.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

using S = TMtxStateMatrixStatus;
using E = TMtxEventMatrixStatus;

struct TMain : testing::Test
{
    TTestContext Ctx{At(2026, 12, 9, 10, 0)};
    TSimDialUp Sim{Ctx.Time, Ctx.Time};
    std::unique_ptr<TDataModule> Data;
    TFakeView View;
    std::unique_ptr<TMainController> Main;
    TMain()
    {
        Sim.AddDemoEntries();
        Data = std::make_unique<TDataModule>(Ctx.Services, nullptr, &Sim);
        Data->LoadAll();
        Data->Status.SetProfile(&Profile());
        Data->Settings.Entrys().EntryFor("Provider Uno", keRAS).SetTaxName("Telecom - TAT Urbana");
        Main = std::make_unique<TMainController>(Ctx.Services, *Data, View);
    }
    TProfileItem& Profile() { return Data->Settings.Profiles()[0]; }
    void Seconds(int n) { Ctx.Time.Advance(n * 1000LL); }
    void OnLine()
    {
        Main->FirstActivation();
        Sim.BringUp("Provider Uno", 1);
        Seconds(3);
        ASSERT_EQ(Data->MtxStatus.State(), S::RasConnected);
    }
};

} // namespace

TEST_F(TMain, TimeLabelForms)
{
    EXPECT_EQ(TMainController::ElapsedText(-59), "-0.00.59");
    EXPECT_EQ(TMainController::ElapsedText(-75), "-0.01.15"); // a dial time of a minute or more
    EXPECT_EQ(TMainController::ElapsedText(26 * 3600 + 1), "26.00.01");
    EXPECT_EQ(TMainController::ElapsedText(307), "0.05.07");
}

TEST_F(TMain, ShorterLimitFiresFirst)
{
    TEntryItem& entry = Data->Settings.Entrys().EntryFor("Provider Uno", keRAS);
    entry.SetAutoDisconnect(true);
    entry.SetTimeOutConnection(3600);
    Profile().SetAutoDisconnect(true);
    Profile().SetTimeOutConnection(1800);
    Profile().SetAskDisconnect(false);
    int logChanges = 0;
    Main->OnLogChange = [&logChanges] { ++logChanges; }; // an open statistics window refreshes
    OnLine();
    const int start = Data->Status.Elapsed();
    Seconds(1800 - start);
    EXPECT_EQ(logChanges, 0);
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected);
    Seconds(2);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle); // at 1801 s: hung up, and the RasIdle that followed ended the count
    EXPECT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_EQ(logChanges, 1);
    const auto general = View.General();
    EXPECT_NE(std::find(general.begin(), general.end(), "Tempo di connessione scaduto!!!"), general.end());
}

TEST_F(TMain, LimitAnsweredNoEndsAutomaticDisconnection)
{
    Profile().SetAutoDisconnect(true);
    Profile().SetTimeOutConnection(60);
    OnLine();
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    Seconds(60);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text, "Tempo scaduto!!!\r\rInterrompi la connessione?");
    Data->Status.ScheduledDisconnect = Ctx.Time.Now();
    Seconds(120);
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), 1u);
}

TEST_F(TMain, ScheduledTimeAlreadyPastDisconnectsOnTheFirstTick)
{
    Main->FirstActivation();
    Data->Status.ScheduledDisconnect = Ctx.Time.Now() - 0.01;
    Data->ManualStart();
    Seconds(1);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
    EXPECT_EQ(Data->Connections.Units().Count(), 1u);
    const auto general = View.General();
    EXPECT_NE(std::find(general.begin(), general.end(), "È l'ora X di disconnessione!!!"), general.end());
}

TEST_F(TMain, ScheduledTimeInATapiCountStopsItAndShutsDown)
{
    Main->FirstActivation();
    Data->MtxStatus.SetEvent(nullptr, E::TapiDialing);
    Data->MtxStatus.SetEvent(nullptr, E::TapiConnected);
    Data->Status.ScheduledDisconnect = Ctx.Time.Now() + 2 * OneSecond;
    Data->Status.ScheduledShutdown = true;
    Seconds(3);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
    EXPECT_TRUE(Ctx.Prompter.Shown.empty());
    EXPECT_EQ(Ctx.System.PowerOffRequests, std::vector<bool>{false});
}

TEST_F(TMain, DisconnectDuringAManualCountEndsItAndHangsUpDialUp)
{
    Main->FirstActivation();
    Data->ManualStart();
    Sim.BringUp("Provider Due", 1); // another connection the program did not start
    Seconds(5);
    EXPECT_EQ(Data->MtxStatus.State(), S::RasConnected);
    Data->MtxStatus.SetEvent(nullptr, E::ManualStop);
    Main->Disconnect(true);
    Seconds(1);
    EXPECT_EQ(Data->MtxStatus.State(), S::Idle);
    EXPECT_FALSE(Data->RasMonitor.HasConnections());
}

TEST_F(TMain, TrayHintPauseMinusOneSilencesTheGeneralBalloon)
{
    Profile().SetTrayHintPause(-1);
    Main->ApplyTrayHintPause();
    Main->StartupQuiet = false;
    OnLine();
    Seconds(2);
    Sim.BringDown("Provider Uno");
    Seconds(1);
    EXPECT_TRUE(View.General().empty());
    for (const auto& [b, t] : View.Balloons)
        EXPECT_NE(b, TBalloon::Comparison);
}

TEST_F(TMain, WinstartSkipsTheFirstAutomaticDialASecondStartDials)
{
    Profile().SetRasStartEntry("Provider Uno");
    Main->StartedByWinStart = true;
    std::vector<std::string> dials;
    Data->Status.OnDialRequest = [&](const std::string& e) { dials.push_back(e); };
    Main->FirstActivation();
    Seconds(1);
    EXPECT_TRUE(dials.empty());
    Main->SecondStart(static_cast<int>(TRunMode::rmNormal));
    Seconds(1);
    EXPECT_EQ(dials, std::vector<std::string>{"Provider Uno"});
    Main->SecondStart(static_cast<int>(TRunMode::rmInstall)); // the installer is ignored
    Seconds(1);
    EXPECT_EQ(dials.size(), 1u);
}

TEST_F(TMain, BandMessagesAreNotRepeated)
{
    Main->StartupQuiet = false;
    Data->Status.OnBandChange(foIntera);
    Data->Status.OnBandChange(foIntera);
    Data->Status.OnBandChange(foRidotta);
    EXPECT_EQ(View.General(), (std::vector<std::string>{"Maledizione... siamo nella fascia intera!",
                                                        "fiuuu... siamo nella fascia ridotta!"}));
    EXPECT_EQ(View.Icon, foRidotta);
}

TEST_F(TMain, LabelsThroughAConnection)
{
    OnLine();
    Seconds(65);
    EXPECT_EQ(View.Labels[TMainLabel::Spesa], "£ " + std::to_string(static_cast<long long>(Data->Status.CostoLire())));
    EXPECT_EQ(View.Labels[TMainLabel::TempoTrascorso], TMainController::ElapsedText(Data->Status.Elapsed()));
    EXPECT_NE(View.Labels[TMainLabel::BytesReceived], "0");
    EXPECT_TRUE(View.DisconnectVisible);
    const TMenuState menu = Main->MenuState();
    EXPECT_TRUE(menu.Disconnect);
    EXPECT_FALSE(menu.Start);
    EXPECT_EQ(menu.IpCaption, "&Copia IP 151.24.3.7");
    Sim.BringDown("Provider Uno");
    Seconds(1);
    EXPECT_FALSE(View.DisconnectVisible);
    EXPECT_FALSE(Main->LastComparison.empty()); // cheaper tariffs exist for a TAT Urbana call
}

TEST_F(TMain, ClosingWhileOnLine)
{
    OnLine();
    Seconds(10);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrCancel);
    EXPECT_FALSE(Main->CloseQuery());
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Interrompere la connessione «Provider Uno»?");
    EXPECT_EQ(Data->Connections.Units().Count(), 0u);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_TRUE(Main->CloseQuery());
    EXPECT_EQ(Data->Connections.Units().Count(), 1u); // stored, the line stays up
    EXPECT_TRUE(Data->RasMonitor.HasConnections());
}

TEST_F(TMain, ClosingWhileOnLineYesHangsUpAndStores)
{
    OnLine();
    Seconds(10);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(Main->CloseQuery());
    EXPECT_EQ(Data->Connections.Units().Count(), 1u); // stored at once: the program may end now
    Seconds(1);
    EXPECT_FALSE(Data->RasMonitor.HasConnections());
}

TEST_F(TMain, SessionEndStoresARunningCountWithoutAQuestion)
{
    Data->ManualStart();
    Seconds(30);
    Main->SessionEnding();
    EXPECT_TRUE(Ctx.Prompter.Shown.empty());
    EXPECT_EQ(Data->Connections.Units().Count(), 1u);
}

// A dial that never came on line is not a connection: ending the session or closing the program
// while dialling logs nothing and leaves no count in "Status.dat" to be recovered.
TEST_F(TMain, EndingWhileDiallingLogsNothingAndLeavesNothingToRecover)
{
    for (const bool sessionEnd : {true, false}) {
        Data->Status.SetEntryName("Provider Uno");
        Data->MtxStatus.SetEvent(nullptr, E::RasDialing);
        Seconds(3);
        ASSERT_TRUE(Data->Status.IsDialing());
        if (sessionEnd)
            Main->SessionEnding();
        else
            EXPECT_TRUE(Main->CloseQuery());
        EXPECT_EQ(Data->Connections.Units().Count(), 0u) << sessionEnd;
        EXPECT_FALSE(Data->Status.HasPendingConnection()) << sessionEnd;
        Data->Status.Save();
        TStandaloneStatus stored(Ctx.Services);
        stored.ReadFromBytes(Ctx.Files.Files["/data/Status.dat"]);
        EXPECT_FALSE(stored.HasPendingConnection()) << sessionEnd;
        Data->MtxStatus.SetEvent(nullptr, E::RasIdle);
    }
}

TEST_F(TMain, TariffChooserAppliesDeletesAndRestores)
{
    TTariffChooser chooser(Ctx.Services, *Data);
    auto rows = chooser.Rows();
    ASSERT_EQ(rows.size(), 24u);
    EXPECT_TRUE(rows[0].Current);
    EXPECT_EQ(rows[0].Connections, std::vector<std::string>{"Provider Uno"});
    chooser.Apply(23);
    EXPECT_EQ(Data->Status.Tax()->DisplayName(), "Flat - Gratis");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_FALSE(chooser.Delete(23));
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(chooser.Delete(23));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Sei proprio sicuro di voler eliminare la tariffa «Flat - Gratis»?");
    EXPECT_EQ(Data->Taxations.Taxs().Count(), 23u);
    EXPECT_EQ(Data->Status.Tax(), &Data->Taxations.Taxs()[0]); // the first one after a deletion
    while (Data->Taxations.Taxs().Count() > 1) {
        Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
        ASSERT_TRUE(chooser.Delete(0));
    }
    EXPECT_FALSE(chooser.Delete(0));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Almeno una tariffa ci deve essere!");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(chooser.RestoreDefaults());
    EXPECT_EQ(Data->Taxations.Taxs().Count(), 24u);
    EXPECT_EQ(Data->Status.Tax(), &Data->Taxations.Taxs()[0]);
    EXPECT_NE(chooser.BandsText(0).find("Fasce orarie SABATO\rFascia ridotta dalle 0.00.00"), std::string::npos);
}

// The chooser opened for an entry without a tariff: applying the tariff preselected (the one in
// force) records it for the entry, so the chooser does not come back at its next connection.
TEST_F(TMain, ApplyingTheTariffInForceRecordsItForTheEntry)
{
    TTariffChooser chooser(Ctx.Services, *Data);
    Data->Status.SetTax(&Data->Taxations.Taxs()[0]);
    Data->Status.SetEntryName("Servizio Premium");
    const auto taxOf = [&](const std::string& name) {
        for (const auto& e : Data->Settings.Entrys())
            if (e->Nome() == name)
                return e->TaxName();
        return std::string("<nessuna>");
    };
    ASSERT_NE(taxOf("Servizio Premium"), "Telecom - TAT Urbana");
    EXPECT_EQ(chooser.Heading(),
              "Scegli la tariffa della connessione «Servizio Premium»: resterà sua anche le prossime volte");
    chooser.Apply(0);
    EXPECT_EQ(taxOf("Servizio Premium"), "Telecom - TAT Urbana");
}

TEST_F(TMain, ScheduledDisconnectionDialog)
{
    EXPECT_EQ(Main->ScheduleOnOpen().Moment, Ctx.Time.Now());
    EXPECT_EQ(*Main->ScheduleFromHours(" 2 "), Ctx.Time.Now() + 2.0 / 24);
    EXPECT_FALSE(Main->ScheduleFromHours("due"));
    EXPECT_FALSE(Main->ScheduleOk(EncodeDate(2026, 12, 9), EncodeTime(9, 0, 0, 0), false));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Uhm...l'orario specificato è già trascorso...");
    EXPECT_TRUE(Main->ScheduleOk(EncodeDate(2026, 12, 9), EncodeTime(23, 0, 0, 0), true));
    EXPECT_EQ(View.General().back(), "Disconnessione programmata: mercoledì 9 dicembre 2026 23:00:00");
    EXPECT_EQ(Main->ScheduleOnOpen().Moment, At(2026, 12, 9, 23, 0));
    EXPECT_TRUE(Main->ScheduleOnOpen().Shutdown);
    Main->ScheduleCancel();
    EXPECT_EQ(Data->Status.ScheduledDisconnect, 0);
    EXPECT_EQ(View.General().back(), "Annullata la disconnessione programmata");
}

TEST_F(TMain, ConnectionTimersAskForQueuedSmsAndCheckTheClockOnce)
{
    int queued = 0, sent = 0;
    std::vector<std::string> checks;
    Main->QueuedSms = [&] { return queued; };
    Main->SendQueuedSms = [&] { ++sent; };
    Main->StartTimeCheck = [&](const std::string& server) { checks.push_back(server); };
    Data->Settings.SetAutoTimeCheck(true);
    Data->Settings.SetTimeServer("ntp.example.org");
    OnLine();
    Seconds(60);
    EXPECT_TRUE(Ctx.Prompter.Shown.empty()); // nothing queued: the timer waits
    EXPECT_EQ(checks, std::vector<std::string>{"ntp.example.org"});
    queued = 3;
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Seconds(60);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text, "Ci sono 3 messaggini in coda!\r\rLi vuoi inviare adesso?");
    EXPECT_EQ(sent, 1);
    Seconds(180);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(checks.size(), 1u);
    EXPECT_FALSE(Main->TimerCheckTime().Enabled());
}

TEST_F(TMain, MultipleConnectionsAndUnreadableByteCountersAreTold)
{
    OnLine();
    Sim.BringUp("Provider Due", 1);
    Seconds(1);
    const auto general = View.General();
    EXPECT_NE(std::find(general.begin(), general.end(),
                        "Peccato... Quorvanta ha rilevato la presenza di più connessioni pppd [2] \rma non è ancora "
                        "in grado di gestirne il costo! :("),
              general.end());
    // Counters that cannot be read are told once in the tariff balloon, not tried every second.
    Sim.FailByteCounts = true;
    Seconds(5);
    const auto told = std::count_if(View.Balloons.begin(), View.Balloons.end(), [](const auto& b) {
        return b.first == TBalloon::Tariff && b.second == "Impossibile controllare i bytes in ingresso\\uscita!";
    });
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(Data->Performance.ActiveRAS());
}

TEST_F(TMain, TheLastBytesAreReadWhenTheCountStops)
{
    OnLine();
    Seconds(10);
    const std::uint32_t during = Data->Status.BytesReceived();
    EXPECT_GT(during, 0u);
    Ctx.Time.Advance(900); // the count stops between two refreshes, while the line is still there
    Sim.BytesPerSecondIn = 100000; // what a last read finds
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    ASSERT_TRUE(Main->CloseQuery());
    ASSERT_EQ(Data->Connections.Units().Count(), 1u);
    EXPECT_GT(Data->Connections.Units()[0].R(), during);
}

TEST_F(TMain, TheStartShowsTheTariffAndTheLabelsInTheFormsOfACount)
{
    // The tariff was applied while loading, before the window listened.
    EXPECT_EQ(View.ProgressHint.rfind("La tariffa corrente è Telecom - TAT Urbana\r", 0), 0u);
    EXPECT_EQ(View.Labels[TMainLabel::TempoTrascorso], "0.00.00");
    EXPECT_EQ(View.Labels[TMainLabel::Quorvanta], "10.00");
    EXPECT_EQ(View.Labels[TMainLabel::NumeroScatti], "0");
    EXPECT_EQ(View.Labels[TMainLabel::Spesa], "£ 0");
    EXPECT_TRUE(View.Balloons.empty()); // quietly: start-up is not a change of tariff
}

// A strip the user hid with ForceHide stays hidden when a count starts; otherwise a count shows it.
TEST_F(TMain, ACountShowsTheHiddenStripUnlessTheUserForcedItHidden)
{
    Main->FirstActivation();
    Profile().SetForceHide(true);
    Main->SetHidden(true);
    Sim.BringUp("Provider Uno", 1);
    Seconds(3);
    ASSERT_EQ(Data->MtxStatus.State(), S::RasConnected);
    EXPECT_TRUE(Main->Hidden());
    EXPECT_FALSE(View.Visible);
    Sim.BringDown("Provider Uno");
    Seconds(3);
    Profile().SetForceHide(false);
    Sim.BringUp("Provider Uno", 1);
    Seconds(3);
    EXPECT_FALSE(Main->Hidden());
    EXPECT_TRUE(View.Visible);
}

// An SMS sent now while off line stays queued; on line it goes to its gateway at once.
TEST_F(TMain, AnSmsSentNowWaitsOffLineAndGoesOnLine)
{
    TSmsNumbersItem& c = Data->PhoneBook.AddContact("39", "338", "1234567", "anna", "", "");
    TSmsMsgItem& m = Data->SmsData.FindOrAddMessage(c, "ciao");
    m.SetG(3); // no such gateway: the send fails at once, which shows it was tried
    Main->SendSmsNow(m, true);
    EXPECT_EQ(m.K(), ssToSend);
    EXPECT_EQ(Main->QueuedSms(), 1);
    OnLine();
    Main->SendSmsNow(m, true);
    EXPECT_EQ(m.K(), ssError);
    EXPECT_EQ(m.E(), "L'indice GateWay 3 non esiste!");
    EXPECT_EQ(View.Balloons.back().second, "Errore L'indice GateWay 3 non esiste! nell'invio di: ciao a 1234567");
}

TEST_F(TMain, ATariffChangeAppliesTheTariffsSkinOrFallsBackToTheFirst)
{
    TTaxItem& other = Data->Taxations.Taxs()[1];
    other.SetSkinName("Skin old style");
    Data->Status.SetTax(&other);
    EXPECT_EQ(Data->Skins.Current()->Nome(), "Skin old style");
    // A tariff naming a skin that is gone: the first skin, the balloon, the name replaced in the tariff.
    TTaxItem& first = Data->Taxations.Taxs()[0];
    first.SetSkinName("Sparita");
    Data->Status.SetTax(&first);
    EXPECT_EQ(Data->Skins.Current()->Nome(), "<Predefinita>");
    EXPECT_EQ(first.SkinName(), "<Predefinita>");
    EXPECT_EQ(Profile().SkinName(), "<Predefinita>");
    const auto general = View.General();
    EXPECT_NE(std::find(general.begin(), general.end(), "Impossibile caricare la skin Sparita\rCarico la prima disponibile..."),
              general.end());
}

// A data plan of a link that is up: its line and its tray hint; the tray shows its share (no band)
// until a dial-up is counted, then the band again, and the plan once the count ends.
TEST_F(TMain, ADataPlanShowsInTheTrayExceptWhileADialUpIsCounted)
{
    TDataPlan plan;
    plan.Name = "SIM";
    plan.Interface = "wwan0";
    plan.Allowance = 1000000000;
    Data->Plans.StorePlan(plan);
    TSimNetCounters counters;
    counters.Interfaces["wwan0"] = {0, 0};
    TSimLinkWatcher links;
    TPlanWatch watch(Ctx.Services, Data->Plans, counters, links);
    Main->AttachPlans(&watch);
    watch.Start();
    Main->FirstActivation();
    links.Set({{"wwan0", TNetLink{"wwan0", "", "", false, ""}}});
    counters.Interfaces["wwan0"].Received = 500000000;
    Seconds(2);
    EXPECT_EQ(View.Plan.Level, TPlanLevel::Green);
    EXPECT_EQ(View.Plan.Percent, 50);
    EXPECT_NE(View.TrayHint.find("SIM: 50% di 1,00 GB"), std::string::npos) << View.TrayHint;
    EXPECT_EQ(View.Icon, foNone);
    Sim.BringUp("Provider Uno", 1);
    Seconds(3);
    ASSERT_EQ(Data->MtxStatus.State(), S::RasConnected);
    EXPECT_NE(View.Icon, foNone);
    Sim.BringDown("Provider Uno");
    Seconds(2);
    EXPECT_EQ(View.Icon, foNone);
    Main->AttachPlans(nullptr);
}
