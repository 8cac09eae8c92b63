#include "sms/SmsData.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numeric>
#include <set>

namespace qv {

void SplitNumber(std::string& number, std::string& prefixInt, std::string& prefixLoc)
{
    if (number.size() > 10 && number.rfind("39", 0) == 0) {
        prefixInt = number.substr(0, 2);
        prefixLoc = number.substr(2, 3);
        number = number.substr(5);
    }
}

const TPropTable& TSmsMsgItem::Table()
{
    using T = TSmsMsgItem;
    static const TPropTable t =
        TPropBuilder<T>()
            .Str("T", &T::T, &T::SetT)
            .Date("L", &T::L, &T::SetL)
            .Int("S", &T::S, &T::SetS)
            .Enum("K", &T::K, &T::SetK, {"ssSent", "ssToSend", "ssSending", "ssError", "ssSuspended"})
            .Str("R", &T::R, &T::SetR)
            .Str("N", &T::N, &T::SetN)
            .Str("I", &T::I, &T::SetI)
            .Str("Z", &T::Z, &T::SetZ)
            .Str("E", &T::E, &T::SetE)
            .Int("G", &T::G, &T::SetG)
            .Str("ResultHTTP", &T::ResultHTTP, &T::SetResultHTTP)
            .Build();
    return t;
}

std::string TSmsMsgItem::DateText() const
{
    return L() == 0 ? "..." : FormatDateTime("ddd d mmm yyyy", L());
}

std::string TSmsMsgItem::TimeText() const
{
    return L() == 0 ? "..." : FormatDateTime("h:nn:ss", L());
}

TSmsData::TSmsData(TServices& services) : TPersistentComponent(services, "TSmsData") {}

TSmsData::~TSmsData()
{
    MarkBroken();
    SaveIfModified();
}

const TPropTable& TSmsData::Table()
{
    using T = TSmsData;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table()).Collection("SmsMsg", &T::SmsMsg).Build();
    return t;
}

void TSmsData::AfterLoad()
{
    MarkBroken();
}

void TSmsData::MarkBroken()
{
    for (auto& m : FSmsMsg)
        if (m->K() == ssSending) {
            m->SetK(ssError);
            m->SetE("Procedura di invio interrotta bruscamente!");
        }
}

TSmsMsgItem& TSmsData::FindOrAddMessage(TSmsNumbersItem& contact, const std::string& text)
{
    const std::string key = contact.NumberKey();
    const std::string wanted = LowerCase(Trim(text));
    for (auto& m : FSmsMsg)
        if (m->NumberKey() == key && LowerCase(Trim(m->T())) == wanted)
            return *m;
    TSmsMsgItem& m = FSmsMsg.Add();
    m.SetT(text);
    m.SetN(contact.P());
    m.SetI(contact.Q());
    m.SetZ(contact.R());
    m.SetR(contact.N());
    return m;
}

void TSmsData::DeleteMessage(TSmsMsgItem& message)
{
    FSmsMsg.RemoveIf([&message](const TSmsMsgItem& m) { return &m == &message; });
}

int TSmsData::CountToSend() const
{
    return static_cast<int>(std::count_if(FSmsMsg.begin(), FSmsMsg.end(), [](const auto& m) { return m->K() == ssToSend; }));
}

int TSmsData::CountSending() const
{
    return static_cast<int>(std::count_if(FSmsMsg.begin(), FSmsMsg.end(), [](const auto& m) { return m->K() == ssSending; }));
}

void TSmsData::SendQueued()
{
    std::vector<TSmsMsgItem*> queued;
    for (auto& m : FSmsMsg)
        if (m->K() == ssToSend)
            queued.push_back(m.get());
    for (TSmsMsgItem* m : queued)
        if (Dispatch)
            Dispatch(*m);
}

const TPropTable& TSmsNumbersItem::Table()
{
    using T = TSmsNumbersItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("P", &T::P, &T::SetP)
                                    .Str("Q", &T::Q, &T::SetQ)
                                    .Str("R", &T::R, &T::SetR)
                                    .Str("N", &T::N, &T::SetN)
                                    .Str("C", &T::C, &T::SetC)
                                    .Int("T", &T::T, &T::SetT)
                                    .Str("B", &T::B, &T::SetB)
                                    .Build();
    return t;
}

const std::string& TSmsNumbersItem::P() const
{
    SplitNumber(FP, FQ, FR);
    return FP;
}

std::string TSmsNumbersItem::Display() const
{
    return N().empty() ? "[0" + FR + P() + "]" : N();
}

std::string TSmsNumbersItem::DisplayWithNumber() const
{
    return N().empty() ? "[0" + FR + P() + "] (Senza nome)" : N() + " [0" + FR + P() + "]";
}

TPhoneBookData::TPhoneBookData(TServices& services, TSmsData& messages)
    : TPersistentComponent(services, "TPhoneBookData"), FMessages(messages)
{
}

