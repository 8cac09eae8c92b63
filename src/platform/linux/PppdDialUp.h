#pragma once
// The dial-up service on pppd: the peer files are the phone book, running pppd processes are the
// connections, their ppp interfaces tell the state, `pppd call NAME nodetach` dials and SIGTERM hangs
// up (as poff does). Every path lives under a configurable root, so tests use a temporary tree and
// a fake pppd.

#include "core/Time.h"
#include "detection/RasApi.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TPppdDialUp : public IRasApi
{
public:
    // root: prefix of /etc/ppp, /run and /sys ("" on a real system); procRoot: where the processes
    // are listed; pppdProgram: what Dial starts.
    TPppdDialUp(TimerService& timers, std::string root = "", std::string pppdProgram = "pppd",
                std::string procRoot = "/proc");
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
    std::optional<TByteCounts> ByteCounts(std::int64_t handle) override;

    // The IPv4 address of an interface (getifaddrs on a real system); tests replace it.
    std::function<std::string(const std::string& iface)> AddressOf;
    // How long a hang-up waits for pppd to end.
    int HangUpWaitMs = 3000;

    // The dial step an output line of pppd (or its chat script) announces, or -1.
    static int StepOfLine(const std::string& line);
    // The error code of a pppd exit status, given what it printed; 0 for a normal end.
    static int ErrorOfExit(int exitStatus, const std::string& output);
    // The number a peer file dials: "-T NUMBER" of its connect command or ATDT/ATDP of its chat script.
    std::string PhoneNumberOfPeer(const std::string& entry);

private:
    std::string Path(const std::string& p) const { return FRoot + p; }
    std::string InterfaceOf(std::int64_t pid);
    std::string LinkNameOf(std::int64_t pid);
    std::string PeerUser(const std::string& entry);
    void Reap();

    TimerService& FTimers;
    std::string FRoot;
    std::string FPppd;
    std::string FProc;
    struct TChild
    {
        std::thread Reader;
        std::atomic<bool> HungUp{false};
        std::atomic<bool> Done{false};
    };
    // Processes seen not to be pppd, with how many scans saw them so: after ten they are no longer
    // read (a wrapper such as pon turns into pppd at once, not after seconds), which keeps the
    // once-a-second scan of /proc to a directory listing.
    std::map<std::int64_t, int> FOthers;
    std::mutex FMutex;
    std::map<std::int64_t, std::unique_ptr<TChild>> FChildren;
    // Set when the object goes: a reader that finishes later posts nothing.
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

} // namespace qv
