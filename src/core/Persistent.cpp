#include "core/Persistent.h"

#include "core/Strings.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace qv {

const TPropDef* TPropTable::Find(std::string_view name, std::size_t* hint) const
{
    const std::size_t n = Props.size();
    // Streams hold the properties in table order: the one after the last found is nearly always it.
    if (hint && *hint < n) {
        const std::string& candidate = Props[*hint].Name;
        if (candidate.size() == name.size() && std::memcmp(candidate.data(), name.data(), name.size()) == 0)
            return &Props[(*hint)++];
    }
    const std::size_t start = hint && *hint < n ? *hint : 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = start + k < n ? start + k : start + k - n;
        if (Props[i].Name == name) {
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

void WriteItems(TStreamWriter& w, TCollectionBase& c)
{
    w.WriteTag(TValueTag::vaCollection);
    for (std::size_t i = 0; !c.StoredEmpty && i < c.Count(); ++i) {
        w.WriteTag(TValueTag::vaList);
        WriteProperties(w, c.ItemAt(i), c.ItemProperties(), "");
        w.WriteTag(TValueTag::vaNull);
    }
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

// context: the path of the enclosing collection item ("Taxs." or ""), only used in messages.
void ReadProperty(TStreamReader& r, TPersistent& obj, const TPropTable& table, std::string_view path,
                  const std::string& context, std::size_t* hint = nullptr);

void ReadItems(TStreamReader& r, TCollectionBase& c, const std::string& fullName)
{
    if (r.ReadTag() != TValueTag::vaCollection)
        BadValue("", fullName);
    // A collection stored empty keeps the items it has; otherwise it is replaced.
    if (r.PeekByte() == 0) {
        r.ReadByte();
        c.StoredEmpty = c.Count() > 0;
        return;
    }
    c.ClearItems();
    const std::string itemContext = fullName + ".";
    while (r.PeekByte() != 0) {
        TValueTag t = r.ReadTag();
        if (TStreamReader::IsIntegerTag(t) && t != TValueTag::vaInt64) {
            r.ReadIntegerValue(t); // the optional item index
            t = r.ReadTag();
        }
        if (t != TValueTag::vaList)
            BadValue("", fullName);
        r.CountItem();
        TPersistent& item = c.AddItem();
        const TPropTable& table = c.ItemProperties();
        std::size_t hint = 0;
        try {
            while (r.PeekByte() != 0)
                ReadProperty(r, item, table, r.ReadShortStringView(), itemContext, &hint);
            r.ReadByte();
        } catch (const EReadError&) {
            // An item cut short is not data: what is saved after a failed read holds whole items only.
            c.DeleteItem(c.Count() - 1);
            throw;
        }
    }
    r.ReadByte();
}

void ReadProperty(TStreamReader& r, TPersistent& obj, const TPropTable& table, std::string_view path,
                  const std::string& context, std::size_t* hint)
{
    const TPropDef* p = table.Find(path, hint);
    if (!p) {
        const auto dot = path.find('.');
        if (dot != std::string_view::npos) {
            const std::string_view head = path.substr(0, dot);
            const std::string_view rest = path.substr(dot + 1);
            const TPropDef* h = table.Find(head);
            if (h && h->Kind == TPropKind::Object)
                return ReadProperty(r, h->GetObject(obj), *h->ObjectTable, rest, context + std::string(head) + ".");
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
        ReadItems(r, p->GetCollection(obj), context + std::string(path));
        break;
    case TPropKind::StringList:
    case TPropKind::Object:
        throw EReadError("Proprietà sconosciuta: " + context + std::string(path));
    }
}

} // namespace

void WriteComponentStream(TStreamWriter& w, TPersistent& root, const std::string& className)
{
    w.WriteSignature();
    w.WriteShortString(className);
    w.WriteShortString("");
    WriteProperties(w, root, root.Properties(), "");
    w.WriteByte(0); // end of the properties
    w.WriteByte(0); // no owned components
}

std::string ReadComponentStream(TStreamReader& r, TPersistent& root)
{
    r.ReadSignature();
    std::string className = r.ReadShortString();
    r.ReadShortString(); // the component name
    while (r.PeekByte() != 0)
        ReadProperty(r, root, root.Properties(), r.ReadShortStringView(), "");
    r.ReadByte();
    if (r.ReadByte() != 0)
        throw EReadError("Componenti annidati non previsti");
    return className;
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
                    const std::string reason = e.what();
                    if (!MoveAside(path)) {
                        // The damaged file is the only copy: nothing may be written over it.
                        ShowWarning(FServices.Prompter, "Impossibile caricare i dati dal file: " + FFileName +
                                                            "\rIl file non può essere spostato in " + FFileName +
                                                            "@error e non sarà modificato.\r\r[" + reason + "]");
                        FServices.System.Halt(1);
                    }
                    const std::string head = "Impossibile caricare i dati dal file: " + FFileName +
                                             " il file sarà ricreato!\r";
                    if (FAskOnLoadError) {
                        if (AskYesNo(FServices.Prompter, head + "Provo a salvare il salvabile?\r\r[" + reason + "]") ==
                            TModalResult::mrYes)
                            Save();
                    } else {
                        ShowInfo(FServices.Prompter, head + "[" + reason + "]");
                    }
                    FServices.System.Halt(1);
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
