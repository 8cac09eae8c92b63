#include "detection/TapiControl.h"

#include "core/Errors.h"
#include "core/Strings.h"

#include <map>

namespace qv {

namespace {

// The call states in words (a translation of the telephony documentation's descriptions).
const std::map<std::int64_t, const char*>& StateTexts()
{
    static const std::map<std::int64_t, const char*> texts = {
        {LINECALLSTATE_IDLE, "The call is idle no call actually exists"},
        {LINECALLSTATE_OFFERING, "The call is being offered to the station"},
        {LINECALLSTATE_ACCEPTED, "The call was offering and has been accepted"},
        {LINECALLSTATE_DIALTONE, "The call is receiving a dial tone from the switch"},
        {LINECALLSTATE_DIALING, "Destination address information (a phone number) is being sent to the switch"},
        {LINECALLSTATE_RINGBACK, "The call is receiving ringback from the called address"},
        {LINECALLSTATE_BUSY, "The call is receiving a busy tone"},
        {LINECALLSTATE_SPECIALINFO, "Special information is sent by the network"},
        {LINECALLSTATE_CONNECTED, "The call has been established and the connection is made"},
        {LINECALLSTATE_PROCEEDING, "Dialing has completed and the call is proceeding through the switch"},
        {LINECALLSTATE_ONHOLD, "The call is on hold by the switch"},
        {LINECALLSTATE_CONFERENCED, "The call is currently a member of a multi-party conference call"},
        {LINECALLSTATE_ONHOLDPENDCONF, "The call is currently on hold while it is being added to a conference"},
        {LINECALLSTATE_ONHOLDPENDTRANSFER, "The call is currently on hold awaiting transfer to another number"},
        {LINECALLSTATE_DISCONNECTED, "The remote party has disconnected from the call"},
        {LINECALLSTATE_UNKNOWN, "The state of the call is not known"},
    };
    return texts;
}

} // namespace

std::string ModemErrorText(std::int64_t code)
{
    switch (code) {
    case MMERR_NOSERVICE:
        return "ModemManager non è in esecuzione";
    case MMERR_ACCESSDENIED:
        return "Accesso negato dal bus di sistema";
    case MMERR_NOREPLY:
        return "ModemManager non risponde";
    case MMERR_NOMODEM:
        return "Il modem non è più presente";
    case MMERR_UNSUPPORTED:
        return "Operazione non supportata dal modem";
    case MMERR_FAILED:
        return "ModemManager ha segnalato un errore";
    case MMERR_NOBUS:
        return "Bus di sistema non raggiungibile";
    case MMERR_OTHER:
        return "Errore del bus di sistema";
    case LINEERR_INVALCALLHANDLE:
        return "La chiamata non esiste più";
    default:
        return "Errore sconosciuto (" + std::to_string(code) + ")";
    }
}

std::int64_t ModemErrorCode(const std::string& name)
{
    static const std::map<std::string, std::int64_t> codes = {
        {"org.freedesktop.DBus.Error.ServiceUnknown", MMERR_NOSERVICE},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", MMERR_NOSERVICE},
        {"org.freedesktop.DBus.Error.AccessDenied", MMERR_ACCESSDENIED},
        {"org.freedesktop.DBus.Error.NoReply", MMERR_NOREPLY},
        {"org.freedesktop.DBus.Error.Timeout", MMERR_NOREPLY},
        {"org.freedesktop.DBus.Error.UnknownObject", MMERR_NOMODEM},
        {"org.freedesktop.DBus.Error.UnknownMethod", MMERR_NOMODEM},
        {"org.freedesktop.DBus.Error.NoServer", MMERR_NOBUS},
        {"org.freedesktop.DBus.Error.FileNotFound", MMERR_NOBUS},
        {"org.freedesktop.ModemManager1.Error.Core.Unsupported", MMERR_UNSUPPORTED},
        {"org.freedesktop.ModemManager1.Error.Core.Failed", MMERR_FAILED},
    };
    const auto it = codes.find(name);
    return it == codes.end() ? MMERR_OTHER : it->second;
}

TTapiControl::TTapiControl(TServices& services, ITapiService& service) : FServices(services), FService(service) {}

TTapiControl::~TTapiControl()
{
    *FAlive = false;
    try {
        StopMonitor();
        Shutdown();
    } catch (...) {
    }
}

std::string TTapiControl::StateText(std::int64_t state)
{
    const auto it = StateTexts().find(state);
    return it == StateTexts().end() ? "*** LINECALLSTATE NON GESTITO ***" : it->second;
}

void TTapiControl::Fail(const TTapiResult& r)
{
    const std::string text = "Fallita la " + r.Method + ": " + FService.ErrorText(r.Code);
    FLastError = text;
    FLastErrorCode = r.Code;
    if (OnError)
        OnError(text);
    if (RaiseOnError)
        throw EQvError(text);
}

void TTapiControl::Initialize()
{
    FCallbackOn = true;
    if (FInitialized)
        return;
    int count = 0;
    const TTapiResult r = FService.Initialize("Quorvanta", count);
    if (!r)
        Fail(r);
    FInitialized = true;
    FDeviceCount = count;
    if (count == 0) {
        FLastError = "Nessun modem disponibile";
        FLastErrorCode = 0;
        if (OnError)
            OnError("Nessun modem disponibile");
        if (RaiseOnError)
            throw EQvError("Nessun modem disponibile");
    }
}

void TTapiControl::Shutdown()
{
    FCallbackOn = false;
    if (!FInitialized)
        return;
    FInitialized = false;
    FLine = 0;
    FMonitored = -1;
    const TTapiResult r = FService.Shutdown();
    if (!r)
        Fail(r);
}

const std::vector<TDevice>& TTapiControl::Devices()
{
    if (FDevices)
        return *FDevices;
    FDevices.emplace();
    Initialize();
    for (int i = 0; i < FDeviceCount; ++i) {
        TLineCaps caps;
        // A line that cannot tell its capabilities is skipped.
        if (!FService.DevCaps(i, caps))
            continue;
        if (caps.MediaModes & (LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_MIXED))
            FDevices->push_back({i, caps.Name});
    }
    return *FDevices;
}

int TTapiControl::FindDevice(const std::string& name)
{
    const auto& devices = Devices();
    for (std::size_t i = 0; i < devices.size(); ++i)
        if (SameText(devices[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::string TTapiControl::MonitoredName() const
{
    return FMonitored >= 0 ? FMonitoredName : std::string();
}

void TTapiControl::StartMonitorDevice(int device)
{
    StopMonitor();
    const auto& devices = Devices();
    if (device < 0 || static_cast<std::size_t>(device) >= devices.size())
        throw EQvError("Modem inesistente");
    const TDevice d = devices[static_cast<std::size_t>(device)];
    try {
        Initialize();
        std::int64_t line = 0;
        std::weak_ptr<bool> alive = FAlive;
        const TTapiResult r = FService.Open(
            d.Id,
            [this, alive](std::int64_t dev, int msg, std::int64_t call, std::int64_t p1, std::int64_t p2, std::int64_t p3) {
                if (auto a = alive.lock(); a && *a)
                    Callback(dev, msg, call, p1, p2, p3);
            },
            line);
        if (!r)
            Fail(r);
        if (line == 0) {
            const std::string text = "Fallita l'apertura linea di " + d.Name;
            if (OnError)
                OnError(text);
            if (RaiseOnError)
                throw EQvError(text);
            return;
        }
        FLine = line;
        FMonitored = device;
        FMonitoredName = d.Name;
    } catch (const std::exception& e) {
        const std::string text = "Fallita la StartMonitorDevice su " + d.Name + " " + e.what();
        if (OnError)
            OnError(text);
        if (RaiseOnError)
            throw EQvError(text);
    }
}

void TTapiControl::StopMonitor()
{
    FCallbackOn = false;
    if (FLine != 0) {
        const std::int64_t line = FLine;
        FLine = 0;
        FMonitored = -1;
        const TTapiResult r = FService.Close(line);
        if (!r)
            Fail(r);
    }
    FMonitored = -1;
}

bool TTapiControl::ReadCallInfo(std::int64_t call)
{
    TCallInfo info;
    const TTapiResult r = FService.CallInfo(call, info);
    if (!r) {
        const std::string text = "Fallita la " + r.Method + ": " + FService.ErrorText(r.Code);
        if (r.Code == LINEERR_INVALCALLHANDLE) {
            // A call that is already gone is reported, never raised.
            if (OnError)
                OnError(text);
            return false;
        }
        Fail(r);
        return false;
    }
    FCallInfo = info;
    return true;
}

void TTapiControl::Callback(std::int64_t device, int msg, std::int64_t call, std::int64_t p1, std::int64_t p2,
                            std::int64_t p3)
{
    if (!FCallbackOn)
        return;
    try {
        if (msg == LINE_CALLINFO) {
            if (ReadCallInfo(call) && OnNewCallInfo)
                OnNewCallInfo(FCallInfo);
        } else if (msg == LINE_CALLSTATE) {
            CallState(device, call, p1, p2, p3);
        } else if (msg == LINE_CLOSE) {
            const std::string name = FMonitoredName;
            FCallbackOn = false;
            FLine = 0;
            FMonitored = -1;
            if (OnLineClosed)
                OnLineClosed(name);
        } else if (msg == LINE_LINEDEVSTATE && (p1 == LINEDEVSTATE_INSERVICE || p1 == LINEDEVSTATE_OUTOFSERVICE)) {
            if (OnLinePresence)
                OnLinePresence(FMonitoredName, p1 == LINEDEVSTATE_INSERVICE);
        }
        if (OnNotifyTapiMsg)
            OnNotifyTapiMsg(device, msg, p1, p2, p3);
    } catch (const std::exception& e) {
        // Never back into the service: the program's handler takes it.
        if (OnCallbackException)
            OnCallbackException(std::string("Eccezione nella LineCallBack ") + e.what());
    }
}

void TTapiControl::CallState(std::int64_t device, std::int64_t call, std::int64_t p1, std::int64_t p2, std::int64_t p3)
{
    const std::int64_t state = p1;
    ReadCallInfo(call);
    std::string text = StateText(state);
    if (state == LINECALLSTATE_CONNECTED)
        text += " * AppName: " + FCallInfo.AppName + " dwLineDeviceID: " + std::to_string(FCallInfo.LineDeviceID) +
                " connesso a " + std::to_string(FCallInfo.Rate);
    if (OnChangeLineState)
        OnChangeLineState(Trim(text), device, p1, p2, p3);
    switch (state) {
    case LINECALLSTATE_IDLE: {
        // The call is released even when a listener raises.
        struct TRelease
        {
            TTapiControl& Self;
            std::int64_t Call;
            ~TRelease()
            {
                const TTapiResult r = Self.FService.Deallocate(Call);
                if (!r && Self.OnError)
                    Self.OnError("Fallita la " + r.Method + ": " + Self.FService.ErrorText(r.Code));
            }
        } release{*this, call};
        if (OnDisconnected)
            OnDisconnected(FCallInfo);
        break;
    }
    case LINECALLSTATE_DIALING:
        if (OnDialing)
            OnDialing(FCallInfo);
        break;
    case LINECALLSTATE_CONNECTED:
        if (OnConnected)
            OnConnected(FCallInfo);
        break;
    case LINECALLSTATE_PROCEEDING:
        if (OnProceeding)
            OnProceeding(FCallInfo);
        break;
    case LINECALLSTATE_DISCONNECTED:
        if (OnDisconnected)
            OnDisconnected(FCallInfo);
        break;
    default:
        break;
    }
}

} // namespace qv