TPhoneBookData::~TPhoneBookData()
{
    SaveIfModified();
}

const TPropTable& TPhoneBookData::Table()
{
    using T = TPhoneBookData;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .List("Groups", &T::Groups, &T::SetGroups)
                                    .Collection("SmsNumbers", &T::SmsNumbers)
                                    .Str("F", &T::F, &T::SetF)
                                    .Int("SmsColor", &T::SmsColor, &T::SetSmsColor)
                                    .Build();
    return t;
}

std::size_t TPhoneBookData::SortedPlace(const std::string& name, const TSmsNumbersItem* except) const
{
    const std::string key = LowerCase(name);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < FSmsNumbers.Count(); ++i) {
        if (&FSmsNumbers[i] == except)
            continue;
        if (!(LowerCase(FSmsNumbers[i].N()) > key))
            ++pos;
    }
    return pos;
}

TSmsNumbersItem& TPhoneBookData::AddContact(const std::string& prefixInt, const std::string& prefixLoc,
                                            const std::string& number, const std::string& name, const std::string& group,
                                            const std::string& description)
{
    const std::string n = Trim(name).empty() ? "0" + prefixInt + prefixLoc + number : name;
    TSmsNumbersItem& c = FSmsNumbers.Insert(SortedPlace(n, nullptr));
    Fill(c, prefixInt, prefixLoc, number, name, group, description);
    SetModified(true);
    return c;
}

TSmsNumbersItem& TPhoneBookData::Fill(TSmsNumbersItem& c, const std::string& prefixInt, const std::string& prefixLoc,
                                      const std::string& number, const std::string& name, const std::string& group,
                                      const std::string& description)
{
    // A contact without a name is named by its number, in the group of the nameless.
    std::string n = name, g = group;
    if (Trim(n).empty()) {
        n = "0" + prefixInt + prefixLoc + number;
        if (Trim(g).empty())
            g = "<senza nome>";
    }
    c.SetQ(prefixInt);
    c.SetR(prefixLoc);
    c.SetP(number);
    c.SetN(n);
    c.SetB(g);
    c.SetC(description);
    return c;
}

void TPhoneBookData::ChangeContact(TSmsNumbersItem& contact, const std::string& prefixInt, const std::string& prefixLoc,
                                   const std::string& number, const std::string& name, const std::string& group,
                                   const std::string& description)
{
    const std::string n = Trim(name).empty() ? "0" + prefixInt + prefixLoc + number : name;
    const std::size_t from = FSmsNumbers.IndexOf(&contact);
    contact.SetQ(prefixInt);
    contact.SetR(prefixLoc);
    contact.SetP(number);
    contact.SetN(n);
    contact.SetB(group);
    contact.SetC(description);
    FSmsNumbers.Move(from, SortedPlace(n, &contact));
    SetModified(true);
}

std::vector<TSmsMsgItem*> TPhoneBookData::MessagesOf(const TSmsNumbersItem& contact)
{
    std::vector<TSmsMsgItem*> out;
    const std::string key = contact.NumberKey();
    for (auto& m : FMessages.SmsMsg())
        if (m->NumberKey() == key)
            out.push_back(m.get());
    return out;
}

void TPhoneBookData::DeleteContact(TSmsNumbersItem& contact, bool withMessages)
{
    if (withMessages) {
        const std::string key = contact.NumberKey();
        FMessages.SmsMsg().RemoveIf([&key](const TSmsMsgItem& m) { return m.NumberKey() == key && m.K() != ssSending; });
    }
    FSmsNumbers.RemoveIf([&contact](const TSmsNumbersItem& c) { return &c == &contact; });
}

std::vector<TSmsNumbersItem*> TPhoneBookData::UniqueContacts()
{
    std::vector<TSmsNumbersItem*> out;
    std::set<std::string> seen;
    for (auto& c : FSmsNumbers)
        if (seen.insert(c->NumberKey()).second)
            out.push_back(c.get());
    return out;
}

std::vector<TSmsNumbersItem*> TPhoneBookData::ContactsOfGroup(const std::string& group)
{
    std::vector<TSmsNumbersItem*> out;
    for (auto& c : FSmsNumbers)
        if (c->B() == group)
            out.push_back(c.get());
    return out;
}

TSmsNumbersItem* TPhoneBookData::FindContact(const std::string& nameOrNumber)
{
    for (auto& c : FSmsNumbers)
        if (SameText(c->N(), nameOrNumber) || c->NumberKey() == nameOrNumber || c->P() == nameOrNumber ||
            "0" + c->R() + c->P() == nameOrNumber)
            return c.get();
    return nullptr;
}

std::size_t TPhoneBookData::LongestName() const
{
    std::size_t n = 0;
    for (const auto& c : FSmsNumbers)
        n = std::max(n, Utf8Length(c->N()));
    return n;
}

