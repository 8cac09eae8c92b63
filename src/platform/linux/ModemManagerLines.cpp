#include "platform/linux/ModemManagerLines.h"

#include "core/Strings.h"

#include <chrono>
#include <cstdlib>
#include <sdbus-c++/sdbus-c++.h>

namespace qv {

namespace {

constexpr const char* Service = "org.freedesktop.ModemManager1";
constexpr const char* Root = "/org/freedesktop/ModemManager1";
constexpr const char* ModemIface = "org.freedesktop.ModemManager1.Modem";
constexpr const char* VoiceIface = "org.freedesktop.ModemManager1.Modem.Voice";
constexpr const char* BearerIface = "org.freedesktop.ModemManager1.Bearer";
constexpr const char* CallIface = "org.freedesktop.ModemManager1.Call";

// ModemManager's modem states and call states that matter here.
constexpr std::int32_t MM_MODEM_STATE_CONNECTING = 10;
constexpr std::int32_t MM_MODEM_STATE_CONNECTED = 11;
constexpr std::int32_t MM_CALL_STATE_DIALING = 1;
constexpr std::int32_t MM_CALL_STATE_RINGING_OUT = 2;
constexpr std::int32_t MM_CALL_STATE_ACTIVE = 4;

using TProps = std::map<std::string, sdbus::Variant>;
using TObjects = std::map<sdbus::ObjectPath, std::map<std::string, TProps>>;

template <class T> T Get(const TProps& props, const std::string& name, T fallback = {})
{
    const auto it = props.find(name);
    if (it == props.end() || !it->second.containsValueOfType<T>())
        return fallback;
    return it->second.get<T>();
}

std::unique_ptr<sdbus::IConnection> Connect(const std::string& address)
{
    return address.empty() ? sdbus::createSystemBusConnection() : sdbus::createSessionBusConnectionWithAddress(address);
}

const TProps* Interface(const TObjects& objects, const sdbus::ObjectPath& path, const char* iface)
{
    const auto o = objects.find(path);
    if (o == objects.end())
        return nullptr;
    const auto i = o->second.find(iface);
    return i == o->second.end() ? nullptr : &i->second;
}

std::int64_t CodeOf(const sdbus::Error& e)
{
    return ModemErrorCode(e.getName());
}

} // namespace

TModemManagerLines::TModemManagerLines(TimerService& timers, std::string address, int pollMs)
    : FTimers(timers), FAddress(std::move(address)), FPollMs(pollMs)
{
}

TModemManagerLines::~TModemManagerLines()
{
    *FAlive = false;
    StopWatch();
}

namespace {

TTapiResult ReadFrom(sdbus::IConnection& connection, TModemManagerLines::TModems& modems);

} // namespace

TTapiResult TModemManagerLines::Read(const std::string& address, TModems& modems)
{
    try {
        auto connection = Connect(address);
        return ReadFrom(*connection, modems);
    } catch (const sdbus::Error& e) {
        modems.clear();
        return {CodeOf(e), "GetManagedObjects"};
    }
}

namespace {

TTapiResult ReadFrom(sdbus::IConnection& connection, TModemManagerLines::TModems& modems)
{
    using TModem = TModemManagerLines::TModem;
    modems.clear();
    TObjects objects;
    try {
        auto proxy = sdbus::createProxy(connection, Service, Root);
        proxy->callMethod("GetManagedObjects")
            .onInterface("org.freedesktop.DBus.ObjectManager")
            .withTimeout(std::chrono::seconds(5))
            .storeResultsTo(objects);
    } catch (const sdbus::Error& e) {
        return {CodeOf(e), "GetManagedObjects"};
    }
    for (const auto& [path, interfaces] : objects) {
        const auto modemIt = interfaces.find(ModemIface);
        if (modemIt == interfaces.end())
            continue;
        const TProps& m = modemIt->second;
        TModem modem;
        // As `mmcli -L` shows a modem: manufacturer and model.
        modem.Name = Trim(Get<std::string>(m, "Manufacturer") + " " + Get<std::string>(m, "Model"));
        const std::int32_t state = Get<std::int32_t>(m, "State");
        if (state == MM_MODEM_STATE_CONNECTING)
            modem.Level = 1;
        if (state == MM_MODEM_STATE_CONNECTED)
            modem.Level = 3;
        for (const auto& bearer : Get<std::vector<sdbus::ObjectPath>>(m, "Bearers")) {
            const TProps* b = Interface(objects, bearer, BearerIface);
            if (!b)
                continue;
            const TProps settings = Get<TProps>(*b, "Properties");
            const std::string number = Get<std::string>(settings, "number");
            const std::string apn = Get<std::string>(settings, "apn");
            if (modem.Number.empty())
                modem.Number = !number.empty() ? number : apn;
            if (Get<bool>(*b, "Connected"))
                modem.Level = 3;
        }
        const auto voice = interfaces.find(VoiceIface);
        if (voice != interfaces.end()) {
            for (const auto& call : Get<std::vector<sdbus::ObjectPath>>(voice->second, "Calls")) {
                const TProps* c = Interface(objects, call, CallIface);
                if (!c)
                    continue;
                const std::int32_t s = Get<std::int32_t>(*c, "State");
                const int level = s == MM_CALL_STATE_ACTIVE        ? 3
                                  : s == MM_CALL_STATE_RINGING_OUT ? 2
                                  : s == MM_CALL_STATE_DIALING     ? 1
                                                                   : 0;
                if (level > 0 && !Get<std::string>(*c, "Number").empty())
                    modem.Number = Get<std::string>(*c, "Number");
                modem.Level = std::max(modem.Level, level);
            }
        }
        modems[path] = modem;
    }
    return {};
}

} // namespace

TTapiResult TModemManagerLines::Initialize(const std::string&, int& deviceCount)
{
    TModems modems;
    const TTapiResult r = Read(FAddress, modems);
    if (!r)
        return r;
    FLines.clear();
    for (const auto& [path, modem] : modems)
        FLines.push_back({path, {modem.Name, LINEMEDIAMODE_DATAMODEM}}); // every modem carries data
    deviceCount = static_cast<int>(FLines.size());
    return {};
}

TTapiResult TModemManagerLines::Shutdown()
{
    StopWatch();
    return {};
}

TTapiResult TModemManagerLines::DevCaps(int device, TLineCaps& caps)
{
    if (device < 0 || static_cast<std::size_t>(device) >= FLines.size())
        return {MMERR_NOMODEM, "Get"};
    caps = FLines[static_cast<std::size_t>(device)].second;
    return {};
}

TTapiResult TModemManagerLines::Open(int device, TCallback callback, std::int64_t& line)
{
    if (device < 0 || static_cast<std::size_t>(device) >= FLines.size())
        return {MMERR_NOMODEM, "Get"};
    StopWatch();
    FStop = false;
    const std::string path = FLines[static_cast<std::size_t>(device)].first;
    FWorker = std::thread([this, path, device, callback = std::move(callback)] { Watch(path, device, callback); });
    line = device + 1;
    return {};
}

TTapiResult TModemManagerLines::Close(std::int64_t)
{
    StopWatch();
    return {};
}

void TModemManagerLines::StopWatch()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    if (FWorker.joinable())
        FWorker.join();
}

