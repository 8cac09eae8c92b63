#include "ui/GuiProgram.h"

#include "platform/sim/SimModem.h"
#include "platform/sim/SimPopup.h"
#include "ui/TfmAbout.h"
#include "platform/linux/Modules.h"
#include "ui/TfmGuida.h"
#include "platform/linux/SmbPopupTransport.h"

#include "app/Install.h"
#include "core/Errors.h"
#include "core/Shell.h"
#include "core/Strings.h"
#include "core/Version.h"
#include "platform/linux/LinuxSingleInstance.h"
#include "platform/linux/NetlinkLinks.h"
#include "platform/linux/PppdDialUp.h"
#include "platform/linux/SysNetCounters.h"
#include "platform/linux/LinuxProcesses.h"
#include "platform/linux/TcpTimeTransport.h"
#include "platform/sim/SimDialUp.h"
#include "platform/sim/SimTime.h"
#include "ui/SettingsPagesUi.h"
#include "ui/ShowWindowChecked.h"
#include "ui/TfmDisconnessione.h"
#include "ui/TfmGateway.h"
#include <QMenu>
#include "ui/TfmTariffe.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QUrl>
#include <QDir>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <QFile>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sys/socket.h>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace qv {

bool TQvApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EHaltRequested&) {
        throw;
    } catch (const std::exception& e) {
        if (Handler) {
            const std::string cls = receiver ? receiver->metaObject()->className() : "TObject";
            const std::string name = receiver ? receiver->objectName().toStdString() : std::string();
            Handler->Handle(SenderText(cls, name), e.what());
        }
    }
    return false;
}

namespace {

std::optional<std::string> GetEnv(const std::string& name)
{
    const char* v = std::getenv(name.c_str());
    return v ? std::optional<std::string>(v) : std::nullopt;
}

// The write end of the pipe through which a termination signal reaches the event loop.
int SignalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[0], &byte, 1);
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TGuiProgram::TGuiProgram(std::string exePath, std::vector<std::string> args)
    : FExePath(std::move(exePath)), FArgs(std::move(args))
{
}

TGuiProgram::~TGuiProgram()
{
    if (FData)
        FData->Skins.SetForm(nullptr);
    delete FPopupWindow.data();
    delete FSmsWindow.data();
    delete FSkinEditor.data();
    delete FStatsWindow.data();
    delete FSettingsWindow.data();
    if (FData)
        FData->SaveAllModified();
}

void TGuiProgram::WatchTerminationSignals()
{
    // A logout or shutdown sends SIGTERM (systemd) or SIGHUP (the terminal): the handler only
    // writes a byte, and the session's end runs on the main thread.
    if (SignalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0)
        return;
    FSignalNotifier = std::make_unique<QSocketNotifier>(SignalPipe[1], QSocketNotifier::Read);
    connect(FSignalNotifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(SignalPipe[1], &byte, 1);
        EndSession();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &sa, nullptr);
}

void TGuiProgram::EndSession()
{
    // As at the desktop's end of session: the running count is stored without a question and
    // every component saves; the windows go when the event loops (modal ones too) have ended.
    // During the start-up a question that is open answers nothing (a pending count stays for the
    // next start) and the start stops where it is.
    FPrompter.SessionEnding = true;
    FSessionEnded = true;
    if (FStarting) {
        QCoreApplication::exit(0);
        return;
    }
    if (FController)
        FController->SessionEnding();
    if (FData)
        FData->SaveAllModified();
    QCoreApplication::exit(0);
}

