#pragma once
// The modem lines of ModemManager (org.freedesktop.ModemManager1 on the system bus), through
// sdbus-c++: each modem is a line named by manufacturer and model as `mmcli -L` shows them. The
// watched modem is followed by a worker thread that reads ModemManager's objects once a second —
// the modem's State, its bearers and, with the Voice interface, its calls — and turns what changed
// into call states on the main thread: connecting or a call dialing → dialing; ringing out →
// proceeding; connected, a connected bearer or an active call → connected; back to none of these
// → disconnected, then idle. A modem that goes away closes the line.

#include "core/Time.h"
#include "detection/TapiControl.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TModemManagerLines : public ITapiService
{
public:
    // address: a D-Bus address to use instead of the system bus (tests).
    explicit TModemManagerLines(TimerService& timers, std::string address = {}, int pollMs = 1000);
    ~TModemManagerLines() override;

    TTapiResult Initialize(const std::string& appName, int& deviceCount) override;
    TTapiResult Shutdown() override;
    TTapiResult DevCaps(int device, TLineCaps& caps) override;
    TTapiResult Open(int device, TCallback callback, std::int64_t& line) override;
    TTapiResult Close(std::int64_t line) override;
    TTapiResult CallInfo(std::int64_t call, TCallInfo& info) override;
    TTapiResult Deallocate(std::int64_t call) override;
    std::string ErrorText(std::int64_t code) override { return ModemErrorText(code); }

    // What a modem looks like in one reading.
    struct TModem
    {
        std::string Name;
        int Level = 0; // 0 none, 1 dialing, 2 proceeding, 3 connected
        std::string Number;
    };
    using TModems = std::map<std::string, TModem>; // by object path
    // One reading of ModemManager's objects; Code 0 on success.
    static TTapiResult Read(const std::string& address, TModems& modems);

private:
    void Watch(std::string path, int device, TCallback callback);
    void StopWatch();
    TimerService& FTimers;
    std::string FAddress;
    int FPollMs;
    std::vector<std::pair<std::string, TLineCaps>> FLines; // device index → path and caps
    std::thread FWorker;
    std::mutex FMutex;
    std::condition_variable FWake;
    bool FStop = false;
    std::map<std::int64_t, TCallInfo> FCalls; // guarded by FMutex
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

// ModemManager on the system bus, or on the bus named by QUORVANTA_MODEMMANAGER_BUS.
std::unique_ptr<ITapiService> MakeModemLines(TimerService& timers);

} // namespace qv
