#include "platform/linux/SmbPopupTransport.h"

#include "core/Strings.h"
#include "platform/linux/RunProgram.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iconv.h>
#include <regex>
#include <sstream>

namespace qv {

TPopupRecipient ParsePopupRecipient(const std::string& recipient)
{
    TPopupRecipient r;
    const std::string text = Trim(recipient);
    const auto at = text.find('@');
    r.Name = Trim(text.substr(0, at));
    if (at == std::string::npos)
        return r;
    std::string address = Trim(text.substr(at + 1));
    const auto colon = address.rfind(':');
    if (colon != std::string::npos && address.find(':') == colon) {
        if (const auto port = ReadInteger(address.substr(colon + 1)); port && *port > 0 && *port < 65536) {
            r.Port = *port;
            address = address.substr(0, colon);
        }
    }
    r.Address = address;
    return r;
}

std::int32_t SmbStatus(int exitCode, const std::string& output)
{
    const auto has = [&output](const char* what) { return output.find(what) != std::string::npos; };
    if (has("NT_STATUS_ACCESS_DENIED") || has("NT_STATUS_LOGON_FAILURE"))
        return 5;
    if (has("NT_STATUS_NOT_SUPPORTED") || has("NT_STATUS_INVALID_NETWORK_RESPONSE"))
        return 50;
    if (has("NT_STATUS_INVALID_PARAMETER"))
        return 87;
    if (has("NT_STATUS_BAD_NETWORK_NAME") || has("NT_STATUS_OBJECT_NAME_NOT_FOUND") ||
        has("NT_STATUS_NO_SUCH_USER") || has("name_query failed"))
        return 2273;
    if (exitCode == 0 && !has("NT_STATUS_"))
        return 0;
    return 2136;
}

std::string NmbAddress(const std::string& output)
{
    static const std::regex line(R"((\d{1,3}(?:\.\d{1,3}){3}) \S+<[0-9a-fA-F]{2}>)");
    std::smatch m;
    return std::regex_search(output, m, line) ? m[1].str() : std::string();
}

namespace {

// The length of the UTF-8 sequence that begins with this byte (1 for a stray byte).
std::size_t SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Calls f with each character of a UTF-8 text and whether the code page holds it.
template <typename F>
void ForEachCharacter(const std::string& text, const char* codePage, F f)
{
    const iconv_t cd = ::iconv_open(codePage, "UTF-8");
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = std::min(SequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
        const std::string_view one(text.data() + i, n);
        bool held = static_cast<unsigned char>(text[i]) < 0x80;
        if (!held && cd != reinterpret_cast<iconv_t>(-1)) {
            char in[4], out[16];
            std::copy(one.begin(), one.end(), in);
            char* inp = in;
            char* outp = out;
            std::size_t inLeft = n, outLeft = sizeof out;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
            held = ::iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
        }
        f(one, held);
        i += n;
    }
    if (cd != reinterpret_cast<iconv_t>(-1))
        ::iconv_close(cd);
}

} // namespace

std::string SmbInput(const std::string& text, const char* codePage)
{
    // smbclient writes every line end as CR LF itself; a character the code page lacks would make it
    // send the whole text unconverted, so it goes as "?".
    std::string input;
    input.reserve(text.size());
    ForEachCharacter(ReplaceAll(ReplaceAll(text, "\r\n", "\n"), "\r", "\n"), codePage,
                     [&input](std::string_view c, bool held) {
                         if (held)
                             input += c;
                         else
                             input += '?';
                     });
    return input;
}

std::size_t SmbInputBytes(const std::string& input)
{
    return input.size() + static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
}

TSmbPopupTransport::TSmbPopupTransport(std::vector<std::string> folders, int timeoutMs)
    : FFolders(std::move(folders)), FTimeoutMs(timeoutMs)
{
}

std::string TSmbPopupTransport::Find(const std::string& program) const
{
    for (const std::string& f : FFolders) {
        std::error_code ec;
        const std::string path = f + "/" + program;
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    return {};
}

bool TSmbPopupTransport::Available()
{
    return !Find("smbclient").empty();
}

std::int32_t TSmbPopupTransport::Send(const std::string& recipient, const std::string& text)
{
    const TPopupRecipient r = ParsePopupRecipient(recipient);
    if (r.Name.empty())
        return 87;
    // smbclient would cut a longer text and still report it sent.
    const std::string input = SmbInput(text, DosCodePage);
    if (SmbInputBytes(input) > SmbMessageBytes)
        return 2123;
    const auto track = [this](pid_t pid) {
        std::lock_guard lock(FMutex);
        if (FCancelled)
            ::kill(pid, SIGKILL);
        FRunning.insert(pid);
    };
    const auto untrack = [this](pid_t pid) {
        std::lock_guard lock(FMutex);
        FRunning.erase(pid);
    };
    std::string address = r.Address;
    if (address.empty()) {
        const std::string nmblookup = Find("nmblookup");
        if (nmblookup.empty())
            return 2273;
        std::vector<std::string> lookupArgs{nmblookup};
        lookupArgs.insert(lookupArgs.end(), LookupOptions.begin(), LookupOptions.end());
        lookupArgs.push_back("--"); // a name that begins with "-" is a name, not an option
        lookupArgs.push_back(r.Name);
        const TProgramRun lookup = RunProgram(lookupArgs, {}, FTimeoutMs, true, track, untrack);
        address = NmbAddress(lookup.Output);
        if (address.empty())
            return lookup.TimedOut ? 2136 : 2273;
    }
    const std::string smbclient = Find("smbclient");
    if (smbclient.empty())
        return 50;
    std::vector<std::string> args{smbclient, "-M", r.Name, "-I", address, "-U%", "-N",
                                  // WinPopup messages exist only in the first SMB dialect; smbclient
                                  // reads UTF-8 and converts it to the receiver's DOS code page.
                                  "--option=client min protocol=NT1", "--option=unix charset=UTF-8",
                                  std::string("--option=dos charset=") + DosCodePage};
    if (r.Port > 0) {
        args.push_back("-p");
        args.push_back(std::to_string(r.Port));
    }
    const TProgramRun run = RunProgram(args, input, FTimeoutMs, true, track, untrack);
    if (!run.Started)
        return 50;
    if (run.TimedOut)
        return 2136;
    return SmbStatus(run.ExitCode, run.Output);
}

std::string TSmbPopupTransport::TooLong(const std::string& text) const
{
    const std::size_t bytes = SmbInputBytes(SmbInput(text, DosCodePage));
    if (bytes <= SmbMessageBytes)
        return {};
    return "Il messaggio è troppo lungo per un messaggio popup: occupa " + std::to_string(bytes) +
           " byte e ne può occupare al massimo " + std::to_string(SmbMessageBytes) +
           " (una lettera accentata ne occupa due, un a capo due).";
}

std::string TSmbPopupTransport::Unsendable(const std::string& text) const
{
    std::string missing;
    ForEachCharacter(text, DosCodePage, [&missing](std::string_view c, bool held) {
        if (!held && c != "\r" && missing.find(c) == std::string::npos)
            missing += c;
    });
    return missing;
}

void TSmbPopupTransport::CancelAll()
{
    std::lock_guard lock(FMutex);
    FCancelled = true;
    for (const pid_t pid : FRunning)
        ::kill(pid, SIGKILL);
}

} // namespace qv
