#pragma once
// The modem lines of ModemManager (org.freedesktop.ModemManager1 on the system bus), through
// sdbus-c++: each modem is a line named by manufacturer and model as `mmcli -L` shows them.
// ModemManager's object manager lists only modems; a modem's bearers (its "Bearers" property) and
// calls (the Voice interface's "Calls") are objects of their own, read with Properties.GetAll.
// The watched modem is followed by a worker thread that sleeps on the bus until ModemManager
// signals a change (InterfacesAdded/Removed, PropertiesChanged of the modem, its bearers and calls,
// a new owner of its name) and only then reads again; what changed becomes call states on the main
// thread: connecting or a call dialing → dialing; ringing out → proceeding; connected, a connected
// bearer or an active call → connected; back to none of these → disconnected, then idle. A modem
// that goes away (unplugged, ModemManager restarted) ends its call and makes the line out of
// service; the modem is found again by its identity (equipment identifier, else manufacturer and
// model) when it comes back, at whatever object path, and the line is in service again.

#include "core/Time.h"
#include "detection/TapiControl.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TModemManagerLines : public ITapiService
{
public:
    // address: a D-Bus address to use instead of the system bus (tests).
    explicit TModemManagerLines(TimerService& timers, std::string address = {});
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
        std::string Identity; // the equipment identifier, else the name
        int Level = 0;        // 0 none, 1 dialing, 2 proceeding, 3 connected
        std::string Number;
    };
    using TModems = std::map<std::string, TModem>; // by object path
    // One reading of ModemManager's objects; Code 0 on success.
    static TTapiResult Read(const std::string& address, TModems& modems);
    // How many readings the watchers of this process made (the idle benchmark and the tests count
    // them: a watcher reads only when told of a change).
    static std::int64_t Readings();

private:
    struct TLine
    {
        std::string Path;
        std::string Identity;
        TLineCaps Caps;
    };
    void Watch(TLine line, int device, TCallback callback);
    void StopWatch();
    TimerService& FTimers;
    std::string FAddress;
    std::vector<TLine> FLines; // by device index
    std::thread FWorker;
    std::mutex FMutex;
    int FWakeFd = -1; // an eventfd that wakes the watcher to stop
    bool FStop = false;
    std::map<std::int64_t, TCallInfo> FCalls; // guarded by FMutex
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

// ModemManager on the system bus, or on the bus named by QUORVANTA_MODEMMANAGER_BUS.
std::unique_ptr<ITapiService> MakeModemLines(TimerService& timers);

} // namespace qv
