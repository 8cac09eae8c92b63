#include "sms/SmsRules.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"
#include "tariffs/Settings.h"

#include <algorithm>
#include <cstdio>

namespace qv {

TSmsRules::TSmsRules(TServices& services, TSmsData& messages, TPhoneBookData& book, TGateWayData& gateways,
                     TSmsHooks hooks)
    : FServices(services), FMessages(messages), FBook(book), FGateWays(gateways), FHooks(std::move(hooks))
{
    FLastSending = FMessages.CountSending();
}

// ---- the tree and the lists ----

std::vector<std::string> TSmsRules::TreeGroups()
{
    std::vector<std::string> groups = FBook.Groups();
    bool changed = false;
    for (auto& c : FBook.SmsNumbers()) {
        if (Trim(c->B()).empty())
            c->SetB(UngroupedGroup);
        if (std::find(groups.begin(), groups.end(), c->B()) == groups.end()) {
            groups.push_back(c->B());
            changed = true;
        }
    }
    if (changed) {
        FBook.SetGroups(groups);
        FBook.SetModified(true);
    }
    return groups;
}

std::vector<TSmsNumbersItem*> TSmsRules::ContactsOf(const std::string& group)
{
    std::vector<TSmsNumbersItem*> out;
    for (auto& c : FBook.SmsNumbers())
        if (c->B() == group || (group == UngroupedGroup && Trim(c->B()).empty()))
            out.push_back(c.get());
    return out;
}

TSmsStato TSmsRules::FolderState(TSmsFolder folder)
{
    switch (folder) {
    case TSmsFolder::ToSend:
        return ssToSend;
    case TSmsFolder::Sending:
        return ssSending;
    case TSmsFolder::Sent:
        return ssSent;
    case TSmsFolder::Errors:
        break;
    }
    return ssError;
}

std::string TSmsRules::FolderCaption(TSmsFolder folder) const
{
    switch (folder) {
    case TSmsFolder::ToSend:
        return "Da inviare [" + std::to_string(FMessages.CountToSend()) + "]";
    case TSmsFolder::Sending:
        return "In uscita [" + std::to_string(FMessages.CountSending()) + "]";
    case TSmsFolder::Sent:
        return "Inviati";
    case TSmsFolder::Errors:
        break;
    }
    return "Errori";
}

std::vector<TSmsMsgItem*> TSmsRules::FolderMessages(TSmsFolder folder)
{
    const TSmsStato state = FolderState(folder);
    std::vector<TSmsMsgItem*> out;
    for (auto& m : FMessages.SmsMsg())
        if (m->K() == state)
            out.push_back(m.get());
    return out;
}

std::vector<TSmsMsgItem*> TSmsRules::ContactMessages(const TSmsNumbersItem& contact)
{
    return FBook.MessagesOf(contact);
}

std::vector<TSmsMsgItem*> TSmsRules::GroupMessages(const std::string& group)
{
    std::set<std::string> keys;
    for (TSmsNumbersItem* c : ContactsOf(group))
        keys.insert(c->NumberKey());
    std::vector<TSmsMsgItem*> out;
    for (auto& m : FMessages.SmsMsg())
        if (keys.count(m->NumberKey()))
            out.push_back(m.get());
    return out;
}

TSmsNumbersItem* TSmsRules::ContactOf(const TSmsMsgItem& message)
{
    const std::string key = message.NumberKey();
    for (auto& c : FBook.SmsNumbers())
        if (c->NumberKey() == key)
            return c.get();
    return nullptr;
}

// ---- commands ----

bool TSmsRules::SendQueueNow()
{
    const int count = FMessages.CountToSend();
    if (count == 0) {
        ShowInfo(FServices.Prompter, "Non ci sono messaggi da inviare");
        return false;
    }
    if (FHooks.IsOnlineOrAsk && !FHooks.IsOnlineOrAsk(true))
        return false;
    if (AskYesNo(FServices.Prompter, "I messaggi da inviare sono: " + std::to_string(count) +
                                         "\r\rVuoi inviarli adesso?") != TModalResult::mrYes)
        return false;
    FMessages.SendQueued();
    return true;
}

namespace {

void DeleteAll(TSmsData& data, const std::vector<TSmsMsgItem*>& messages)
{
    const std::set<const TSmsMsgItem*> doomed(messages.begin(), messages.end());
    data.SmsMsg().RemoveIf([&doomed](const TSmsMsgItem& m) { return doomed.count(&m) && m.K() != ssSending; });
}

} // namespace

bool TSmsRules::DeleteSelected(const std::vector<TSmsMsgItem*>& messages)
{
    if (messages.empty())
        return false;
    if (AskYesNo(FServices.Prompter, "Eliminare i messaggi selezionati? [" + std::to_string(messages.size()) + "]") !=
        TModalResult::mrYes)
        return false;
    DeleteAll(FMessages, messages);
    return true;
}

bool TSmsRules::DeleteList(const std::vector<TSmsMsgItem*>& messages, const std::string& listName)
{
    if (messages.empty())
        return false;
    if (AskYesNo(FServices.Prompter, "Eliminare tutti i messaggi contenuti nella lista «" + listName + "»?") !=
        TModalResult::mrYes)
        return false;
    DeleteAll(FMessages, messages);
    return true;
}

bool TSmsRules::DeleteContactMessages(TSmsNumbersItem& contact)
{
    const std::vector<TSmsMsgItem*> messages = FBook.MessagesOf(contact);
    if (messages.empty())
        return false;
    if (AskYesNo(FServices.Prompter, "Sicuro di voler eliminare tutti i messaggi di " + contact.Display() + "?") !=
        TModalResult::mrYes)
        return false;
    DeleteAll(FMessages, messages);
    return true;
}

bool TSmsRules::DeleteContact(TSmsNumbersItem& contact)
{
    const TModalResult answer = AskYesNoCancel(
        FServices.Prompter, "Eliminare il contatto " + contact.Display() +
                                " e i suoi messaggi?\r\r«Sì» elimina il contatto con tutti i suoi messaggi\r«No» elimina "
                                "il contatto senza cancellare i suoi messaggi\r«Annulla» c'ho ripensato...");
    if (answer != TModalResult::mrYes && answer != TModalResult::mrNo)
        return false;
    FBook.DeleteContact(contact, answer == TModalResult::mrYes);
    FBook.SetModified(true);
    return true;
}

std::string TSmsRules::NewGroup()
{
    std::vector<std::string> groups = TreeGroups();
    std::string name = "<nuovo gruppo>";
    for (int n = 2; std::find(groups.begin(), groups.end(), name) != groups.end(); ++n)
        name = "<nuovo gruppo " + std::to_string(n) + ">";
    groups.push_back(name);
    FBook.SetGroups(groups);
    FBook.SetModified(true);
    return name;
}

bool TSmsRules::RenameGroup(const std::string& oldName, const std::string& newName)
{
    const std::string name = Trim(newName);
    std::vector<std::string> groups = TreeGroups();
    if (name.empty() || name == oldName || std::find(groups.begin(), groups.end(), name) != groups.end())
        return false;
    std::replace(groups.begin(), groups.end(), oldName, name);
    FBook.SetGroups(groups);
    for (auto& c : FBook.SmsNumbers())
        if (c->B() == oldName)
            c->SetB(name);
    FBook.SetModified(true);
    return true;
}

bool TSmsRules::RenameContact(TSmsNumbersItem& contact, const std::string& newName)
{
    const std::string name = Trim(newName);
    if (name.empty() || name == contact.N())
        return false;
    FBook.ChangeContact(contact, contact.Q(), contact.R(), contact.P(), name, contact.B(), contact.C());
    return true;
}

bool TSmsRules::DeleteGroup(const std::string& name)
{
    if (!ContactsOf(name).empty()) {
        ShowError(FServices.Prompter, "Per eliminare il gruppo occorre spostare o eliminare tutti i contatti che vi "
                                      "appartengono!");
        return false;
    }
    std::vector<std::string> groups = FBook.Groups();
    groups.erase(std::remove(groups.begin(), groups.end(), name), groups.end());
    FBook.SetGroups(groups);
    FBook.SetModified(true);
    return true;
}

TSmsNumbersItem* TSmsRules::DropContact(TSmsNumbersItem& contact, const std::string& group, bool copy)
{
    if (contact.B() == group)
        return nullptr;
    if (copy)
        return &FBook.AddContact(contact.Q(), contact.R(), contact.P(), contact.N(), group, contact.C());
    FBook.ChangeContact(contact, contact.Q(), contact.R(), contact.P(), contact.N(), group, contact.C());
    return &contact;
}

void TSmsRules::Tick()
{
    const int sending = FMessages.CountSending();
    if (sending != FLastSending && sending == 0 && FHooks.PlaySound)
        FHooks.PlaySound("MsgEnd");
    FLastSending = sending;
}

// ---- properties ----

std::string TSmsRules::TranslateAnswer(const TSmsMsgItem& message, const std::string& folder)
{
    ForgetTranslation();
    const double now = FServices.Clk.Now();
    const TTimeParts t = DecodeTime(now);
    const TDateParts d = DecodeDate(now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "@%02d%02d%02d%02d%02d%04d", t.Second, t.Minute, t.Hour, d.Day, d.Month,
                  d.Year);
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    const std::string file = dir + stamp + "ResultSms.htm";
    const std::string page = Utf8ToCp1252(message.ResultHTTP());
    FServices.Files.WriteAtomic(file, TBytes(page.begin(), page.end()));
    FAnswerFile = file;
    if (FHooks.OpenFile)
        FHooks.OpenFile(file);
    return file;
}

void TSmsRules::ForgetTranslation()
{
    if (!FAnswerFile.empty())
        FServices.Files.Remove(FAnswerFile);
    FAnswerFile.clear();
}

// ---- contacts ----

bool TSmsRules::Refuse(const std::string& reason)
{
    ShowError(FServices.Prompter, "I dati non sono corretti!\r\r" + reason);
    return false;
}

TSmsRules::TContactForm TSmsRules::ContactForm(const TSmsNumbersItem* contact, const std::string& selectedGroup) const
{
    TContactForm f;
    f.Group = selectedGroup;
    if (!contact)
        return f;
    f.PrefixInt = contact->Q();
    f.PrefixLoc = contact->R();
    f.Number = contact->P();
    f.Name = contact->N();
    f.Description = contact->C();
    f.Group = contact->B();
    return f;
}

TSmsNumbersItem* TSmsRules::SaveContact(TSmsNumbersItem* editing, const TContactForm& form)
{
    const std::string q = Trim(form.PrefixInt), r = Trim(form.PrefixLoc), p = Trim(form.Number);
    std::string missing;
    if (q.empty())
        missing += "\r- Prefisso internazionale";
    if (r.empty())
        missing += "\r- Prefisso locale";
    if (p.empty())
        missing += "\r- Numero";
    if (!missing.empty()) {
        Refuse("I seguenti campi sono obbligatori: " + missing);
        return nullptr;
    }
    if (!IsNumeric(q + r + p) || (q + r + p).find_first_not_of("0123456789") != std::string::npos) {
        Refuse("I numeri inseriti non sono numeri!!!");
        return nullptr;
    }
    if (q.find("039") != std::string::npos) {
        Refuse("Il prefisso internazionale deve essere inserito senza zero!\r\rEsempio: 39");
        return nullptr;
    }
    if (r.front() == '0' &&
        AskYesNo(FServices.Prompter,
                 "Il prefisso locale deve essere inserito senza zero\ra meno che non abbia 2 zeri...\r\rInserisci lo "
                 "stesso il prefisso perché è del tipo 00x [Sì]\rOK ho sbagliato... il prefisso è del tipo 03xy "
                 "[No]") != TModalResult::mrYes) {
        Refuse("Il prefisso locale deve essere inserito senza zero!\r\rEsempio: 338");
        return nullptr;
    }
    if (editing) {
        FBook.ChangeContact(*editing, q, r, p, form.Name, form.Group, form.Description);
        return editing;
    }
    return &FBook.AddContact(q, r, p, form.Name, form.Group, form.Description);
}

// ---- text exchange ----

bool TSmsRules::SaveAsText(const std::string& file)
{
    try {
        FBook.SaveAsText(file);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, e.what());
        return false;
    }
    ShowInfo(FServices.Prompter, "I contatti sono stati salvati con successo in " + file);
    return true;
}