TTapiResult TModemManagerLines::CallInfo(std::int64_t call, TCallInfo& info)
{
    std::lock_guard lock(FMutex);
    const auto it = FCalls.find(call);
    if (it == FCalls.end())
        return {LINEERR_INVALCALLHANDLE, "GetCallInfo"};
    info = it->second;
    return {};
}

TTapiResult TModemManagerLines::Deallocate(std::int64_t call)
{
    std::lock_guard lock(FMutex);
    FCalls.erase(call);
    return {};
}

void TModemManagerLines::Watch(std::string path, int device, TCallback callback)
{
    static std::atomic<std::int64_t> nextCall{1};
    int level = 0;
    std::int64_t call = 0;
    auto alive = FAlive;
    // Posts one line event to the main thread (dropped once this service has gone).
    const auto post = [this, alive, device, &callback](int msg, std::int64_t c, std::int64_t state) {
        FTimers.Post([alive, callback, device, msg, c, state] {
            if (*alive && callback)
                callback(device, msg, c, state, 0, 0);
        });
    };
    // One connection for the whole watch.
    std::unique_ptr<sdbus::IConnection> connection;
    try {
        connection = Connect(FAddress);
    } catch (const sdbus::Error&) {
    }
    for (;;) {
        TModems modems;
        TTapiResult r{MMERR_NOBUS, "GetManagedObjects"};
        if (connection) {
            try {
                r = ReadFrom(*connection, modems);
            } catch (const sdbus::Error& e) {
                r = {CodeOf(e), "GetManagedObjects"};
            }
        }
        const auto found = modems.find(path);
        if (!r || found == modems.end()) {
            // The modem (or ModemManager) went away: the call ends and the line closes.
            if (level > 0) {
                post(LINE_CALLSTATE, call, LINECALLSTATE_DISCONNECTED);
                post(LINE_CALLSTATE, call, LINECALLSTATE_IDLE);
            }
            post(LINE_CLOSE, 0, 0);
            return;
        }
        const TModem& m = found->second;
        if (m.Level != level) {
            if (level == 0) {
                call = nextCall++;
            }
            {
                std::lock_guard lock(FMutex);
                TCallInfo& info = FCalls[call];
                info.AppName = "ModemManager";
                if (!m.Number.empty())
                    info.Number = m.Number;
                info.LineDeviceID = device;
            }
            if (m.Level == 0) {
                post(LINE_CALLSTATE, call, LINECALLSTATE_DISCONNECTED);
                post(LINE_CALLSTATE, call, LINECALLSTATE_IDLE);
            } else {
                post(LINE_CALLSTATE, call,
                     m.Level == 1   ? LINECALLSTATE_DIALING
                     : m.Level == 2 ? LINECALLSTATE_PROCEEDING
                                    : LINECALLSTATE_CONNECTED);
            }
            level = m.Level;
        }
        std::unique_lock lock(FMutex);
        if (FWake.wait_for(lock, std::chrono::milliseconds(FPollMs), [this] { return FStop; }))
            return;
    }
}

std::unique_ptr<ITapiService> MakeModemLines(TimerService& timers)
{
    const char* bus = std::getenv("QUORVANTA_MODEMMANAGER_BUS");
    return std::make_unique<TModemManagerLines>(timers, bus ? bus : "");
}

} // namespace qv
