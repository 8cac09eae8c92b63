#pragma once
// Popup messages to users and computers of the local network: the address book of recipients and
// groups, the log of every message with its outcome, messages scheduled for later and daily ones,
// kept in "Popup.dat". Due messages are sent once a second, each on a worker of its own, through a
// transport behind an interface (Samba's smbclient on Linux, a fake in tests).

#include "core/Persistent.h"
#include "core/PropertyMacros.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

// The kind of a message: sent once, or every day at its time.
enum TPopupKind : std::int32_t
{
    mkOneTime = 0,
    mkAllDays = 1,
};
enum TMsgStato : std::int32_t
{
    msSent = 0,
    msToSend = 1,
    msSending = 2,
    msError = 3,
    msTemplate = 4,
};

// The Italian text of a send status (empty for one outside the table).
std::string PopupErrorText(std::int32_t status);

// Delivers one message to a named recipient and answers a status (0: delivered). Runs on a worker.
class IPopupTransport
{
public:
    virtual ~IPopupTransport() = default;
    // Whether messages can be sent at all (the feature is hidden otherwise).
    virtual bool Available() = 0;
    virtual std::int32_t Send(const std::string& recipient, const std::string& text) = 0;
    // Ends the sends in progress at once (the program is closing).
    virtual void CancelAll() {}
    // Why a text cannot go out at all (an Italian text naming the limit); empty when it can.
    virtual std::string TooLong(const std::string& /*text*/) const { return {}; }
    // The characters of a text the receiver cannot show, each once and in order; empty when all can.
    virtual std::string Unsendable(const std::string& /*text*/) const { return {}; }
};

class TUserItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(N)
    QV_STRING_PROPERTY(D)
};

class TUserItems : public TDataCollection<TUserItem>
{
public:
    using TDataCollection<TUserItem>::TDataCollection;
    // After every user whose lower-cased name is not greater; none when the name exists in any case.
    TUserItem* AddSorted(const std::string& name, const std::string& description);
    TUserItem* Find(const std::string& name);
    int IndexOf(const std::string& name) const;
};

class TGroupItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(N)
    QV_STRING_PROPERTY(D)
    TUserItems& U() { return FU; }
    const TUserItems& U() const { return FU; }

private:
    TUserItems FU{FComponent};
};
using TGroupItems = TDataCollection<TGroupItem>;

class TMsgItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_PROPERTY(TPopupKind, Kind, mkOneTime)
    QV_PROPERTY(std::int32_t, SentTimes, 0)
    QV_STRING_PROPERTY(Dest)
    QV_STRING_PROPERTY(Msg)
    QV_STRING_PROPERTY(Signature)
    QV_PROPERTY(std::int32_t, ErrorCode, 0)
    QV_PROPERTY(double, DataInvio, 0)
    QV_PROPERTY(double, LastTemplate, 0)
    QV_PROPERTY(TMsgStato, Stato, msToSend)
    QV_PROPERTY(bool, ToGroup, false)
};
using TMsgItems = TDataCollection<TMsgItem>;

// What the send operations are handed.
struct TMsgData
{
    TPopupKind Kind = mkOneTime;
    bool ToGroup = false;
    std::string Dest;
    std::string Msg;
    double DataInvio = 0;
    double LastTemplate = 0;
    TMsgStato Stato = msToSend;
};

class TMessenger : public TPersistentComponent
{
public:
    // transport: none, or one that is not available, leaves the feature off (IsActive false).
    TMessenger(TServices& services, std::shared_ptr<IPopupTransport> transport);
    ~TMessenger() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override;

    TMsgItems& Msgs() { return FMsgs; }
    TUserItems& Users() { return FUsers; }
    TGroupItems& Groups() { return FGroups; }
    const std::string& TextFont() const { return FTextFont; }
    void SetTextFont(const std::string& v) { FTextFont = v; }
    bool IsActive() const { return FActive; }

    void SendMsg(const TMsgData& record);
    void QueueMsg(const TMsgData& record);
    void SendToGroup(const TMsgData& record);
    TUserItem* AddUser(const std::string& name, const std::string& description);
    TGroupItem& FindOrAddGroup(const std::string& name, const std::string& description);
    void AddUserToGroup(const std::string& userName, const std::string& groupName);
    TGroupItem* FindGroup(const std::string& name);
    // Raise "Impossibile modificare …" for a name another entry has.
    void ChangeUser(TUserItem& user, const std::string& name, const std::string& description);
    void ChangeGroup(TGroupItem& group, const std::string& name, const std::string& description,
                     const std::vector<std::string>& members);
    void DeleteUser(const std::string& name);
    void DeleteGroup(const std::string& name);
    // Deletes the listed messages except those being sent.
    void DeleteMsgs(const std::vector<TMsgItem*>& list);
    std::vector<TMsgItem*> MsgsByState(TMsgStato state);
    std::vector<TMsgItem*> MsgsOf(const std::string& dest);
    int CountByState(TMsgStato state) const;

    // Makes today's message of each daily one whose time of day is still ahead.
    void DailyUpkeep();
    // The once-a-second check: sends what is due.
    void CheckDue();
    // The transport's judgement of a text (see IPopupTransport); empty without a transport.
    std::string TooLong(const std::string& text) const { return FTransport ? FTransport->TooLong(text) : std::string(); }
    std::string Unsendable(const std::string& text) const
    {
        return FTransport ? FTransport->Unsendable(text) : std::string();
    }

    std::function<void(const std::string&)> OnError;
    std::function<void(TUserItem&)> OnChangeUser;
    std::function<void(TMsgItem&)> OnSentMsg;
    std::function<void(TMsgItem&)> OnSentErrorMsg;
    std::function<void(TMsgItem&)> OnDelayedMsg;
    std::function<void(std::string&)> OnAddSignature;

private:
    void StartSending(TMsgItem& item);
    void Error(const std::string& text);
    std::shared_ptr<IPopupTransport> FTransport;
    bool FActive = false;
    TMsgItems FMsgs{this};
    TUserItems FUsers{this};
    TGroupItems FGroups{this};
    std::string FTextFont;
    std::unique_ptr<Timer> FTimer;
    // The workers of the sends in progress; each hands its outcome over through Post.
    std::vector<std::thread> FWorkers;
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

} // namespace qv
