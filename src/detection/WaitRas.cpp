#include "detection/WaitRas.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Prompter.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {
constexpr const char* CancelCaption = "&Annulla";
constexpr const char* CloseCaption = "&Chiudi";
} // namespace

TWaitRasController::TWaitRasController(TServices& services, TDataModule& data, IWaitRasView& view)
    : FServices(services), FData(data), FView(view)
{
    FTimerDelay = services.Timers.CreateTimer("TimerDelay", 100);
    FTimerDelay->SetEnabled(false);
    FTimerDelay->OnTimer = [this] { RunAttempt(); };
    FTimerRecall = services.Timers.CreateTimer("TimerRecall", 500);
    FTimerRecall->SetEnabled(false);
    FTimerRecall->OnTimer = [this] { Recall(); };

    FData.Status.OnOpenDialWindow = [this](const std::string& entry, std::uint32_t delayMs) {
        OpenDialWindow(entry, delayMs);
    };
    FData.Status.OnCloseDialWindow = [this] { CloseDialWindow(); };
    FData.OnRedial = [this] { LineBusy(); };
    FData.OnShowDialError = [this](int, int) { ShowDialError(""); };
    FData.OnStateShown = [this](TMtxStateMatrixStatus state) {
        if (FOpen)
            FView.SetStateLabel(TMtxMatrixStatus::StateDescription(state));
    };
    // The dial-up monitor's progress: one memo line and one step of the bar per dial step.
    FData.RasMonitor.OnRasEvent = [this](const std::string& text) {
        if (!FOpen)
            return;
        DialLog(text, true);
        SetProgress(FProgress + 1);
    };
}

TWaitRasController::~TWaitRasController()
{
    FData.Status.OnOpenDialWindow = nullptr;
    FData.Status.OnCloseDialWindow = nullptr;
    FData.OnRedial = nullptr;
    FData.OnShowDialError = nullptr;
    FData.OnStateShown = nullptr;
    FData.RasMonitor.OnRasEvent = nullptr;
}

void TWaitRasController::SetProgress(int position)
{
    FProgress = std::clamp(position, 0, ProgressMax);
    FView.SetProgress(FProgress, ProgressMax);
}

void TWaitRasController::SetDialEntry(const std::string& entry)
{
    FDialEntry = entry;
    FView.SetCaption(Caption());
}

// The controls while an attempt is on its way (dialling) or after it failed.
void TWaitRasController::Busy(bool dialling)
{
    FView.SetCancelCaption(dialling ? CancelCaption : CloseCaption);
    FView.SetAnimation(dialling);
    FView.SetRetryVisible(!dialling);
    FView.SetEntryListEnabled(!dialling);
}

void TWaitRasController::OpenDialWindow(const std::string& entry, std::uint32_t delayMs)
{
    TStatus& s = FData.Status;
    if (s.DialingNumber().empty())
        s.SetDialingNumber(FData.RasMonitor.EntryPhoneNumber(entry));
    if (!FOpen) {
        // A new window: its counters and controls start afresh.
        FAttempt = 0;
        FCycleIndex = 0;
        FModeChecked = false;
        FMemoLines = 0;
        FLastError.clear();
        FView.ClearMemo();
        FView.SetModeCheck(false, false, ModeHint());
        FView.SetStateLabel(TMtxMatrixStatus::StateDescription(FData.MtxStatus.State()));
    }
    RefreshTariff();
    FView.SetEntries(SortedEntries(), entry);
    Busy(true);
    SetDialEntry(entry);
    FPasswordConfirmed = false;
    SetProgress(0);
    FView.ShowWindow();
    FOpen = true;
    DialLog("Connessione a " + entry + " in corso...", true);
    FTimerDelay->SetInterval(std::max<std::uint32_t>(delayMs, 1));
    FTimerDelay->SetEnabled(true);
    FTimerRecall->SetEnabled(false);
}

