#include "messenger/Messenger.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"

#include <algorithm>

namespace qv {

std::string PopupErrorText(std::int32_t status)
{
    switch (status) {
    case 5:
        return "L'utente non ha il permesso per accedere alle informazioni richieste";
    case 50:
        return "Richiesta di rete non supportata";
    case 87:
        return "Il parametro specificato è errato";
    case 2123:
        return "Il messaggio supera la lunghezza massima di un messaggio popup";
    case 2136:
        return "Errore generale di rete";
    case 2273:
        return "Il nome dell'utente specificato non è stato trovato";
    default:
        return {};
    }
}

const TPropTable& TUserItem::Table()
{
    using T = TUserItem;
    static const TPropTable t = TPropBuilder<T>().Str("N", &T::N, &T::SetN).Str("D", &T::D, &T::SetD).Build();
    return t;
}

TUserItem* TUserItems::AddSorted(const std::string& name, const std::string& description)
{
    if (IndexOf(name) >= 0)
        return nullptr;
    const std::string key = LowerCase(name);
    std::size_t pos = 0;
    while (pos < Count() && !(LowerCase((*this)[pos].N()) > key))
        ++pos;
    TUserItem& u = Insert(pos);
    u.SetN(name);
    u.SetD(description);
    return &u;
}

int TUserItems::IndexOf(const std::string& name) const
{
    for (std::size_t i = 0; i < Count(); ++i)
        if (SameText((*this)[i].N(), name))
            return static_cast<int>(i);
    return -1;
}

TUserItem* TUserItems::Find(const std::string& name)
{
    const int i = IndexOf(name);
    return i < 0 ? nullptr : &(*this)[static_cast<std::size_t>(i)];
}

const TPropTable& TGroupItem::Table()
{
    using T = TGroupItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("N", &T::N, &T::SetN)
                                    .Str("D", &T::D, &T::SetD)
                                    .Collection("U", static_cast<TUserItems& (T::*)()>(&T::U))
                                    .Build();
    return t;
}

const TPropTable& TMsgItem::Table()
{
    using T = TMsgItem;
    static const TPropTable t =
        TPropBuilder<T>()
            .Enum("Kind", &T::Kind, &T::SetKind, {"mkOneTime", "mkAllDays"})
            .Int("SentTimes", &T::SentTimes, &T::SetSentTimes)
            .Str("Dest", &T::Dest, &T::SetDest)
            .Str("Msg", &T::Msg, &T::SetMsg)
            .Str("Signature", &T::Signature, &T::SetSignature)
            .Int("ErrorCode", &T::ErrorCode, &T::SetErrorCode)
            .Date("DataInvio", &T::DataInvio, &T::SetDataInvio)
            .Date("LastTemplate", &T::LastTemplate, &T::SetLastTemplate)
            .Enum("Stato", &T::Stato, &T::SetStato, {"msSent", "msToSend", "msSending", "msError", "msTemplate"})
            .Bool("ToGroup", &T::ToGroup, &T::SetToGroup, false)
            .Build();
    return t;
}

TMessenger::TMessenger(TServices& services, std::shared_ptr<IPopupTransport> transport)
    : TPersistentComponent(services, "TMessenger"), FTransport(std::move(transport))
{
    FActive = FTransport && FTransport->Available();
    FTimer = services.Timers.CreateTimer("FTimerCheckMessenger", 1000);
    FTimer->OnTimer = [this] { CheckDue(); };
    FTimer->SetEnabled(true);
}

TMessenger::~TMessenger()
{
    FTimer->OnTimer = nullptr;
    *FAlive = false;
    if (FTransport)
        FTransport->CancelAll();
    for (auto& w : FWorkers)
        if (w.joinable())
            w.join();
    // What was being sent has not been: it stays as a failure.
    for (auto& m : FMsgs)
        if (m->Stato() == msSending)
            m->SetStato(msError);
    SaveIfModified();
}

const TPropTable& TMessenger::Table()
{
    using T = TMessenger;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .Collection("Msgs", &T::Msgs)
                                    .Collection("Users", static_cast<TUserItems& (T::*)()>(&T::Users))
                                    .Collection("Groups", &T::Groups)
                                    .Str("TextFont", &T::TextFont, &T::SetTextFont)
                                    .Build();
    return t;
}

std::unique_ptr<TPersistentComponent> TMessenger::NewEmpty() const
{
    return std::make_unique<TMessenger>(FServices, nullptr);
}

void TMessenger::Error(const std::string& text)
{
    if (OnError)
        OnError(text);
}

void TMessenger::SendMsg(const TMsgData& record)
{
    if (record.ToGroup)
        SendToGroup(record);
    else
        QueueMsg(record);
}

void TMessenger::QueueMsg(const TMsgData& record)
{
    if (!FActive)
        return;
    if (!FUsers.Find(record.Dest))
        FUsers.AddSorted(record.Dest, "");
    TMsgItem& item = FMsgs.Add();
    item.SetStato(record.Stato);
    item.SetDest(record.Dest);
    item.SetMsg(record.Msg);
    item.SetDataInvio(record.DataInvio);
    item.SetLastTemplate(record.LastTemplate);
    item.SetKind(record.Kind);
    item.SetToGroup(record.ToGroup);
    std::string signature = item.Signature();
    if (OnAddSignature)
        OnAddSignature(signature);
    item.SetSignature(signature);
    SetModified(true);
    if (OnDelayedMsg)
        OnDelayedMsg(item);
}

void TMessenger::SendToGroup(const TMsgData& record)
{
    if (!FActive)
        return;
    std::vector<std::string> names;
    if (record.Dest == "*") {
        for (const auto& u : FUsers)
            names.push_back(u->N());
    } else {
        TGroupItem* g = FindGroup(record.Dest);
        if (!g) {
            Error("Il gruppo " + record.Dest + " non esiste!");
            return;
        }
        for (const auto& u : g->U())
            names.push_back(u->N());
    }
    for (const std::string& n : names) {
        TMsgData one = record;
        one.Dest = n;
        QueueMsg(one);
    }
}

TUserItem* TMessenger::AddUser(const std::string& name, const std::string& description)
{
    return FUsers.AddSorted(name, description);
}

TGroupItem* TMessenger::FindGroup(const std::string& name)
{
    for (auto& g : FGroups)
        if (SameText(g->N(), name))
            return g.get();
    return nullptr;
}

TGroupItem& TMessenger::FindOrAddGroup(const std::string& name, const std::string& description)
{
    if (TGroupItem* g = FindGroup(name))
        return *g;
    const std::string key = LowerCase(name);
    std::size_t pos = 0;
    while (pos < FGroups.Count() && !(LowerCase(FGroups[pos].N()) > key))
        ++pos;
    TGroupItem& g = FGroups.Insert(pos);
    g.SetN(name);
    g.SetD(description);
    return g;
}

void TMessenger::AddUserToGroup(const std::string& userName, const std::string& groupName)
{
    if (!Trim(userName).empty() && !FUsers.Find(userName))
        FUsers.AddSorted(userName, "");
    TGroupItem& g = FindOrAddGroup(groupName, "");
    if (Trim(userName).empty() || g.U().Find(userName))
        return;
    const TUserItem* u = FUsers.Find(userName);
    g.U().AddSorted(userName, u ? u->D() : std::string());
}

void TMessenger::ChangeUser(TUserItem& user, const std::string& name, const std::string& description)
{
    for (const auto& u : FUsers)
        if (u.get() != &user && u->N() == name)
            throw EQvError("Impossibile modificare l'utente " + name + " è già presente!");
    const std::string old = user.N();
    user.SetN(name);
    user.SetD(description);
    for (auto& g : FGroups)
        if (TUserItem* m = g->U().Find(old)) {
            m->SetN(name);
            m->SetD(description);
        }
    SetModified(true);
    if (OnChangeUser)
        OnChangeUser(user);
}

void TMessenger::ChangeGroup(TGroupItem& group, const std::string& name, const std::string& description,
                             const std::vector<std::string>& members)
{
    for (const auto& g : FGroups)
        if (g.get() != &group && g->N() == name)
            throw EQvError("Impossibile modificare il gruppo " + name + " è già presente!");
    group.SetN(name);
    group.SetD(description);
    group.U().Clear();
    for (const std::string& m : members) {
        const TUserItem* u = FUsers.Find(m);
        group.U().AddSorted(m, u ? u->D() : std::string());
    }
    SetModified(true);
}

void TMessenger::DeleteUser(const std::string& name)
{
    for (auto& g : FGroups) {
        const int i = g->U().IndexOf(name);
        if (i >= 0)
            g->U().Delete(static_cast<std::size_t>(i));
    }
    const int i = FUsers.IndexOf(name);
    if (i >= 0)
        FUsers.Delete(static_cast<std::size_t>(i));
    // Its messages go, except those on their way.
    FMsgs.RemoveIf([&name](const TMsgItem& m) { return SameText(m.Dest(), name) && m.Stato() != msSending; });
}

void TMessenger::DeleteGroup(const std::string& name)
{
    for (std::size_t i = 0; i < FGroups.Count(); ++i)
        if (SameText(FGroups[i].N(), name)) {
            FGroups.Delete(i);
            return;
        }
}

void TMessenger::DeleteMsgs(const std::vector<TMsgItem*>& list)
{
    FMsgs.RemoveIf([&list](const TMsgItem& m) {
        return m.Stato() != msSending && std::find(list.begin(), list.end(), &m) != list.end();
    });
}

std::vector<TMsgItem*> TMessenger::MsgsByState(TMsgStato state)
{
    std::vector<TMsgItem*> out;
    for (auto& m : FMsgs)
        if (m->Stato() == state)
            out.push_back(m.get());
    return out;
}

std::vector<TMsgItem*> TMessenger::MsgsOf(const std::string& dest)
{
    std::vector<TMsgItem*> out;
    for (auto& m : FMsgs)
        if (SameText(m->Dest(), dest))
            out.push_back(m.get());
    return out;
}

int TMessenger::CountByState(TMsgStato state) const
{
    int n = 0;
    for (const auto& m : FMsgs)
        n += m->Stato() == state ? 1 : 0;
    return n;
}

void TMessenger::DailyUpkeep()
{
    const double now = FServices.Clk.Now();
    const double today = static_cast<double>(DayNumber(now));
    const std::int32_t nowMs = TimeOfDayMs(now);
    for (std::size_t k = FMsgs.Count(); k-- > 0;) {
        TMsgItem& t = FMsgs[k];
        if (t.Stato() != msTemplate)
            continue;
        const std::int32_t at = TimeOfDayMs(t.DataInvio());
        if (!(static_cast<double>(DayNumber(t.LastTemplate())) < today && nowMs < at))
            continue;
        t.SetLastTemplate(now);
        TMsgData d;
        d.Kind = t.Kind();
        d.ToGroup = t.ToGroup();
        d.Dest = t.Dest();
        d.Msg = t.Msg();
        d.DataInvio = today + at / static_cast<double>(MSecsPerDay);
        d.Stato = msToSend;
        QueueMsg(d);
    }
}

void TMessenger::CheckDue()
{
    const double now = FServices.Clk.Now();
    for (std::size_t k = FMsgs.Count(); k-- > 0;) {
        if (k >= FMsgs.Count())
            continue;
        TMsgItem& m = FMsgs[k];
        try {
            if (m.Stato() == msToSend && m.DataInvio() < now)
                StartSending(m);
        } catch (const std::exception&) {
            m.SetStato(msError);
        }
    }
}

void TMessenger::StartSending(TMsgItem& item)
{
    if (!FActive)
        return;
    item.SetStato(msSending);
    SetModified(true);
    const std::string recipient = item.Dest();
    const std::string text = item.Msg() + item.Signature();
    TMsgItem* target = &item;
    auto alive = FAlive;
    auto transport = FTransport;
    TServices& services = FServices;
    // Finished workers are joined as new ones start.
    FWorkers.erase(std::remove_if(FWorkers.begin(), FWorkers.end(), [](std::thread& t) { return !t.joinable(); }),
                   FWorkers.end());
    FWorkers.emplace_back([this, alive, transport, &services, recipient, text, target] {
        const std::int32_t status = transport->Send(recipient, text);
        const double when = services.Clk.Now();
        services.Timers.Post([this, alive, status, when, target] {
            if (!*alive)
                return;
            // The item is looked for again: only items being sent are never deleted, but the whole
            // store may have been replaced meanwhile.
            const auto it = std::find_if(FMsgs.begin(), FMsgs.end(), [target](const auto& m) { return m.get() == target; });
            if (it == FMsgs.end() || target->Stato() != msSending)
                return;
            target->SetErrorCode(status);
            target->SetDataInvio(when);
            SetModified(true);
            if (status != 0) {
                target->SetStato(msError);
                Error("Impossibile inviare il messaggio a " + target->Dest() + ": " + PopupErrorText(status));
                if (OnSentErrorMsg)
                    OnSentErrorMsg(*target);
            } else {
                target->SetSentTimes(target->SentTimes() + 1);
                target->SetStato(msSent);
                if (OnSentMsg)
                    OnSentMsg(*target);
            }
        });
    });
}

} // namespace qv