int TGuiProgram::Start()
{
    WatchTerminationSignals();
    // 1. The environment, before any window exists.
    const auto dataDirArg = TakeDataDirArg(FArgs);
    FEnv.ExePath = FExePath;
    FEnv.AppName = "Quorvanta";
    FEnv.AppVersion = ProjectVersion;
    FEnv.AppBuild = BuildFromVersion(FEnv.AppVersion);
    ResolveUserFolders(FEnv, GetEnv, "");
    FEnv.AppPath = ResolveDataFolder(dataDirArg, GetEnv, FExePath,
                                     [this](const std::string& p) { return FFiles.Exists(p); });
    ResolveUserFolders(FEnv, GetEnv, ReadText(FEnv.ConfigDir + "/user-dirs.dirs"));
    FRunMode = RunModeFromExeName(FExePath);
    FCommandLine = ParseCommandLine(FArgs);

    const QString registryFile = QString::fromStdString(GetEnv("QUORVANTA_SETTINGS_FILE").value_or(""));
    FRegistryStore = std::make_unique<TQtRegistry>(registryFile);
    FRegistry = std::make_unique<TRegistry>(*FRegistryStore);
    FServices = std::make_unique<TServices>(TServices{FClock, FTimers, FPrompter, FFiles, FSystem, *FRegistry, FEnv});
    FHandler = std::make_unique<TExceptionHandler>(*FServices, FClock.Now());
    if (auto* app = dynamic_cast<TQvApplication*>(QCoreApplication::instance()))
        app->Handler = FHandler.get();
    QApplication::setApplicationName(QString::fromStdString(FEnv.AppName));
    QApplication::setQuitOnLastWindowClosed(false);

    try {
        EnsurePrivateFolder(FEnv.AppPath);
        if (::chdir(FEnv.AppPath.c_str()) != 0)
            throw EQvError("Impossibile usare la cartella dei dati " + FEnv.AppPath);

        // 2. The main window and the single-instance check.
        FMainWindow = std::make_unique<TfmMain>();
        FPrompter.SetParent(nullptr);
        auto single = std::make_unique<TLinuxSingleInstance>(FTimers, TLinuxSingleInstance::DefaultFolder());
        FSingle = std::move(single);
        if (!FSingle->Acquire()) {
            FSingle->SendToRunning(static_cast<int>(FRunMode), 0);
            if (FRunMode != TRunMode::rmNormal)
                ShowWarning(FPrompter, "Impossibile procedere: il programma è già in esecuzione!\rChiudi Quorvanta e "
                                       "ritenta... sarai più fortunato!");
            return 0;
        }

        if (FRunMode == TRunMode::rmUninstall) {
            UninstallProgram(*FServices);
            return 0;
        }
        if (FRunMode == TRunMode::rmInstall) {
            if (AskYesNo(FPrompter, "Installare Quorvanta in " + ProgramFilesFolder(FEnv) + "?") == TModalResult::mrYes) {
                InstallProgram(*FServices, ProgramFilesFolder(FEnv), [](const std::string& step) {
                    std::cerr << step << "\n";
                });
                ShowInfo(FPrompter, "Quorvanta è stato installato.");
            }
            return 0;
        }

        // 3. Normal start: the data files in their order, then the window and the tray.
        if (FCommandLine.Simulate) {
            auto sim = std::make_unique<TSimDialUp>(FClock, FTimers);
            sim->AddDemoEntries();
            FDialUp = std::move(sim);
        } else {
            auto pppd = std::make_unique<TPppdDialUp>(FTimers);
            pppd->Keyring = modules::Keyring();
            FDialUp = std::move(pppd);
        }
        FSoundOutput = modules::SoundOutput(FTimers);
        // The modem lines: ModemManager, or a simulated modem.
        if (FCommandLine.Simulate)
            FModem = std::make_unique<TSimModem>();
        else
            FModem = modules::ModemLines(FTimers);
        // Popup messages through Samba's smbclient, or simulated.
        std::shared_ptr<IPopupTransport> popup;
        if (FCommandLine.Simulate)
            popup = std::make_shared<TSimPopupTransport>();
        else
            popup = std::make_shared<TSmbPopupTransport>();
        FHttp = modules::HttpTransport();
        FData = std::make_unique<TDataModule>(*FServices, nullptr, FDialUp.get(), FSoundOutput.get(), FModem.get(),
                                              popup, FHttp.get());
        FLauncher = std::make_unique<TLinuxProcessLauncher>();
        FPrograms = std::make_unique<TProcessControl>(FTimers, *FLauncher);
        FStarting = true;
        FData->LoadAll();
        FStarting = false;
        if (FSessionEnded)
            return 0;
        // The time server: a simulated one, 75 seconds ahead, with --simulate (the clock is left alone).
        if (FCommandLine.Simulate) {
            auto sim = std::make_unique<TSimTimeTransport>(FClock, FTimers);
            sim->OffsetSeconds = 75;
            FTimeTransport = std::move(sim);
            FClockSetter = std::make_unique<TSimClockSetter>();
        } else {
            FTimeTransport = std::make_unique<TTcpTimeTransport>(FTimers);
            FClockSetter = modules::ClockSetter();
        }
        FInternetTime = std::make_unique<TInternetTime>(*FServices, *FTimeTransport);
        FInternetTime->SetTimeOut(20000);
        FInternetTime->Host = TInternetTime::DefaultServer;
        FTimeCheck = std::make_unique<TTimeCheck>(*FServices, *FData, *FInternetTime, *FClockSetter);
        FData->Status.SetProfile(&FData->Settings.SelectProfile(FCommandLine.ProfileName));
        FHandler->StateText = [this] { return TMtxMatrixStatus::StateDescription(FData->MtxStatus.State()); };
        FHandler->LastRasApi = [this] { return FData->RasMonitor.LastRasAPI; };
        FHandler->RasControlProcedure = [this] { return FData->RasMonitor.RasControlProcedure; };
        FHandler->TapiDevice = [this] { return FData->TapiMonitor.MonitoredName(); };
        FData->TapiMonitor.OnCallbackException = [this](const std::string& text) { FHandler->Handle("TTapiControl", text); };
        FTray = std::make_unique<TTrayIcon>();
        FTray->SetHint(QStringLiteral("Quorvanta"));
        FTray->Show();
        FMainWindow->SetTray(FTray.get());
        FMainWindow->ShowIdle();
        FMainWindow->RememberPosition(*FRegistry);
        FData->Skins.SetForm(&FMainWindow->SkinForm());
        FController = std::make_unique<TMainController>(*FServices, *FData, *FMainWindow);
        FController->StartedByWinStart = FCommandLine.StartedByWinStart;
        FController->Programs = FPrograms.get();
        // "SystemOnline": NetworkManager's answer, else a default route.
        FController->SystemOnline = [] { return modules::InternetConnected(); };
        FBudgetWatch = std::make_unique<TBudgetWatch>(*FServices, FData->Budgets, FData->Connections, FData->Status,
                                                      FData->Sounds());
        FController->AttachBudget(FBudgetWatch.get());
        StartPlans();
        FHtmlCheckVersion = std::make_unique<THTMLControl>(*FServices, *FHttp);
        FAnnounce = std::make_unique<TAnnounceCheck>(*FServices, *FData, *FHtmlCheckVersion);
        FAnnounce->ShowBalloon = [this](const std::string& t) { FMainWindow->ShowBalloon(TBalloon::General, "", t, 5000); };
        FAnnounce->OpenAbout = [this] {
            OpenAbout();
            FData->QuestionPending = false;
        };
        FController->StartAnnounceCheck = [this] { FAnnounce->Start(false); };
        FDialView = std::make_unique<TWaitRasView>(FMainWindow.get());
        FDial = std::make_unique<TWaitRasController>(*FServices, *FData, *FDialView);
        FDialView->SetController(FDial.get());
        FController->AttachDialWindow(FDial.get());
        WireWindow();
        FController->ApplySkin();
        FSingle->OnMessage = [this](int w, int l) { SecondStart(w, l); };
        FMainWindow->show();
        FController->FirstActivation();
        // The modem named in the settings is watched (silently).
        FData->StartTapiMonitor(false);
    } catch (const EHaltRequested& h) {
        return h.Code;
    } catch (const std::exception& e) {
        StartupFailed(*FServices, *FHandler, e.what());
        return 1;
    }
    return FSessionEnded ? 0 : -1;
}

