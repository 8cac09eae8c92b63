#pragma once
// Reading the time from a time server (the Time Protocol of RFC 868: four bytes, the seconds since
// 1 January 1900 UTC, most significant first) and the interfaces of its network side and of the
// clock it corrects.

#include "core/Services.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

// The network side of a check: opens a TCP connection to the server and reports on the main
// thread (through the timer service's Post) that it connected, the whole answer once the server
// closed or fell silent, or that it failed. check numbers a request, so a late report of an earlier
// one is recognised.
class ITimeTransport
{
public:
    virtual ~ITimeTransport() = default;
    struct TEvents
    {
        std::function<void(int check)> Connected;
        std::function<void(int check, const std::vector<std::uint8_t>& answer)> Answer;
        std::function<void(int check, const std::string& reason)> Failed;
    };
    virtual void SetEvents(TEvents events) = 0;
    virtual void Open(int check, const std::string& host, int port) = 0;
    virtual void Close() = 0;
};

// Moves the system clock; an empty text on success, else the reason.
class IClockSetter
{
public:
    virtual ~IClockSetter() = default;
    virtual std::string ShiftClock(std::int64_t microseconds) = 0;
};

// Public servers that answer the Time Protocol on TCP port 37, offered by the settings.
const std::vector<std::string>& TimeServerChoices();

// The four bytes as received, as a UTC date-time. The count wraps every 2^32 seconds (first on
// 7 February 2036) and carries no era: it is read in the era that puts it closest to reference (the
// computer's UTC time), so a server after 2036 is read right.
double TimeProtocolToDateTime(const std::uint8_t bytes[4], double reference);

// A difference within this (a day fraction) means the clock is already right.
double ExactClockBound();
// The largest difference corrected without asking when automatic correction is on: 15 minutes. An
// answer of the Time Protocol is not authenticated, so a larger move is shown to the user first.
inline constexpr double MaxSilentCorrection = 15.0 / (24 * 60);
// What a clock setter answers when the system keeps the clock synchronised itself (NTP) and refuses
// a correction by hand.
extern const char* const AutomaticSyncReason;
// The text for a correction the clock setter refused, with why.
std::string ClockRefusalText(const std::string& reason);
// "host", "host:port", "[v6]:port" or a bare IPv6 address; port 0 when the text names an
// impossible one.
std::pair<std::string, int> SplitHostPort(const std::string& text, int defaultPort);

class TInternetTime
{
public:
    TInternetTime(TServices& services, ITimeTransport& transport);
    ~TInternetTime();

    // A public RFC 868 server, for a check that names none.
    static constexpr const char* DefaultServer = "time.nist.gov";

    std::string Host;
    int Port = 37;
    // Milliseconds one check may take.
    std::uint32_t TimeOut() const { return FTimeOut; }
    void SetTimeOut(std::uint32_t ms);

    // Server time minus the system clock (UTC) when the answer came, as a day fraction (positive:
    // the computer is behind), and the time from the connection to the answer.
    std::function<void(double deltaTime, double delayTime)> OnReceiveTime;
    std::function<void(const std::string& text)> OnTimeError;
    std::function<void()> OnStartCheck;

    // Does nothing while a check runs. Host may carry a port ("host:port").
    void StartCheck();
    bool Checking() const { return FChecking; }
    double DeltaTime() const { return FDelta; }
    double DelayTime() const { return FDelay; }
    const std::string& LastError() const { return FError; }

private:
    void Connected(int check);
    void Answer(int check, const std::vector<std::uint8_t>& answer);
    void Fail(const std::string& text);
    std::string Unreachable() const;
    TServices& FServices;
    ITimeTransport& FTransport;
    std::unique_ptr<Timer> FTimeOutTimer;
    std::uint32_t FTimeOut = 50000;
    bool FChecking = false;
    int FCheck = 0;
    double FConnectMoment = 0;
    double FDelta = 0;
    double FDelay = 0;
    std::string FError;
};

} // namespace qv
