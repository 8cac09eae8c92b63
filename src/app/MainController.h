#pragma once
// The rules of the main window, without the window: what each live-status notification shows, the
// window's timers, disconnecting (by hand, by limits, at a scheduled time), the automatic dial, the
// end of start-up, going on line and the end of a connection, hiding and showing, the menu's
// visibility, and the closing questions. The Qt window implements IMainView and stays thin.

#include "app/DataModule.h"
#include "app/PlanWatch.h"
#include "app/ProcessControl.h"
#include "detection/International.h"
#include "detection/WaitRas.h"

#include <memory>
#include <optional>
#include <string>

namespace qv {

enum class TMainLabel
{
    TempoTrascorso,
    NumeroScatti,
    Spesa,
    Quorvanta,
    BytesTransmitted,
    BytesReceived
};
enum class TBalloon
{
    Greetings,
    Tariff,
    Comparison,
    General
};

class IMainView
{
public:
    virtual ~IMainView() = default;
    virtual void SetLabel(TMainLabel label, const std::string& text) = 0;
    virtual void SetPulseLabelVisible(bool visible) = 0;
    virtual void SetProgress(int maximum, int position) = 0;
    virtual void SetProgressHint(const std::string& text) = 0;
    // foNone is the transparent icon.
    virtual void SetTrayIcon(TFasciaOraria band) = 0;
    virtual void SetTrayHint(const std::string& text) = 0;
    virtual void ShowBalloon(TBalloon balloon, const std::string& title, const std::string& text, int ms) = 0;
    // The data plan of the link that is up (Level None: no line, the tray as the bands set it).
    virtual void SetPlanView(const TPlanView& view) = 0;
    virtual void SetWindowVisible(bool visible) = 0;
    virtual void BringToFront() = 0;
    virtual void SetDisconnectButtonVisible(bool visible) = 0;
    virtual void SetShowHideCaption(const std::string& caption) = 0;
    virtual void OpenTariffChooser() = 0;
    // Opens the international-number warning window modally.
    virtual void OpenInternationalWarning(TInternationalWarning& warning) = 0;
};

// What the popup menu shows when it opens.
struct TMenuState
{
    bool Disconnect, DisconnectAt, Connections, Start, Popup, IpAddress;
    std::string IpCaption;
};

class TMainController
{
public:
    TMainController(TServices& services, TDataModule& data, IMainView& view);
    ~TMainController();

    // The first activation of the window: its timers, the dial-up poll and the counters.
    void FirstActivation();
    // What starts and terminates programs (none: programs are never run).
    TProcessControl* Programs = nullptr;
    // The run button: the profile's programs started by hand.
    void RunManualPrograms();
    // The program closes: the profile's programs of that close kind end.
    void CloseExitPrograms();
    // The balloon and sound of a program that could not start or end, set on a program list.
    void PrepareProgramList(TProcessItems& list);
    // reason: why the connection ends, for the record of its end.
    void Disconnect(bool ask, TEndReason reason = erUser);
    // The budget and idle watch (none: no budget, no idle rule, no end reasons).
    void AttachBudget(TBudgetWatch* watch);
    // The data plans' watch (none: no plans shown).
    void AttachPlans(TPlanWatch* watch);
    // True while counting or when the system is on line; otherwise asks, when ask is set.
    bool IsOnlineOrAsk(bool ask);
    void SetHidden(bool hidden);
    bool Hidden() const { return FHidden; }
    TMenuState MenuState() const;
    // A later start of the program reached this one (wParam: its run mode).
    void SecondStart(int wParam);
    // The close request: false keeps the program running.
    bool CloseQuery();
    // The desktop session ends: a running count is stored without a question.
    void SessionEnding();
    // Shows the comparison and the general balloon per the profile's TrayHintPause.
    void ApplyTrayHintPause();
    void ManualStart() { FData.ManualStart(); }
    // The dial window the program's own dials go through (none: dials are only requested).
    void AttachDialWindow(TWaitRasController* dial);
    // An entry chosen in the connections menu.
    void DialFromMenu(const std::string& entry);
    // The warning window for a number abroad: entry and number of the phone-book scan, or both
    // empty for the number being dialled.
    void ShowInternationalWarning(const std::string& entry, const std::string& number);
    // The phone-book scan started at the end of start-up (none before).
    const TCheckInternationalThread* InternationalCheck() const { return FCheckInternational.get(); }

