#include "timesync/InternetTime.h"

#include "core/DateTime.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>

namespace qv {

const std::vector<std::string>& TimeServerChoices()
{
    static const std::vector<std::string> servers = {TInternetTime::DefaultServer, "time-a-g.nist.gov",
                                                     "time-b-g.nist.gov", "time-c-g.nist.gov",
                                                     "time-d-g.nist.gov", "utcnist.colorado.edu"};
    return servers;
}

double TimeProtocolToDateTime(const std::uint8_t bytes[4], double reference)
{
    const std::uint32_t s = (static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
                            (static_cast<std::uint32_t>(bytes[2]) << 8) | static_cast<std::uint32_t>(bytes[3]);
    constexpr double eraSeconds = 4294967296.0;
    const double epoch = EncodeDate(1900, 1, 1);
    const double referenceSeconds = (reference - epoch) * 86400.0;
    const double era = std::round((referenceSeconds - static_cast<double>(s)) / eraSeconds);
    return (static_cast<double>(s) + era * eraSeconds) * OneSecond + epoch;
}

double ExactClockBound()
{
    return EncodeTime(0, 0, 1, 999);
}

const char* const AutomaticSyncReason = "La sincronizzazione automatica dell'ora (NTP) è attiva: è il sistema a tenere "
                                        "l'orario esatto.\rPer correggerlo da qui occorre disattivarla "
                                        "(«timedatectl set-ntp false», o nelle impostazioni di data e ora del desktop).";

std::string ClockRefusalText(const std::string& reason)
{
    if (reason == AutomaticSyncReason)
        return std::string("Impossibile modificare l'ora di sistema!\r") + AutomaticSyncReason;
    return "Impossibile modificare l'ora di sistema!\rControllare i diritti per modificare l'orario" +
           (reason.empty() ? std::string() : "\r[" + reason + "]");
}

std::pair<std::string, int> SplitHostPort(const std::string& text, int defaultPort)
{
    const std::string t = Trim(text);
    std::string host = t, port;
    if (!t.empty() && t.front() == '[') {
        const auto close = t.find(']');
        if (close == std::string::npos)
            return {t, 0};
        host = t.substr(1, close - 1);
        if (close + 1 < t.size()) {
            if (t[close + 1] != ':')
                return {host, 0};
            port = t.substr(close + 2);
        }
    } else if (std::count(t.begin(), t.end(), ':') == 1) {
        const auto colon = t.find(':');
        host = t.substr(0, colon);
        port = t.substr(colon + 1);
    }
    if (port.empty())
        return {host, defaultPort};
    const auto n = ReadInteger(port);
    return {host, n && *n > 0 && *n <= 65535 && IsNumeric(port) ? *n : 0};
}

TInternetTime::TInternetTime(TServices& services, ITimeTransport& transport)
    : FServices(services), FTransport(transport)
{
    FTimeOutTimer = services.Timers.CreateTimer("FTimeOutTimerInternetTime", FTimeOut);
    FTimeOutTimer->SetEnabled(false);
    FTimeOutTimer->OnTimer = [this] { Fail("Scaduto il tempo di attesa per il time server " + Host); };
    FTransport.SetEvents({[this](int check) { Connected(check); },
                          [this](int check, const std::vector<std::uint8_t>& answer) { Answer(check, answer); },
                          [this](int check, const std::string&) {
                              if (FChecking && check == FCheck)
                                  Fail(Unreachable());
                          }});
}

TInternetTime::~TInternetTime()
{
    FTransport.SetEvents({});
    FTransport.Close();
}

void TInternetTime::SetTimeOut(std::uint32_t ms)
{
    FTimeOut = ms;
    FTimeOutTimer->SetInterval(ms);
}

std::string TInternetTime::Unreachable() const
{
    return Trim("Il time server «" + Host + "» non è raggiungibile!");
}

void TInternetTime::StartCheck()
{
    if (FChecking)
        return;
    if (OnStartCheck)
        OnStartCheck();
    FTimeOutTimer->SetEnabled(true);
    FChecking = true;
    ++FCheck;
    const auto [host, port] = SplitHostPort(Host, Port);
    if (host.empty() || port == 0) {
        // Nothing to connect to: reported as an unreachable server, from the main loop.
        const int check = FCheck;
        FServices.Timers.Post([this, check] {
            if (FChecking && check == FCheck)
                Fail(Unreachable());
        });
        return;
    }
    FTransport.Open(FCheck, host, port);
}

void TInternetTime::Connected(int check)
{
    if (FChecking && check == FCheck)
        FConnectMoment = FServices.Clk.UtcNow();
}

void TInternetTime::Answer(int check, const std::vector<std::uint8_t>& answer)
{
    // Only the four bytes of the protocol make an answer; anything else waits for the time-out.
    if (!FChecking || check != FCheck || answer.size() != 4)
        return;
    const double now = FServices.Clk.UtcNow();
    FDelay = now - FConnectMoment;
    FDelta = TimeProtocolToDateTime(answer.data(), now) - now;
    FTimeOutTimer->SetEnabled(false);
    FChecking = false;
    FTransport.Close();
    if (OnReceiveTime)
        OnReceiveTime(FDelta, FDelay);
}

void TInternetTime::Fail(const std::string& text)
{
    FTimeOutTimer->SetEnabled(false);
    FChecking = false;
    FError = text;
    FTransport.Close();
    if (OnTimeError)
        OnTimeError(text);
}

} // namespace qv