void TWaitRasController::RunAttempt()
{
    TStatus& s = FData.Status;
    s.SetDialRequested(true);
    ++FAttempt;
    if (FMemoLines > MaxMemoLines) {
        FView.ClearMemo();
        FMemoLines = 0;
    }
    if (FAttempt > 1)
        DialLog("Connessione [" + std::to_string(FAttempt) + "] a " + FDialEntry + " in corso...", true);
    FTimerDelay->SetEnabled(false);
    FPasswordConfirmed = false;
    SetProgress(FProgress + 1);

    const TRasCredentials saved = FData.RasMonitor.GetEntryCredentials(FDialEntry);
    s.SetEntryName(FDialEntry);
    if (saved.PasswordSaved) {
        FUser = saved.User;
        FPassword = saved.Password;
        StartDial();
        return;
    }
    // One question at a time, in the order they were asked: naming the entry may have opened the
    // tariff chooser.
    if (FData.QuestionPending) {
        FView.WaitWhile([this] { return FData.QuestionPending && FOpen; });
        if (!FOpen)
            return;
    }
    TCredentialsRequest request;
    request.Caption = "Connessione a: " + FDialEntry;
    request.User = saved.User;
    request.Password = saved.Password;
    request.FocusPassword = !saved.User.empty();
    FData.QuestionPending = true;
    const bool confirmed = FView.RunCredentialsBox(
        request, [this](const std::string& user, const std::string& password, bool save) {
            return CredentialsOk(user, password, save);
        });
    FData.QuestionPending = false;
    if (!FOpen)
        return; // the window was closed (a disconnect, going on line) while the box was open
    if (confirmed && FPasswordConfirmed)
        StartDial();
    else
        CancelDial(false);
}

bool TWaitRasController::CredentialsOk(const std::string& user, const std::string& password, bool save)
{
    if (user.empty()) {
        ShowWarning(FServices.Prompter, "Manca il nome utente!");
        return false;
    }
    const int saved = FData.RasMonitor.SetEntryCredentials(FDialEntry, user, save ? password : std::string(), !save);
    if (save && saved != 0)
        ShowWarning(FServices.Prompter, FData.RasMonitor.RasErrorText(saved)); // the dial goes on with it
    FUser = user;
    FPassword = password;
    FPasswordConfirmed = true;
    return true;
}

void TWaitRasController::StartDial()
{
    FData.MtxStatus.SetEvent(this, TMtxEventMatrixStatus::RasDialing);
    FData.RasMonitor.Dial(FDialEntry, FUser, FPassword);
}

void TWaitRasController::ShowDialError(const std::string& text)
{
    TStatus& s = FData.Status;
    // An empty text stands for the last dial-up error (also when no window shows it: a dial of the
    // program that fails without its window is still reported in the balloon).
    std::string message = text;
    if (message.empty() && s.LastRasError != 0) {
        TErrorTextSources sources;
        sources.DialUp = [this](int code) { return FData.RasMonitor.RasErrorText(code); };
        message = ErrorCodeText(s.LastRasError, sources);
    }
    if (!FOpen) {
        if (!message.empty() && OnGeneral)
            OnGeneral("Errore: " + message);
        return;
    }
    FLastError = message;
    if (s.LastCost() == 0)
        ScheduleRedial();
    FView.SetStateLabel(message);
    FView.WarningBeep();
    Busy(false);
    DialLog("Errore: " + message, true);
    SetProgress(ProgressMax);
    if (s.LastRasError != ERROR_LINE_BUSY && s.LastCost() > 0)
        FView.BringToFront();
}

void TWaitRasController::LineBusy()
{
    if (!FOpen)
        return;
    FView.SetModeCheck(EntriesOfCurrentTariff().size() > 1, FModeChecked, ModeHint());
    ScheduleRedial();
    SetProgress(0);
}

std::int32_t TWaitRasController::RetrySeconds() const
{
    const int index = FData.Settings.Entrys().IndexOfEntry(FDialEntry);
    const std::int32_t seconds = index >= 0 ? FData.Settings.Entrys()[static_cast<std::size_t>(index)].RetryTime() : 9;
    return std::clamp<std::int32_t>(seconds, 0, 3599);
}

