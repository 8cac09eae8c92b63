#include "core/Persistent.h"

#include "core/Strings.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

namespace qv {

const TPropDef* TPropTable::FindFrom(std::string_view name, std::size_t* hint) const
{
    const std::size_t n = Props.size();
    const std::size_t start = hint && *hint < n ? *hint : 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = start + k < n ? start + k : start + k - n;
        if (SameName(Props[i].Name, name)) {
            if (hint)
                *hint = i + 1;
            return &Props[i];
        }
    }
    return nullptr;
}

// ---- writing -------------------------------------------------------------------------------

namespace {

void WriteProperties(TStreamWriter& w, TPersistent& obj, const TPropTable& table, const std::string& prefix);

void WriteItemRange(TStreamWriter& w, TCollectionBase& c, std::size_t from, std::size_t to)
{
    const TPropTable& table = c.ItemProperties();
    for (std::size_t i = from; i < to; ++i) {
        w.WriteTag(TValueTag::vaList);
        WriteProperties(w, c.ItemAt(i), table, "");
        w.WriteTag(TValueTag::vaNull);
    }
}

// A collection of this many items or more is written in two halves at once.
constexpr std::size_t ParallelItems = 20000;

// The second half of a large collection, written on a thread of its own into a buffer of its own.
// Writing only reads the items, and each item is read by one thread only (a getter that fills a
// field of its own item on first use stays safe).
class TSecondHalf
{
public:
    // sizeHint: the bytes the half is likely to take (none when unknown).
    TSecondHalf(TCollectionBase& c, std::size_t from, std::size_t to, std::size_t sizeHint)
    {
        FThread = std::jthread([this, &c, from, to, sizeHint] {
            try {
                FBytes.reserve(sizeHint);
                TStreamWriter w(FBytes);
                WriteItemRange(w, c, from, to);
                w.Finish();
            } catch (...) {
                FFailed = std::current_exception();
            }
        });
    }
    TSecondHalf(const TSecondHalf&) = delete;
    TSecondHalf& operator=(const TSecondHalf&) = delete;
    const TBytes& Bytes()
    {
        FThread.join();
        if (FFailed)
            std::rethrow_exception(FFailed);
        return FBytes;
    }

private:
    TBytes FBytes;
    std::exception_ptr FFailed;
    std::jthread FThread; // joined when the writer goes, also after a failure of the first half
};

void WriteItems(TStreamWriter& w, TCollectionBase& c)
{
    w.WriteTag(TValueTag::vaCollection);
    const std::size_t n = c.StoredEmpty ? 0 : c.Count();
    std::unique_ptr<TSecondHalf> second;
    std::size_t split = n;
    if (n >= ParallelItems && std::thread::hardware_concurrency() > 1) {
        try {
            // The buffer is sized from the last save of the file: about half of it is this half.
            second = std::make_unique<TSecondHalf>(c, n / 2, n, w.Reserved() / 2);
            split = n / 2;
        } catch (const std::system_error&) {
            // No thread to be had: all on this one.
        }
    }
    WriteItemRange(w, c, 0, split);
    if (second)
        w.WriteBytes(second->Bytes());
    w.WriteTag(TValueTag::vaNull);
}

void WriteProperties(TStreamWriter& w, TPersistent& obj, const TPropTable& table, const std::string& prefix)
{
    for (const TPropDef& p : table.Props) {
        const std::string& name = p.Name;
        switch (p.Kind) {
        case TPropKind::Integer:
        case TPropKind::Int64:
        case TPropKind::UInt32:
        case TPropKind::Boolean:
        case TPropKind::Enum: {
            std::int64_t v = p.GetInt(obj);
            if (p.Default && *p.Default == v)
                break;
            w.WriteShortString(prefix, name);
            if (p.Kind == TPropKind::Boolean)
                w.WriteBool(v != 0);
            else if (p.Kind == TPropKind::Enum)
                w.WriteIdent(v >= 0 && static_cast<std::size_t>(v) < p.EnumNames.size()
                                 ? p.EnumNames[static_cast<std::size_t>(v)]
                                 : std::to_string(v));
            else {
                if (p.Kind == TPropKind::UInt32)
                    v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
                w.WriteInteger(v);
            }
            break;
        }
        case TPropKind::Ident: {
            const std::int64_t v = p.GetInt(obj);
            if (p.Default && *p.Default == v)
                break;
            w.WriteShortString(prefix, name);
            const std::string ident = IdentOf(p, v);
            if (ident.empty())
                w.WriteInteger(v);
            else
                w.WriteIdent(ident);
            break;
        }
        case TPropKind::Set: {
            const std::int64_t v = p.GetInt(obj);
            w.WriteShortString(prefix, name);
            w.WriteTag(TValueTag::vaSet);
            for (std::size_t i = 0; i < p.EnumNames.size() && i < 63; ++i)
                if (v & (std::int64_t{1} << i))
                    w.WriteShortString(p.EnumNames[i]);
            w.WriteShortString("");
            break;
        }
        case TPropKind::Float:
        case TPropKind::DateTime: {
            const double v = p.GetFloat(obj);
            if (v == 0.0)
                break;
            w.WriteShortString(prefix, name);
            w.WriteFloat(v);
            break;
        }
        case TPropKind::String: {
            const std::string v = p.GetStr(obj);
            if (v.empty() && !p.WriteEmpty)
                break;
            w.WriteShortString(prefix, name);
            w.WriteString(v);
            break;
        }
        case TPropKind::Binary: {
            const std::string v = p.GetStr(obj);
            if (v.empty())
                break;
            w.WriteShortString(prefix, name);
            w.WriteBinary(v);
            break;
        }
        case TPropKind::StringList: {
            const std::vector<std::string> v = p.GetList(obj);
            if (v.empty())
                break;
            w.WriteShortString(prefix, name + ".Strings");
            w.WriteTag(TValueTag::vaList);
            for (const std::string& s : v)
                w.WriteString(s);
            w.WriteTag(TValueTag::vaNull);
            break;
        }
        case TPropKind::Collection:
            w.WriteShortString(prefix, name);
            WriteItems(w, p.GetCollection(obj));
            break;
        case TPropKind::Object:
            WriteProperties(w, p.GetObject(obj), *p.ObjectTable, prefix + name + ".");
            break;
        }
    }
}

// ---- reading -------------------------------------------------------------------------------

const std::pair<std::string, std::int64_t>* FindIdent(const std::vector<std::pair<std::string, std::int64_t>>& idents,
                                                      std::string_view ident)
{
    for (const auto& i : idents)
        if (SameText(i.first, ident))
            return &i;
    return nullptr;
}

[[noreturn]] void BadValue(const std::string& context, std::string_view name)
{
    throw EReadError("Valore non valido per la proprietà " + context + std::string(name));
}

// Raised inside a salvaging read when nothing more of the stream can be understood.
class EStopSalvage : public EReadError
{
public:
    EStopSalvage() : EReadError("") {}
};

// context: the path of the enclosing collection item ("Taxs." or ""), only used in messages.
// Returns the definition read directly from the table (null for dotted paths and lists).
const TPropDef* ReadProperty(TStreamReader& r, TPersistent& obj, const TPropTable& table, std::string_view path,
                             const std::string& context, TSalvageReport* salvage, std::size_t* hint = nullptr);

// Reads one item into a new item of c; an item cut short is taken out again. Collections nested in
// an item are not salvaged on their own: their damage makes the item broken. strict (salvaging):
// the item must hold its properties in table order and texts without control characters.
// candidate (a position found after a broken item): it must also hold its key property and be
// followed by another item or the end of the collection, or it is not taken for an item.
void ReadItem(TStreamReader& r, TCollectionBase& c, const std::string& itemContext, bool strict, bool candidate)
{
    TValueTag t = r.ReadTag();
    if (TStreamReader::IsIntegerTag(t) && t != TValueTag::vaInt64) {
        r.ReadIntegerValue(t); // the optional item index
        t = r.ReadTag();
    }
    if (t != TValueTag::vaList)
        BadValue("", itemContext.substr(0, itemContext.size() - 1));
    r.CountItem();
    TPersistent& item = c.AddItem();
    const TPropTable& table = c.ItemProperties();
    std::size_t hint = 0;
    try {
        const TPropDef* last = nullptr;
        bool key = false;
        while (r.PeekByte() != 0) {
            const TPropDef* p = ReadProperty(r, item, table, r.ReadShortStringView(), itemContext, nullptr, &hint);
            if (strict && p) {
                if (last && p <= last)
                    throw EReadError("Proprietà fuori ordine");
                last = p;
                key = key || p->Key;
                // A text with control characters other than line breaks and tabs was read over
                // the bytes of what follows it.
                if (p->Kind == TPropKind::String) {
                    const std::string v = p->GetStr(item);
                    if (std::any_of(v.begin(), v.end(), [](char ch) {
                            const auto u = static_cast<unsigned char>(ch);
                            return u < 0x20 && u != '\t' && u != '\r' && u != '\n';
                        }))
                        throw EReadError("Testo non valido");
                }
            }
        }
        r.ReadByte();
        if (candidate) {
            const bool needsKey = std::any_of(table.Props.begin(), table.Props.end(), [](const TPropDef& d) { return d.Key; });
            const std::uint8_t next = r.PeekByte();
            if ((needsKey && !key) || (next != 0 && next != static_cast<std::uint8_t>(TValueTag::vaList) &&
                                       !TStreamReader::IsIntegerTag(static_cast<TValueTag>(next))))
                throw EReadError("Elemento incompleto");
        }
    } catch (const EReadError&) {
        // An item cut short is not data: what is saved after a failed read holds whole items only.
        c.DeleteItem(c.Count() - 1);
        throw;
    }
}

// After a broken item: the first position from `from` (and before `last`) where a whole item
// starts, read into c. None: the reader is at the stream's end.
std::optional<std::size_t> FindNextItem(TStreamReader& r, TCollectionBase& c, std::size_t from,
                                        const std::string& itemContext, std::size_t last = SIZE_MAX)
{
    last = std::min(last, r.Size());
    for (std::size_t p = from; p < last; ++p) {
        const std::uint8_t b = r.ByteAt(p);
        if (b != static_cast<std::uint8_t>(TValueTag::vaList) && b != static_cast<std::uint8_t>(TValueTag::vaInt8))
            continue;
        r.Seek(p);
        try {
            ReadItem(r, c, itemContext, true, true);
            return p;
        } catch (const EStopSalvage&) {
            throw;
        } catch (const EReadError&) {
            r.UncountItem();
        }
    }
    r.Seek(r.Size());
    return std::nullopt;
}

// What may follow a collection of owner: the end of owner's properties or another of them.
bool PlausibleAfterCollection(const TStreamReader& r, const TPropTable& owner)
{
    const std::size_t at = r.Position();
    const std::uint8_t n = r.ByteAt(at);
    if (n == 0 || at + 1 + n > r.Size())
        return n == 0;
    std::string name;
    for (std::size_t i = 0; i < n; ++i)
        name += static_cast<char>(r.ByteAt(at + 1 + i));
    const auto dot = name.find('.');
    return owner.Find(dot == std::string::npos ? name : name.substr(0, dot)) != nullptr;
}

// A collection with this many bytes or more after its start is read in two parts at once, when
// its items allow it.
constexpr std::size_t ParallelReadBytes = std::size_t{1} << 20;
// How far past the middle the second part looks for an item's start.
constexpr std::size_t PartSearchBytes = std::size_t{64} << 10;

// After this many items of a collection read from a stream of at least ParallelReadBytes, room is
// made for as many items as the rest of the stream holds at the size of these: the list of a large
// log is not grown and copied a dozen times (each time into memory the system must first clear).
constexpr std::size_t EstimateAfter = 64;

void ReserveLikeTheFirst(const TStreamReader& r, TCollectionBase& c, std::size_t first)
{
    if (c.Count() != EstimateAfter || r.Size() - first < ParallelReadBytes)
        return;
    const std::size_t perItem = std::max<std::size_t>((r.Position() - first) / EstimateAfter, 16);
    const std::size_t rest = r.Remaining() / perItem;
    c.ReserveItems(c.Count() + rest + rest / 32);
}

// Set on the thread that reads a second part: what it reads is not split again.
thread_local bool tReadingPart = false;
std::atomic<std::size_t> gPartsTaken{0}, gPartsNotTaken{0};

// The second part of a large collection, read on a thread of its own into a collection of its own.
// The stream does not say where its items start: the thread looks for one past the middle, as a
// rescue does, and reads from there to the collection's end. Whether that was an item's start is
// known only when the first thread, reading item after item, ends an item exactly there: then the
// bytes from there are read exactly as the first thread would read them (reading depends on the
// position only), and their items are taken over. The first thread passing the place instead (a
// wrong start) or the second thread failing loses nothing but time: the first reads on by itself,
// and every error is raised by it, as when reading on one thread.
class TSecondPart
{
public:
    enum class TMeeting
    {
        NotYet,  // go on reading
        Taken,   // the part was appended to the collection and the reader is at its end
        Useless  // read on alone
    };