namespace {

std::string Padded(const std::string& name, std::size_t width)
{
    const std::size_t len = Utf8Length(name);
    return len >= width ? name : name + std::string(width - len, ' ');
}

void WriteAnsi(const std::string& file, const std::string& text, const char* failure)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string bytes = Utf8ToCp1252(text);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw EQvError(std::string(failure) + "Impossibile scrivere il file " + file);
}

} // namespace

void TPhoneBookData::SaveAsText(const std::string& file)
{
    std::string text;
    const std::size_t width = LongestName();
    for (TSmsNumbersItem* c : UniqueContacts())
        text += "+" + c->Q() + " 0" + c->R() + c->P() + "\t" + Padded(c->N(), width) + "\t" + c->C() + "\r\n";
    WriteAnsi(file, text, "Impossibile esportare i contatti: \r\r");
}

void TPhoneBookData::ExportContacts(const std::string& file)
{
    std::string text;
    const std::size_t width = LongestName();
    for (TSmsNumbersItem* c : UniqueContacts())
        text += Padded(c->N(), width) + "\t" + c->Q() + "\t" + c->R() + "\t" + c->P() + "\r\n";
    WriteAnsi(file, text, "Impossibile esportare i contatti: \r\r");
}

bool TPhoneBookData::ParseContactLine(const std::string& raw, std::string& name, std::string& q, std::string& r,
                                      std::string& p)
{
    std::string line = raw;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    line += '\t';
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t tab = line.find('\t', from);
        if (tab == std::string::npos)
            return false;
        fields.push_back(line.substr(from, tab - from));
        from = tab + 1;
    }
    const auto numeric = [](const std::string& s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!numeric(fields[1]) || !numeric(fields[2]) || !numeric(fields[3]))
        return false;
    name = Trim(fields[0]);
    q = fields[1];
    r = fields[2];
    p = fields[3];
    return true;
}

std::vector<TContactLine> TPhoneBookData::ReadContactFile(const std::string& file,
                                                          const std::function<void(std::uint64_t, std::uint64_t)>& progress)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        throw EQvError("Impossibile importare i contatti: \r\rImpossibile aprire il file " + file);
    const auto size = static_cast<std::uint64_t>(std::max<std::streamoff>(0, in.tellg()));
    in.seekg(0);
    std::vector<TContactLine> lines;
    std::uint64_t read = 0;
    std::string raw;
    while (std::getline(in, raw)) {
        read += raw.size() + 1;
        if (progress && lines.size() % 4096 == 0)
            progress(std::min(read, size), size);
        TContactLine c;
        if (ParseContactLine(Cp1252ToUtf8(raw), c.Name, c.Q, c.R, c.P))
            lines.push_back(std::move(c));
    }
    if (progress)
        progress(size, size);
    return lines;
}

int TPhoneBookData::ImportContacts(const std::string& file, const std::string& group)
{
    return AddContacts(ReadContactFile(file), group);
}

int TPhoneBookData::AddContacts(const std::vector<TContactLine>& lines, const std::string& group)
{
    // The list is kept in name order, each new contact after the names not greater than its own: the
    // imported ones are appended, then put in place with one sort and one merge (not one insertion
    // each, which made a large file quadratic).
    const std::string into = group.empty() ? "Importati" : group;
    const std::size_t before = FSmsNumbers.Count();
    std::vector<std::string> keys;
    keys.reserve(before + lines.size());
    for (std::size_t i = 0; i < before; ++i)
        keys.push_back(LowerCase(FSmsNumbers[i].N()));
    if (!std::is_sorted(keys.begin(), keys.end())) {
        for (const TContactLine& c : lines) // a list out of order: each where an insertion puts it
            AddContact(c.Q, c.R, c.P, c.Name, into, "");
        return static_cast<int>(lines.size());
    }
    FSmsNumbers.Reserve(before + lines.size());
    for (const TContactLine& c : lines)
        keys.push_back(LowerCase(Fill(FSmsNumbers.Add(), c.Q, c.R, c.P, c.Name, into, "").N()));
    if (lines.empty())
        return 0;
    std::vector<std::size_t> added(lines.size());
    std::iota(added.begin(), added.end(), before);
    const auto less = [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; };
    std::stable_sort(added.begin(), added.end(), less);
    std::vector<std::size_t> old(before);
    std::iota(old.begin(), old.end(), 0);
    std::vector<std::size_t> order;
    order.reserve(keys.size());
    // On equal names the contact already there comes first, as an insertion would leave it.
    std::merge(old.begin(), old.end(), added.begin(), added.end(), std::back_inserter(order), less);
    FSmsNumbers.Reorder(order);
    SetModified(true);
    return static_cast<int>(lines.size());
}

} // namespace qv
