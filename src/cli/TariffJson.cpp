#include "cli/TariffJson.h"

#include "core/DateTime.h"
#include "core/Errors.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace qv {

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

std::string TimeText(double t)
{
    const std::int32_t ms = TimeOfDayMsInDay(t);
    return FormatDateTime(ms % 1000 ? "hh:nn:ss.zzz" : "hh:nn:ss", t);
}

ordered_json BandsJson(const TBandItems& bands)
{
    ordered_json list = ordered_json::array();
    for (const auto& b : bands)
        list.push_back({{"Tipo", FasciaOrariaNames()[static_cast<std::size_t>(b->Tipo())]},
                        {"TimeBegin", TimeText(b->TimeBegin())},
                        {"TimeEnd", TimeText(b->TimeEnd())}});
    return list;
}

class TReader
{
public:
    TReader(const json& obj, std::string name) : FObj(obj), FName(std::move(name)) {}

    [[noreturn]] void Fail(const std::string& field, const std::string& why) const
    {
        throw EQvError("Tariffa «" + FName + "», campo «" + field + "»: " + why);
    }
    const json* Get(const std::string& field, bool required = false) const
    {
        const auto it = FObj.find(field);
        if (it == FObj.end()) {
            if (required)
                Fail(field, "manca");
            return nullptr;
        }
        return &*it;
    }
    std::string String(const std::string& field, bool required = false) const
    {
        const json* v = Get(field, required);
        if (!v)
            return {};
        if (!v->is_string())
            Fail(field, "deve essere un testo");
        return v->get<std::string>();
    }
    std::optional<double> Number(const std::string& field) const
    {
        const json* v = Get(field);
        if (!v)
            return std::nullopt;
        if (!v->is_number() || !std::isfinite(v->get<double>()))
            Fail(field, "deve essere un numero");
        return v->get<double>();
    }
    std::optional<std::int64_t> Integer(const std::string& field, std::int64_t min, std::int64_t max) const
    {
        const json* v = Get(field);
        if (!v)
            return std::nullopt;
        if (!v->is_number_integer() && !v->is_number_unsigned())
            Fail(field, "deve essere un numero intero");
        const std::int64_t n = v->is_number_unsigned() ? static_cast<std::int64_t>(v->get<std::uint64_t>())
                                                       : v->get<std::int64_t>();
        if (n < min || n > max)
            Fail(field, "fuori dall'intervallo ammesso");
        return n;
    }
    std::optional<bool> Bool(const std::string& field) const
    {
        const json* v = Get(field);
        if (!v)
            return std::nullopt;
        if (!v->is_boolean())
            Fail(field, "deve essere true o false");
        return v->get<bool>();
    }
    double Time(const json& value, const std::string& field) const
    {
        if (!value.is_string())
            Fail(field, "deve essere un orario hh:mm:ss");
        const auto t = ParseTimeOfDay(value.get<std::string>());
        if (!t)
            Fail(field, "orario non valido «" + value.get<std::string>() + "»");
        return *t;
    }
    void Bands(const std::string& field, TBandItems& bands) const
    {
        const json* v = Get(field);
        if (!v)
            return;
        if (!v->is_array() || v->empty())
            Fail(field, "deve essere un elenco di fasce");
        bands.Clear();
        for (std::size_t i = 0; i < v->size(); ++i) {
            const json& b = (*v)[i];
            const std::string where = field + "[" + std::to_string(i) + "]";
            if (!b.is_object())
                Fail(where, "deve essere una fascia");
            TBandItem& band = bands.Add();
            const auto tipo = b.find("Tipo");
            if (tipo == b.end() || !tipo->is_string())
                Fail(where + ".Tipo", "manca");
            const auto& names = FasciaOrariaNames();
            std::size_t k = 0;
            while (k < 3 && names[k] != tipo->get<std::string>())
                ++k;
            if (k == 3)
                Fail(where + ".Tipo", "fascia «" + tipo->get<std::string>() + "» inesistente");
            band.SetTipo(static_cast<TFasciaOraria>(k));
            const auto begin = b.find("TimeBegin");
            const auto end = b.find("TimeEnd");
            if (begin == b.end())
                Fail(where + ".TimeBegin", "manca");
            if (end == b.end())
                Fail(where + ".TimeEnd", "manca");
            band.SetTimeBegin(Time(*begin, where + ".TimeBegin"));
            band.SetTimeEnd(Time(*end, where + ".TimeEnd"));
        }
    }

private:
    const json& FObj;
    std::string FName;
};

} // namespace

namespace {

// Fields the exchange leaves out: reserved, never set by the program.
bool Exchanged(const TPropDef& p)
{
    return p.Name != "RasEntry";
}

bool IsTimeOfDay(const TPropDef& p)
{
    return p.Name == "Quorvanta";
}

std::pair<std::int64_t, std::int64_t> Bounds(const TPropDef& p)
{
    if (p.Kind == TPropKind::UInt32)
        return {0, UINT32_MAX};
    if (p.Name == "MinLimite")
        return {0, INT32_MAX / 60};
    if (p.Name == "BonusMese")
        return {0, INT32_MAX};
    return {INT32_MIN, INT32_MAX};
}

} // namespace