    TSecondPart(const TStreamReader& r, std::unique_ptr<TCollectionBase> part, const std::string& itemContext)
        : FReader(r), FPart(std::move(part)), FContext(itemContext)
    {
        const std::size_t from = r.Position() + r.Remaining() / 2;
        FThread = std::jthread([this, from](std::stop_token stop) { Run(stop, from); });
    }
    TSecondPart(const TSecondPart&) = delete;
    TSecondPart& operator=(const TSecondPart&) = delete;

    // After each item the first thread read into c.
    TMeeting Meet(TStreamReader& r, TCollectionBase& c)
    {
        const std::size_t start = FStart.load(std::memory_order_acquire);
        if (start == NoStart || r.Position() > start)
            return TMeeting::Useless;
        if (r.Position() < start) // also while the second thread still looks (Searching is the largest)
            return TMeeting::NotYet;
        FThread.join();
        if (!FRead || !r.CountItems(FPart->Count()))
            return TMeeting::Useless;
        c.AppendPart(*FPart);
        r.Seek(FEnd);
        FTaken = true;
        return TMeeting::Taken;
    }
    ~TSecondPart() { ++(FTaken ? gPartsTaken : gPartsNotTaken); }

private:
    static constexpr std::size_t Searching = SIZE_MAX;
    static constexpr std::size_t NoStart = SIZE_MAX - 1;

