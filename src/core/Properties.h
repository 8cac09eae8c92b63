#pragma once
// Declarative property tables: one per persistent class, in stream order (inherited properties
// first). The same table drives reading, writing and the text dump of a data file.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace qv {

class TPersistent;
class TPropTable;

// A collection as the stream sees it.
class TCollectionBase
{
public:
    virtual ~TCollectionBase() = default;
    virtual std::size_t Count() const = 0;
    virtual TPersistent& ItemAt(std::size_t index) = 0;
    virtual const TPersistent& ItemAt(std::size_t index) const = 0;
    // Appends an item with its creation values.
    virtual TPersistent& AddItem() = 0;
    virtual void ClearItems() = 0;
    virtual void DeleteItem(std::size_t index) = 0;
    // Room for n items in all, so that adding them does not move the list again and again.
    virtual void ReserveItems(std::size_t n) { (void)n; }
    virtual const TPropTable& ItemProperties() const = 0;
    // A large collection is read in two parts at once when its items allow it: a second, empty
    // collection of the same kind is read on another thread and its items are then appended here,
    // in their order. Null: this collection is read on one thread.
    virtual std::unique_ptr<TCollectionBase> NewPart() const { return nullptr; }
    // Takes every item of part (made by NewPart) and appends them; part is left empty.
    virtual void AppendPart(TCollectionBase& part) { (void)part; }
    // Set when the stream stored this collection empty and it kept the items it had; cleared by any
    // change to the collection or its items. Writing then stores it empty again, so a file read and
    // written back keeps its bytes.
    bool StoredEmpty = false;
};

enum class TPropKind
{
    Integer,  // 32-bit signed
    Int64,
    UInt32,   // stored as the signed 32-bit integer with the same bits
    Boolean,
    Enum,     // stored as the identifier of the value
    Float,
    DateTime, // a float shown as a date in the dump
    String,
    StringList,
    Binary,
    Collection,
    Object, // a nested object whose properties are written as "Name.Property"
    Ident,  // 32-bit signed, written as its identifier when it has one ("clNavy"), else as a number
    Set     // a bit set written as the identifiers of its members ("[fsBold]"); bit i is EnumNames[i]
};

struct TPropDef
{
    std::string Name;
    TPropKind Kind = TPropKind::Integer;
    // Declared default: an integer, boolean or enumeration equal to it is not written.
    std::optional<std::int64_t> Default;
    std::vector<std::string> EnumNames;
    // The identifiers of an Ident property.
    const std::vector<std::pair<std::string, std::int64_t>>* Idents = nullptr;
    std::function<std::int64_t(const TPersistent&)> GetInt;
    std::function<void(TPersistent&, std::int64_t)> SetInt;
    std::function<double(const TPersistent&)> GetFloat;
    std::function<void(TPersistent&, double)> SetFloat;
    std::function<std::string(const TPersistent&)> GetStr; // strings (UTF-8) and binary bytes
    std::function<void(TPersistent&, const std::string&)> SetStr;
    std::function<std::vector<std::string>(const TPersistent&)> GetList;
    std::function<void(TPersistent&, const std::vector<std::string>&)> SetList;
    std::function<TCollectionBase&(TPersistent&)> GetCollection;
    std::function<TPersistent&(TPersistent&)> GetObject;
    const TPropTable* ObjectTable = nullptr;
    // A string written even when empty (the format leaves empty strings out otherwise).
    bool WriteEmpty = false;
    // Salvaging a damaged stream: an item read without this property is not taken for a whole item
    // (a tail of a damaged item can look like an item of its own).
    bool Key = false;
};

class TPropTable
{
public:
    TPropTable() = default;
    std::vector<TPropDef> Props;
    // hint: where to start looking (properties come in table order); updated past the match.
    const TPropDef* Find(std::string_view name, std::size_t* hint = nullptr) const
    {
        // Streams hold the properties in table order: the one after the last found is nearly
        // always it (a data file of 100,000 items asks a million times).
        if (hint && *hint < Props.size()) {
            if (SameName(Props[*hint].Name, name))
                return &Props[(*hint)++];
        }
        return FindFrom(name, hint);
    }

    // Names are a few letters (often one): compared here rather than by a call to memcmp.
    static bool SameName(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                return false;
        return true;
    }

private:
    const TPropDef* FindFrom(std::string_view name, std::size_t* hint) const;
};

// Base of every object with published properties.
class TPersistent
{
public:
    virtual ~TPersistent() = default;
    virtual const TPropTable& Properties() const = 0;
};

// The identifier of an Ident property's value ("" when it has none).
inline std::string IdentOf(const TPropDef& p, std::int64_t value)
{
    if (p.Idents)
        for (const auto& [name, v] : *p.Idents)
            if (v == value)
                return name;
    return {};
}

