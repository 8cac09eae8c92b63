#pragma once
// The modem line monitor: watches one modem line, never placing or dropping calls, and tells when a
// call on it is dialled, proceeds, is connected or has ended, with the call's information. The
// telephony service behind it is an interface (ModemManager on Linux, a simulated modem in tests).

#include "core/Services.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// Call states, as the line reports them.
enum : std::int64_t
{
    LINECALLSTATE_IDLE = 1,
    LINECALLSTATE_OFFERING = 2,
    LINECALLSTATE_ACCEPTED = 4,
    LINECALLSTATE_DIALTONE = 8,
    LINECALLSTATE_DIALING = 16,
    LINECALLSTATE_RINGBACK = 32,
    LINECALLSTATE_BUSY = 64,
    LINECALLSTATE_SPECIALINFO = 128,
    LINECALLSTATE_CONNECTED = 256,
    LINECALLSTATE_PROCEEDING = 512,
    LINECALLSTATE_ONHOLD = 1024,
    LINECALLSTATE_CONFERENCED = 2048,
    LINECALLSTATE_ONHOLDPENDCONF = 4096,
    LINECALLSTATE_ONHOLDPENDTRANSFER = 8192,
    LINECALLSTATE_DISCONNECTED = 16384,
    LINECALLSTATE_UNKNOWN = 32768,
};
// Line messages.
enum : int
{
    LINE_CALLINFO = 1,
    LINE_CALLSTATE = 2,
    LINE_CLOSE = 3,        // the line can no longer be watched
    LINE_LINEDEVSTATE = 4, // p1: the device is out of service (gone for now) or in service again
};
constexpr std::int64_t LINEDEVSTATE_INSERVICE = 0x40;
constexpr std::int64_t LINEDEVSTATE_OUTOFSERVICE = 0x80;
// Media modes of a line.
constexpr std::uint32_t LINEMEDIAMODE_DATAMODEM = 0x10;
constexpr std::uint32_t LINEMEDIAMODE_MIXED = 0x1000;
// The code of a call handle that is no longer valid.
constexpr std::int64_t LINEERR_INVALCALLHANDLE = 0x80000018;

// Errors of the modem service (the bus and ModemManager's own), with Italian texts.
enum : std::int64_t
{
    MMERR_NOSERVICE = 1,    // ModemManager not installed or not running
    MMERR_ACCESSDENIED = 2, // the bus refused the call
    MMERR_NOREPLY = 3,      // no answer in time
    MMERR_NOMODEM = 4,      // the modem went away
    MMERR_UNSUPPORTED = 5,  // the modem cannot do it
    MMERR_FAILED = 6,       // ModemManager reported a failure
    MMERR_NOBUS = 7,        // no bus to talk to
    MMERR_OTHER = 8,
};
// The Italian text of a service error (any other code: "Errore sconosciuto (N)").
std::string ModemErrorText(std::int64_t code);
// The code of a D-Bus error name.
std::int64_t ModemErrorCode(const std::string& dbusErrorName);

struct TCallInfo
{
    std::string AppName;
    std::string Number;
    std::int32_t Rate = 0;
    std::string CallerID;
    std::string CalledID;
    std::int32_t LineDeviceID = 0;
};

struct TDevice
{
    int Id = 0;
    std::string Name;
};

// The result of a call to the telephony service: Code 0 is success; Method names the call for the
// error text ("Fallita la " + Method + ": " + text).
struct TTapiResult
{
    std::int64_t Code = 0;
    std::string Method;
    explicit operator bool() const { return Code == 0; }
};

struct TLineCaps
{
    std::string Name;
    std::uint32_t MediaModes = 0;
};

class ITapiService
{
public:
    virtual ~ITapiService() = default;
    // Line events, delivered on the main thread: device, message, call, three parameters.
    using TCallback = std::function<void(std::int64_t device, int msg, std::int64_t call, std::int64_t p1,
                                         std::int64_t p2, std::int64_t p3)>;
    virtual TTapiResult Initialize(const std::string& appName, int& deviceCount) = 0;
    virtual TTapiResult Shutdown() = 0;
    virtual TTapiResult DevCaps(int device, TLineCaps& caps) = 0;
    virtual TTapiResult Open(int device, TCallback callback, std::int64_t& line) = 0;
    virtual TTapiResult Close(std::int64_t line) = 0;
    virtual TTapiResult CallInfo(std::int64_t call, TCallInfo& info) = 0;
    virtual TTapiResult Deallocate(std::int64_t call) = 0;
    virtual std::string ErrorText(std::int64_t code) = 0;
};

class TTapiControl
{
public:
    TTapiControl(TServices& services, ITapiService& service);
    ~TTapiControl();

    // Raises "Nessun modem disponibile" when the service has no line.
    void Initialize();
    void Shutdown();
    // The data-modem lines, listed on first use.
    const std::vector<TDevice>& Devices();
    // Ignoring letter case; -1 when missing.
    int FindDevice(const std::string& name);
    void StartMonitorDevice(int device);
    void StopMonitor();
    // The monitored line's name, empty when none.
    std::string MonitoredName() const;
    bool Monitoring() const { return FMonitored >= 0; }
    const TCallInfo& CallInfo() const { return FCallInfo; }
    // The last failure's text and service code (0: not a service error), e.g. why no line is listed.
    const std::string& LastError() const { return FLastError; }
    std::int64_t LastErrorCode() const { return FLastErrorCode; }
    // Reads the call's information; false when it failed (reported).
    bool ReadCallInfo(std::int64_t call);

    bool RaiseOnError = true;
    std::function<void(const std::string&)> OnError;
    std::function<void(const std::string&)> OnException;
    std::function<void(const TCallInfo&)> OnNewCallInfo;
    std::function<void(const TCallInfo&)> OnConnected;
    std::function<void(const TCallInfo&)> OnDisconnected;
    std::function<void(const TCallInfo&)> OnDialing;
    std::function<void(const TCallInfo&)> OnProceeding;
    std::function<void(std::int64_t device, int msg, std::int64_t p1, std::int64_t p2, std::int64_t p3)> OnNotifyTapiMsg;
    std::function<void(const std::string& stato, std::int64_t device, std::int64_t p1, std::int64_t p2,
                       std::int64_t p3)>
        OnChangeLineState;
    // The monitored line went away; monitoring has stopped (message: why).
    std::function<void(const std::string&)> OnLineClosed;
    // The watched device went away for now (false) or is back (true); the line stays open.
    std::function<void(const std::string& name, bool present)> OnLinePresence;
    // Where an exception in a line event goes (the program's global handler).
    std::function<void(const std::string&)> OnCallbackException;

    // "The call is idle ..." and the others; "*** LINECALLSTATE NON GESTITO ***" for any other.
    static std::string StateText(std::int64_t state);

private:
    void Fail(const TTapiResult& r);
    void Callback(std::int64_t device, int msg, std::int64_t call, std::int64_t p1, std::int64_t p2, std::int64_t p3);
    void CallState(std::int64_t device, std::int64_t call, std::int64_t p1, std::int64_t p2, std::int64_t p3);
    TServices& FServices;
    ITapiService& FService;
    bool FInitialized = false;
    int FDeviceCount = 0;
    std::optional<std::vector<TDevice>> FDevices;
    std::int64_t FLine = 0;
    int FMonitored = -1;
    std::string FMonitoredName;
    TCallInfo FCallInfo;
    // The program-wide switch that lets line events through.
    bool FCallbackOn = false;
    std::string FLastError;
    std::int64_t FLastErrorCode = 0;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace qv