TNetLinks TGuiProgram::SimulatedLinks() const
{
    TNetLinks up;
    for (const TDataPlan& p : FData->Plans.PlanList()) {
        TNetLink l;
        l.Interface = !p.Interface.empty() ? p.Interface : "wwan" + std::to_string(up.size());
        l.ConnectionUuid = p.ConnectionUuid;
        l.ConnectionName = p.Name;
        l.Metered = true;
        l.Handle = "/org/freedesktop/NetworkManager/ActiveConnection/" + std::to_string(up.size());
        up[l.Interface] = l;
    }
    return up;
}

void TGuiProgram::StartPlans()
{
    if (FCommandLine.Simulate) {
        // Every plan's link is up and moves 1,5 MB a second.
        auto counters = std::make_unique<TSimNetCounters>();
        auto links = std::make_unique<TSimLinkWatcher>();
        links->Links = SimulatedLinks();
        FSimTraffic = FServices->Timers.CreateTimer("TimerTraffico", 1000);
        FSimTraffic->OnTimer = [c = counters.get(), l = links.get()] {
            for (const auto& [name, link] : l->Links) {
                TInterfaceBytes& bytes = c->Interfaces[name];
                bytes.Received += 1400000;
                bytes.Sent += 100000;
            }
        };
        FNetCounters = std::move(counters);
        FLinkWatcher = std::move(links);
    } else {
        FNetCounters = std::make_unique<TSysNetCounters>();
        FLinkWatcher = MakeLinkWatcher(FTimers);
    }
    FPlanWatch = std::make_unique<TPlanWatch>(*FServices, FData->Plans, *FNetCounters, *FLinkWatcher);
    FController->AttachPlans(FPlanWatch.get());
    FPlanWatch->Start();
}