bool TSmsRules::ExportContacts(const std::string& file)
{
    try {
        FBook.ExportContacts(file);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, e.what());
        return false;
    }
    ShowInfo(FServices.Prompter, "I contatti sono stati esportati con successo in " + file);
    return true;
}

int TSmsRules::ImportContacts(const std::string& file, const std::string& group, bool ask,
                              const std::function<std::vector<TContactLine>(const std::string&)>& reader)
{
    if (ask && AskYesNo(FServices.Prompter, "Importare gli amichetti presenti in " + file + "?") != TModalResult::mrYes)
        return 0;
    int count = 0;
    try {
        count = FBook.AddContacts(reader ? reader(file) : TPhoneBookData::ReadContactFile(file), group);
    } catch (const std::exception& e) {
        ShowError(FServices.Prompter, e.what());
        return 0;
    }
    ShowInfo(FServices.Prompter, "Importati ben " + std::to_string(count) + " amichetti dal file " + file);
    return count;
}

// ---- compose ----

TSmsCompose::TSmsCompose(TSmsRules& rules) : FRules(rules)
{
    for (const std::string& g : FRules.TreeGroups())
        FTree.push_back({g, FRules.ContactsOf(g)});
}

bool TSmsCompose::CanOpen()
{
    if (FRules.Book().SmsNumbers().Count() > 0)
        return true;
    ShowInfo(FRules.Services().Prompter, "La rubrica degli amichetti è vuota!");
    return false;
}

