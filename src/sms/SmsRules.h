#pragma once
// The SMS window's rules: the tree of groups and folders, the message lists, the send-queue button,
// deletions with their questions, groups renamed and contacts moved, the message's answer shown in
// the browser, the contact dialog's checks, the phone book's text exchange, and the compose dialog
// (gateway, length limit, recipients picked by group or contact, send or queue). The Qt windows only
// show what these decide.

#include "core/Services.h"
#include "sms/Gateways.h"
#include "sms/SmsData.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv {

class TProfileItem;

// What the rules need from the rest of the program.
struct TSmsHooks
{
    // Plays a named sound when the profile in use allows sounds.
    std::function<void(const std::string& name)> PlaySound;
    // True when on line; with ask, the user may answer "try anyway".
    std::function<bool(bool ask)> IsOnlineOrAsk;
    // Sends a message now (queued when off line); quiet: without the "MsgToSend" sound.
    std::function<void(TSmsMsgItem& message, bool quiet)> SendNow;
    // The profile in use (LastGateway, SoundTypeOn), none without profiles.
    std::function<TProfileItem*()> Profile;
    // A help topic.
    std::function<void(const std::string& topic)> ShowHelp;
    // The account dialog of a gateway; true when the user stored an account.
    std::function<bool(TGateWayItem& gateway)> OpenAccount;
    // Opens a file with the desktop's program for it (the browser for HTML).
    std::function<void(const std::string& file)> OpenFile;
};

// The four folders of the SMS window, in their order.
enum class TSmsFolder
{
    ToSend,
    Sending,
    Sent,
    Errors
};
constexpr const char* UngroupedGroup = "Amichetti";

class TSmsRules
{
public:
    TSmsRules(TServices& services, TSmsData& messages, TPhoneBookData& book, TGateWayData& gateways, TSmsHooks hooks);

    TServices& Services() { return FServices; }
    TSmsData& Messages() { return FMessages; }
    TPhoneBookData& Book() { return FBook; }
    TGateWayData& GateWays() { return FGateWays; }
    const TSmsHooks& Hooks() const { return FHooks; }

    // ---- the tree and the lists ----
    // The stored groups plus every group named on a contact (added to the stored ones); a contact
    // without group is given "Amichetti".
    std::vector<std::string> TreeGroups();
    std::vector<TSmsNumbersItem*> ContactsOf(const std::string& group);
    std::string FolderCaption(TSmsFolder folder) const;
    static TSmsStato FolderState(TSmsFolder folder);
    std::vector<TSmsMsgItem*> FolderMessages(TSmsFolder folder);
    std::vector<TSmsMsgItem*> ContactMessages(const TSmsNumbersItem& contact);
    std::vector<TSmsMsgItem*> GroupMessages(const std::string& group);
    // The contact a message was written to (by its number key), none when no longer in the book.
    TSmsNumbersItem* ContactOf(const TSmsMsgItem& message);

    // ---- commands of the window ----
    // The send-queue button; true when the queue was sent.
    bool SendQueueNow();
    // Deletions after their questions (messages being sent are kept); false when nothing was asked
    // for or the user said no.
    bool DeleteSelected(const std::vector<TSmsMsgItem*>& messages);
    bool DeleteList(const std::vector<TSmsMsgItem*>& messages, const std::string& listName);
    bool DeleteContactMessages(TSmsNumbersItem& contact);
    bool DeleteContact(TSmsNumbersItem& contact);
    // A new group "<nuovo gruppo>" (numbered when that name is taken); its name.
    std::string NewGroup();
    // Renaming in place: false (nothing changed) for a blank name or a group name already in use.
    bool RenameGroup(const std::string& oldName, const std::string& newName);
    bool RenameContact(TSmsNumbersItem& contact, const std::string& newName);
    bool DeleteGroup(const std::string& name);
    // A contact dropped on a group: moved, or with copy a copy added to that group.
    TSmsNumbersItem* DropContact(TSmsNumbersItem& contact, const std::string& group, bool copy);
    // The once-a-second check: "MsgEnd" when the messages being sent drop to none.
    void Tick();