void TGuiProgram::EditPlans(const std::function<void(TDataPlans&)>& edit)
{
    if (!FPlanWatch) {
        edit(FData->Plans);
        FData->Plans.Save();
        return;
    }
    FPlanWatch->EditPlans(edit);
    // A simulated run: the new plans' links are up too.
    if (auto* sim = dynamic_cast<TSimLinkWatcher*>(FLinkWatcher.get()))
        sim->Set(SimulatedLinks());
}

void TGuiProgram::SetHidden(bool hidden)
{
    if (FController)
        FController->SetHidden(hidden);
}

void TGuiProgram::WireWindow()
{
    TMainController& c = *FController;
    FHandler->ShowGeneralBalloon = [this](const std::string& t) {
        FMainWindow->ShowBalloon(TBalloon::General, "", t, 3000);
    };
    FTray->OnExit = [this] { Quit(); };
    // Asked outside the window's own close event, since closing may destroy the window.
    FMainWindow->OnCloseRequest = [this] { QTimer::singleShot(0, this, [this] { Quit(); }); };
    FTray->OnShowHide = [this] { SetHidden(!FController->Hidden()); };
    // A double click on the icon also remembers the choice in the profile.
    FTray->OnDoubleClick = [this] {
        SetHidden(!FController->Hidden());
        if (TProfileItem* p = FData->Status.Profile())
            p->SetForceHide(FController->Hidden());
    };
    FTray->OnClick = [this] {
        FMainWindow->BringToFront(); // the program comes forward, then tells its state
        const std::string text = FData->Status.StatusText();
        if (!text.empty())
            FMainWindow->ShowBalloon(TBalloon::General, "", text, 3000);
    };
    FTray->OnMenuAboutToShow = [this] {
        const TMenuState m = FController->MenuState();
        FTray->Item(QStringLiteral("&Disconnetti"))->setVisible(m.Disconnect);
        FTray->Item(QStringLiteral("Disconnetti a&lle..."))->setVisible(m.DisconnectAt);
        FTray->Item(QStringLiteral("C&onnessioni"))->setVisible(m.Connections);
        FTray->Item(QStringLiteral("St&art"))->setVisible(m.Start);
        QAction* ip = FTray->Item(QStringLiteral("IndirizzoIP"));
        ip->setVisible(m.IpAddress);
        ip->setText(QString::fromStdString(m.IpCaption));
        BuildConnectionsMenu();
    };
    connect(FTray->Item(QStringLiteral("St&art")), &QAction::triggered, this, [&c] { c.ManualStart(); });
    connect(FTray->Item(QStringLiteral("&Disconnetti")), &QAction::triggered, this, [&c] { c.Disconnect(true); });
    connect(FTray->Item(QStringLiteral("&Tariffe")), &QAction::triggered, this, [this] { ChooseTariff(); });
    FTimeCheck->ShowBalloon = [this](const std::string& t) { FMainWindow->ShowBalloon(TBalloon::General, "", t, 5000); };
    c.StartTimeCheck = [this](const std::string& server) { FTimeCheck->Start(server); };
    QAction* timeItem = FTray->Item(QStringLiteral("Se&gnale o&rario..."));
    timeItem->setEnabled(true);
    connect(timeItem, &QAction::triggered, this, [this] {
        if (FController->IsOnlineOrAsk(true))
            FTimeCheck->TimeSignal();
    });
    QAction* settingsItem = FTray->Item(QStringLiteral("&Impostazioni..."));
    settingsItem->setEnabled(true);
    connect(settingsItem, &QAction::triggered, this, [this] { OpenSettings(); });
    // Help, the about box, the saint of the day.
    InstallHelpKey();
    QAction* helpItem = FTray->Item(QStringLiteral("&Guida"));
    helpItem->setEnabled(true);
    connect(helpItem, &QAction::triggered, this, [] { OpenHelp(QStringLiteral("introduzione")); });
    const auto play = [this](const std::string& name) {
        if (!FData->Status.Profile() || FData->Status.Profile()->SoundsEnabled())
            FData->Sounds().PlayNamedSound(name, false);
    };
    QAction* aboutItem = FTray->Item(QStringLiteral("Informa&zioni su..."));
    aboutItem->setEnabled(true);
    connect(aboutItem, &QAction::triggered, this, [this] { OpenAbout(); });
    connect(FTray->Item(QStringLiteral("San&to del giorno...")), &QAction::triggered, this, [this, play] {
        TfmSanto saint(FData->Agenda, FClock.Now(), play, FMainWindow.get());
        saint.exec();
    });
    // Popup messages only when smbclient is there.
    QAction* popupItem = FTray->Item(QStringLiteral("&Popup..."));
    popupItem->setVisible(FData->Messenger.IsActive());
    popupItem->setEnabled(FData->Messenger.IsActive());
    connect(popupItem, &QAction::triggered, this, [this] { OpenPopup(); });
    c.OnPopupChange = [this] {
        if (FPopupWindow)
            FPopupWindow->SendEnded();
    };
    // The skins: each one to choose, and the editor.
    QAction* skinItem = FTray->Item(QStringLiteral("S&kin..."));
    skinItem->setEnabled(true);
    auto* skinMenu = new QMenu(FTray->Menu());
    skinMenu->setObjectName(QStringLiteral("SkinMenu"));
    skinItem->setMenu(skinMenu);
    connect(skinMenu, &QMenu::aboutToShow, this, [this, skinMenu] {
        skinMenu->clear();
        connect(skinMenu->addAction(QStringLiteral("Modi&fica...")), &QAction::triggered, this, [this] { OpenSkinEditor(); });
        skinMenu->addSeparator();
        for (const auto& skin : FData->Skins.SkinsEx()) {
            const std::string name = skin->Nome();
            QAction* a = skinMenu->addAction(QString::fromStdString(name));
            a->setCheckable(true);
            a->setChecked(skin.get() == FData->Skins.Current());
            connect(a, &QAction::triggered, this, [this, name] { ChooseSkinFromMenu(name); });
        }
    });
    FMainWindow->OnMovedByUser = [this] { FData->Skins.RememberPosition(); };
    // SMS through the web gateways.
    QAction* smsItem = FTray->Item(QStringLiteral("&SMS..."));
    smsItem->setEnabled(true);
    connect(smsItem, &QAction::triggered, this, [this] { OpenSms(); });
    c.OnSmsChange = [this] {
        if (FSmsWindow)
            FSmsWindow->Refresh();
    };
    c.OnLogChange = [this] {
        if (FStatsWindow)
            FStatsWindow->LogChanged();
    };
    QAction* statsItem = FTray->Item(QStringLiteral("Statistic&he..."));
    statsItem->setEnabled(true);
    connect(statsItem, &QAction::triggered, this, [this] {
        if (CheckCommonControls())
            OpenStatistics();
    });
    QAction* scheduleItem = FTray->Item(QStringLiteral("Disconnetti a&lle..."));
    scheduleItem->setEnabled(true);
    connect(scheduleItem, &QAction::triggered, this, [this] {
        static bool open = false; // one dialog at a time
        if (open || !CheckCommonControls())
            return;
        open = true;
        TfmDisconnessione dialog(*FController, FSystem.OsName(), FMainWindow.get());
        dialog.exec();
        open = false;
    });
    connect(FTray->Item(QStringLiteral("IndirizzoIP")), &QAction::triggered, this, [this] {
        QApplication::clipboard()->setText(QString::fromStdString(FData->Status.DinamicIP()));
        if (!FData->Status.Profile() || FData->Status.Profile()->SoundsEnabled())
            FData->Sounds().PlayNamedSound("MsgBack", false);
    });
    connect(FMainWindow->btDisconnetti, &QToolButton::clicked, this, [&c] { c.Disconnect(true); });
    connect(FMainWindow->btNascondi, &QToolButton::clicked, this, [this] { SetHidden(true); });
    connect(FMainWindow->btStart, &QToolButton::clicked, this, [&c] { c.ManualStart(); });
    connect(FMainWindow->btApplicazioni, &QToolButton::clicked, this, [&c] { c.RunManualPrograms(); });
    // A started program may have covered the always-on-top strip.
    FPrograms->OnRestoreTopmost = [this] {
        if (FMainWindow && FMainWindow->isVisible())
            FMainWindow->raise();
    };
    FData->Waves.OnError = [this](const std::string& t) {
        std::cerr << "Quorvanta: " << ReplaceAll(t, "\r", " ") << "\n";
        FMainWindow->ShowBalloon(TBalloon::General, "", t, 3000);
    };
    FMainWindow->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FMainWindow.get(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { FTray->Menu()->popup(FMainWindow->mapToGlobal(at)); });
    FMainWindow->OnTariffChooser = [this] { QTimer::singleShot(0, this, [this] { ChooseTariff(); }); };
    // The desktop session ends: a running count is stored without a question.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (FController)
            FController->SessionEnding();
        if (FData)
            FData->SaveAllModified();
    });
    BuildConnectionsMenu();
}

