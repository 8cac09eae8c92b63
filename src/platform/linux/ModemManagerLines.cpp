#include "platform/linux/ModemManagerLines.h"

#include "core/Strings.h"
#include "platform/linux/SdBus.h"
#include "platform/linux/WorkerWake.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <unistd.h>

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

using TObjects = std::map<sdbus::ObjectPath, std::map<std::string, TProps>>;

std::int64_t CodeOf(const sdbus::Error& e)
{
    return ModemErrorCode(e.getName());
}

} // namespace

TModemManagerLines::TModemManagerLines(TimerService& timers, std::string address)
    : FTimers(timers), FAddress(std::move(address))
{
}

TModemManagerLines::~TModemManagerLines()
{
    *FAlive = false;
    StopWatch();
}

namespace {

std::atomic<std::int64_t> GReadings{0};

// The properties of one interface of an object that is not in the object manager.
bool ReadProperties(sdbus::IConnection& connection, const sdbus::ObjectPath& path, const char* iface, TProps& props)
{
    try {
        auto proxy = sdbus::createProxy(connection, Service, path);
        proxy->callMethod("GetAll")
            .onInterface("org.freedesktop.DBus.Properties")
            .withTimeout(std::chrono::seconds(5))
            .withArguments(std::string(iface))
            .storeResultsTo(props);
        return true;
    } catch (const sdbus::Error&) {
        return false; // gone meanwhile
    }
}

TTapiResult ReadFrom(sdbus::IConnection& connection, TModemManagerLines::TModems& modems)
{
    using TModem = TModemManagerLines::TModem;
    ++GReadings;
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
        modem.Identity = Get<std::string>(m, "EquipmentIdentifier");
        if (modem.Identity.empty())
            modem.Identity = modem.Name;
        const std::int32_t state = Get<std::int32_t>(m, "State");
        if (state == MM_MODEM_STATE_CONNECTING)
            modem.Level = 1;
        if (state == MM_MODEM_STATE_CONNECTED)
            modem.Level = 3;
        for (const auto& bearer : Get<std::vector<sdbus::ObjectPath>>(m, "Bearers")) {
            TProps b;
            if (!ReadProperties(connection, bearer, BearerIface, b))
                continue;
            // Since ModemManager 1.10 a bearer has no number; a data bearer is named by its APN.
            const TProps settings = Get<TProps>(b, "Properties");
            const std::string number = Get<std::string>(settings, "number");
            const std::string apn = Get<std::string>(settings, "apn");
            if (modem.Number.empty())
                modem.Number = !number.empty() ? number : apn;
            if (Get<bool>(b, "Connected"))
                modem.Level = 3;
        }
        const auto voice = interfaces.find(VoiceIface);
        if (voice != interfaces.end()) {
            for (const auto& call : Get<std::vector<sdbus::ObjectPath>>(voice->second, "Calls")) {
                TProps c;
                if (!ReadProperties(connection, call, CallIface, c))
                    continue;
                const std::int32_t s = Get<std::int32_t>(c, "State");
                const int level = s == MM_CALL_STATE_ACTIVE        ? 3
                                  : s == MM_CALL_STATE_RINGING_OUT ? 2
                                  : s == MM_CALL_STATE_DIALING     ? 1
                                                                   : 0;
                // A call's number names the connection before a bearer's APN.
                if (level > 0 && !Get<std::string>(c, "Number").empty())
                    modem.Number = Get<std::string>(c, "Number");
                modem.Level = std::max(modem.Level, level);
            }
        }
        modems[path] = modem;
    }
    return {};
}

// Whether a signal of ModemManager may change what the watcher reports. Property changes of the
// modem's other interfaces (signal quality, location, 3GPP registration...) and of the modem's own
// properties other than its state and bearers do not.
bool Relevant(sdbus::Message& message)
{
    if (message.getMemberName() != std::string("PropertiesChanged"))
        return true;
    try {
        std::string iface;
        TProps changed;
        message >> iface >> changed;
        if (iface == BearerIface || iface == CallIface || iface == VoiceIface)
            return true;
        if (iface != ModemIface)
            return false;
        return changed.count("State") > 0 || changed.count("Bearers") > 0 || changed.empty();
    } catch (const sdbus::Error&) {
        return true;
    }
}

} // namespace

std::int64_t TModemManagerLines::Readings()
{
    return GReadings;
}

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

TTapiResult TModemManagerLines::Initialize(const std::string&, int& deviceCount)
{
    TModems modems;
    const TTapiResult r = Read(FAddress, modems);
    if (!r)
        return r;
    FLines.clear();
    for (const auto& [path, modem] : modems)
        FLines.push_back({path, modem.Identity, {modem.Name, LINEMEDIAMODE_DATAMODEM}}); // every modem carries data
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
    caps = FLines[static_cast<std::size_t>(device)].Caps;
    return {};
}