    void Run(const std::stop_token& stop, std::size_t from)
    {
        tReadingPart = true;
        try {
            // Looked for as a rescue looks for an item after a broken one. The item found is kept
            // as the part's first: a rescue's checks only refuse, they never change what is read.
            const auto start = FindNextItem(FReader, *FPart, from, FContext, from + PartSearchBytes);
            if (!start || stop.stop_requested()) {
                FStart.store(NoStart, std::memory_order_release);
                return;
            }
            FStart.store(*start, std::memory_order_release);
            for (std::size_t n = 1; FReader.PeekByte() != 0; ++n) {
                if (n % 256 == 0 && stop.stop_requested())
                    return;
                ReadItem(FReader, *FPart, FContext, false, false);
                ReserveLikeTheFirst(FReader, *FPart, *start);
            }
            FEnd = FReader.Position();
            FRead = true;
        } catch (...) {
            // Whatever went wrong, the first thread reads these items itself and meets it too.
            std::size_t searching = Searching;
            FStart.compare_exchange_strong(searching, NoStart, std::memory_order_release);
        }
    }

    TStreamReader FReader;
    std::unique_ptr<TCollectionBase> FPart;
    const std::string& FContext;
    std::atomic<std::size_t> FStart{Searching};
    std::size_t FEnd = 0;
    bool FRead = false;
    bool FTaken = false;
    std::jthread FThread; // last: stopped and joined before the rest goes
};

void ReadItems(TStreamReader& r, TCollectionBase& c, const std::string& fullName, TSalvageReport* salvage,
               const TPropTable& owner)
{
    if (r.ReadTag() != TValueTag::vaCollection)
        BadValue("", fullName);
    // A collection stored empty keeps the items it has; otherwise it is replaced.
    if (r.PeekByte() == 0) {
        r.ReadByte();
        if (!salvage || PlausibleAfterCollection(r, owner)) {
            c.StoredEmpty = c.Count() > 0;
            return;
        }
        r.Seek(r.Position() - 1);
    }
    c.ClearItems();
    const std::size_t first = r.Position();
    const std::string itemContext = fullName + ".";
    std::optional<TSecondPart> second;
    if (!salvage && !tReadingPart && r.Remaining() >= ParallelReadBytes && std::thread::hardware_concurrency() > 1) {
        if (auto part = c.NewPart()) {
            try {
                second.emplace(r, std::move(part), itemContext);
            } catch (const std::system_error&) {
                // No thread to be had: all on this one.
            }
        }
    }
    bool damaged = false;
    for (;;) {
        if (second) {
            const auto meeting = second->Meet(r, c);
            if (meeting != TSecondPart::TMeeting::NotYet)
                second.reset();
        }
        if (r.PeekByte() == 0) {
            r.ReadByte();
            // A damaged item's list tag read as the end: what follows is then no property of the
            // owner, and the items after it are looked for.
            if (!salvage || PlausibleAfterCollection(r, owner))
                break;
            damaged = true;
            salvage->Damages.push_back({r.Position() - 1, "Fine inattesa di " + fullName + " dopo l'elemento " +
                                                              std::to_string(c.Count())});
            ++salvage->DroppedItems;
            if (!FindNextItem(r, c, r.Position(), itemContext))
                throw EStopSalvage();
            ++salvage->KeptItems;
            continue;
        }
        const std::size_t itemStart = r.Position();
        try {
            ReadItem(r, c, itemContext, salvage != nullptr, false);
            // With a second part, room for both: its items are appended without moving the list.
            ReserveLikeTheFirst(r, c, first);
            if (damaged)
                ++salvage->KeptItems;
        } catch (const EStopSalvage&) {
            throw;
        } catch (const EReadError& e) {
            if (!salvage)
                throw;
            damaged = true;
            salvage->Damages.push_back({r.Position(), std::string(e.what()) + " nell'elemento " +
                                                          std::to_string(c.Count()) + " di " + fullName +
                                                          " (inizio alla posizione " + std::to_string(itemStart) +
                                                          ")"});
            ++salvage->DroppedItems;
            if (!FindNextItem(r, c, itemStart + 1, itemContext))
                throw EStopSalvage();
            ++salvage->KeptItems;
        }
    }
}

// A property not in the table by its name: a dotted path into an object or a string list's
// "Strings", else an unknown property. Apart from the common case, so that reading a plain value
// stays a small function (a data file of 100,000 items reads a million of them).
[[gnu::noinline]] void ReadPathProperty(TStreamReader& r, TPersistent& obj, const TPropTable& table,
                                        std::string_view path, const std::string& context, TSalvageReport* salvage)
{
    const auto dot = path.find('.');
    if (dot != std::string_view::npos) {
        const std::string_view head = path.substr(0, dot);
        const std::string_view rest = path.substr(dot + 1);
        const TPropDef* h = table.Find(head);
        if (h && h->Kind == TPropKind::Object) {
            ReadProperty(r, h->GetObject(obj), *h->ObjectTable, rest, context + std::string(head) + ".", salvage);
            return;
        }
        if (h && h->Kind == TPropKind::StringList && rest == "Strings") {
            if (r.ReadTag() != TValueTag::vaList)
                BadValue(context, path);
            std::vector<std::string> list;
            while (r.PeekByte() != 0) {
                const TValueTag t = r.ReadTag();
                if (!TStreamReader::IsStringTag(t))
                    BadValue(context, path);
                list.push_back(r.ReadStringValue(t));
            }
            r.ReadByte();
            h->SetList(obj, list);
            return;
        }
    }
    throw EReadError("Proprietà sconosciuta: " + context + std::string(path));
}

[[gnu::noinline]] void ReadNestedItems(TStreamReader& r, TPersistent& obj, const TPropDef& p, std::string_view path,
                                       const std::string& context, TSalvageReport* salvage, const TPropTable& table)
{
    ReadItems(r, p.GetCollection(obj), context + std::string(path), salvage, table);
}

const TPropDef* ReadProperty(TStreamReader& r, TPersistent& obj, const TPropTable& table, std::string_view path,
                             const std::string& context, TSalvageReport* salvage, std::size_t* hint)
{
    const TPropDef* p = table.Find(path, hint);
    if (!p) {
        ReadPathProperty(r, obj, table, path, context, salvage);
        return nullptr;
    }
    switch (p->Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64:
    case TPropKind::UInt32: {
        const TValueTag t = r.ReadTag();
        if (!TStreamReader::IsIntegerTag(t))
            BadValue(context, path);
        std::int64_t v = r.ReadIntegerValue(t);
        if (p->Kind == TPropKind::Integer && (v < INT32_MIN || v > INT32_MAX))
            BadValue(context, path);
        if (p->Kind == TPropKind::UInt32) {
            if (v < INT32_MIN || v > static_cast<std::int64_t>(UINT32_MAX))
                BadValue(context, path);
            v = static_cast<std::int64_t>(static_cast<std::uint32_t>(v));
        }
        p->SetInt(obj, v);
        break;
    }
    case TPropKind::Boolean: {
        const TValueTag t = r.ReadTag();
        if (t != TValueTag::vaTrue && t != TValueTag::vaFalse)
            BadValue(context, path);
        p->SetInt(obj, t == TValueTag::vaTrue ? 1 : 0);
        break;
    }
    case TPropKind::Enum: {
        if (r.ReadTag() != TValueTag::vaIdent)
            BadValue(context, path);
        const std::string_view ident = r.ReadShortStringView();
        std::size_t i = 0;
        while (i < p->EnumNames.size() && !SameText(p->EnumNames[i], ident))
            ++i;
        if (i == p->EnumNames.size())
            BadValue(context, path);
        p->SetInt(obj, static_cast<std::int64_t>(i));
        break;
    }
    case TPropKind::Ident: {
        const TValueTag t = r.ReadTag();
        std::int64_t v = 0;
        if (t == TValueTag::vaIdent) {
            const std::string_view ident = r.ReadShortStringView();
            const auto* found = p->Idents ? FindIdent(*p->Idents, ident) : nullptr;
            if (!found)
                BadValue(context, path);
            v = found->second;
        } else if (TStreamReader::IsIntegerTag(t)) {
            v = r.ReadIntegerValue(t);
        } else {
            BadValue(context, path);
        }
        if (v < INT32_MIN || v > INT32_MAX)
            BadValue(context, path);
        p->SetInt(obj, v);
        break;
    }
    case TPropKind::Set: {
        if (r.ReadTag() != TValueTag::vaSet)
            BadValue(context, path);
        std::int64_t v = 0;
        for (;;) {
            const std::string_view member = r.ReadShortStringView();
            if (member.empty())
                break;
            std::size_t i = 0;
            while (i < p->EnumNames.size() && !SameText(p->EnumNames[i], member))
                ++i;
            if (i == p->EnumNames.size() || i >= 63)
                BadValue(context, path);
            v |= std::int64_t{1} << i;
        }
        p->SetInt(obj, v);
        break;
    }
    case TPropKind::Float:
    case TPropKind::DateTime: {
        const TValueTag t = r.ReadTag();
        if (!TStreamReader::IsFloatTag(t))
            BadValue(context, path);
        p->SetFloat(obj, r.ReadFloatValue(t));
        break;
    }
    case TPropKind::String: {
        const TValueTag t = r.ReadTag();
        if (!TStreamReader::IsStringTag(t))
            BadValue(context, path);
        p->SetStr(obj, r.ReadStringValue(t));
        break;
    }
    case TPropKind::Binary:
        if (r.ReadTag() != TValueTag::vaBinary)
            BadValue(context, path);
        p->SetStr(obj, r.ReadBinaryValue());
        break;
    case TPropKind::Collection:
        ReadNestedItems(r, obj, *p, path, context, salvage, table);
        break;
    case TPropKind::StringList:
    case TPropKind::Object:
        throw EReadError("Proprietà sconosciuta: " + context + std::string(path));
    }
    return p;
}

} // namespace

