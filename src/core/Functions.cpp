#include "core/Functions.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace qv {

namespace {

struct TSplitDuration
{
    std::int64_t Days;
    int Hours, Minutes, Seconds;
};

TSplitDuration SplitDuration(double duration)
{
    const TDecodedMs d = DecodeMs(duration);
    const std::int32_t ms = d.MsOfDay;
    return {d.Day, ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60};
}

std::string Two(long long v)
{
    return (v < 10 ? "0" : "") + std::to_string(v);
}

std::string GroupThousands(std::string digits)
{
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[i];
        const std::size_t left = n - i - 1;
        if (left > 0 && left % 3 == 0)
            out += '.';
    }
    return out;
}

} // namespace

std::string FormatDurationLong(double duration)
{
    const TSplitDuration s = SplitDuration(duration);
    const std::string h = std::to_string(s.Hours), m = std::to_string(s.Minutes), sec = std::to_string(s.Seconds);
    if (s.Days == 0) {
        if (s.Hours > 0)
            return h + " h " + m + " min " + sec + " sec";
        if (s.Minutes > 0)
            return m + " min " + sec + " sec";
        return sec + " sec";
    }
    return std::to_string(s.Days) + (s.Days == 1 ? " giorno " : " giorni ") + h + " h " + m + " min " + sec + " sec";
}

std::string FormatDurationShort(double duration, bool compact)
{
    const TSplitDuration s = SplitDuration(duration);
    const long long totalHours = s.Days * 24 + s.Hours;
    if (compact) {
        if (totalHours > 0)
            return std::to_string(totalHours) + "." + Two(s.Minutes);
        return Two(s.Minutes) + "." + Two(s.Seconds);
    }
    if (totalHours > 0)
        return std::to_string(totalHours) + " h " + std::to_string(s.Minutes) + " min ";
    if (s.Minutes > 0)
        return std::to_string(s.Minutes) + " min " + std::to_string(s.Seconds) + " sec";
    return std::to_string(s.Seconds) + " sec";
}

std::string FormatNumber(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    if (decimals < 0)
        decimals = 0;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string text = buf;
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        text.erase(0, 1);
    }
    std::string intPart = text;
    std::string fracPart;
    const auto dot = text.find('.');
    if (dot != std::string::npos) {
        intPart = text.substr(0, dot);
        fracPart = text.substr(dot + 1);
    }
    std::string out = GroupThousands(intPart);
    if (!fracPart.empty())
        out += "," + fracPart;
    // "-0" and "-0,000" read as zero.
    if (negative && out.find_first_not_of("0.,") != std::string::npos)
        out = "-" + out;
    return out;
}

std::string FormatPattern(std::string_view pattern, double value)
{
    int width = 0, decimals = 0;
    std::size_t i = 0;
    const auto digits = [&](int& into) {
        const std::size_t from = i;
        while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9' && i - from < 3)
            into = into * 10 + (pattern[i++] - '0');
        return i > from;
    };
    const bool ok = i < pattern.size() && pattern[i++] == '%' && (digits(width), true) && i < pattern.size() &&
                    pattern[i++] == '.' && digits(decimals) && i + 1 == pattern.size() && pattern[i] == 'n';
    if (!ok)
        throw EQvError("Formato numerico non valido: " + std::string(pattern));
    std::string text = FormatNumber(value, decimals);
    if (text.size() < static_cast<std::size_t>(width))
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

std::string FormatNumber(std::int64_t value)
{
    const bool negative = value < 0;
    // Through unsigned, so the most negative value has a magnitude too.
    const std::uint64_t magnitude =
        negative ? static_cast<std::uint64_t>(-(value + 1)) + 1u : static_cast<std::uint64_t>(value);
    const std::string out = GroupThousands(std::to_string(magnitude));
    return negative ? "-" + out : out;
}

bool CheckMandatoryFields(const std::vector<std::pair<std::string, IMandatoryField*>>& labels, std::string& message)
{
    std::string lines;
    IMandatoryField* first = nullptr;
    for (const auto& [label, field] : labels) {
        if (!field || !Trim(field->Text()).empty())
            continue;
        lines += "\r- " + label;
        if (!first)
            first = field;
    }
    if (!first) {
        message.clear();
        return true;
    }
    message = "I seguenti campi sono obbligatori: " + lines;
    first->SetFocus();
    return false;
}

std::string SocketErrorText(int code)
{
    static const std::map<int, const char*> texts = {
        {10004, "The operation is canceled."},
        {10009, "The socket handle is not valid."},
        {10013, "The requested address is protected."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open sockets."},
        {10035, "The operation would block."},
        {10036, "A blocking operation is in progress."},
        {10037, "The operation is already in progress."},
        {10038, "The handle is not a socket."},
        {10039, "A destination address is required."},
        {10040, "The message is too long."},
        {10041, "The protocol type is wrong for the socket."},
        {10042, "Bad protocol option."},
        {10043, "The protocol is not supported."},
        {10044, "The socket type is not supported."},
        {10045, "The operation is not supported."},
        {10046, "The protocol family is not supported."},
        {10047, "The address family is not supported by the protocol family."},
        {10048, "The address is already in use."},
        {10049, "The address is not available."},
        {10050, "The network is down."},
        {10051, "The network cannot be reached."},
        {10052, "The network dropped the connection on reset."},
        {10053, "The software caused the connection to abort."},
        {10054, "The connection was reset by the peer."},
        {10055, "No buffer space is available."},
        {10056, "The socket is already connected."},
        {10057, "The socket is not connected."},
        {10058, "The socket has been shut down."},
        {10060, "The connection timed out."},
        {10061, "The connection was refused."},
        {10064, "The host is down."},
        {10065, "No route to the host."},
        {10091, "The network subsystem is unavailable."},
        {10092, "The socket library version is not supported."},
        {10093, "The socket library has not been initialised."},
        {10101, "A graceful shutdown is in progress."},
        {11001, "The host was not found."},
        {11002, "The host was not found, or the server failed; try again."},
        {11003, "A non-recoverable error occurred."},
        {11004, "The name is valid but has no data record of the requested type."},
    };
    const auto it = texts.find(code);
    return it == texts.end() ? std::string() : it->second;
}

std::string ErrorCodeText(int code, const TErrorTextSources& sources)
{
    std::string text;
    if (code >= 600 && code <= 993) {
        if (sources.DialUp)
            text = sources.DialUp(code);
    } else if (code >= 10001 && code <= 11999) {
        text = SocketErrorText(code);
    } else if (code >= 12001) {
        if (sources.Http)
            text = sources.Http(code);
    } else {
        if (sources.System)
            text = sources.System(code);
        else
            text = std::strerror(code);
    }
    if (text.empty())
        text = "Errore " + std::to_string(code);
    return text;
}

} // namespace qv
