#include "cli/TariffJson.h"

#include "core/DateTime.h"
#include "core/Errors.h"

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

std::string TariffsToJson(const TTaxItems& taxes)
{
    ordered_json list = ordered_json::array();
    for (const auto& t : taxes) {
        ordered_json o;
        o["Gestore"] = t->Gestore();
        o["Nome"] = t->Nome();
        o["Descrizione"] = t->Descrizione();
        o["Tipo"] = TipoTariffaNames()[static_cast<std::size_t>(t->Tipo())];
        o["ScattiRidotta"] = t->ScattiRidotta();
        o["ScattiIntera"] = t->ScattiIntera();
        o["ScattiPunta"] = t->ScattiPunta();
        o["ScattiAllaRisposta"] = t->ScattiAllaRisposta();
        o["CostoFissoRidotta"] = t->CostoFissoRidotta();
        o["CostoFissoIntera"] = t->CostoFissoIntera();
        o["CostoFissoPunta"] = t->CostoFissoPunta();
        o["TatRidotta1"] = t->TatRidotta1();
        o["TatRidotta2"] = t->TatRidotta2();
        o["TatIntera1"] = t->TatIntera1();
        o["TatIntera2"] = t->TatIntera2();
        o["TatPunta1"] = t->TatPunta1();
        o["TatPunta2"] = t->TatPunta2();
        o["FormulaUrbana"] = t->FormulaUrbana();
        o["MinLimite"] = t->MinLimite();
        o["BonusMese"] = t->BonusMese();
        o["BonusDisponibile"] = t->BonusDisponibile();
        o["MeseBonus"] = t->MeseBonus() == 0 ? std::string() : FormatDateTime("yyyy-mm-dd", t->MeseBonus());
        o["Compare"] = t->Compare();
        o["SkinName"] = t->SkinName();
        o["Quorvanta"] = TimeText(t->Quorvanta());
        o["BandsFeriali"] = BandsJson(t->BandsFeriali());
        o["BandsSabato"] = BandsJson(t->BandsSabato());
        o["BandsFestivi"] = BandsJson(t->BandsFestivi());
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
        const std::string gestore = o.contains("Gestore") && o["Gestore"].is_string() ? o["Gestore"].get<std::string>() : "";
        const std::string nome = o.contains("Nome") && o["Nome"].is_string() ? o["Nome"].get<std::string>() : "";
        const TReader r(o, gestore + " - " + nome);
        if (gestore.empty())
            r.Fail("Gestore", "manca");
        if (nome.empty())
            r.Fail("Nome", "manca");
        TTaxItem& t = target.Add();
        t.SetGestore(gestore);
        t.SetNome(nome);
        t.SetDescrizione(r.String("Descrizione"));
        const std::string tipo = r.String("Tipo", true);
        if (tipo == "ttTat")
            t.SetTipo(ttTat);
        else if (tipo == "ttScatti")
            t.SetTipo(ttScatti);
        else
            r.Fail("Tipo", "tipo di tariffa «" + tipo + "» inesistente");
        // The urban preset first, so that rates given explicitly win over it.
        if (auto v = r.Bool("FormulaUrbana"))
            t.SetFormulaUrbana(*v);
        if (auto v = r.Number("ScattiRidotta"))
            t.SetScattiRidotta(*v);
        if (auto v = r.Number("ScattiIntera"))
            t.SetScattiIntera(*v);
        if (auto v = r.Number("ScattiPunta"))
            t.SetScattiPunta(*v);
        if (auto v = r.Integer("ScattiAllaRisposta", INT32_MIN, INT32_MAX))
            t.SetScattiAllaRisposta(static_cast<std::int32_t>(*v));
        if (auto v = r.Number("CostoFissoRidotta"))
            t.SetCostoFissoRidotta(*v);
        if (auto v = r.Number("CostoFissoIntera"))
            t.SetCostoFissoIntera(*v);
        if (auto v = r.Number("CostoFissoPunta"))
            t.SetCostoFissoPunta(*v);
        if (auto v = r.Number("TatRidotta1"))
            t.SetTatRidotta1(*v);
        if (auto v = r.Number("TatRidotta2"))
            t.SetTatRidotta2(*v);
        if (auto v = r.Number("TatIntera1"))
            t.SetTatIntera1(*v);
        if (auto v = r.Number("TatIntera2"))
            t.SetTatIntera2(*v);
        if (auto v = r.Number("TatPunta1"))
            t.SetTatPunta1(*v);
        if (auto v = r.Number("TatPunta2"))
            t.SetTatPunta2(*v);
        if (auto v = r.Integer("MinLimite", 0, INT32_MAX / 60))
            t.SetMinLimite(static_cast<std::int32_t>(*v));
        if (auto v = r.Integer("BonusMese", 0, INT32_MAX))
            t.SetBonusMese(static_cast<std::int32_t>(*v));
        if (auto v = r.Integer("BonusDisponibile", 0, UINT32_MAX))
            t.SetBonusDisponibile(static_cast<std::uint32_t>(*v));
        const std::string month = r.String("MeseBonus");
        if (!month.empty()) {
            const auto d = ParseDateTimeIso(month);
            if (!d)
                r.Fail("MeseBonus", "data non valida «" + month + "» (AAAA-MM-GG)");
            t.SetMeseBonus(*d);
        }
        if (auto v = r.Bool("Compare"))
            t.SetCompare(*v);
        t.SetSkinName(r.String("SkinName"));
        if (const json* q = r.Get("Quorvanta"))
            t.SetQuorvanta(r.Time(*q, "Quorvanta"));
        r.Bands("BandsFeriali", t.BandsFeriali());
        r.Bands("BandsSabato", t.BandsSabato());
        r.Bands("BandsFestivi", t.BandsFestivi());
    }
}

} // namespace qv
