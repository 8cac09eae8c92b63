#include "platform/linux/SmbPopupTransport.h"

#include "core/Strings.h"
#include "platform/linux/RunProgram.h"

#include <csignal>
#include <filesystem>
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
                                  // WinPopup messages exist only in the first SMB dialect; the text
                                  // goes out in the Windows code page.
                                  "--option=client min protocol=NT1", "--option=dos charset=CP1252"};
    if (r.Port > 0) {
        args.push_back("-p");
        args.push_back(std::to_string(r.Port));
    }
    // smbclient reads its input in the system's own character set and converts it for the wire.
    const std::string input = ReplaceAll(ReplaceAll(text, "\r\n", "\n"), "\n", "\r\n");
    const TProgramRun run = RunProgram(args, input, FTimeoutMs, true, track, untrack);
    if (!run.Started)
        return 50;
    if (run.TimedOut)
        return 2136;
    return SmbStatus(run.ExitCode, run.Output);
}

void TSmbPopupTransport::CancelAll()
{
    std::lock_guard lock(FMutex);
    FCancelled = true;
    for (const pid_t pid : FRunning)
        ::kill(pid, SIGKILL);
}

} // namespace qv
