#include "app/Startup.h"

#include "core/DateTime.h"
#include "core/Strings.h"

#include <filesystem>

namespace qv {

TRunMode RunModeFromExeName(const std::string& exePath)
{
    std::string name = LowerCase(std::filesystem::path(exePath).filename().string());
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    if (name == "setup" || name == "quorvanta-setup")
        return TRunMode::rmInstall;
    if (name == "_uninstallquorvanta" || name == "quorvanta-uninstall")
        return TRunMode::rmUninstall;
    return TRunMode::rmNormal;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLine c;
    std::vector<std::string> rest;
    for (const std::string& a : args) {
        if (a == "--simulate")
            c.Simulate = true;
        else
            rest.push_back(a);
    }
    if (!rest.empty() && LowerCase(rest[0]) == "/winstart") {
        c.StartedByWinStart = true;
        if (rest.size() > 1)
            c.ProfileName = rest[1];
    } else if (!rest.empty()) {
        c.ProfileName = rest[0];
    }
    return c;
}

std::string SenderText(const std::string& className, const std::string& componentName)
{
    return componentName.empty() ? className : componentName + " - " + className;
}

TExceptionHandler::TExceptionHandler(TServices& services, double programStart)
    : FServices(services), FProgramStart(programStart)
{
}

std::string TExceptionHandler::DiagnosticText(const std::string& senderText, const std::string& message)
{
    const bool rasSender = senderText == "FTimerCheckConnectionRasControl - TTimer";
    std::string t = "Quorvanta: " + FServices.Env.AppVersion + " debug info:\n";
    if (ResourceText) {
        const std::string r = ResourceText();
        if (!r.empty())
            t += "Risorse: " + r + "\n";
    }
    t += "Stato: " + (StateText ? StateText() : std::string("Inattivo")) + "\n";
    const std::string tapi = TapiDevice ? TapiDevice() : std::string();
    t += "Monitoraggio del modem: " + (tapi.empty() ? std::string("[disabilitato]") : tapi) + "\n";
    if (rasSender) {
        t += "LastRasAPI: " + (LastRasApi ? LastRasApi() : std::string()) + "\n";
        t += "RasControlProcedure: " + (RasControlProcedure ? RasControlProcedure() : std::string()) + "\n";
        // The dial-up service of this system is pppd, dialling through chat.
        t += "pppd: " + FServices.System.ComponentVersion("pppd") + "\n";
        t += "chat: " + FServices.System.ComponentVersion("chat") + "\n";
    }
    t += "libcurl: " + FServices.System.ComponentVersion("libcurl") + "\n";
    t += "Orario avvio     " + FormatDateTime("h.nn.ss", FProgramStart) + "\n";
    t += "Orario eccezione " + FormatDateTime("h.nn.ss", FServices.Clk.Now()) + "\n";
    t += "Oggetto          " + senderText + "\n";
    t += "«" + message + "»\n";
    const TOsVersion v = FServices.System.OsVersion();
    t += "SO: " + FServices.System.OsName() + " -> MajorVersion: " + std::to_string(v.Major) +
         " MinorVersion: " + std::to_string(v.Minor) + " BuildNumber: " + v.Build + " PlatformId: " + v.Platform +
         "\n";
    t += "\n";
    t += "Si verifica quando...\n";
    return t;
}

void TExceptionHandler::Handle(const std::string& senderText, const std::string& originalMessage)
{
    std::string message = originalMessage;
    const std::string osName = FServices.System.OsName();
    if (ResourcesBelow && ResourcesBelow(3)) {
        message = "Risorse di " + osName + " in esaurimento: Quorvanta non riesce a funzionare correttamente - " +
                  message;
        if (ShowTariffBalloon)
            ShowTariffBalloon("Quorvanta non ha risorse sufficienti per funzionare correttamente!\rChiudere qualche "
                              "applicazione altrimenti anche " +
                              osName + " potrebbe bloccarsi!");
    }
    // A dial-up service that has stopped working shows up as failures of its poll or dial timers.
    const bool rasFailure =
        (senderText == "FTimerCheckConnectionRasControl - TTimer" || senderText == "TimerDelay - TTimer") &&
        (message.find("Access violation at address BFF7B997 in module 'KERNEL32.DLL'") != std::string::npos ||
         message.find("Access violation at address BFF9A07C in module 'KERNEL32.DLL'") != std::string::npos);
    if (rasFailure)
        message = "Fallimento supporto RAS";
    if (FCount == 0 && rasFailure) {
        if (SetQuestionPending)
            SetQuestionPending(true);
        ShowWarning(FServices.Prompter,
                    "Attenzione il supporto RAS di " + osName +
                        " [nella persona di Rnaapp.exe] non funziona correttamente!\r\rQuorvanta non è in grado di "
                        "rilevare nè tanto meno di disconnettere eventuali connessioni RAS");
        if (SetQuestionPending)
            SetQuestionPending(false);
    }
    ++FCount;
    if (FCount == 1) {
        try {
            FServices.Files.WriteText(FServices.Env.AppPath + "Exception.txt", DiagnosticText(senderText, message));
        } catch (...) {
            // The diagnostic file is a courtesy; failing to write it must not raise again.
        }
    }
    if (ShowGeneralBalloon)
        ShowGeneralBalloon("Attenzione: si è verificata l'eccezione \r«" + message + "» nell'oggetto " + senderText +
                           "\rinviare le informazioni contenute in " + FServices.Env.AppPath + "Exception.txt a " +
                           SupportAddress);
}

void TDataFiles::Add(TPersistentComponent& component, const std::string& fileName)
{
    FItems.emplace_back(&component, fileName);
}

void TDataFiles::LoadAll()
{
    for (auto& [component, name] : FItems)
        component->SetFileName(name);
}

void TDataFiles::SaveAllModified()
{
    for (auto& [component, name] : FItems)
        if (component->Modified())
            component->Save();
}

std::vector<std::string> DataFileNames()
{
    static const char* const names[] = {"Connections.dat", "Sms.dat",       "SmsMsg.dat",     "PhoneBook.dat",
                                        "GateWay.dat",     "CurrentConnection.dat", "Calendar.dat", "Popup.dat",
                                        "Skin.dat",        "Status.dat",    "Settings.dat",   "Taxations.dat",
                                        "Sounds.dat",      "Waves.dat",     "Budget.dat"};
    return {std::begin(names), std::end(names)};
}

void StartupFailed(TServices& services, TExceptionHandler& handler, const std::string& message)
{
    const std::string full = "Eccezione nell' avvio di Quorvanta " + message;
    handler.Handle("TfmMain", full);
    ShowError(services.Prompter,
              "Si è verificato un errore bloccante... ahimè!\rQuorvanta verrà terminato\r\r[" + full + "]");
    services.System.Halt(1);
}

} // namespace qv
