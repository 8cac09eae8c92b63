#pragma once
// The SMS stores: the messages, one record per recipient with its state in the send cycle
// ("SmsMsg.dat"), and the phone book of contacts in named groups ("PhoneBook.dat"), with the phone
// book's text exchange.

#include "core/Persistent.h"
#include "core/PropertyMacros.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {

enum TSmsStato : std::int32_t
{
    ssSent = 0,
    ssToSend = 1,
    ssSending = 2,
    ssError = 3,
    ssSuspended = 4,
};

// A number of more than 10 characters that begins with "39" gives "39" as the international prefix,
// the next three digits as the operator prefix and the rest as the subscriber number; any other is
// the subscriber number, the prefixes left as they are.
void SplitNumber(std::string& number, std::string& prefixInt, std::string& prefixLoc);

class TSmsMsgItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    const std::string& T() const { return FT; }
    void SetT(const std::string& v) { FT = v; }
    QV_PROPERTY(double, L, 0)
    QV_PROPERTY(std::int32_t, S, 0)
    QV_PROPERTY(TSmsStato, K, ssSent)
    const std::string& R() const { return FR; }
    void SetR(const std::string& v) { FR = v; }
    const std::string& N() const { return FN; }
    void SetN(const std::string& v) { FN = v; }
    const std::string& I() const { return FI; }
    void SetI(const std::string& v) { FI = v; }
    const std::string& Z() const { return FZ; }
    void SetZ(const std::string& v) { FZ = v; }
    QV_STRING_PROPERTY(E)
    QV_PROPERTY(std::int32_t, G, 0)
    QV_STRING_PROPERTY(ResultHTTP)
    // The step of a two-request gateway (not stored).
    int Step = 0;

    std::string NumberKey() const { return FI + FZ + FN; }
    std::string NumberDisplay() const { return "0" + FZ + " " + FN; }
    std::string DateText() const;
    std::string TimeText() const;

private:
    std::string FT, FR, FN, FI, FZ;
};
using TSmsMsgItems = TDataCollection<TSmsMsgItem>;

class TSmsNumbersItem;

class TSmsData : public TPersistentComponent
{
public:
    explicit TSmsData(TServices& services);
    ~TSmsData() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override { return std::make_unique<TSmsData>(FServices); }
    void AfterLoad() override;

    TSmsMsgItems& SmsMsg() { return FSmsMsg; }
    const TSmsMsgItems& SmsMsg() const { return FSmsMsg; }

    // The contact's message with the same text (trimmed, ignoring case), else a new one.
    TSmsMsgItem& FindOrAddMessage(TSmsNumbersItem& contact, const std::string& text);
    void DeleteMessage(TSmsMsgItem& message);
    int CountToSend() const;
    int CountSending() const;
    bool AnyToSend() const { return CountToSend() > 0; }
    bool HasOutgoing() const { return CountToSend() > 0 || CountSending() > 0; }
    // Every queued message through the gateways, in list order.
    void SendQueued();
    // Messages left sending become failures ("Procedura di invio interrotta bruscamente!").
    void MarkBroken();

    // The gateways' dispatch (SendSms).
    std::function<void(TSmsMsgItem&)> Dispatch;
    // Every outcome of a send.
    std::function<void(bool success, TSmsMsgItem& message)> OnSendResult;

private:
    TSmsMsgItems FSmsMsg{this};
};

class TSmsNumbersItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    // Reading the number splits a long Italian number into its prefixes.
    const std::string& P() const;
    void SetP(const std::string& v) { FP = v; }
    const std::string& Q() const { return FQ; }
    void SetQ(const std::string& v) { FQ = v; }
    const std::string& R() const { return FR; }
    void SetR(const std::string& v) { FR = v; }
    QV_STRING_PROPERTY(N)
    QV_STRING_PROPERTY(C)
    QV_PROPERTY(std::int32_t, T, 0)
    QV_STRING_PROPERTY(B)

    std::string NumberKey() const { return FQ + FR + P(); }
    std::string Display() const;
    std::string DisplayWithNumber() const;

private:
    mutable std::string FP, FQ, FR;
};
using TSmsNumbersItems = TDataCollection<TSmsNumbersItem>;

// A contact as a contact text gives it.
struct TContactLine
{
    std::string Name, Q, R, P;
};

class TPhoneBookData : public TPersistentComponent
{
public:
    TPhoneBookData(TServices& services, TSmsData& messages);
    ~TPhoneBookData() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TPhoneBookData>(FServices, FMessages);
    }

    const std::vector<std::string>& Groups() const { return FGroups; }
    void SetGroups(const std::vector<std::string>& v) { FGroups = v; }
    TSmsNumbersItems& SmsNumbers() { return FSmsNumbers; }
    const std::string& F() const { return FF; }
    void SetF(const std::string& v) { FF = v; }
    std::int32_t SmsColor() const { return FSmsColor; }
    void SetSmsColor(std::int32_t v) { FSmsColor = v; }

    TSmsNumbersItem& AddContact(const std::string& prefixInt, const std::string& prefixLoc, const std::string& number,
                                const std::string& name, const std::string& group, const std::string& description);
    void ChangeContact(TSmsNumbersItem& contact, const std::string& prefixInt, const std::string& prefixLoc,
                       const std::string& number, const std::string& name, const std::string& group,
                       const std::string& description);
    void DeleteContact(TSmsNumbersItem& contact, bool withMessages);
    std::vector<TSmsNumbersItem*> UniqueContacts();
    std::vector<TSmsNumbersItem*> ContactsOfGroup(const std::string& group);
    std::vector<TSmsMsgItem*> MessagesOf(const TSmsNumbersItem& contact);
    TSmsNumbersItem* FindContact(const std::string& nameOrNumber);
    std::size_t LongestName() const;

    // Raise EQvError with the Part's texts on failure; the reports are for the caller.
    void SaveAsText(const std::string& file);
    void ExportContacts(const std::string& file);
    int ImportContacts(const std::string& file, const std::string& group);
    // The two halves of an import: reading the file (touches nothing else, so it may run on a
    // worker; progress gets the bytes read and the file's size), then adding what was read.
    static std::vector<TContactLine> ReadContactFile(const std::string& file,
                                                     const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});
    int AddContacts(const std::vector<TContactLine>& lines, const std::string& group);
    // One line of the contact text: name, international and local prefix, number (false when skipped).
    static bool ParseContactLine(const std::string& line, std::string& name, std::string& q, std::string& r,
                                 std::string& p);

private:
    std::size_t SortedPlace(const std::string& name, const TSmsNumbersItem* except) const;
    static TSmsNumbersItem& Fill(TSmsNumbersItem& contact, const std::string& prefixInt, const std::string& prefixLoc,
                                 const std::string& number, const std::string& name, const std::string& group,
                                 const std::string& description);
    TSmsData& FMessages;
    std::vector<std::string> FGroups;
    TSmsNumbersItems FSmsNumbers{this};
    std::string FF;
    std::int32_t FSmsColor = 0xFFFFFF;
};

} // namespace qv
