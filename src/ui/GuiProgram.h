#pragma once
// The program on the Qt event loop: environment, services, single instance, data files, main window
// and tray, put together in the start-up order.

#include "app/AnnounceCheck.h"
#include "app/DataModule.h"
#include "app/MainController.h"
#include "app/ProcessControl.h"
#include "app/TariffChooser.h"
#include "app/TimeCheck.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "core/Services.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxSystem.h"
#include "ui/QtPrompter.h"
#include "ui/QtRegistry.h"
#include "ui/QtTime.h"
#include "ui/TfmImpostazioni.h"
#include "ui/TfmStatistiche.h"
#include "ui/TfmPopup.h"
#include "ui/TfmSms.h"
#include "ui/TfmDesignSkin.h"
#include "ui/TfmMain.h"
#include "ui/TfmWaitRas.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <memory>

namespace qv {

// Routes every exception that reaches the event loop to the program's handler.
class TQvApplication : public QApplication
{
public:
    TQvApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
    TExceptionHandler* Handler = nullptr;
};

class TGuiProgram : public QObject
{
    Q_OBJECT
public:
    // args: the command line without the program name.
    TGuiProgram(std::string exePath, std::vector<std::string> args);
    ~TGuiProgram() override;

    // Runs start-up; returns -1 when the event loop should run, else the exit code.
    int Start();
    void Quit();

    TfmMain* MainWindow() { return FMainWindow.get(); }
    TTrayIcon* Tray() { return FTray.get(); }
    TServices& Services() { return *FServices; }
    const TCommandLine& CommandLine() const { return FCommandLine; }
    TRunMode RunMode() const { return FRunMode; }
    TExceptionHandler& Handler() { return *FHandler; }
    TDataModule* Data() { return FData.get(); }
    TMainController* Controller() { return FController.get(); }
    TWaitRasController* DialController() { return FDial.get(); }
    TWaitRasView* DialView() { return FDialView.get(); }
    IRasApi* DialUp() { return FDialUp.get(); }
    TInternetTime* InternetTime() { return FInternetTime.get(); }
    TProcessControl* Programs() { return FPrograms.get(); }
    TTimeCheck* TimeCheck() { return FTimeCheck.get(); }
    TBudgetWatch* BudgetWatch() { return FBudgetWatch.get(); }
    TTariffChooser& Chooser()
    {
        if (!FChooser)
            FChooser = std::make_unique<TTariffChooser>(*FServices, *FData);
        return *FChooser;
    }
    // Opens the settings window, or brings the open one forward.
    TfmImpostazioni* OpenSettings();
    // Opens the statistics window, or brings the open one forward.
    TfmStatistiche* OpenStatistics();
    // Opens the popup messages' window, or brings it forward.
    TfmPopup* OpenPopup();
    // Opens the SMS window, or brings it forward.
    TfmSms* OpenSms();
    // Opens the skin editor, or brings it forward.
    TfmDesignSkin* OpenSkinEditor();
    // A skin chosen in the menu: applied and kept as the profile's.
    void ChooseSkinFromMenu(const std::string& name);
    // Raised when a later start reached this program (after the window was shown).
    std::function<void(int)> OnSecondStart;

private:
    void SecondStart(int wParam, int lParam);
    void WatchTerminationSignals();
    void EndSession();
    void SetHidden(bool hidden);
    std::string FExePath;
    std::vector<std::string> FArgs;
    TCommandLine FCommandLine;
    TRunMode FRunMode = TRunMode::rmNormal;

    TSystemClock FClock;
    TQtTimerService FTimers;
    TQtPrompter FPrompter;
    TLinuxFileSystem FFiles;
    TLinuxSystem FSystem;
    std::unique_ptr<TQtRegistry> FRegistryStore;
    std::unique_ptr<TRegistry> FRegistry;
    TAppEnvironment FEnv;
    std::unique_ptr<TServices> FServices;
    std::unique_ptr<TExceptionHandler> FHandler;
    std::unique_ptr<ISingleInstance> FSingle;
    std::unique_ptr<IRasApi> FDialUp;
    std::unique_ptr<ISoundOutput> FSoundOutput;
    std::unique_ptr<ITapiService> FModem;
    // HTTP through libcurl, for the SMS gateways and the check for news (outlives the data).
    std::unique_ptr<IHttpTransport> FHttp;
    std::unique_ptr<TDataModule> FData;
    std::unique_ptr<IProcessLauncher> FLauncher;
    std::unique_ptr<TProcessControl> FPrograms;
    std::unique_ptr<ITimeTransport> FTimeTransport;
    std::unique_ptr<IClockSetter> FClockSetter;
    std::unique_ptr<TInternetTime> FInternetTime;
    std::unique_ptr<TTimeCheck> FTimeCheck;
    std::unique_ptr<TfmMain> FMainWindow;
    std::unique_ptr<TTrayIcon> FTray;
    // Declared before the main window's controller, which detaches from the dial window when it goes.
    std::unique_ptr<TWaitRasView> FDialView;
    std::unique_ptr<TWaitRasController> FDial;
    std::unique_ptr<TMainController> FController;
    bool FStarting = false;     // the data files are being loaded (questions may be open)
    bool FSessionEnded = false; // SIGTERM, SIGHUP or SIGINT came
    // After the controller, which it calls back: it goes first.
    std::unique_ptr<TBudgetWatch> FBudgetWatch;
    // The data plans: the links' counters and the links themselves, then the watch that uses them.
    std::unique_ptr<INetCounters> FNetCounters;
    std::unique_ptr<ILinkWatcher> FLinkWatcher;
    std::unique_ptr<TPlanWatch> FPlanWatch;
    // A simulated run: traffic on the plans' links.
    std::unique_ptr<Timer> FSimTraffic;
    void StartPlans();
    TNetLinks SimulatedLinks() const;

public:
    // Edits the data plans through the running watch (what it counted is kept).
    void EditPlans(const std::function<void(TDataPlans&)>& edit);
    TPlanWatch* PlanWatch() const { return FPlanWatch.get(); }

private:
    // The check for news and releases.
    std::unique_ptr<THTMLControl> FHtmlCheckVersion;
    std::unique_ptr<TAnnounceCheck> FAnnounce;
    void OpenAbout();
    std::unique_ptr<TTariffChooser> FChooser;
    std::unique_ptr<QSocketNotifier> FSignalNotifier;
    QPointer<TfmImpostazioni> FSettingsWindow;
    QPointer<TfmStatistiche> FStatsWindow;
    QPointer<TfmPopup> FPopupWindow;
    QPointer<TfmSms> FSmsWindow;
    QPointer<TfmDesignSkin> FSkinEditor;
    void WireWindow();
    void ChooseTariff();
    void BuildConnectionsMenu();
};

} // namespace qv