TReadInParts ReadInPartsCounts()
{
    return {gPartsTaken.load(), gPartsNotTaken.load()};
}

void WriteComponentStream(TStreamWriter& w, TPersistent& root, const std::string& className)
{
    w.WriteSignature();
    w.WriteShortString(className);
    w.WriteShortString("");
    WriteProperties(w, root, root.Properties(), "");
    w.WriteByte(0); // end of the properties
    w.WriteByte(0); // no owned components
}

std::string ReadComponentStream(TStreamReader& r, TPersistent& root, TSalvageReport* salvage)
{
    if (!salvage) {
        r.ReadSignature();
        std::string className = r.ReadShortString();
        r.ReadShortString(); // the component name
        while (r.PeekByte() != 0)
            ReadProperty(r, root, root.Properties(), r.ReadShortStringView(), "", nullptr);
        r.ReadByte();
        if (r.ReadByte() != 0)
            throw EReadError("Componenti annidati non previsti");
        // Bytes after the end are damage too: a length grown by a damaged byte can read over whole
        // items and still reach an end.
        if (r.Remaining() != 0)
            throw EReadError("Dati inattesi dopo la fine (posizione " + std::to_string(r.Position()) + ")");
        return className;
    }
    std::string className;
    const auto stop = [&](const std::string& reason) {
        if (!reason.empty())
            salvage->Damages.push_back({r.Position(), reason});
        salvage->Stopped = true;
        return className;
    };
    try {
        r.ReadSignature();
        className = r.ReadShortString();
        r.ReadShortString();
    } catch (const EReadError& e) {
        return stop(e.what());
    }
    for (;;) {
        const std::size_t at = r.Position();
        try {
            if (r.PeekByte() == 0)
                break;
            ReadProperty(r, root, root.Properties(), r.ReadShortStringView(), "", salvage);
        } catch (const EStopSalvage&) {
            return stop("");
        } catch (const EReadError& e) {
            // A property the class does not know, or a value of the wrong kind: its value says how
            // long it is, so reading goes on after it.
            const std::size_t noticed = r.Position();
            try {
                r.Seek(at);
                r.ReadShortStringView();
                r.SkipValue();
                salvage->Damages.push_back({noticed, e.what()});
            } catch (const EReadError&) {
                r.Seek(noticed);
                return stop(e.what());
            }
        }
    }
    try {
        r.ReadByte();
        if (r.ReadByte() != 0)
            salvage->Damages.push_back({r.Position() - 1, "Componenti annidati non previsti"});
        else if (r.Remaining() != 0)
            salvage->Damages.push_back({r.Position(), "Dati inattesi dopo la fine"});
    } catch (const EReadError& e) {
        salvage->Damages.push_back({r.Position(), e.what()});
    }
    return className;
}