std::vector<std::string> TSmsCompose::GatewayNames()
{
    std::vector<std::string> out;
    for (const auto& g : FRules.GateWays().GateWays())
        out.push_back(g->Nome());
    return out;
}

int TSmsCompose::InitialGateway()
{
    const auto count = static_cast<int>(FRules.GateWays().GateWays().Count());
    if (count == 0) {
        if (FRules.Hooks().ShowHelp)
            FRules.Hooks().ShowHelp("sms-nessun-gateway");
        return -1;
    }
    const TProfileItem* p = FRules.Hooks().Profile ? FRules.Hooks().Profile() : nullptr;
    if (p && p->LastGateway() >= 0 && p->LastGateway() < count)
        return p->LastGateway();
    return 0;
}

std::string TSmsCompose::GatewayHint(int gateway)
{
    if (gateway < 0 || static_cast<std::size_t>(gateway) >= FRules.GateWays().GateWays().Count())
        return {};
    const TGateWayItem& g = FRules.GateWays().GateWays()[static_cast<std::size_t>(gateway)];
    return "Per l'invio utilizza " + g.Nome() + "\r" + g.Descrizione();
}

int TSmsCompose::Limit(int gateway)
{
    if (gateway < 0 || static_cast<std::size_t>(gateway) >= FRules.GateWays().GateWays().Count())
        return 0;
    return std::max(0, FRules.GateWays().GateWays()[static_cast<std::size_t>(gateway)].MaxLength());
}

