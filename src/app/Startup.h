#pragma once
// The frame of start-up and shutdown: the run mode from the executable's name, the command line,
// the global exception handler with its diagnostic file, and the data files in their load order.

#include "core/Persistent.h"
#include "core/Services.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {

// Also the message a later start hands to the running program.
enum class TRunMode
{
    rmInstall = 0,
    rmUninstall = 1,
    rmNormal = 2
};

// "setup"/"quorvanta-setup" installs, "_UninstallQuorvanta"/"quorvanta-uninstall" uninstalls
// (extension and letter case ignored); anything else runs normally.
TRunMode RunModeFromExeName(const std::string& exePath);

struct TCommandLine
{
    bool StartedByWinStart = false;
    std::string ProfileName;
    bool Simulate = false;
};
// args without the program name and without --data-dir.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// "Class" or, for a named component, "Name - Class".
std::string SenderText(const std::string& className, const std::string& componentName = "");

inline constexpr const char* SupportAddress = "assistenza@quorvanta.it";

// Every exception that reaches the main loop goes here. It never ends the program.
class TExceptionHandler
{
public:
    TExceptionHandler(TServices& services, double programStart);

    void Handle(const std::string& senderText, const std::string& message);
    int Count() const { return FCount; }
    // The text of "Exception.txt" for this exception (also used by tests).
    std::string DiagnosticText(const std::string& senderText, const std::string& message);

    // Hooks to the subsystems that know more; each is optional.
    std::function<std::string()> StateText;          // description of the connection state
    std::function<std::string()> TapiDevice;         // monitored device, empty when off
    std::function<std::string()> ResourceText;       // empty while the resource watch is off
    std::function<bool(int percent)> ResourcesBelow; // any free-resource kind below percent
    std::function<std::string()> LastRasApi;
    std::function<std::string()> RasControlProcedure;
    std::function<void(const std::string&)> ShowGeneralBalloon;
    std::function<void(const std::string&)> ShowTariffBalloon;
    std::function<void(bool)> SetQuestionPending;

private:
    TServices& FServices;
    double FProgramStart;
    int FCount = 0;
};

// The data files of the program in their load order; each subsystem adds its component.
class TDataFiles
{
public:
    void Add(TPersistentComponent& component, const std::string& fileName);
    // Assigns every file name in order (creating missing files, loading the others).
    void LoadAll();
    // Saves every modified component (at shutdown).
    void SaveAllModified();
    const std::vector<std::pair<TPersistentComponent*, std::string>>& Items() const { return FItems; }

private:
    std::vector<std::pair<TPersistentComponent*, std::string>> FItems;
};

// The files of the data folder the program makes, and which the uninstaller removes.
std::vector<std::string> DataFileNames();

// Start-up failure: "Eccezione nell' avvio di Quorvanta " + message goes to the handler, then the
// blocking-error box, then the process ends.
void StartupFailed(TServices& services, TExceptionHandler& handler, const std::string& message);

} // namespace qv