TTapiResult TModemManagerLines::Open(int device, TCallback callback, std::int64_t& line)
{
    if (device < 0 || static_cast<std::size_t>(device) >= FLines.size())
        return {MMERR_NOMODEM, "Get"};
    StopWatch();
    FStop = false;
    FWakeFd = MakeWakeFd();
    TLine watched = FLines[static_cast<std::size_t>(device)];
    FWorker = std::thread(
        [this, watched = std::move(watched), device, callback = std::move(callback)] { Watch(watched, device, callback); });
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
    EndWorker(FWorker, FWakeFd);
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

void TModemManagerLines::Watch(TLine line, int device, TCallback callback)
{
    static std::atomic<std::int64_t> nextCall{1};
    int level = 0;
    bool present = true;
    std::int64_t call = 0;
    auto alive = FAlive;
    // Posts one line event to the main thread (dropped once this service has gone).
    const auto post = [this, alive, device, &callback](int msg, std::int64_t c, std::int64_t state) {
        FTimers.Post([alive, callback, device, msg, c, state] {
            if (*alive && callback)
                callback(device, msg, c, state, 0, 0);
        });
    };
    const auto endCall = [&] {
        if (level > 0) {
            post(LINE_CALLSTATE, call, LINECALLSTATE_DISCONNECTED);
            post(LINE_CALLSTATE, call, LINECALLSTATE_IDLE);
        }
        level = 0;
    };
    // One connection for the whole watch, with the signals that tell of a change.
    std::unique_ptr<sdbus::IConnection> connection;
    std::vector<sdbus::Slot> matches;
    bool changed = true;
    try {
        connection = Connect(FAddress);
        matches.push_back(connection->addMatch(std::string("type='signal',sender='") + Service + "'",
                                               [&changed](sdbus::Message& m) { changed = changed || Relevant(m); }));
        matches.push_back(connection->addMatch(std::string("type='signal',sender='org.freedesktop.DBus',"
                                                           "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                                                           "arg0='") + Service + "'",
                                               [&changed](sdbus::Message&) { changed = true; }));
    } catch (const sdbus::Error&) {
        post(LINE_CLOSE, 0, 0); // no bus to watch on
        return;
    }
    // A reading that failed for a reason other than ModemManager's absence is tried again later.
    bool retrying = false;
    std::chrono::steady_clock::time_point retry{};
    for (;;) {
        try {
            while (connection->processPendingRequest()) {
            }
        } catch (const sdbus::Error&) {
        }
        if (retrying && std::chrono::steady_clock::now() >= retry) {
            retrying = false;
            changed = true;
        }
        if (changed) {
            changed = false;
            TModems modems;
            TTapiResult r;
            try {
                r = ReadFrom(*connection, modems);
            } catch (const sdbus::Error& e) {
                r = {CodeOf(e), "GetManagedObjects"};
            }
            if (!r && r.Code != MMERR_NOSERVICE) {
                // A time-out or a refusal says nothing about the modem: keep what is known.
                retrying = true;
                retry = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                continue;
            }
            auto found = modems.find(line.Path);
            if (found == modems.end() || found->second.Identity != line.Identity)
                found = std::find_if(modems.begin(), modems.end(),
                                     [&line](const auto& m) { return m.second.Identity == line.Identity; });
            if (found == modems.end()) {
                // Unplugged, or ModemManager gone or restarting: the call ends, the line waits.
                if (present) {
                    endCall();
                    post(LINE_LINEDEVSTATE, 0, LINEDEVSTATE_OUTOFSERVICE);
                    present = false;
                }
                continue;
            }
            line.Path = found->first;
            if (!present) {
                post(LINE_LINEDEVSTATE, 0, LINEDEVSTATE_INSERVICE);
                present = true;
            }
            const TModem& m = found->second;
            if (m.Level != level) {
                if (level == 0)
                    call = nextCall++;
                {
                    std::lock_guard lock(FMutex);
                    TCallInfo& info = FCalls[call];
                    info.AppName = "ModemManager";
                    if (!m.Number.empty())
                        info.Number = m.Number;
                    info.LineDeviceID = device;
                }
                if (m.Level == 0) {
                    endCall();
                } else {
                    post(LINE_CALLSTATE, call,
                         m.Level == 1   ? LINECALLSTATE_DIALING
                         : m.Level == 2 ? LINECALLSTATE_PROCEEDING
                                        : LINECALLSTATE_CONNECTED);
                    level = m.Level;
                }
            }
            continue; // what came in during the reading is handled before sleeping
        }
        // Asleep until the bus has something, the watch is stopped, or a retry is due.
        sdbus::IConnection::PollData poll{};
        try {
            poll = connection->getEventLoopPollData();
        } catch (const sdbus::Error&) {
            post(LINE_CLOSE, 0, 0);
            return;
        }
        int timeout = poll.getPollTimeout();
        if (retrying) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(retry - std::chrono::steady_clock::now());
            const int ms = static_cast<int>(std::max<std::int64_t>(0, left.count()) + 1);
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        }
        pollfd fds[2] = {{poll.fd, static_cast<short>(poll.events), 0}, {FWakeFd, POLLIN, 0}};
        ::poll(fds, 2, timeout);
        std::lock_guard lock(FMutex);
        if (FStop)
            return;
    }
}

std::unique_ptr<ITapiService> MakeModemLines(TimerService& timers)
{
    const char* bus = std::getenv("QUORVANTA_MODEMMANAGER_BUS");
    return std::make_unique<TModemManagerLines>(timers, bus ? bus : "");
}

} // namespace qv
