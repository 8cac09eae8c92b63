#pragma once
// Programs started at the moments of a connection's life and terminated at its end or at exit:
// each start runs on a short-lived worker, reports on the main thread, and keeps its process so
// that it is never started twice and can be terminated later.

#include "core/Time.h"
#include "tariffs/Settings.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qv {

// A started process, known by an identity the system never gives to another process.
class IProcess
{
public:
    virtual ~IProcess() = default;
    virtual bool Running() = 0;
    // Asks it to end (and makes sure it does); an empty text when asked, else the reason.
    virtual std::string Terminate() = 0;
};

struct TStartRequest
{
    std::string Path, WorkingDirectory, CommandLine;
    std::int32_t CmdShow = 6;
};

class IProcessLauncher
{
public:
    virtual ~IProcessLauncher() = default;
    struct TResult
    {
        std::shared_ptr<IProcess> Process; // none when only the desktop opened a document
        std::string Error;                 // the Italian text of a failure
    };
    // Blocking; called on a worker thread.
    virtual TResult Start(const TStartRequest& request) = 0;
};

// The texts of the failures a start can meet.
namespace TLaunchError {
inline constexpr const char* FileNotFound = "File non trovato";
inline constexpr const char* PathNotFound = "Path non trovato";
inline constexpr const char* AccessDenied = "Accesso negato";
inline constexpr const char* OutOfMemory = "Memoria esaurita";
inline constexpr const char* NoAssociation = "Nessuna associazione al file";
} // namespace TLaunchError

class TProcessControl
{
public:
    TProcessControl(TimerService& timers, IProcessLauncher& launcher);
    // Waits for starts still on their way.
    ~TProcessControl();

    // Starts the program on a worker unless its previous start still runs.
    void Launch(TProcessItem& item, TProcessItems& list);
    void RunAll(TProcessItems& list, TRunKind kind);
    static int CountKind(const TProcessItems& list, TRunKind kind);
    // Terminates the list's programs of that close kind that hold a process; a failure is reported
    // through the list's OnError and the others go on.
    void CloseAll(TProcessItems& list, TCloseKind kind);
    void CloseProgram(TProcessItem& item, TProcessItems& list);
    static bool IsRunning(const TProcessItem& item);
    // Opens a file or an address with the desktop's handler.
    void OpenWithShell(const std::string& path, std::int32_t showMode);
    // "Invisibile [HIDE]" ... for CmdShow 0..10, empty for other values.
    static std::string ShowModeText(std::int32_t cmdShow);
    // The texts and values the program's dialog offers, in its order.
    static const std::vector<std::pair<std::int32_t, std::string>>& DialogShowModes();
    // The dialog's modes for a program stored with `stored`: a stored mode the dialog does not
    // offer (1, 7, or any other number) is added at the end, so that it shows and is kept.
    static std::vector<std::pair<std::int32_t, std::string>> DialogShowModesFor(std::int32_t stored);

    // After every start attempt (the always-on-top window may have been pushed back).
    std::function<void()> OnRestoreTopmost;
    // Starts still on their way.
    int Pending() const;

private:
    void Reap();
    TimerService& FTimers;
    IProcessLauncher& FLauncher;
    struct TWorker
    {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    std::vector<TWorker> FWorkers;
    TProcessItems FShellItems{nullptr};
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};

} // namespace qv
