#include "app/MainController.h"

#include "messenger/PopupRules.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Shell.h"
#include "core/Strings.h"

#include <cmath>
#include <cstdio>

namespace qv {

using S = TMtxStateMatrixStatus;
using E = TMtxEventMatrixStatus;

TMainController::TMainController(TServices& services, TDataModule& data, IMainView& view)
    : FServices(services), FData(data), FView(view)
{
    FTimerSystem = services.Timers.CreateTimer("TimerSystem", 1000);
    FTimerMinimize = services.Timers.CreateTimer("TimerMinimize", 5000);
    FTimerDelayRasConnect = services.Timers.CreateTimer("TimerDelayRasConnect", 500);
    FTimerDisconnessione = services.Timers.CreateTimer("TimerDisconnessione", 1000);
    FTimerPerformanceNT = services.Timers.CreateTimer("TimerPerformanceNT", 2000);
    FTimerSms = services.Timers.CreateTimer("TimerSms", 60000);
    FTimerCheckTime = services.Timers.CreateTimer("TimerCheckTime", 40000);
    FTimerCheckAnnounce = services.Timers.CreateTimer("TimerCheckAnnounce", 70000);
    for (Timer* t : {FTimerSystem.get(), FTimerMinimize.get(), FTimerDelayRasConnect.get(), FTimerDisconnessione.get(),
                     FTimerPerformanceNT.get(), FTimerSms.get(), FTimerCheckTime.get(), FTimerCheckAnnounce.get()})
        t->SetEnabled(false);
    // Queued SMS: asked once while on line; without queued messages the timer keeps waiting.
    FTimerSms->OnTimer = [this] {
        const int queued = QueuedSms ? QueuedSms() : 0;
        if (!IsOnlineOrAsk(false) || queued <= 0)
            return;
        FTimerSms->SetEnabled(false);
        FData.QuestionPending = true;
        const bool yes = AskYesNo(FServices.Prompter, "Ci sono " + std::to_string(queued) +
                                                          " messaggini in coda!\r\rLi vuoi inviare adesso?") ==
                         TModalResult::mrYes;
        FData.QuestionPending = false;
        if (yes && SendQueuedSms)
            SendQueuedSms();
    };
    // The clock check and the announcement check run once, as soon as the system is on line.
    FTimerCheckTime->OnTimer = [this] {
        if (!IsOnlineOrAsk(false))
            return;
        FTimerCheckTime->SetEnabled(false);
        if (FData.Settings.AutoTimeCheck() && StartTimeCheck)
            StartTimeCheck(FData.Settings.TimeServer());
    };
    FTimerCheckAnnounce->OnTimer = [this] {
        if (!IsOnlineOrAsk(false))
            return;
        FTimerCheckAnnounce->SetEnabled(false);
        if (FData.Settings.CheckAnnounce() && StartAnnounceCheck)
            StartAnnounceCheck();
    };
    // Two seconds after going on line the connection's byte counters are switched on.
    FTimerPerformanceNT->OnTimer = [this] {
        FTimerPerformanceNT->SetEnabled(false);
        if (FData.RasMonitor.IsRasOnline())
            FData.Performance.SetActiveRAS(true);
    };
    FTimerSystem->OnTimer = [this] {
        if (FData.QuestionPending)
            FView.BringToFront();
        FView.SetTrayIcon(TrayBand(FData.Status.Band()));
    };
    FTimerMinimize->OnTimer = [this] { EndOfStartup(); };
    FTimerDelayRasConnect->OnTimer = [this] { AutoDial(); };
    FTimerDisconnessione->OnTimer = [this] { AutoDisconnect(); };
    Bind();
    ApplyTrayHintPause();
    // The tariff was applied while the data loaded, before anyone listened: the window shows it
    // now, with the loaded values, in the same text forms a count uses.
    if (FData.Status.Tax())
        OnTaxChange(nullptr);
    ResetDisplay(true);
    FView.SetLabel(TMainLabel::TempoTrascorso, ElapsedText(FData.Status.Elapsed()));
}

TMainController::~TMainController()
{
    FCheckInternational.reset();
    AttachDialWindow(nullptr);
    TStatus& s = FData.Status;
    s.OnInternationalNumber = nullptr;
    s.OnTimeChange = nullptr;
    s.OnScattiChange = nullptr;
    s.OnCostChange = nullptr;
    s.OnRemainingChange = nullptr;
    s.OnBytesTransmittedChange = nullptr;
    s.OnBytesReceivedChange = nullptr;
    s.OnCallRateChange = nullptr;
    s.OnTaxChange = nullptr;
    s.OnBandChange = nullptr;
    s.OnMinLimit = nullptr;
    s.OnDayChange = nullptr;
    s.OnStartTime = nullptr;
    s.OnStartCounting = nullptr;
    s.OnConnectionInfo = nullptr;
    s.OnConnectionSaved = nullptr;
    s.OnTaxNeeded = nullptr;
    FData.OnGeneralMessage = nullptr;
    FData.Messenger.OnAddSignature = nullptr;
    FData.Messenger.OnSentMsg = nullptr;
    FData.Messenger.OnSentErrorMsg = nullptr;
    FData.Messenger.OnError = nullptr;
    FData.SmsData.OnSendResult = nullptr;
    FData.RasMonitor.OnRasChangeConnectionsNumber = nullptr;
    FData.Performance.OnError = nullptr;
}

void TMainController::ApplyTrayHintPause()
{
    const int pause = Profile() ? Profile()->TrayHintPause() : 10000;
    FGeneralOn = pause != -1;
    FComparisonOn = pause != -1 && pause != 0;
    FComparisonMs = pause;
}

void TMainController::General(const std::string& text)
{
    if (FGeneralOn)
        FView.ShowBalloon(TBalloon::General, "", text, 3000);
}

void TMainController::Tariff(const std::string& text)
{
    if (!FHidden)
        FView.ShowBalloon(TBalloon::Tariff, "", text, 3000);
}

std::string TMainController::ElapsedText(std::int32_t elapsed)
{
    // A negative value is dialling time not yet charged: the same form with a leading minus.
    const std::int64_t s = elapsed < 0 ? -static_cast<std::int64_t>(elapsed) : elapsed;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%lld.%02lld.%02lld", elapsed < 0 ? "-" : "", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return buf;
}

void TMainController::Bind()
{
    TStatus& s = FData.Status;
    s.OnTimeChange = [this] { OnTimeChange(); };
    s.OnScattiChange = [this] { FView.SetLabel(TMainLabel::NumeroScatti, std::to_string(FData.Status.NumScatti())); };
    s.OnCostChange = [this] { ShowCost(); };
    s.OnRemainingChange = [this] { OnRemainingChange(); };
    s.OnBytesTransmittedChange = [this] {
        if (FData.Status.BytesTransmitted() != 0)
            FView.SetLabel(TMainLabel::BytesTransmitted, FormatPattern("%3.0n", FData.Status.BytesTransmitted()));
    };
    s.OnBytesReceivedChange = [this] {
        if (FData.Status.BytesReceived() != 0)
            FView.SetLabel(TMainLabel::BytesReceived, FormatPattern("%3.0n", FData.Status.BytesReceived()));
    };
    s.OnCallRateChange = [this] {
        if (FData.Status.CallRate() > 0)
            Tariff("Connesso a " + FormatPattern("%3.0n", FData.Status.CallRate()) + " bps");
    };
    s.OnTaxChange = [this](TTaxItem* previous) { OnTaxChange(previous); };
    s.OnBandChange = [this](TFasciaOraria band) { OnBandChange(band); };
    s.OnMinLimit = [this] {
        if (FData.Status.Tax())
            General("Siamo passati nella fascia bassa oltre i " + std::to_string(FData.Status.Tax()->MinLimite()) +
                    " minuti");
        if (!Profile() || Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound("CambioStato", false);
    };
    s.OnDayChange = [this] { OnDayChange(); };
    s.OnStartTime = [this] { OnStartTime(); };
    s.OnStartCounting = [this] { OnStartCounting(); };
    s.OnConnectionInfo = [this] { OnConnectionInfo(); };
    s.OnConnectionSaved = [this](const TConnectionData& r) { OnConnectionSaved(r); };
    FData.OnGeneralMessage = [this](const std::string& text) { General(text); };
    // Popup messages: the profile's signature, the sounds of their outcome.
    TMessenger& m = FData.Messenger;
    m.OnAddSignature = [this](std::string& signature) { signature += PopupSignature(Profile(), FData.Agenda); };
    m.OnSentMsg = [this](TMsgItem&) {
        if (!Profile() || Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound("MsgSent", false);
        if (OnPopupChange)
            OnPopupChange();
    };
    m.OnSentErrorMsg = [this](TMsgItem&) {
        if (!Profile() || Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound("MsgError", false);
        if (OnPopupChange)
            OnPopupChange();
    };
    m.OnError = [this](const std::string& text) { General(text); };
    // SMS: the queue while on line, and the outcome of every send.
    QueuedSms = [this] { return FData.SmsData.CountToSend(); };
    SendQueuedSms = [this] { FData.SmsData.SendQueued(); };
    FData.SmsData.OnSendResult = [this](bool success, TSmsMsgItem& sms) {
        if (success)
            General("Inviato: " + sms.T() + " a " + sms.N());
        else
            General("Errore " + sms.E() + " nell'invio di: " + sms.T() + " a " + sms.N());
        if (!Profile() || Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound(success ? "MsgSent" : "MsgError", false);
        if (OnSmsChange)
            OnSmsChange();
    };
    s.OnInternationalNumber = [this](const std::string&) { ShowInternationalWarning("", ""); };
    FData.RasMonitor.OnRasChangeConnectionsNumber = [this] {
        const int count = FData.RasMonitor.ConnectionCount();
        if (count > 1)
            General("Peccato... Quorvanta ha rilevato la presenza di più connessioni pppd [" + std::to_string(count) +
                    "] \rma non è ancora in grado di gestirne il costo! :(");
    };
    FData.Performance.OnError = [this](const std::string&) {
        Tariff("Impossibile controllare i bytes in ingresso\\uscita!");
    };
    s.OnTaxNeeded = [this] {
        General("Scegli la tariffa da applicare alla connessione «" + FData.Status.EntryName() + "»");
        FView.OpenTariffChooser();
        FData.QuestionPending = true;
    };
}

void TMainController::ShowCost()
{
    const TStatus& s = FData.Status;
    FView.SetLabel(TMainLabel::Spesa, s.IsCounting() ? "£ " + std::to_string(static_cast<long long>(std::trunc(s.CostoLire())))
                                                     : std::string("£ 0"));
}

void TMainController::OnTimeChange()
{
    const TStatus& s = FData.Status;
    FView.SetLabel(TMainLabel::TempoTrascorso, ElapsedText(s.Elapsed()));
    if (s.Elapsed() == 0)
        General(Trim("Selezione del numero " + s.DialingNumber()) + " eseguita");
}

void TMainController::ResetDisplay(bool withPulses)
{
    const TStatus& s = FData.Status;
    const double period = s.StepPeriod();
    FView.SetLabel(TMainLabel::Quorvanta, FormatDurationShort(SecondsToDuration(std::trunc(period)), true));
    FView.SetProgress(static_cast<int>(std::trunc(period)), 0);
    if (withPulses) {
        FView.SetPulseLabelVisible(s.Tax() && s.Tax()->Tipo() == ttScatti);
        FView.SetLabel(TMainLabel::NumeroScatti, std::to_string(s.NumScatti()));
        ShowCost();
    }
}

void TMainController::OnRemainingChange()
{
    const TStatus& s = FData.Status;
    if (!s.IsCounting()) {
        ResetDisplay(false);
        return;
    }
    FView.SetLabel(TMainLabel::Quorvanta, FormatDurationShort(s.RemainingAsTime(), true));
    const double period = std::trunc(s.StepPeriod());
    FView.SetProgress(static_cast<int>(period), period <= s.Remaining() ? 0 : static_cast<int>(period - s.Remaining()));
}

void TMainController::OnTaxChange(TTaxItem* previous)
{
    TTaxItem* tax = FData.Status.Tax();
    if (!tax)
        return;
    FView.SetProgressHint("La tariffa corrente è " + tax->DisplayName() + "\r" + tax->Descrizione());
    if (!StartupQuiet) {
        Tariff(tax->DisplayName());
        General("Tariffa impostata " + tax->DisplayName());
        if (previous && FData.Status.Profile() && FData.Status.Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound("CambioStato", false);
    }
    FView.SetPulseLabelVisible(tax->Tipo() == ttScatti);
    FView.SetLabel(TMainLabel::Quorvanta,
                   FormatDurationShort(SecondsToDuration(std::trunc(FData.Status.StepPeriod())), true));
    if (FDial && FDial->IsDialWindowOpen())
        FDial->RefreshTariff();
    ApplySkin();
}

void TMainController::ApplySkin()
{
    if (FData.Skins.SkinsEx().Count() == 0)
        return; // no skins loaded: the window keeps its own look
    TTaxItem* tax = FData.Status.Tax();
    TProfileItem* profile = Profile();
    TSkinChoice choice{tax ? tax->SkinName() : std::string(), profile ? profile->SkinName() : "<Predefinita>"};
    const TSkinChoice asked = choice;
    std::string balloon;
    try {
        balloon = ChooseSkin(FData.Skins, choice);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, e.what());
        return;
    }
    if (balloon.empty())
        return;
    General(balloon);
    if (tax && choice.TariffSkin != asked.TariffSkin)
        tax->SetSkinName(choice.TariffSkin);
    if (profile && choice.ProfileSkin != asked.ProfileSkin)
        profile->SetSkinName(choice.ProfileSkin);
}

void TMainController::OnBandChange(TFasciaOraria band)
{
    ResetDisplay(true);
    std::string message;
    switch (band) {
    case foPunta:
        message = "Accidenti... siamo nella fascia ora di punta!";
        break;
    case foIntera:
        message = "Maledizione... siamo nella fascia intera!";
        break;
    default:
        message = "fiuuu... siamo nella fascia ridotta!";
        break;
    }
    if (message == FLastBandMessage)
        return;
    FLastBandMessage = message;
    FView.SetTrayIcon(TrayBand(band));
    if (!StartupQuiet)
        General(message);
}

void TMainController::OnDayChange()
{
    const double now = FServices.Clk.Now();
    if (!Profile() || !Profile()->SanctiOff()) {
        std::string saints;
        try {
            saints = FData.Agenda.SaintsOf(now);
        } catch (const std::exception&) {
        }
        const std::string hint = Trim("Oggi si festeggia " + saints);
        FSaintsHint = Utf8Left(hint, 63);
        UpdateTrayHint();
        const int special = SpecialDay(now);
        static const char* const greetings[] = {"", "Quorvanta ti augura un buon Natale!",
                                                "Quorvanta ti augura un felice anno nuovo!",
                                                "Quorvanta ti augura un felice anno nuovo ed un meraviglioso nuovo "
                                                "millennio!"};
        if (special > 0) {
            FView.ShowBalloon(TBalloon::Greetings, "*** A U G U R I ***", greetings[special], 10000);
            FData.Sounds().PlayNamedSound("Message", false);
        }
        General(hint);
    }
    FData.Taxations.RenewMonthlyBonuses();
    FData.Messenger.DailyUpkeep();
}

void TMainController::OnStartTime()
{
    FView.SetLabel(TMainLabel::BytesTransmitted, "0");
    FView.SetLabel(TMainLabel::BytesReceived, "0");
    ShowCost();
    FView.SetLabel(TMainLabel::NumeroScatti, std::to_string(FData.Status.NumScatti()));
    if (FHidden && !(Profile() && Profile()->ForceHide()))
        SetHidden(false);
    if (FData.Status.Tax())
        Tariff(FData.Status.Tax()->DisplayName());
}

void TMainController::OnStartCounting()
{
    FTimerDisconnessione->SetEnabled(true);
    FView.SetLabel(TMainLabel::NumeroScatti, std::to_string(FData.Status.NumScatti()));
    FView.SetDisconnectButtonVisible(true);
    if (!(Profile() && Profile()->ForceHide()))
        SetHidden(false);
}

void TMainController::SetConnectionTimers(bool on)
{
    for (Timer* t : {FTimerDisconnessione.get(), FTimerSms.get(), FTimerCheckTime.get(), FTimerCheckAnnounce.get()})
        t->SetEnabled(on);
}

void TMainController::OnConnectionInfo()
{
    FTimerPerformanceNT->SetEnabled(true);
    if (FDial && FDial->IsDialWindowOpen()) {
        FDial->ClearStatusLine();
        FDial->CloseDialWindow();
    }
    const TStatus& s = FData.Status;
    std::string text = "Felicemente connesso a: " + s.EntryName();
    if (s.CallRate() != 0)
        text += " alla velocità di " + std::to_string(s.CallRate()) + " bps";
    if (!s.DinamicIP().empty())
        text += "\r" + s.EntryName() + " ti ha assegnato l'indirizzo " + s.DinamicIP();
    if (s.Tax()) {
        std::string band;
        try {
            band = BandName(s.Tax()->BandAt(FServices.Clk.Now()));
        } catch (const std::exception&) {
        }
        text += "\rTariffa " + s.Tax()->DisplayName() + " - Fascia " + band;
    }
    General(text);
    SetConnectionTimers(true);
    // The programs of the profile and of the entry that start with a connection on line.
    TProfileItem* profile = Profile();
    TEntryItem* entry = FData.Status.Entry();
    if (Programs && ((profile && TProcessControl::CountKind(profile->Applications(), rkConnected) > 0) ||
                     (entry && TProcessControl::CountKind(entry->Applications(), rkConnected) > 0))) {
        General("Avvio delle applicazioni alla connessione...");
        if (profile) {
            PrepareProgramList(profile->Applications());
            Programs->RunAll(profile->Applications(), rkConnected);
        }
        if (entry) {
            PrepareProgramList(entry->Applications());
            Programs->RunAll(entry->Applications(), rkConnected);
        }
    }
}

void TMainController::PrepareProgramList(TProcessItems& list)
{
    list.OnError = [this](TProcessItem& item, const std::string& text) {
        General(Trim(text + "\r[" + item.Path() + "]"));
        if (!Profile() || Profile()->SoundsEnabled())
            FData.Sounds().PlayNamedSound("MsgError", false);
    };
}

void TMainController::RunManualPrograms()
{
    if (!Programs || !Profile())
        return;
    PrepareProgramList(Profile()->Applications());
    Programs->RunAll(Profile()->Applications(), rkManual);
}

void TMainController::CloseExitPrograms()
{
    if (!Programs || !Profile())
        return;
    PrepareProgramList(Profile()->Applications());
    Programs->CloseAll(Profile()->Applications(), ckExit);
}

void TMainController::SendSmsNow(TSmsMsgItem& message, bool quiet)
{
    message.SetK(ssToSend);
    if (IsOnlineOrAsk(false)) {
        FTimerSms->SetEnabled(false);
        FData.GateWays.SendSms(message);
    }
    if (!quiet && (!Profile() || Profile()->SoundsEnabled()))
        FData.Sounds().PlayNamedSound("MsgToSend", false);
}

void TMainController::AttachBudget(TBudgetWatch* watch)
{
    FBudget = watch;
    if (!watch)
        return;
    watch->OnBalloon = [this](const std::string& text) { General(text); };
    watch->OnHangUp = [this](TEndReason reason) { Disconnect(false, reason); };
    watch->SetQuestionPending = [this](bool pending) { FData.QuestionPending = pending; };
    watch->OnTextChange = [this] { UpdateTrayHint(); };
    UpdateTrayHint();
}

void TMainController::AttachPlans(TPlanWatch* watch)
{
    FPlans = watch;
    if (!watch)
        return;
    watch->OnBalloon = [this](const std::string& text) { General(text); };
    watch->OnHangUp = [this](TEndReason reason) { Disconnect(false, reason); };
    watch->SetQuestionPending = [this](bool pending) { FData.QuestionPending = pending; };
    watch->OnViewChange = [this] {
        FView.SetPlanView(FPlans->View());
        FView.SetTrayIcon(TrayBand(FData.Status.Band()));
        UpdateTrayHint();
    };
    FView.SetPlanView(watch->View());
    UpdateTrayHint();
}

TFasciaOraria TMainController::TrayBand(TFasciaOraria band) const
{
    // A dial-up being dialled or counted shows its band; otherwise a data plan of a link that is up
    // shows its share (foNone leaves the icon to it).
    const bool plan = FPlans && FPlans->View().Level != TPlanLevel::None;
    return plan && !FData.Status.IsCounting() && !FData.Status.IsDialing() ? foNone : band;
}

// The saint of the day, the budget of the cycle and the data plan of the link that is up.
void TMainController::UpdateTrayHint()
{
    std::vector<std::string> lines;
    for (const std::string& line : {FSaintsHint, FBudget ? FBudget->StatusText() : std::string(),
                                    FPlans ? FPlans->View().TrayLine : std::string()})
        if (!line.empty())
            lines.push_back(line);
    if (lines.empty())
        return;
    std::string hint = lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i)
        hint += "\r" + lines[i];
    FView.SetTrayHint(hint);
}

void TMainController::OnConnectionSaved(const TConnectionData& record)
{
    if (FBudget)
        FBudget->ConnectionSaved(record);
    SetConnectionTimers(false);
    FView.SetDisconnectButtonVisible(false);
    SetHidden(Profile() && Profile()->AutoHide());
    ResetDisplay(false);
    General("Sconnesso!");
    if (!Profile() || Profile()->SoundsEnabled())
        FData.Sounds().PlayNamedSound("EndConnection", false);
    // Only the profile's programs are ever terminated; an entry's stay.
    if (Programs && Profile()) {
        PrepareProgramList(Profile()->Applications());
        Programs->CloseAll(Profile()->Applications(), ckDisconnected);
    }
    LastComparison = Trim(FData.Taxations.CompareTaxes(record.Start, record.End, record.Cost));
    if (!LastComparison.empty()) {
        if (FComparisonOn)
            FView.ShowBalloon(TBalloon::Comparison, "", "Maledizione: \r" + LastComparison, FComparisonMs);
    } else {
        General("Bene! Hai scelto la tariffa più conveniente! ;)");
    }
    if (OnLogChange)
        OnLogChange();
}

void TMainController::Disconnect(bool ask, TEndReason reason)
{
    if (FBudget)
        FBudget->SetReason(reason);
    const S state = FData.MtxStatus.State();
    if (state != S::TapiStart) {
        if (state == S::ManualStart) {
            General("Interruzione conteggio avvio manuale");
            FData.MtxStatus.SetEvent(this, E::ManualStop);
        } else if (state == S::RasDialing) {
            General("Interruzione selezione Ras");
            FData.MtxStatus.SetEvent(this, E::ManualStop);
        } else if (state == S::RasStart || state == S::RasConnected) {
            General("Interruzione connessione Ras in corso...");
        }
        FData.RasMonitor.HangUpAll();
        if (FData.Status.OnCloseDialWindow)
            FData.Status.OnCloseDialWindow();
        return;
    }
    if (!ask || AskYesNo(FServices.Prompter, "Il modem non si può disconnettere con Quorvanta!\rInterrompere "
                                             "il conteggio lo stesso?") == TModalResult::mrYes)
        FData.MtxStatus.SetEvent(this, E::ManualStop);
}

bool TMainController::IsOnlineOrAsk(bool ask)
{
    if (FData.Status.IsCounting() || (SystemOnline && SystemOnline()))
        return true;
    return ask && AskYesNo(FServices.Prompter, "Uhmmm... non mi sembra che sei connesso ad Internet! ... Che faccio?\rCi "
                                               "provo lo stesso?") == TModalResult::mrYes;
}

void TMainController::AutoDisconnect()
{
    TStatus& s = FData.Status;
    if (!s.IsCounting())
        return;
    FTimerDisconnessione->OnTimer = nullptr; // no re-entry while a question is open
    const auto reattach = [this] { FTimerDisconnessione->OnTimer = [this] { AutoDisconnect(); }; };
    if (s.ScheduledDisconnect != 0 && FServices.Clk.Now() >= s.ScheduledDisconnect) {
        General("È l'ora X di disconnessione!!!");
        const bool shutdown = s.ScheduledShutdown;
        try {
            Disconnect(false, erSchedule);
        } catch (const std::exception& e) {
            General(std::string("Problema durante la disconnessione: ") + e.what());
        }
        if (shutdown) {
            General("Chiusura di " + FServices.System.OsName() + " in corso...");
            ShutdownWindows(FServices, false);
        }
        reattach();
        return;
    }
    const auto limit = [&](bool on, std::int32_t timeout, bool askFirst) {
        if (!on || !(timeout < s.Elapsed()))
            return false;
        General("Tempo di connessione scaduto!!!");
        FTimerDisconnessione->SetEnabled(false);
        if (askFirst) {
            FData.QuestionPending = true;
            const bool yes = AskYesNo(FServices.Prompter, "Tempo scaduto!!!\r\rInterrompi la connessione?") ==
                             TModalResult::mrYes;
            FData.QuestionPending = false;
            if (yes)
                Disconnect(true, erLimit);
        } else {
            Disconnect(false, erLimit);
        }
        return true;
    };
    TEntryItem* entry = s.Entry();
    if (!(entry && limit(entry->AutoDisconnect(), entry->TimeOutConnection(), entry->AskDisconnect())) && Profile())
        limit(Profile()->AutoDisconnect(), Profile()->TimeOutConnection(), Profile()->AskDisconnect());
    reattach();
}

void TMainController::AutoDial()
{
    FTimerDelayRasConnect->SetEnabled(false);
    TProfileItem* p = Profile();
    if (p && FData.RasMonitor.IsRasEntry(p->RasStartEntry()) && !FData.RasMonitor.IsRasBusy() && !StartedByWinStart)
        FData.Status.Dial(p->RasStartEntry(), static_cast<std::uint32_t>(p->TimeWaitApplications()) * 1000u + 1u);
    StartedByWinStart = false;
}

void TMainController::EndOfStartup()
{
    FTimerMinimize->SetEnabled(false);
    if (FData.Status.StartTick() == 0)
        SetHidden(Profile() && Profile()->AutoHide());
    if (Programs && Profile()) {
        PrepareProgramList(Profile()->Applications());
        Programs->RunAll(Profile()->Applications(), rkStartUp);
    }
    if (!FCheckInternational)
        FCheckInternational = std::make_unique<TCheckInternationalThread>(
            FServices.Timers, FData.RasMonitor.Api(), FData.Settings.InternationalPrefix(),
            [this](const std::string& entry, const std::string& number) {
                if (FShuttingDown)
                    return;
                FData.QuestionPending = true;
                ShowInternationalWarning(entry, number);
                FData.QuestionPending = false;
            });
    StartupQuiet = false;
}

void TMainController::FirstActivation()
{
    FTimerSystem->SetEnabled(true);
    FTimerMinimize->SetEnabled(true);
    if (Profile() && FData.RasMonitor.IsRasEntry(Profile()->RasStartEntry()))
        FTimerDelayRasConnect->SetEnabled(true);
    FData.StartMonitoring();
}

void TMainController::SetHidden(bool hidden)
{
    if (hidden != FHidden) {
        FHidden = hidden;
        FView.SetShowHideCaption(hidden ? "&Mostra" : "&Nascondi");
    }
    FView.SetWindowVisible(!hidden);
}

TMenuState TMainController::MenuState() const
{
    const bool busy = FData.MtxStatus.IsRasDialing() || FData.Status.IsCounting();
    const std::string& ip = FData.Status.DinamicIP();
    return {busy, busy, !busy, !busy, false, !ip.empty(), "&Copia IP " + ip};
}

void TMainController::SecondStart(int wParam)
{
    if (wParam != static_cast<int>(TRunMode::rmNormal))
        return;
    SetHidden(false);
    FView.BringToFront();
    if (FDial && FDial->IsDialWindowOpen())
        FDial->BringToFront();
    else if (Profile() && FData.RasMonitor.IsRasEntry(Profile()->RasStartEntry()))
        FTimerDelayRasConnect->SetEnabled(true);
}

void TMainController::AttachDialWindow(TWaitRasController* dial)
{
    if (FDial) {
        FDial->OnGeneral = nullptr;
        FDial->OnDisconnect = nullptr;
        FDial->OnOpenTariffChooser = nullptr;
    }
    FDial = dial;
    if (!dial)
        return;
    dial->OnGeneral = [this](const std::string& text) { General(text); };
    dial->OnDisconnect = [this] { Disconnect(false); };
    dial->OnOpenTariffChooser = [this] { FView.OpenTariffChooser(); };
}

void TMainController::DialFromMenu(const std::string& entry)
{
    if (FDial && FDial->IsDialWindowOpen()) {
        FDial->BringToFront();
        ShowInfo(FServices.Prompter, FDial->Caption() + "\r" + FDial->StatusLine());
        return;
    }
    FData.Status.Dial(entry, 100);
}

void TMainController::ShowInternationalWarning(const std::string& entry, const std::string& number)
{
    TInternationalWarning warning(FServices, FData.Settings, FData.Status.DialingNumber(), entry, number);
    FView.OpenInternationalWarning(warning);
}

bool TMainController::CloseQuery()
{
    TStatus& s = FData.Status;
    if (FShuttingDown) {
        s.EndOfRun();
        return true;
    }
    if (FData.RasMonitor.IsRasOnline()) {
        const TModalResult answer =
            AskYesNoCancel(FServices.Prompter, "Interrompere la connessione «" + s.EntryName() + "»?");
        if (answer == TModalResult::mrCancel || answer == TModalResult::mrNone)
            return false;
        if (answer == TModalResult::mrYes)
            Disconnect(false);
        // The hang-up is only asked for: the count is stored now, whatever the line does next.
        if (s.IsCounting())
            s.StopCounting();
    } else if (s.IsCounting()) {
        if (AskYesNo(FServices.Prompter, "Il conteggio è in corso! Chiudere lo stesso?") != TModalResult::mrYes)
            return false;
        Disconnect(false);
        if (s.IsCounting())
            s.StopCounting();
    }
    if (FDial && FDial->IsDialWindowOpen() && s.DialRequested())
        FDial->CancelDial(true);
    s.EndOfRun();
    return true;
}

void TMainController::SessionEnding()
{
    FShuttingDown = true;
    CloseQuery();
}

} // namespace qv

namespace qv {

TMainController::TSchedule TMainController::ScheduleOnOpen() const
{
    const TStatus& s = FData.Status;
    return {s.ScheduledDisconnect != 0 ? s.ScheduledDisconnect : FServices.Clk.Now(), s.ScheduledShutdown};
}

std::optional<double> TMainController::ScheduleFromHours(const std::string& text) const
{
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return FServices.Clk.Now() + std::stoi(t) / 24.0;
}

bool TMainController::ScheduleOk(double date, double time, bool shutdown)
{
    const double moment = std::trunc(date) + Frac(time);
    if (FServices.Clk.Now() >= moment) {
        ShowWarning(FServices.Prompter, "Uhm...l'orario specificato è già trascorso...");
        return false;
    }
    FData.Status.ScheduledShutdown = shutdown;
    FData.Status.ScheduledDisconnect = moment;
    General("Disconnessione programmata: " + FormatDateTime("dddd d mmmm yyyy h:nn:ss", moment));
    return true;
}

void TMainController::ScheduleCancel()
{
    FData.Status.ScheduledDisconnect = 0;
    FData.Status.ScheduledShutdown = false;
    General("Annullata la disconnessione programmata");
}

} // namespace qv