std::string TSmsCompose::Cut(const std::string& text, int gateway)
{
    const auto limit = static_cast<std::size_t>(Limit(gateway));
    return Utf8Length(text) > limit ? Utf8Left(text, limit) : text;
}

std::string TSmsCompose::RemainingText(const std::string& text, int gateway)
{
    const long left = static_cast<long>(Limit(gateway)) - static_cast<long>(Utf8Length(text));
    return "Caratteri a disposizione " + std::to_string(left);
}

int TSmsCompose::GroupState(const std::string& group) const
{
    for (const TGroupNode& n : FTree) {
        if (n.Name != group)
            continue;
        std::size_t picked = 0;
        for (const TSmsNumbersItem* c : n.Contacts)
            picked += FPicked.count(c);
        if (picked == 0)
            return 0;
        return picked == n.Contacts.size() ? 2 : 1;
    }
    return 0;
}

void TSmsCompose::ToggleGroup(const std::string& group)
{
    const bool all = GroupState(group) == 2;
    for (const TGroupNode& n : FTree)
        if (n.Name == group)
            for (TSmsNumbersItem* c : n.Contacts)
                SetPicked(c, !all);
}

void TSmsCompose::SetPicked(TSmsNumbersItem* contact, bool picked)
{
    if (picked)
        FPicked.insert(contact);
    else
        FPicked.erase(contact);
}

void TSmsCompose::Preselect(TSmsNumbersItem* contact, const std::string& group, const TSmsMsgItem* message)
{
    if (message)
        contact = FRules.ContactOf(*message);
    if (contact)
        SetPicked(contact, true);
    else if (!group.empty())
        ToggleGroup(group);
}