std::vector<std::string> TSalvageReport::Lines() const
{
    std::vector<std::string> lines;
    for (const TDamage& d : Damages)
        lines.push_back("posizione " + std::to_string(d.Position) + ": " + d.Reason);
    if (DroppedItems)
        lines.push_back(std::to_string(DroppedItems) + (DroppedItems == 1 ? " elemento illeggibile escluso"
                                                                            : " elementi illeggibili esclusi"));
    if (Stopped)
        lines.push_back("il resto del file non è leggibile");
    return lines;
}

std::string PeekClassName(const TBytes& bytes)
{
    TStreamReader r(bytes);
    r.ReadSignature();
    return r.ReadShortString();
}

// ---- the component -------------------------------------------------------------------------

TPersistentComponent::TPersistentComponent(TServices& services, std::string className)
    : FServices(services), FClassName(std::move(className))
{
    FAutoSaveTimer = services.Timers.CreateTimer("FTimerAutoSavePersistentComponent", 10000);
    FAutoSaveTimer->SetEnabled(false);
    FAutoSaveTimer->OnTimer = [this] { OnAutoSave(); };
}

TPersistentComponent::~TPersistentComponent() = default;

const TPropTable& TPersistentComponent::Table()
{
    static const TPropTable table = TPropBuilder<TPersistentComponent>()
                                        .Int("Tag", &TPersistentComponent::Tag, &TPersistentComponent::SetTag, 0)
                                        .Int("Version", &TPersistentComponent::Version,
                                             &TPersistentComponent::SetVersion, 0)
                                        .Bool("AskOnLoadError", &TPersistentComponent::AskOnLoadError,
                                              &TPersistentComponent::SetAskOnLoadError, false)
                                        .Build();
    return table;
}