    // The scheduled-disconnection dialog: what it opens with, the hours field, OK and Cancel.
    struct TSchedule
    {
        double Moment;
        bool Shutdown;
    };
    TSchedule ScheduleOnOpen() const;
    // now + N hours for a whole number N typed in the hours field; none for anything else.
    std::optional<double> ScheduleFromHours(const std::string& text) const;
    // False (with its warning) when the moment is already past; the dialog then stays open.
    bool ScheduleOk(double date, double time, bool shutdown);
    void ScheduleCancel();

    bool StartupQuiet = true;
    bool StartedByWinStart = false;
    // The system's own answer whether it is on line (the HTTP subsystem's connection-state query).
    std::function<bool()> SystemOnline;
    // Hooks to the subsystems that come later: the SMS queue, the time check, the announcement check.
    std::function<int()> QueuedSms;
    std::function<void()> SendQueuedSms;
    std::function<void(const std::string& server)> StartTimeCheck;
    std::function<void()> StartAnnounceCheck;
    std::string LastComparison;
    // An SMS to send now: queued, and sent at once when on line (the queue reminder then waits);
    // unless quiet, "MsgToSend" plays.
    void SendSmsNow(TSmsMsgItem& message, bool quiet);
    // A popup message was sent or failed (the popup window refreshes).
    std::function<void()> OnPopupChange;
    // An SMS was sent or failed (the SMS window refreshes).
    std::function<void()> OnSmsChange;
    // A connection was logged (an open statistics window refreshes).
    std::function<void()> OnLogChange;
    // The look of the window: the tariff's skin, else the profile's; the first skin, with a balloon,
    // when that one cannot be had. Runs at start and after every tariff change.
    void ApplySkin();
    TBudgetWatch* Budget() const { return FBudget; }

    Timer& TimerDisconnessione() { return *FTimerDisconnessione; }
    Timer& TimerMinimize() { return *FTimerMinimize; }
    Timer& TimerDelayRasConnect() { return *FTimerDelayRasConnect; }
    Timer& TimerSms() { return *FTimerSms; }
    Timer& TimerCheckTime() { return *FTimerCheckTime; }
    Timer& TimerCheckAnnounce() { return *FTimerCheckAnnounce; }

    // Text forms of the display, also used by the tests.
    static std::string ElapsedText(std::int32_t elapsed);

private:
    void UpdateTrayHint();
    // The band the tray shows: none while a data plan's share is shown instead.
    TFasciaOraria TrayBand(TFasciaOraria band) const;
    TBudgetWatch* FBudget = nullptr;
    TPlanWatch* FPlans = nullptr;
    std::string FSaintsHint;
    void General(const std::string& text);
    void Tariff(const std::string& text);
    void Bind();
    void ResetDisplay(bool withPulses);
    void ShowCost();
    void OnTimeChange();
    void OnRemainingChange();
    void OnTaxChange(TTaxItem* previous);
    void OnBandChange(TFasciaOraria band);
    void OnDayChange();
    void OnStartTime();
    void OnStartCounting();
    void OnConnectionInfo();
    void OnConnectionSaved(const TConnectionData& record);
    void AutoDisconnect();
    void AutoDial();
    void EndOfStartup();
    void SetConnectionTimers(bool on);
    TProfileItem* Profile() const { return FData.Status.Profile(); }

    TServices& FServices;
    TDataModule& FData;
    IMainView& FView;
    bool FHidden = false;
    bool FShuttingDown = false;
    bool FGeneralOn = true;
    bool FComparisonOn = true;
    int FComparisonMs = 10000;
    std::string FLastBandMessage;
    std::unique_ptr<Timer> FTimerSystem;
    std::unique_ptr<Timer> FTimerMinimize;
    std::unique_ptr<Timer> FTimerDelayRasConnect;
    std::unique_ptr<Timer> FTimerDisconnessione;
    std::unique_ptr<Timer> FTimerPerformanceNT;
    std::unique_ptr<Timer> FTimerSms;
    std::unique_ptr<Timer> FTimerCheckTime;
    std::unique_ptr<Timer> FTimerCheckAnnounce;
    TWaitRasController* FDial = nullptr;
    std::unique_ptr<TCheckInternationalThread> FCheckInternational;
};

} // namespace qv
