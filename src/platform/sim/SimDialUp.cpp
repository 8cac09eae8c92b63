#include "platform/sim/SimDialUp.h"

#include "platform/linux/PppdDialUp.h"

#include <algorithm>

namespace qv {

TSimDialUp::TSimDialUp(Clock& clock, TimerService& timers) : FClock(clock), FTimers(timers) {}

TSimDialUp::~TSimDialUp() = default;

TSimDialUp::TEntry& TSimDialUp::AddEntry(const std::string& name, const std::string& number)
{
    TEntry& e = PhoneBook[name];
    e.Name = name;
    e.Properties.LocalNumber = number;
    return e;
}

void TSimDialUp::AddDemoEntries()
{
    TEntry& uno = AddEntry("Provider Uno", "0702002");
    uno.Credentials = {"utente", "segreta", true};
    TEntry& due = AddEntry("Provider Due", "1678020002");
    due.Credentials = {"anna", "", false};
    due.Address = "212.216.172.9";
    TEntry& abroad = AddEntry("Servizio Premium", "");
    abroad.Properties = {true, 882, "16", "4466771"}; // a number abroad, as rogue diallers use
}

TSimDialUp::TLive* TSimDialUp::Find(std::int64_t handle)
{
    for (auto& l : FLive)
        if (l->Handle == handle)
            return l.get();
    return nullptr;
}

void TSimDialUp::Schedule(TLive& live, std::uint32_t atMs, std::function<void()> action)
{
    auto timer = FTimers.CreateTimer("SimDialStep", atMs);
    Timer* raw = timer.get();
    const std::int64_t handle = live.Handle;
    raw->OnTimer = [this, raw, handle, action] {
        raw->SetEnabled(false);
        if (Find(handle))
            action();
    };
    raw->SetEnabled(true);
    live.Steps.push_back(std::move(timer));
}

void TSimDialUp::LinkUp(TLive& l, std::uint32_t dialMs)
{
    l.State = 0;
    Schedule(l, dialMs, [&l] { l.State = 5; });
    Schedule(l, dialMs + 1000, [this, &l] {
        l.State = RASCS_Connected;
        l.OnLineSince = FClock.TickCount();
    });
}

void TSimDialUp::BringUp(const std::string& entry, int dialSeconds)
{
    auto live = std::make_unique<TLive>();
    live->Handle = FNextHandle++;
    live->Entry = entry;
    live->State = 0;
    TLive& l = *live;
    FLive.push_back(std::move(live));
    const auto it = PhoneBook.find(entry);
    if (it != PhoneBook.end() && it->second.Demand) {
        l.State = RASCS_Disconnected; // waiting for traffic
        return;
    }
    LinkUp(l, static_cast<std::uint32_t>(dialSeconds) * 1000u);
}

void TSimDialUp::End(TLive& l, int error)
{
    const auto progress = l.Progress;
    const std::int64_t handle = l.Handle;
    if (error != 0 && progress)
        progress(0, error);
    Retire([handle](const TLive& x) { return x.Handle == handle; });
}

void TSimDialUp::DropLine(const std::string& entry, int holdoffSeconds)
{
    for (auto& l : FLive) {
        if (l->Entry != entry || l->Ending)
            continue;
        const auto it = PhoneBook.find(entry);
        const bool persist = it != PhoneBook.end() && it->second.Persist;
        const bool demand = it != PhoneBook.end() && it->second.Demand;
        if (!persist && !demand) {
            End(*l, 629);
            return;
        }
        for (auto& t : l->Steps)
            t->SetEnabled(false);
        l->OnLineSince = 0;
        if (demand) {
            l->State = RASCS_Disconnected;
        } else {
            l->State = 0; // waiting to dial again
            LinkUp(*l, static_cast<std::uint32_t>(holdoffSeconds) * 1000u);
        }
        return;
    }
}

void TSimDialUp::Traffic(const std::string& entry)
{
    for (auto& l : FLive)
        if (l->Entry == entry && l->State == RASCS_Disconnected)
            LinkUp(*l, 2000);
}

void TSimDialUp::Retire(const std::function<bool(const TLive&)>& which)
{
    // A connection may go from inside one of its own step timers: it is kept, silenced, until the
    // next removal, so the timer that is running is not destroyed under its own feet.
    FDead.clear();
    for (auto it = FLive.begin(); it != FLive.end();) {
        if (which(**it)) {
            for (auto& t : (*it)->Steps)
                t->SetEnabled(false);
            FDead.push_back(std::move(*it));
            it = FLive.erase(it);
        } else {
            ++it;
        }
    }
}

void TSimDialUp::BringDown(const std::string& entry)
{
    Retire([&](const TLive& l) { return l.Entry == entry; });
}

int TSimDialUp::Entries(std::vector<std::string>& names)
{
    names.clear();
    for (const auto& [name, e] : PhoneBook)
        names.push_back(name);
    return 0;
}

int TSimDialUp::Connections(std::vector<TRasConnection>& connections)
{
    connections.clear();
    if (FailEnumeration)
        return 1;
    for (const auto& l : FLive)
        connections.push_back({l->Handle, l->Entry, l->State == RASCS_Connected ? "ppp0" : ""});
    return 0;
}

int TSimDialUp::ConnectStatus(std::int64_t handle, int& state)
{
    const TLive* l = Find(handle);
    if (!l)
        return ERROR_INVALID_HANDLE;
    state = l->State;
    return 0;
}

int TSimDialUp::EntryProperties(const std::string& entry, TRasEntryProperties& properties)
{
    const auto it = PhoneBook.find(entry);
    if (it == PhoneBook.end())
        return 623; // the entry is not in the phone book
    properties = it->second.Properties;
    return 0;
}

int TSimDialUp::ProjectionAddress(std::int64_t handle, std::string& address)
{
    const TLive* l = Find(handle);
    if (!l || l->State != RASCS_Connected)
        return 731;
    const auto it = PhoneBook.find(l->Entry);
    address = it == PhoneBook.end() ? "10.0.0.1" : it->second.Address;
    return 0;
}

int TSimDialUp::GetCredentials(const std::string& entry, TRasCredentials& credentials)
{
    const auto it = PhoneBook.find(entry);
    if (it == PhoneBook.end())
        return 623;
    credentials = it->second.Credentials;
    return 0;
}

int TSimDialUp::SetCredentials(const std::string& entry, const std::string& user, const std::string& password,
                               bool clearPassword)
{
    const auto it = PhoneBook.find(entry);
    if (it == PhoneBook.end())
        return 623;
    it->second.Credentials.User = user;
    it->second.Credentials.Password = clearPassword ? std::string() : password;
    it->second.Credentials.PasswordSaved = !clearPassword && !password.empty();
    return 0;
}

int TSimDialUp::Dial(const std::string& entry, const std::string&, const std::string&,
                     std::function<void(int state, int error)> progress, std::int64_t& handle)
{
    const auto it = PhoneBook.find(entry);
    if (it == PhoneBook.end())
        return 623;
    auto live = std::make_unique<TLive>();
    live->Handle = FNextHandle++;
    live->Entry = entry;
    live->State = 0;
    live->Progress = progress;
    handle = live->Handle;
    TLive& l = *live;
    FLive.push_back(std::move(live));
    const TSimOutcome outcome = it->second.Outcome;
    const auto step = [this, &l, progress](std::uint32_t at, int state) {
        Schedule(l, at, [&l, progress, state] {
            l.State = state;
            progress(state, 0);
        });
    };
    // pppd reports a failure by ending: the error, then no connection any more.
    const auto fail = [this, &l](std::uint32_t at, int error) { Schedule(l, at, [this, &l, error] { End(l, error); }); };
    step(10, 0);
    step(500, 1);
    step(1000, 2);
    if (outcome == TSimOutcome::Busy) {
        fail(3000, ERROR_LINE_BUSY);
        return 0;
    }
    step(3000, 3);
    if (outcome == TSimOutcome::DropsAfterConnect) {
        fail(4000, 629); // pppd's "Modem hangup" (exit 16)
        return 0;
    }
    step(3500, 5);
    if (outcome == TSimOutcome::WrongPassword) {
        fail(4000, ERROR_AUTHENTICATION_FAILURE);
        return 0;
    }
    step(4000, 14);
    step(4500, 18);
    step(5000, 21);
    Schedule(l, 5001, [this, &l] {
        l.State = RASCS_Connected;
        l.OnLineSince = FClock.TickCount();
        l.Progress = nullptr; // the dial is over; the link is the poll's
    });
    return 0;
}

int TSimDialUp::HangUp(std::int64_t handle)
{
    TLive* l = Find(handle);
    if (!l || l->Ending)
        return ERROR_NO_CONNECTION;
    // Asked to end, pppd takes the link down cleanly and then exits: no error, gone a moment later.
    for (auto& t : l->Steps)
        t->SetEnabled(false);
    l->Ending = true;
    l->Progress = nullptr;
    if (HangUpMs == 0)
        End(*l, 0);
    else
        Schedule(*l, HangUpMs, [this, l] { End(*l, 0); });
    return 0;
}

std::string TSimDialUp::ErrorText(int code)
{
    return TPppdDialUp::ErrorTextOf(code);
}

std::optional<TByteCounts> TSimDialUp::ByteCounts(std::int64_t handle)
{
    TLive* l = Find(handle);
    if (!l || FailByteCounts)
        return std::nullopt;
    if (l->State != RASCS_Connected)
        return TByteCounts{};
    const std::int64_t now = FClock.TickCount();
    if (l->CountedUntil < l->OnLineSince)
        l->CountedUntil = l->OnLineSince;
    const auto ms = static_cast<std::uint64_t>(std::max<std::int64_t>(0, now - l->CountedUntil));
    l->CountedUntil = now;
    l->SentMs += ms * static_cast<std::uint64_t>(std::max(0, BytesPerSecondOut));
    l->ReceivedMs += ms * static_cast<std::uint64_t>(std::max(0, BytesPerSecondIn));
    return TByteCounts{static_cast<std::uint32_t>(l->SentMs / 1000), static_cast<std::uint32_t>(l->ReceivedMs / 1000)};
}

} // namespace qv