void TPersistentComponent::SetVersion(std::int32_t v)
{
    FVersion = v;
}

std::string TPersistentComponent::FilePath() const
{
    if (FFileName.empty() || FFileName.front() == '/')
        return FFileName;
    return FServices.Env.AppPath + FFileName;
}

void TPersistentComponent::SetFileName(const std::string& name)
{
    FFileName = Trim(name);
    if (FFileName.empty())
        return;
    try {
        const std::string path = FilePath();
        FFileExisted = FServices.Files.Exists(path);
        if (!FFileExisted)
            Save();
        try {
            FServices.Files.MakeWritable(path);
        } catch (const std::exception& e) {
            // Read-only media or another owner: the file is read as it is, and a save that fails
            // later says so.
            ShowWarning(FServices.Prompter,
                        "Impossibile rendere scrivibile il file: " + FFileName + "\r\r[" + e.what() + "]");
        }
        Load();
    } catch (...) {
        FFileName.clear();
        throw;
    }
}

TBytes TPersistentComponent::WriteToBytes()
{
    TBytes bytes;
    WriteToBytes(bytes);
    return bytes;
}

void TPersistentComponent::WriteToBytes(TBytes& out)
{
    // Sized from the last stream, so a large file is written without reallocating the buffer.
    out.clear();
    if (out.capacity() < FLastStreamSize + 64)
        out.reserve(FLastStreamSize + FLastStreamSize / 16 + 64);
    TStreamWriter w(out);
    WriteComponentStream(w, *this, FClassName);
    w.Finish();
    FLastStreamSize = out.size();
}