void TGuiProgram::BuildConnectionsMenu()
{
    QMenu* menu = FTray->ConnectionsMenu();
    menu->clear();
    std::vector<std::string> entries;
    FData->RasMonitor.RasEntries(entries);
    TProfileItem* profile = FData->Status.Profile();
    const auto add = [this, menu](const std::string& entry) {
        FData->Settings.Entrys().EntryFor(entry, keRAS);
        connect(menu->addAction(QString::fromStdString(entry)), &QAction::triggered, this,
                [this, entry] { FController->DialFromMenu(entry); });
    };
    if (profile && FData->RasMonitor.IsRasEntry(profile->RasStartEntry())) {
        add(profile->RasStartEntry());
        menu->addSeparator();
    }
    for (const std::string& e : entries)
        add(e);
    menu->setEnabled(!entries.empty());
}

void TGuiProgram::OpenAbout()
{
    const auto play = [this](const std::string& name) {
        if (!FData->Status.Profile() || FData->Status.Profile()->SoundsEnabled())
            FData->Sounds().PlayNamedSound(name, false);
    };
    TfmAbout about(FEnv, FData->Settings, play, FMainWindow.get(), [this] { FAnnounce->Start(true); });
    about.exec();
}

TfmPopup* TGuiProgram::OpenPopup()
{
    return ShowWindowChecked(FPopupWindow, FData->Resources, FPrompter, FSystem.OsName(), [this] {
        auto* w = new TfmPopup(*FServices, FData->Messenger);
        w->setAttribute(Qt::WA_DeleteOnClose);
        return w;
    });
}

