#pragma once
// Popup messages through Samba's WinPopup messaging: `smbclient -M NAME -I ADDRESS -U% -N`, run
// without a shell, the text on its standard input. The address is looked up with `nmblookup NAME`,
// or given with the recipient as "NOME@indirizzo" (and a port as "NOME@indirizzo:porta").

#include "messenger/Messenger.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace qv {

struct TPopupRecipient
{
    std::string Name;
    std::string Address; // empty: looked up by name
    int Port = 0;        // 0: smbclient's own
};
TPopupRecipient ParsePopupRecipient(const std::string& recipient);
// The status of smbclient's outcome (0 delivered; 2273, 5, 2136, 50, 87 as the messages table has).
std::int32_t SmbStatus(int exitCode, const std::string& output);
// The first IPv4 address of a name in nmblookup's answer; empty when none.
std::string NmbAddress(const std::string& output);

// What smbclient reads of a message: its own line ends (LF, which it sends as CR LF) and "?" for each
// character the code page lacks. It reads at most SmbMessageBytes, counting each LF twice.
std::string SmbInput(const std::string& text, const char* codePage);
std::size_t SmbInputBytes(const std::string& input);
inline constexpr std::size_t SmbMessageBytes = 1598;

class TSmbPopupTransport : public IPopupTransport
{
public:
    // folders: where smbclient and nmblookup are looked for.
    explicit TSmbPopupTransport(std::vector<std::string> folders = {"/usr/bin", "/bin", "/usr/local/bin"},
                                int timeoutMs = 30000);
    bool Available() override;
    std::int32_t Send(const std::string& recipient, const std::string& text) override;
    void CancelAll() override;
    std::string TooLong(const std::string& text) const override;
    std::string Unsendable(const std::string& text) const override;
    // The receiver's DOS code page: smbclient's and a stock Samba's default, and the OEM code page of
    // Western European Windows.
    const char* DosCodePage = "CP850";
    // Options of the name lookup before the name (tests point it at the loopback: "-U 127.0.0.1 -R").
    std::vector<std::string> LookupOptions;

private:
    std::string Find(const std::string& program) const;
    std::vector<std::string> FFolders;
    int FTimeoutMs;
    std::mutex FMutex;
    std::set<pid_t> FRunning;
    bool FCancelled = false;
};

} // namespace qv
