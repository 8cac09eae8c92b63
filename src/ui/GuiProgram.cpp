#include "ui/GuiProgram.h"

#include "app/Install.h"
#include "core/Errors.h"
#include "core/Shell.h"
#include "core/Version.h"
#include "platform/linux/LinuxSingleInstance.h"
#include "platform/linux/PppdDialUp.h"
#include "platform/sim/SimDialUp.h"

#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <cstdlib>
#include <fstream>
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
        FData->SaveAllModified();
}

int TGuiProgram::Start()
{
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
            FDialUp = std::make_unique<TPppdDialUp>(FTimers);
        }
        FData = std::make_unique<TDataModule>(*FServices, nullptr, FDialUp.get());
        FData->LoadAll();
        FData->Status.SetProfile(&FData->Settings.SelectProfile(FCommandLine.ProfileName));
        FHandler->StateText = [this] { return TMtxMatrixStatus::StateDescription(FData->MtxStatus.State()); };
        FHandler->LastRasApi = [this] { return FData->RasMonitor.LastRasAPI; };
        FHandler->RasControlProcedure = [this] { return FData->RasMonitor.RasControlProcedure; };
        FTray = std::make_unique<TTrayIcon>();
        FTray->OnExit = [this] { Quit(); };
        FTray->OnShowHide = [this] { SetHidden(!FHidden); };
        FTray->SetHint(QStringLiteral("Quorvanta"));
        FTray->Show();
        FMainWindow->ShowIdle();
        FMainWindow->RememberPosition(*FRegistry);
        FSingle->OnMessage = [this](int w, int l) { SecondStart(w, l); };
        FMainWindow->show();
        FData->StartMonitoring();
    } catch (const EHaltRequested& h) {
        return h.Code;
    } catch (const std::exception& e) {
        StartupFailed(*FServices, *FHandler, e.what());
        return 1;
    }
    return -1;
}

void TGuiProgram::SetHidden(bool hidden)
{
    FHidden = hidden;
    if (FMainWindow)
        FMainWindow->setVisible(!hidden);
    if (FTray)
        FTray->ActionShowHide->setText(hidden ? QStringLiteral("&Mostra") : QStringLiteral("&Nascondi"));
}

void TGuiProgram::SecondStart(int wParam, int)
{
    // Only a normal second start shows the window; the installer and uninstaller are refused there.
    if (wParam == static_cast<int>(TRunMode::rmNormal)) {
        SetHidden(false);
        if (FMainWindow) {
            FMainWindow->raise();
            FMainWindow->activateWindow();
        }
    }
    std::cerr << "Quorvanta: secondo avvio ricevuto (" << wParam << ")\n";
    if (OnSecondStart)
        OnSecondStart(wParam);
}

void TGuiProgram::Quit()
{
    if (FData)
        FData->SaveAllModified();
    if (FMainWindow)
        FMainWindow.reset(); // stores the remembered position
    QCoreApplication::quit();
}

} // namespace qv
