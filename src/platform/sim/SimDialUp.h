#pragma once
// A scriptable dial-up service for tests and demos: a phone book, dials that go through the dial
// steps over a few seconds with an outcome per entry, connections brought up or down "by another
// program", and byte counters that grow while on line. Runs on the program's timers.

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
    };

    TSimDialUp(Clock& clock, TimerService& timers);
    ~TSimDialUp() override;

    // The demo phone book: two Italian providers and one entry that calls abroad.
    void AddDemoEntries();
    TEntry& AddEntry(const std::string& name, const std::string& number);

    // As if another program dialled: dialling for dialSeconds, connecting for a second, then on line.
    void BringUp(const std::string& entry, int dialSeconds = 2);
    void BringDown(const std::string& entry);
    bool FailEnumeration = false;
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
        std::vector<std::unique_ptr<Timer>> Steps;
    };
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
