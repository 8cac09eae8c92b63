#pragma once
// The international-number guard: the warning window's rules, and the scan of the phone book at
// start-up that looks for entries calling abroad (the usual sign of a rogue dialer). The guard only
// warns; it never hangs up.

#include "core/Services.h"
#include "detection/RasApi.h"
#include "tariffs/Settings.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

// The warning window: what it says and what its OK accepts.
class TInternationalWarning
{
public:
    // dialled: the live status's dialled number; entry and number: the phone-book entry the scan
    // found (both empty when a dial raised the warning).
    TInternationalWarning(TServices& services, TSettings& settings, std::string dialled, std::string entry = {},
                          std::string number = {});
    static constexpr const char* Caption = "Quorvanta";
    static constexpr const char* PrefixLabel = "Avvertimi sempre se il numero inizia con";
    // The text shown when the window opens.
    std::string OpeningText() const;
    // The text after the window's first activation (the scan's own text when it opened it).
    std::string ActivatedText() const;
    // What the prefix field starts with.
    const std::string& Prefix() const { return FSettings.InternationalPrefix(); }
    bool FromScan() const { return !FEntry.empty(); }
    // OK: a prefix of digits is stored and true returned; anything else is refused with a warning
    // and the window stays open.
    bool Accept(const std::string& field);

private:
    TServices& FServices;
    TSettings& FSettings;
    std::string FDialled, FEntry, FNumber;
};

// Lists the phone book on a worker thread and, for each entry whose number begins with the prefix,
// asks the main thread to show the warning and waits until it is closed. One run per program start.
class TCheckInternationalThread
{
public:
    using TShow = std::function<void(const std::string& entry, const std::string& number)>;
    // prefix: a copy of the setting taken before the thread starts; show runs on the main thread.
    TCheckInternationalThread(TimerService& timers, IRasApi& api, std::string prefix, TShow show);
    // Releases a wait for the main thread (its posted call then shows nothing) and joins.
    ~TCheckInternationalThread();
    bool Done() const;
    // The message that ended the scan early (the thread's error notification); empty when none.
    std::string Error() const;

private:
    struct TShared
    {
        std::mutex Mutex;
        std::condition_variable Changed;
        bool Cancelled = false;
        bool Done = false;
        std::string Error;
    };
    void Run(IRasApi& api, const std::string& prefix);
    // Runs show(entry, number) on the main thread and returns when it has run (or was cancelled).
    void ShowOnMainThread(const std::string& entry, const std::string& number);
    TimerService& FTimers;
    TShow FShow;
    std::shared_ptr<TShared> FShared = std::make_shared<TShared>();
    std::thread FThread;
};

} // namespace qv