// The same property table that drives the data files drives the exchange file.
std::string TariffsToJson(const TTaxItems& taxes)
{
    ordered_json list = ordered_json::array();
    for (const auto& item : taxes) {
        auto& t = const_cast<TTaxItem&>(*item);
        ordered_json o;
        for (const TPropDef& p : TTaxItem::Table().Props) {
            if (!Exchanged(p))
                continue;
            switch (p.Kind) {
            case TPropKind::String:
                o[p.Name] = p.GetStr(t);
                break;
            case TPropKind::Float:
                o[p.Name] = p.GetFloat(t);
                break;
            case TPropKind::DateTime: {
                const double v = p.GetFloat(t);
                o[p.Name] = IsTimeOfDay(p) ? TimeText(v) : v == 0 ? std::string() : FormatDateTime("yyyy-mm-dd", v);
                break;
            }
            case TPropKind::Boolean:
                o[p.Name] = p.GetInt(t) != 0;
                break;
            case TPropKind::Enum:
                o[p.Name] = p.EnumNames[static_cast<std::size_t>(p.GetInt(t))];
                break;
            case TPropKind::Collection:
                o[p.Name] = BandsJson(dynamic_cast<TBandItems&>(p.GetCollection(t)));
                break;
            default:
                o[p.Name] = p.GetInt(t);
                break;
            }
        }
        list.push_back(std::move(o));
    }
    ordered_json root;
    root["tariffs"] = std::move(list);
    return root.dump(2) + "\n";
}

void TariffsFromJson(const std::string& text, TTaxItems& target)
{
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        throw EQvError(std::string("Il file non è un file di tariffe valido: ") + e.what());
    }
    if (!root.is_object() || !root.contains("tariffs") || !root["tariffs"].is_array())
        throw EQvError("Il file non è un file di tariffe valido: manca l'elenco «tariffs»");
    target.Clear();
    const json& list = root["tariffs"];
    for (std::size_t i = 0; i < list.size(); ++i) {
        const json& o = list[i];
        if (!o.is_object())
            throw EQvError("Il file non è un file di tariffe valido: l'elemento " + std::to_string(i + 1) +
                           " non è una tariffa");
        const auto text_of = [&](const char* key) {
            const auto it = o.find(key);
            return it != o.end() && it->is_string() ? it->get<std::string>() : std::string();
        };
        const TReader r(o, text_of("Gestore") + " - " + text_of("Nome"));
        if (text_of("Gestore").empty())
            r.Fail("Gestore", "manca");
        if (text_of("Nome").empty())
            r.Fail("Nome", "manca");
        TTaxItem& t = target.Add();
        const TPropTable& table = TTaxItem::Table();
        // The kind first, then the urban preset, so that rates given explicitly win over it.
        const std::string tipo = r.String("Tipo", true);
        const auto& kinds = table.Find("Tipo")->EnumNames;
        const auto kind = std::find(kinds.begin(), kinds.end(), tipo);
        if (kind == kinds.end())
            r.Fail("Tipo", "tipo di tariffa «" + tipo + "» inesistente");
        t.SetTipo(static_cast<TTipoTariffa>(kind - kinds.begin()));
        if (auto v = r.Bool("FormulaUrbana"))
            t.SetFormulaUrbana(*v);
        for (const TPropDef& p : table.Props) {
            if (!Exchanged(p) || p.Name == "Tipo" || p.Name == "FormulaUrbana" || !r.Get(p.Name))
                continue;
            switch (p.Kind) {
            case TPropKind::String:
                p.SetStr(t, r.String(p.Name));
                break;
            case TPropKind::Float:
                p.SetFloat(t, *r.Number(p.Name));
                break;
            case TPropKind::DateTime:
                if (IsTimeOfDay(p)) {
                    p.SetFloat(t, r.Time(*r.Get(p.Name), p.Name));
                } else if (const std::string day = r.String(p.Name); !day.empty()) {
                    const auto d = ParseDateTimeIso(day);
                    if (!d)
                        r.Fail(p.Name, "data non valida «" + day + "» (AAAA-MM-GG)");
                    p.SetFloat(t, *d);
                }
                break;
            case TPropKind::Boolean:
                p.SetInt(t, *r.Bool(p.Name) ? 1 : 0);
                break;
            case TPropKind::Collection:
                r.Bands(p.Name, dynamic_cast<TBandItems&>(p.GetCollection(t)));
                break;
            default: {
                const auto [low, high] = Bounds(p);
                p.SetInt(t, *r.Integer(p.Name, low, high));
                break;
            }
            }
        }
        // A pulse of no length would never charge; of negative length, charge without end.
        for (const char* field : {"ScattiRidotta", "ScattiIntera", "ScattiPunta"})
            if (t.Tipo() == ttScatti && !(table.Find(field)->GetFloat(t) > 0))
                r.Fail(field, "la durata dello scatto deve essere maggiore di zero");
    }
}

} // namespace qv
