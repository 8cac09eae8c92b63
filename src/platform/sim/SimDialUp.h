#pragma once
// A scriptable dial-up service for tests and demos, with pppd's habits: a phone book, dials that go
// through the dial steps over a few seconds with an outcome per entry, a failed dial that ends its
// connection as its error arrives (pppd exits), a hang-up that takes a moment, links that keep
// redialling (persist) or wait for traffic (demand), connections that outlive the program that
// dialled them, connections brought up or down "by another program", and byte counters that grow
// while on line. Runs on the program's timers.

#include "core/Time.h"
#include "detection/RasApi.h"

#include <map>
#include <memory>

namespace qv {

enum class TSimOutcome
{
    Connects,
    Busy,
    WrongPassword,
    DropsAfterConnect // the line drops a while after the modem connected, before the network is up
};

class TSimDialUp : public IRasApi
{
public:
    struct TEntry
    {
        std::string Name;
        TRasEntryProperties Properties;
        TRasCredentials Credentials;
        TSimOutcome Outcome = TSimOutcome::Connects;
        std::string Address = "151.24.3.7";
        bool Persist = false; // after a dropped line pppd waits and dials again
        bool Demand = false;  // pppd waits for traffic before it dials
    };

    TSimDialUp(Clock& clock, TimerService& timers);
    ~TSimDialUp() override;

    // The demo phone book: two Italian providers and one entry that calls abroad.
    void AddDemoEntries();
    TEntry& AddEntry(const std::string& name, const std::string& number);

    // As if another program dialled: dialling for dialSeconds, connecting for a second, then on line.
    void BringUp(const std::string& entry, int dialSeconds = 2);
    void BringDown(const std::string& entry);
    // The remote end drops the line: pppd ends with "line dropped" (629), or with Persist waits
    // holdoffSeconds, dialling, and comes back on line.
    void DropLine(const std::string& entry, int holdoffSeconds = 3);
    // Traffic wakes a demand link: it dials and comes on line.
    void Traffic(const std::string& entry);
    // How long pppd takes to end after a hang-up.
    std::uint32_t HangUpMs = 300;
    bool FailEnumeration = false;
    bool FailByteCounts = false;
    int BytesPerSecondIn = 4000;
    int BytesPerSecondOut = 600;

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

    std::map<std::string, TEntry> PhoneBook;

private:
    struct TLive
    {
        std::int64_t Handle;
        std::string Entry;
        int State;
        std::int64_t OnLineSince = 0;
        // The counters grow at the rates in force between two reads, and never go back, as an
        // interface's counters do.
        std::int64_t CountedUntil = 0;
        std::uint64_t SentMs = 0, ReceivedMs = 0; // bytes times 1000
        std::vector<std::unique_ptr<Timer>> Steps;
        std::function<void(int, int)> Progress; // the dial's, while it has not ended
        bool Ending = false;
    };
    // The connection comes on line dialSeconds from now, through the connecting steps.
    void LinkUp(TLive& live, std::uint32_t dialMs);
    // pppd ends: the error (if any) reaches the dial first, then the connection is gone.
    void End(TLive& live, int error);
    TLive* Find(std::int64_t handle);
    void Retire(const std::function<bool(const TLive&)>& which);
    void Schedule(TLive& live, std::uint32_t atMs, std::function<void()> action);
    Clock& FClock;
    TimerService& FTimers;
    std::vector<std::unique_ptr<TLive>> FLive;
    std::vector<std::unique_ptr<TLive>> FDead;
    std::int64_t FNextHandle = 100;
};

} // namespace qv