void TGuiProgram::ChooseSkinFromMenu(const std::string& name)
{
    if (FData->Skins.Current() && SameText(FData->Skins.Current()->Nome(), name))
        return;
    SetHidden(false);
    try {
        FData->Skins.SelectSkin(name);
    } catch (const std::exception& e) {
        ShowError(FPrompter, e.what());
        return;
    }
    // The profile keeps the choice (a tariff that names its own skin still wins at its next change).
    if (TProfileItem* p = FData->Status.Profile())
        p->SetSkinName(name);
}

TfmDesignSkin* TGuiProgram::OpenSkinEditor()
{
    return ShowWindowChecked(FSkinEditor, FData->Resources, FPrompter, FSystem.OsName(), [this] {
        auto* w = new TfmDesignSkin(*FServices, FData->Skins);
        w->Rules().SetProfileSkin = [this](const std::string& name) {
            if (TProfileItem* p = FData->Status.Profile())
                p->SetSkinName(name);
        };
        w->setAttribute(Qt::WA_DeleteOnClose);
        return w;
    });
}

TfmSms* TGuiProgram::OpenSms()
{
    return ShowWindowChecked(FSmsWindow, FData->Resources, FPrompter, FSystem.OsName(), [this] {
        TSmsHooks h;
        h.PlaySound = [this](const std::string& name) {
            if (!FData->Status.Profile() || FData->Status.Profile()->SoundsEnabled())
                FData->Sounds().PlayNamedSound(name, false);
        };
        h.IsOnlineOrAsk = [this](bool ask) { return FController->IsOnlineOrAsk(ask); };
        h.SendNow = [this](TSmsMsgItem& m, bool quiet) { FController->SendSmsNow(m, quiet); };
        h.Profile = [this] { return FData->Status.Profile(); };
        h.ShowHelp = [](const std::string& topic) { OpenHelp(QString::fromStdString(topic)); };
        h.OpenAccount = [this](TGateWayItem& gateway) {
            TGatewayEditor editor(*FServices, FData->GateWays);
            TfmAccount account(editor, gateway, FSmsWindow);
            return account.exec() == QDialog::Accepted;
        };
        h.OpenFile = [](const std::string& file) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
        };
        auto* w = new TfmSms(*FServices, *FData, std::move(h));
        try {
            w->AnswerFolder = QString::fromStdString(TLinuxSingleInstance::DefaultFolder());
        } catch (const std::exception&) {
            w->AnswerFolder = QDir::tempPath();
        }
        w->setAttribute(Qt::WA_DeleteOnClose);
        return w;
    });
}