void TPersistentComponent::ReadFromBytes(const TBytes& bytes)
{
    FLastStreamSize = std::max(FLastStreamSize, bytes.size());
    // Setters run as while loading: nothing becomes modified and setters skip their side effects.
    const bool wasLoading = FLoading;
    FLoading = true;
    try {
        TStreamReader r(bytes);
        ReadComponentStream(r, *this);
    } catch (...) {
        FLoading = wasLoading;
        throw;
    }
    FLoading = wasLoading;
}

TSalvageReport TPersistentComponent::ReadFromBytesSalvaging(const TBytes& bytes)
{
    TSalvageReport report;
    const bool wasLoading = FLoading;
    FLoading = true;
    try {
        TStreamReader r(bytes);
        ReadComponentStream(r, *this, &report);
    } catch (const std::exception& e) {
        // Only a failure that is not damage of the stream (memory) gets here.
        report.Damages.push_back({0, e.what()});
        report.Stopped = true;
    }
    FLoading = wasLoading;
    return report;
}

void TPersistentComponent::Save()
{
    if (Trim(FFileName).empty())
        return;
    try {
        FServices.Files.WriteAtomic(FilePath(), WriteToBytes());
        SetModified(false);
    } catch (const std::exception& e) {
        // Told once a run: a file that cannot be written at exit is not one box per save attempt.
        if (!FSaveFailed)
            ShowWarning(FServices.Prompter, "Impossibile salvare il file: " + FFileName + "\r\r[" + e.what() + "]");
        FSaveFailed = true;
    }
}