std::vector<TSmsNumbersItem*> TSmsCompose::PickedContacts() const
{
    std::vector<TSmsNumbersItem*> out;
    std::set<const TSmsNumbersItem*> seen;
    for (const TGroupNode& n : FTree)
        for (TSmsNumbersItem* c : n.Contacts)
            if (FPicked.count(c) && seen.insert(c).second)
                out.push_back(c);
    return out;
}

std::string TSmsCompose::HintText() const
{
    const std::vector<TSmsNumbersItem*> picked = PickedContacts();
    if (picked.empty())
        return "<nessun destinatario selezionato>";
    std::string text = "Destinatari del messaggino: " + std::to_string(picked.size());
    for (const TSmsNumbersItem* c : picked)
        text += "\r" + c->DisplayWithNumber() + (Trim(c->C()).empty() ? std::string() : " - " + c->C());
    return text;
}

std::string TSmsCompose::TitleText() const
{
    return "Destinatari [" + std::to_string(PickedContacts().size()) + "]";
}

bool TSmsCompose::CanSend(int gateway)
{
    return gateway >= 0 && (!FRules.Hooks().IsOnlineOrAsk || FRules.Hooks().IsOnlineOrAsk(false));
}

bool TSmsCompose::Execute(bool send, int gateway, const std::string& text)
{
    if (gateway < 0 || static_cast<std::size_t>(gateway) >= FRules.GateWays().GateWays().Count())
        return false;
    IPrompter& prompter = FRules.Services().Prompter;
    TGateWayItem& g = FRules.GateWays().GateWays()[static_cast<std::size_t>(gateway)];
    if (!FRules.GateWays().CheckConfigured(g))
        return false;
    if (!g.HasCredentials()) {
        if (FRules.Hooks().OpenAccount)
            FRules.Hooks().OpenAccount(g);
        return false;
    }
    if (Trim(text).empty()) {
        ShowError(prompter, "Se non è troppo disturbo compila il messaggino... magari!");
        return false;
    }
    const std::vector<TSmsNumbersItem*> picked = PickedContacts();
    if (picked.empty()) {
        ShowError(prompter, "Se mi dici a chi inviare il messaggino... magari!");
        return false;
    }
    // The gateways take the Windows code page: other characters are named before anything goes.
    if (const std::string missing = NotInCp1252(text); !missing.empty() &&
        AskYesNo(prompter, "Questi caratteri non possono essere inviati: «" + missing +
                               "»\rarriverebbero come «?».\r\rInviare comunque il messaggio?") != TModalResult::mrYes)
        return false;
    if (TProfileItem* p = FRules.Hooks().Profile ? FRules.Hooks().Profile() : nullptr)
        p->SetLastGateway(gateway);
    if (FRules.Hooks().PlaySound)
        FRules.Hooks().PlaySound("MsgToSend");
    const std::string body = Cut(text, gateway);
    for (TSmsNumbersItem* c : picked) {
        TSmsMsgItem& m = FRules.Messages().FindOrAddMessage(*c, body);
        m.SetG(gateway);
        if (send && FRules.Hooks().SendNow)
            FRules.Hooks().SendNow(m, true);
        else
            m.SetK(ssToSend);
    }
    return true;
}

TSmsCompose::TKey TSmsCompose::KeyKind(char32_t c)
{
    if (c == U'\b')
        return TKey::Backspace;
    if (c == U'\r' || c == U'\n')
        return TKey::Enter;
    if (c == U'.')
        return TKey::Backspace; // the full stop sounds as a step back
    const bool asciiLetter = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
    const bool latinLetter = c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7;
    return asciiLetter || latinLetter ? TKey::Letter : TKey::Other;
}

bool TSmsCompose::TypingSounds() const
{
    const TProfileItem* p = FRules.Hooks().Profile ? FRules.Hooks().Profile() : nullptr;
    return p && p->SoundTypeOn();
}

void TSmsCompose::SetTypingSounds(bool on)
{
    if (TProfileItem* p = FRules.Hooks().Profile ? FRules.Hooks().Profile() : nullptr)
        p->SetSoundTypeOn(on);
}

std::string TSmsCompose::KeySound(TKey key, int length, int gateway)
{
    if (!TypingSounds())
        return {};
    if (key == TKey::Enter || (key != TKey::Backspace && length >= Limit(gateway)))
        return "MsgBell";
    if (key == TKey::Backspace)
        return "MsgBack";
    return key == TKey::Other ? "MsgType" : std::string();
}

} // namespace qv