TfmStatistiche* TGuiProgram::OpenStatistics()
{
    return ShowWindowChecked(FStatsWindow, FData->Resources, FPrompter, FSystem.OsName(), [this] {
        auto* w = new TfmStatistiche(
            *FServices, *FData, [this] { return FData->Status.Tax(); },
            [this]() -> std::string {
                const std::string text = FController ? FController->LastComparison : std::string();
                if (text.empty())
                    return "Bene! Hai scelto la tariffa più conveniente! ;)";
                const auto& log = FData->Connections.Units();
                const std::string entry = log.Count() ? log[log.Count() - 1].N() : std::string();
                return CheapReportHint(entry, text);
            });
        w->BudgetText = [this] { return FBudgetWatch ? FBudgetWatch->StatusText() : std::string(); };
        w->setAttribute(Qt::WA_DeleteOnClose);
        return w;
    });
}

TfmImpostazioni* TGuiProgram::OpenSettings()
{
    return ShowWindowChecked(FSettingsWindow, FData->Resources, FPrompter, FSystem.OsName(), [this] {
        auto* w = new TfmImpostazioni(*FServices, *FData, FMainWindow.get());
        w->setAttribute(Qt::WA_DeleteOnClose);
        AddStandardPages(*w, *FServices, *FData);
        // The program's icon in a properties dialog runs it at once.
        const auto runNow = [this](TProcessItem& item) {
            static TProcessItems errors{nullptr};
            FController->PrepareProgramList(errors);
            FPrograms->Launch(item, errors);
        };
        if (auto* p = qobject_cast<TpgProfili*>(w->Page(QStringLiteral("Profili"))))
            p->Programmi->OnRunNow = runNow;
        if (auto* c = qobject_cast<TpgConnessioni*>(w->Page(QStringLiteral("Connessioni"))))
            c->Programmi->OnRunNow = runNow;
        // The gateway list changes only with the SMS window closed.
        if (auto* sms = qobject_cast<TpgSms*>(w->Page(QStringLiteral("SMS"))))
            sms->Editor().CloseSmsWindow = [this] { delete FSmsWindow.data(); };
        if (auto* plans = qobject_cast<TpgPianiDati*>(w->Page(QStringLiteral("Piani dati")))) {
            plans->EditPlans = [this](const std::function<void(TDataPlans&)>& edit) { EditPlans(edit); };
            plans->LinksUp = [this] { return FPlanWatch ? FPlanWatch->Monitor().Links() : TNetLinks{}; };
            plans->Load();
        }
        if (auto* time = qobject_cast<TpgOraEsatta*>(w->Page(QStringLiteral("Ora esatta"))))
            time->OnCheckNow = [this](const std::string& server) { FTimeCheck->Start(server); };
        // Entries and the start entry may have changed: the connections menu follows.
        w->OnClosed = [this] { BuildConnectionsMenu(); };
        return w;
    });
}