void TPersistentComponent::Load()
{
    FLoading = true;
    try {
        if (!Trim(FFileName).empty()) {
            const std::string path = FilePath();
            TBytes bytes;
            bool opened = true;
            try {
                bytes = FServices.Files.ReadAll(path);
            } catch (const std::exception& e) {
                opened = false;
                ShowWarning(FServices.Prompter, "Impossibile aprire il file: " + FFileName + "\r\r[" + e.what() + "]");
            }
            if (opened) {
                try {
                    ReadFromBytes(bytes);
                } catch (const std::exception& e) {
                    OnReadFailure(path, bytes, e.what());
                }
            }
        }
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
    AfterLoad();
}

void TPersistentComponent::OnReadFailure(const std::string& path, const TBytes& bytes, const std::string& reason)
{
    const std::string head = "Impossibile caricare i dati dal file: " + FFileName;
    if (FAskOnLoadError && RescuePolicy == TRescuePolicy::rpReadOnly) {
        // Nothing is moved or written: the command works on what can be read and says so.
        FLastSalvage = ReadFromBytesSalvaging(bytes);
        ShowWarning(FServices.Prompter, head + "\rSono usati i dati leggibili; il file non è stato modificato.\r" +
                                            Join(FLastSalvage.Lines(), "\r") + "\r\r[" + reason + "]");
        return;
    }
    if (!MoveAside(path)) {
        // The damaged file is the only copy: nothing may be written over it.
        ShowWarning(FServices.Prompter, head + "\rIl file non può essere spostato in " + FFileName +
                                            "@error e non sarà modificato.\r\r[" + reason + "]");
        FServices.System.Halt(1);
        return;
    }
    const std::string recreated = head + " il file sarà ricreato!\r";
    if (FAskOnLoadError && RescuePolicy == TRescuePolicy::rpRescue) {
        // What "Sì" does, without asking: the damaged copy stays aside, what can be read is kept.
        FLastSalvage = ReadFromBytesSalvaging(bytes);
        Save();
        ShowWarning(FServices.Prompter, head + "\rIl file danneggiato è stato spostato in " + FFileName +
                                            "@error e i dati leggibili sono stati salvati in " + FFileName + ".\r" +
                                            Join(FLastSalvage.Lines(), "\r") + "\r\r[" + reason + "]");
        if (!FSaveFailed)
            return;
        FServices.System.Halt(1);
        return;
    }
    if (FAskOnLoadError) {
        if (AskYesNo(FServices.Prompter, recreated + "Provo a salvare il salvabile?\r\r[" + reason + "]") ==
            TModalResult::mrYes) {
            // Every item that can be read whole, before and after the damage.
            FLastSalvage = ReadFromBytesSalvaging(bytes);
            Save();
        }
    } else {
        ShowInfo(FServices.Prompter, recreated + "[" + reason + "]");
    }
    FServices.System.Halt(1);
}

void TPersistentComponent::AfterLoad()
{
    if (OnLoaded)
        OnLoaded();
}

void TPersistentComponent::SetModified(bool value)
{
    if (FLoading || value == FModified)
        return;
    if (value && !SuppressChange && OnChange)
        OnChange();
    FModified = value;
    FAutoSaveTimer->SetEnabled(value);
}

void TPersistentComponent::OnAutoSave()
{
    if (FModified && !FSaveFailed)
        Save();
}

bool TPersistentComponent::CheckVersion(std::int32_t n)
{
    const bool result = n == FVersion || !FFileExisted;
    if (n != FVersion) {
        FVersion = n;
        Save();
    }
    return result;
}

bool TPersistentComponent::MoveAside(const std::string& path)
{
    const std::string aside = path + "@error";
    if (FServices.Files.Exists(aside)) {
        int n = 1;
        while (FServices.Files.Exists(aside + std::to_string(n)))
            ++n;
        if (!FServices.Files.Rename(aside, aside + std::to_string(n)))
            return false;
    }
    return FServices.Files.Rename(path, aside);
}

std::unique_ptr<TPersistentComponent> TPersistentComponent::NewEmpty() const
{
    throw EQvError("Importazione non prevista per " + FClassName);
}

void TPersistentComponent::ImportFromFile(const std::string& name)
{
    TBytes bytes;
    try {
        bytes = FServices.Files.ReadAll(name);
        NewEmpty()->ReadFromBytes(bytes);
    } catch (const std::exception& e) {
        throw EQvError("Impossibile importare i dati dal file: " + name + "\r\r[" + e.what() + "]");
    }
    // The same bytes were just read whole into a fresh component, so this read cannot stop halfway.
    ReadFromBytes(bytes);
    SetModified(true);
}

void TPersistentComponent::SaveIfModified()
{
    if (FModified) {
        try {
            Save();
        } catch (...) {
            // A destructor must not throw; Save reports its own failures.
        }
    }
}

} // namespace qv
