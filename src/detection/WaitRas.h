#pragma once
// The dial window's rules, without the window: it waits, fetches or asks the credentials, dials an
// entry through the dial-up monitor, logs the progress, shows errors, and redials after a failure,
// optionally in turn through the entries that share the current tariff. One window at a time; the
// Qt window implements IWaitRasView and stays thin.

#include "app/DataModule.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

// What the credentials box opens with.
struct TCredentialsRequest
{
    std::string Caption;
    std::string User;
    std::string Password;
    bool FocusPassword = false;
    static constexpr const char* Text = "Immettere il nome utente e la password della connessione";
    static constexpr const char* UserLabel = "Nome utente:";
    static constexpr const char* PasswordLabel = "Password:";
    static constexpr const char* SaveLabel = "Salva la password";
};

class IWaitRasView
{
public:
    virtual ~IWaitRasView() = default;
    // Creates the window when needed and shows it (modeless).
    virtual void ShowWindow() = 0;
    // Closes the window; it is released a moment later.
    virtual void CloseWindow() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetCancelCaption(const std::string& caption) = 0;
    virtual void SetAnimation(bool running) = 0;
    virtual void SetRetryVisible(bool visible) = 0;
    virtual void SetEntryListEnabled(bool enabled) = 0;
    // The phone book, sorted, with the entry to select.
    virtual void SetEntries(const std::vector<std::string>& entries, const std::string& selected) = 0;
    virtual void SetProgress(int position, int maximum) = 0;
    // The whole text; the window cuts it to the progress bar's width and keeps it in the hint.
    virtual void SetStatusLine(const std::string& text) = 0;
    virtual void AddMemoLine(const std::string& text) = 0;
    virtual void ClearMemo() = 0;
    virtual void SetStateLabel(const std::string& text) = 0;
    virtual void SetTariffLabel(const std::string& text) = 0;
    virtual void SetModeCheck(bool visible, bool checked, const std::string& hint) = 0;
    virtual void WarningBeep() = 0;
    virtual void BringToFront() = 0;
    // Runs the credentials box modally. ok(user, password, savePassword) is called on OK and returns
    // false to keep the box open. Returns true when the box was confirmed.
    virtual bool RunCredentialsBox(const TCredentialsRequest& request,
                                   const std::function<bool(const std::string&, const std::string&, bool)>& ok) = 0;
    // Lets the program run until open() turns false: a question asked first (the tariff chooser)
    // is answered before the next one opens.
    virtual void WaitWhile(const std::function<bool()>& open) = 0;
};

class TWaitRasController
{
public:
    TWaitRasController(TServices& services, TDataModule& data, IWaitRasView& view);
    ~TWaitRasController();

    // Where the live status's Dial ends: opens (or reuses) the window and arms the first attempt.
    void OpenDialWindow(const std::string& entry, std::uint32_t delayMs);
    bool IsDialWindowOpen() const { return FOpen; }
    // text empty: the text of the last dial-up error.
    void ShowDialError(const std::string& text);
    void CancelDial(bool silent);
    void CloseDialWindow();
    void DialLog(const std::string& text, bool addToMemo);
    // A busy line (after the state machine went idle): schedule the redial.
    void LineBusy();
    void ClearStatusLine();
    void BringToFront() { FView.BringToFront(); }
    void RefreshTariff();

    // The window's controls.
    void CancelClicked();
    void RetryClicked() { OpenDialWindow(FDialEntry, 10); }
    void EntryChosen(const std::string& entry);
    void ModeToggled(bool checked);
    void TariffDoubleClicked();
    // The window was closed by its frame.
    void WindowClosed() { CloseDialWindow(); }

    // The main window's side: the general balloon, the disconnect command, the tariff chooser.
    std::function<void(const std::string&)> OnGeneral;
    std::function<void()> OnDisconnect;
    std::function<void()> OnOpenTariffChooser;

    // The names of the dial-up entries whose tariff is the current one.
    std::vector<std::string> EntriesOfCurrentTariff();
    // The seconds before a redial: the entry's RetryTime, kept below one hour (the moment is built
    // from minutes and seconds, and the wait is shown as mm:ss).
    std::int32_t RetrySeconds() const;

    const std::string& DialEntry() const { return FDialEntry; }
    int Attempt() const { return FAttempt; }
    double RedialAt() const { return FRedialAt; }
    const std::string& StatusLine() const { return FStatusLine; }
    // The text of the last error shown in the window.
    const std::string& LastError() const { return FLastError; }
    std::string Caption() const { return "Connessione a " + FDialEntry; }
    Timer& TimerDelay() { return *FTimerDelay; }
    Timer& TimerRecall() { return *FTimerRecall; }
    static constexpr int ProgressMax = 10;
    static constexpr int MaxMemoLines = 100;

private:
    void RunAttempt();
    void StartDial();
    void ScheduleRedial();
    void Recall();
    void SetProgress(int position);
    void SetDialEntry(const std::string& entry);
    void Busy(bool dialling);
    std::string ModeHint();
    std::vector<std::string> SortedEntries();
    bool CredentialsOk(const std::string& user, const std::string& password, bool save);

    TServices& FServices;
    TDataModule& FData;
    IWaitRasView& FView;
    std::unique_ptr<Timer> FTimerDelay;
    std::unique_ptr<Timer> FTimerRecall;
    bool FOpen = false;
    std::string FDialEntry;
    int FAttempt = 0;
    bool FPasswordConfirmed = false;
    std::string FUser, FPassword;
    double FRedialAt = 0;
    std::size_t FCycleIndex = 0;
    bool FModeChecked = false;
    int FMemoLines = 0;
    int FProgress = 0;
    std::string FStatusLine;
    std::string FLastError;
};

} // namespace qv
