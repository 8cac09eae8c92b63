#include "detection/International.h"

#include "core/Prompter.h"
#include "core/Strings.h"
#include "detection/RasControl.h"

namespace qv {

TInternationalWarning::TInternationalWarning(TServices& services, TSettings& settings, std::string dialled,
                                             std::string entry, std::string number)
    : FServices(services), FSettings(settings), FDialled(std::move(dialled)), FEntry(std::move(entry)),
      FNumber(std::move(number))
{
}

std::string TInternationalWarning::OpeningText() const
{
    return "Attenzione: il numero selezionato " + FDialled + " sembra essere un numero internazionale!";
}

std::string TInternationalWarning::ActivatedText() const
{
    if (!FromScan())
        return OpeningText();
    return "Attenzione: la connessione «" + FEntry + "» di pppd sembra essere impostata per "
                                              "un numero internazionale: " +
           FNumber;
}

bool TInternationalWarning::Accept(const std::string& field)
{
    // Only digits make a prefix: a sign, spaces inside or hexadecimal would never match a number.
    const std::string prefix = Trim(field);
    if (prefix.empty() || prefix.size() > 9 || prefix.find_first_not_of("0123456789") != std::string::npos) {
        ShowWarning(FServices.Prompter, "Il prefisso inserito non è valido");
        return false;
    }
    FSettings.SetInternationalPrefix(prefix);
    return true;
}

TCheckInternationalThread::TCheckInternationalThread(TimerService& timers, IRasApi& api, std::string prefix,
                                                     TShow show)
    : FTimers(timers), FShow(std::move(show))
{
    FThread = std::thread([this, &api, prefix = std::move(prefix)] { Run(api, prefix); });
}

TCheckInternationalThread::~TCheckInternationalThread()
{
    {
        std::lock_guard lock(FShared->Mutex);
        FShared->Cancelled = true;
    }
    FShared->Changed.notify_all();
    if (FThread.joinable())
        FThread.join();
}

bool TCheckInternationalThread::Done() const
{
    std::lock_guard lock(FShared->Mutex);
    return FShared->Done;
}

std::string TCheckInternationalThread::Error() const
{
    std::lock_guard lock(FShared->Mutex);
    return FShared->Error;
}

void TCheckInternationalThread::Run(IRasApi& api, const std::string& prefix)
{
    std::string error;
    try {
        std::vector<std::string> names;
        if (!prefix.empty() && api.Entries(names) == 0) {
            for (const std::string& entry : names) {
                {
                    std::lock_guard lock(FShared->Mutex);
                    if (FShared->Cancelled)
                        break;
                }
                TRasEntryProperties properties;
                if (api.EntryProperties(entry, properties) != 0)
                    continue;
                const std::string number = PhoneNumberOfEntry(properties);
                if (IsInternationalNumber(number, prefix))
                    ShowOnMainThread(entry, number);
            }
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    std::lock_guard lock(FShared->Mutex);
    FShared->Error = error;
    FShared->Done = true;
}

void TCheckInternationalThread::ShowOnMainThread(const std::string& entry, const std::string& number)
{
    auto shared = FShared;
    auto finished = std::make_shared<bool>(false); // guarded by the shared mutex
    FTimers.Post([shared, finished, show = FShow, entry, number] {
        struct TFinish
        {
            TShared& S;
            bool& F;
            ~TFinish()
            {
                {
                    std::lock_guard lock(S.Mutex);
                    F = true;
                }
                S.Changed.notify_all();
            }
        } finish{*shared, *finished};
        bool cancelled;
        {
            std::lock_guard lock(shared->Mutex);
            cancelled = shared->Cancelled;
        }
        if (!cancelled && show)
            show(entry, number);
    });
    std::unique_lock lock(shared->Mutex);
    shared->Changed.wait(lock, [&] { return *finished || shared->Cancelled; });
}

} // namespace qv