// Builds the table of class T from its accessors:
//   TPropBuilder<T>(&Base::Table()).Int("NumScatti", &T::NumScatti, &T::SetNumScatti).Build()
template <class T> class TPropBuilder
{
public:
    explicit TPropBuilder(const TPropTable* inherited = nullptr)
    {
        if (inherited)
            FTable.Props = inherited->Props;
    }

    // C is T or a class T derives from (properties declared once in a base).
    template <class V, class C>
    TPropBuilder& Int(std::string name, V (C::*get)() const, void (C::*set)(V), std::optional<std::int64_t> def = {},
                      TPropKind kind = TPropKind::Integer)
    {
        static_assert(std::is_base_of_v<C, T>);
        TPropDef d;
        d.Name = std::move(name);
        d.Kind = kind;
        d.Default = def;
        d.GetInt = [get](const TPersistent& o) { return static_cast<std::int64_t>((static_cast<const T&>(o).*get)()); };
        d.SetInt = [set](TPersistent& o, std::int64_t v) { (static_cast<T&>(o).*set)(static_cast<V>(v)); };
        FTable.Props.push_back(std::move(d));
        return *this;
    }
    template <class V> TPropBuilder& Int64(std::string name, V (T::*get)() const, void (T::*set)(V))
    {
        return Int(std::move(name), get, set, {}, TPropKind::Int64);
    }
    template <class V> TPropBuilder& UInt32(std::string name, V (T::*get)() const, void (T::*set)(V))
    {
        return Int(std::move(name), get, set, {}, TPropKind::UInt32);
    }
    template <class C>
    TPropBuilder& Bool(std::string name, bool (C::*get)() const, void (C::*set)(bool), std::optional<bool> def = {})
    {
        std::optional<std::int64_t> d;
        if (def)
            d = *def ? 1 : 0;
        return Int(std::move(name), get, set, d, TPropKind::Boolean);
    }
    template <class E, class C>
    TPropBuilder& Enum(std::string name, E (C::*get)() const, void (C::*set)(E), std::vector<std::string> names)
    {
        Int(std::move(name), get, set, {}, TPropKind::Enum);
        FTable.Props.back().EnumNames = std::move(names);
        return *this;
    }
    template <class V, class C>
    TPropBuilder& Ident(std::string name, V (C::*get)() const, void (C::*set)(V),
                        const std::vector<std::pair<std::string, std::int64_t>>& idents,
                        std::optional<std::int64_t> def = {})
    {
        Int(std::move(name), get, set, def, TPropKind::Ident);
        FTable.Props.back().Idents = &idents;
        return *this;
    }
    template <class V>
    TPropBuilder& Set(std::string name, V (T::*get)() const, void (T::*set)(V), std::vector<std::string> names)
    {
        Int(std::move(name), get, set, {}, TPropKind::Set);
        FTable.Props.back().EnumNames = std::move(names);
        return *this;
    }
    TPropBuilder& Float(std::string name, double (T::*get)() const, void (T::*set)(double),
                        TPropKind kind = TPropKind::Float)
    {
        TPropDef d;
        d.Name = std::move(name);
        d.Kind = kind;
        d.GetFloat = [get](const TPersistent& o) { return (static_cast<const T&>(o).*get)(); };
        d.SetFloat = [set](TPersistent& o, double v) { (static_cast<T&>(o).*set)(v); };
        FTable.Props.push_back(std::move(d));
        return *this;
    }
    TPropBuilder& Date(std::string name, double (T::*get)() const, void (T::*set)(double))
    {
        return Float(std::move(name), get, set, TPropKind::DateTime);
    }
    template <class G>
    TPropBuilder& Str(std::string name, G (T::*get)() const, void (T::*set)(const std::string&),
                      TPropKind kind = TPropKind::String)
    {
        TPropDef d;
        d.Name = std::move(name);
        d.Kind = kind;
        d.GetStr = [get](const TPersistent& o) { return std::string((static_cast<const T&>(o).*get)()); };
        d.SetStr = [set](TPersistent& o, const std::string& v) { (static_cast<T&>(o).*set)(v); };
        FTable.Props.push_back(std::move(d));
        return *this;
    }
    template <class G> TPropBuilder& Binary(std::string name, G (T::*get)() const, void (T::*set)(const std::string&))
    {
        return Str(std::move(name), get, set, TPropKind::Binary);
    }
    template <class G>
    TPropBuilder& List(std::string name, G (T::*get)() const, void (T::*set)(const std::vector<std::string>&))
    {
        TPropDef d;
        d.Name = std::move(name);
        d.Kind = TPropKind::StringList;
        d.GetList = [get](const TPersistent& o) { return std::vector<std::string>((static_cast<const T&>(o).*get)()); };
        d.SetList = [set](TPersistent& o, const std::vector<std::string>& v) { (static_cast<T&>(o).*set)(v); };
        FTable.Props.push_back(std::move(d));
        return *this;
    }
    template <class C> TPropBuilder& Collection(std::string name, C& (T::*get)())
    {
        TPropDef d;
        d.Name = std::move(name);
        d.Kind = TPropKind::Collection;
        d.GetCollection = [get](TPersistent& o) -> TCollectionBase& { return (static_cast<T&>(o).*get)(); };
        FTable.Props.push_back(std::move(d));
        return *this;
    }
    template <class O> TPropBuilder& Object(std::string name, O& (T::*get)(), const TPropTable& table)
    {
        TPropDef d;
        d.Name = std::move(name);
        d.Kind = TPropKind::Object;
        d.GetObject = [get](TPersistent& o) -> TPersistent& { return (static_cast<T&>(o).*get)(); };
        d.ObjectTable = &table;
        FTable.Props.push_back(std::move(d));
        return *this;
    }

    // Marks the property added last as one every whole item of a salvaged stream holds.
    TPropBuilder& Key()
    {
        FTable.Props.back().Key = true;
        return *this;
    }

    TPropTable Build() { return std::move(FTable); }

private:
    TPropTable FTable;
};

} // namespace qv