    // ---- the message's properties ----
    // Writes the gateway's answer to "@ssnnhhddmmyyyyResultSms.htm" in folder and opens it; the
    // previous one is removed. Returns the file.
    std::string TranslateAnswer(const TSmsMsgItem& message, const std::string& folder);
    // Removes the last answer file (the dialog closes).
    void ForgetTranslation();

    // ---- the contact dialog ----
    struct TContactForm
    {
        std::string PrefixInt = "39";
        std::string PrefixLoc;
        std::string Number;
        std::string Name;
        std::string Description;
        std::string Group;
    };
    TContactForm ContactForm(const TSmsNumbersItem* contact, const std::string& selectedGroup) const;
    // Checks and stores (editing: that contact; none: a new one); false after the refusal.
    TSmsNumbersItem* SaveContact(TSmsNumbersItem* editing, const TContactForm& form);

    // ---- text exchange ----
    bool SaveAsText(const std::string& file);
    bool ExportContacts(const std::string& file);
    // group: the group selected in the window ("" for "Importati"); ask: the question of a dropped file.
    // reader: how the file is read (the window reads it on a worker with a progress bar); none: here.
    int ImportContacts(const std::string& file, const std::string& group, bool ask,
                       const std::function<std::vector<TContactLine>(const std::string&)>& reader = {});

private:
    bool Refuse(const std::string& reason);
    TServices& FServices;
    TSmsData& FMessages;
    TPhoneBookData& FBook;
    TGateWayData& FGateWays;
    TSmsHooks FHooks;
    int FLastSending = 0;
    std::string FAnswerFile;
};

// The compose dialog's rules.
class TSmsCompose
{
public:
    explicit TSmsCompose(TSmsRules& rules);

    // False (after "La rubrica degli amichetti è vuota!") when there is no contact: the new-contact
    // dialog opens instead.
    bool CanOpen();
    std::vector<std::string> GatewayNames();
    // The gateway to preselect: the profile's last one, else the first; -1 (after the help page)
    // when there is none.
    int InitialGateway();
    std::string GatewayHint(int gateway);
    int Limit(int gateway);
    // The text cut to the limit of the gateway.
    std::string Cut(const std::string& text, int gateway);
    std::string RemainingText(const std::string& text, int gateway);

    // ---- recipients ----
    struct TGroupNode
    {
        std::string Name;
        std::vector<TSmsNumbersItem*> Contacts;
    };
    const std::vector<TGroupNode>& Tree() const { return FTree; }
    // 0 none picked, 1 some, 2 all.
    int GroupState(const std::string& group) const;
    // A click on a group: picks all its contacts, or drops them all when all were picked.
    void ToggleGroup(const std::string& group);
    void SetPicked(TSmsNumbersItem* contact, bool picked);
    bool Picked(const TSmsNumbersItem* contact) const { return FPicked.count(contact) > 0; }
    // Preselection from the SMS window's selection.
    void Preselect(TSmsNumbersItem* contact, const std::string& group, const TSmsMsgItem* message);
    // The picked contacts in tree order (a contact in two groups once).
    std::vector<TSmsNumbersItem*> PickedContacts() const;
    std::string HintText() const;
    std::string TitleText() const;

    bool CanSend(int gateway);
    bool CanQueue(int gateway) const { return gateway >= 0; }
    // "&Invia" (send) or "&Accoda"; true when the dialog closes.
    bool Execute(bool send, int gateway, const std::string& text);

    // The typing sounds: the key typed (a character, or '\b' for backspace, '\r' for Enter) with
    // the length the text has before it.
    enum class TKey
    {
        Letter,
        Backspace,
        Enter,
        Other
    };
    static TKey KeyKind(char32_t c);
    // The sound for a key ("" for none); off unless the profile's SoundTypeOn is set.
    std::string KeySound(TKey key, int length, int gateway);
    bool TypingSounds() const;
    void SetTypingSounds(bool on);

private:
    TSmsRules& FRules;
    std::vector<TGroupNode> FTree;
    std::set<const TSmsNumbersItem*> FPicked;
};

} // namespace qv