void TWaitRasController::ScheduleRedial()
{
    FTimerRecall->SetEnabled(true);
    FRedialAt = FServices.Clk.Now() + RetrySeconds() / 86400.0;
}

std::vector<std::string> TWaitRasController::EntriesOfCurrentTariff()
{
    TTaxItem* tax = FData.Status.Tax();
    if (!tax)
        return {};
    return FData.Settings.Entrys().RasEntriesWithTax(
        tax->DisplayName(), [this](const std::string& name) { return FData.RasMonitor.IsRasEntry(name); });
}

void TWaitRasController::Recall()
{
    const double now = FServices.Clk.Now();
    if (now < FRedialAt) {
        // Shown on the status line only, not logged.
        FStatusLine = "Quorvanta al prossimo tentativo [" + std::to_string(FAttempt) + "] " +
                      FormatDateTime("nn:ss", FRedialAt - now);
        FView.SetStatusLine(FStatusLine);
        return;
    }
    if (FData.Status.RedialMode == 2) {
        // In turn through the entries of the current tariff, starting after the one that failed.
        const std::vector<std::string> cycle = EntriesOfCurrentTariff();
        if (!cycle.empty()) {
            const auto at = std::find(cycle.begin(), cycle.end(), FDialEntry);
            if (at != cycle.end())
                FCycleIndex = static_cast<std::size_t>(at - cycle.begin()) + 1;
            FCycleIndex %= cycle.size();
            SetDialEntry(cycle[FCycleIndex]);
            FCycleIndex = (FCycleIndex + 1) % cycle.size();
            FView.SetEntries(SortedEntries(), FDialEntry);
        }
    }
    Busy(true);
    FTimerRecall->SetEnabled(false);
    FTimerDelay->SetEnabled(true);
    SetProgress(0);
}

void TWaitRasController::CancelDial(bool silent)
{
    FData.Status.SetDialingNumber("");
    if (!silent && FOpen)
        DialLog("Chiusura della connessione a " + FDialEntry + "...", true);
    if (OnDisconnect)
        OnDisconnect();
    CloseDialWindow();
}

void TWaitRasController::CloseDialWindow()
{
    if (!FOpen)
        return;
    FOpen = false;
    FTimerDelay->SetEnabled(false);
    FTimerRecall->SetEnabled(false);
    FView.CloseWindow();
}

void TWaitRasController::DialLog(const std::string& text, bool addToMemo)
{
    if (OnGeneral)
        OnGeneral(text);
    FStatusLine = text;
    FView.SetStatusLine(text);
    if (addToMemo) {
        FView.AddMemoLine(text);
        ++FMemoLines;
    }
}

void TWaitRasController::ClearStatusLine()
{
    FStatusLine.clear();
    FView.SetStatusLine("");
}

void TWaitRasController::RefreshTariff()
{
    TTaxItem* tax = FData.Status.Tax();
    FView.SetTariffLabel(tax ? tax->DisplayName() : std::string());
}

void TWaitRasController::CancelClicked()
{
    SetProgress(ProgressMax);
    CancelDial(false);
}

void TWaitRasController::EntryChosen(const std::string& entry)
{
    if (!entry.empty())
        SetDialEntry(entry);
}

void TWaitRasController::ModeToggled(bool checked)
{
    FModeChecked = checked;
    FData.Status.RedialMode = checked ? 2 : 1;
    FView.SetModeCheck(true, checked, ModeHint());
}

std::string TWaitRasController::ModeHint()
{
    if (!FModeChecked)
        return "Prova con la connessione corrente";
    std::string hint = "Riprova ciclicamente con ";
    for (const std::string& e : EntriesOfCurrentTariff())
        hint += "\r" + Trim(e);
    return hint;
}

std::vector<std::string> TWaitRasController::SortedEntries()
{
    std::vector<std::string> entries;
    FData.RasMonitor.RasEntries(entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}

void TWaitRasController::TariffDoubleClicked()
{
    if (OnOpenTariffChooser)
        OnOpenTariffChooser();
}

} // namespace qv