void TGuiProgram::ChooseTariff()
{
    if (!FChooser)
        FChooser = std::make_unique<TTariffChooser>(*FServices, *FData);
    TfmTariffe dialog(*FChooser, FMainWindow.get());
    dialog.exec();
    FData->QuestionPending = false;
}

void TGuiProgram::SecondStart(int wParam, int)
{
    // Only a normal second start shows the window; the installer and uninstaller are refused there.
    if (FController)
        FController->SecondStart(wParam);
    std::cerr << "Quorvanta: secondo avvio ricevuto (" << wParam << ")\n";
    if (OnSecondStart)
        OnSecondStart(wParam);
}

void TGuiProgram::Quit()
{
    if (FController && !FController->CloseQuery())
        return;
    // An open settings window is left as with Annulla, while the main window still listens.
    delete FSettingsWindow.data();
    if (FStatsWindow)
        FStatsWindow->close();
    delete FStatsWindow.data();
    delete FPopupWindow.data();
    delete FSmsWindow.data();
    delete FSkinEditor.data();
    if (FController)
        FController->CloseExitPrograms();
    if (FData)
        FData->SaveAllModified();
    FController.reset();
    FDial.reset();
    FDialView.reset();
    FChooser.reset();
    FTimeCheck.reset();
    if (FMainWindow)
        FMainWindow.reset(); // stores the remembered position
    QCoreApplication::quit();
}

} // namespace qv
