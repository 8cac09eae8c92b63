#pragma once
// The dial-up service on pppd: the peer files are the phone book, running pppd processes are the
// connections. A dial starts `pppd call NAME nodetach` in a session of its own, with its log in a
// private file that a watcher follows, so that pppd outlives the program; only HangUp ends it.
// Typed credentials reach pppd through a named pipe read as an options file, never through its
// command line. Every path lives under a configurable root, so tests use a temporary tree.

#include "core/Time.h"
#include "detection/RasApi.h"

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TPppdDialUp : public IRasApi
{
public:
    // root: prefix of /etc/ppp, /run and /sys ("" on a real system); pppdProgram: a path, or a name
    // looked up in PppdFolders; procRoot: where the processes are listed.
    TPppdDialUp(TimerService& timers, std::string root = "", std::string pppdProgram = "pppd",
                std::string procRoot = "/proc");
    // Stops following the dials; never ends a pppd.
    ~TPppdDialUp() override;

    int Entries(std::vector<std::string>& names) override;
    int Connections(std::vector<TRasConnection>& connections) override;
    int ConnectStatus(std::int64_t handle, int& state) override;
    int EntryProperties(const std::string& entry, TRasEntryProperties& properties) override;
    int ProjectionAddress(std::int64_t handle, std::string& address) override;
    int GetCredentials(const std::string& entry, TRasCredentials& credentials) override;
    int SetCredentials(const std::string& entry, const std::string& user, const std::string& password,
                       bool clearPassword) override;
    int Dial(const std::string& entry, const std::string& user, const std::string& password,
             std::function<void(int state, int error)> progress, std::int64_t& handle) override;
    int HangUp(std::int64_t handle) override;
    std::string ErrorText(int code) override;
    // The Italian text of an error code of this service (shared with the simulation).
    static std::string ErrorTextOf(int code);
    std::optional<TByteCounts> ByteCounts(std::int64_t handle) override;

    // The IPv4 address of an interface (getifaddrs on a real system); tests replace it.
    std::function<std::string(const std::string& iface)> AddressOf;
    // Where a pppd given by name is looked for: a normal user's PATH holds no /usr/sbin.
    std::vector<std::string> PppdFolders{"/usr/sbin", "/sbin"};
    // The private folder of the dial logs and credential pipes (the single-instance folder when empty).
    std::string RuntimeFolder;
    // chat's report lines from the system log since a moment (seconds since 1970), for a peer whose
    // chat script logs there ("chat -v"); journalctl on a real system, replaced by tests.
    std::function<std::string(std::int64_t since)> SystemLogOfChat;
    // Where passwords are kept besides the secrets files (the desktop's Secret Service).
    struct TKeyring
    {
        std::function<std::optional<std::string>(const std::string& entry, const std::string& user)> Find;
        std::function<bool(const std::string& entry, const std::string& user, const std::string& password)> Store;
        std::function<void(const std::string& entry, const std::string& user)> Forget;
    };
    TKeyring Keyring;

    // The pppd that Dial starts, or empty when none is installed.
    std::string PppdPath() const;
    // Whether a pppd is there at all, runnable by this user or not.
    bool PppdPresent() const;
    // The dial step a log line of pppd or of its chat script announces, or -1. Only chat's report
    // counts, never its echo of what it expects or aborts on.
    static int StepOfLine(const std::string& line);
    // The modem's answer that made chat fail ("BUSY", "NO CARRIER", ...), from chat's report lines.
    static std::string ChatFailure(const std::string& report);
    // The error code of a pppd exit status, given chat's report; 0 for a normal end.
    static int ErrorOfExit(int exitStatus, const std::string& report);
    // The number a peer file dials: "-T NUMBER" of its connect command or ATDT/ATDP of its chat script.
    std::string PhoneNumberOfPeer(const std::string& entry);

private:
    // A pppd this object started, followed by a watcher thread.
    struct TChild
    {
        std::int64_t Pid = 0;
        std::string Entry;
        bool Demand = false;
        bool Persist = false;
        std::thread Watcher;
        // Shared with the watcher under FMutex.
        int Step = 0;           // highest dial step of the current link attempt
        bool Attempting = false; // a link attempt is under way (dialling or up)
        bool LinkUp = false;     // IPCP is up
        std::string Interface;
        bool Reaped = false;     // the process has ended and been waited for
        bool Delivered = false;  // its end has reached the program (after any error)
        bool HungUp = false;
        std::deque<std::string> Tail; // the last lines of the log, for chat's report
    };
    std::string Path(const std::string& p) const { return FRoot + p; }
    std::string InterfaceOf(std::int64_t pid);
    std::string InterfaceOfConnection(std::int64_t handle);
    std::string LinkNameOf(std::int64_t pid);
    std::string PeerUser(const std::string& entry);
    // The first value of an option in the peer's file ("user", "remotename"), empty when none.
    std::string PeerOption(const std::string& entry, const std::string& option);
    bool PeerHas(const std::string& entry, const std::string& option);
    std::string Runtime();
    TChild* Child(std::int64_t pid);
    void Watch(TChild* child, int logFd, std::function<void(int, int)> progress, std::int64_t startedAt);
    void SendCredentials(const std::string& fifo, const std::string& user, const std::string& password,
                         std::int64_t pid);
    std::uint64_t StartTimeOf(std::int64_t pid) const;
    bool IsPppd(std::int64_t pid) const;

    TimerService& FTimers;
    std::string FRoot;
    std::string FPppd;
    std::string FName; // how the processes of that program are named ("pppd")
    std::string FProc;
    std::mutex FMutex;
    std::map<std::int64_t, std::unique_ptr<TChild>> FChildren;
    // pppd processes of other programs, with the start time they had when listed: a signal goes
    // only to a process that is still that pppd.
    std::map<std::int64_t, std::uint64_t> FForeign;
    // Processes seen not to be pppd, with how many scans saw them so: after ten they are no longer
    // read (a wrapper such as pon turns into pppd at once, not after seconds), which keeps the
    // once-a-second scan of /proc to a directory listing.
    std::map<std::int64_t, int> FOthers;
    std::atomic<bool> FStopping{false};
    std::vector<std::thread> FHelpers;
    // Set when the object goes: a watcher that finishes later posts nothing.
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

} // namespace qv
