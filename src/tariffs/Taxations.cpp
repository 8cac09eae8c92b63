#include "tariffs/Taxations.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"
#include "tariffs/Agenda.h"

#include <cmath>

namespace qv {

// ---- bands ---------------------------------------------------------------------------------

TBandItem::TBandItem(TPersistentComponent* component) : TDataCollectionItem(component)
{
    FTimeEnd = EndOfDay;
}

const TPropTable& TBandItem::Table()
{
    using T = TBandItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Enum("Tipo", &T::Tipo, &T::SetTipo, FasciaOrariaNames())
                                    .Date("TimeBegin", &T::TimeBegin, &T::SetTimeBegin)
                                    .Date("TimeEnd", &T::TimeEnd, &T::SetTimeEnd)
                                    .Build();
    return t;
}

// ---- tariffs -------------------------------------------------------------------------------

TTaxItem::TTaxItem(TPersistentComponent* component) : TDataCollectionItem(component), FQuorvanta(600.0 / 86400.0)
{
    // Every timetable starts with one reduced band over the whole day.
    for (TBandItems* list : {&FBandsFeriali, &FBandsSabato, &FBandsFestivi})
        list->Add();
}

const TPropTable& TTaxItem::Table()
{
    using T = TTaxItem;
    static const TPropTable t =
        TPropBuilder<T>()
            .Str("Nome", &T::Nome, &T::SetNome)
            .Str("Gestore", &T::Gestore, &T::SetGestore)
            .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
            .Enum("Tipo", &T::Tipo, &T::SetTipo, TipoTariffaNames())
            .Float("ScattiRidotta", &T::ScattiRidotta, &T::SetScattiRidotta)
            .Float("ScattiIntera", &T::ScattiIntera, &T::SetScattiIntera)
            .Float("ScattiPunta", &T::ScattiPunta, &T::SetScattiPunta)
            .Int("ScattiAllaRisposta", &T::ScattiAllaRisposta, &T::SetScattiAllaRisposta)
            .Float("CostoFissoRidotta", &T::CostoFissoRidotta, &T::SetCostoFissoRidotta)
            .Float("CostoFissoIntera", &T::CostoFissoIntera, &T::SetCostoFissoIntera)
            .Float("CostoFissoPunta", &T::CostoFissoPunta, &T::SetCostoFissoPunta)
            .Float("TatRidotta1", &T::TatRidotta1, &T::SetTatRidotta1)
            .Float("TatRidotta2", &T::TatRidotta2, &T::SetTatRidotta2)
            .Float("TatIntera1", &T::TatIntera1, &T::SetTatIntera1)
            .Float("TatIntera2", &T::TatIntera2, &T::SetTatIntera2)
            .Float("TatPunta1", &T::TatPunta1, &T::SetTatPunta1)
            .Float("TatPunta2", &T::TatPunta2, &T::SetTatPunta2)
            .Bool("FormulaUrbana", &T::FormulaUrbana, &T::SetFormulaUrbana)
            .Int("MinLimite", &T::MinLimite, &T::SetMinLimite)
            .Int("BonusMese", &T::BonusMese, &T::SetBonusMese)
            .UInt32("BonusDisponibile", &T::BonusDisponibile, &T::SetBonusDisponibile)
            .Date("MeseBonus", &T::MeseBonus, &T::SetMeseBonus)
            .Bool("Compare", &T::Compare, &T::SetCompare)
            .Str("RasEntry", &T::RasEntry, &T::SetRasEntry)
            .Collection("BandsFeriali", static_cast<TBandItems& (T::*)()>(&T::BandsFeriali))
            .Collection("BandsSabato", static_cast<TBandItems& (T::*)()>(&T::BandsSabato))
            .Collection("BandsFestivi", static_cast<TBandItems& (T::*)()>(&T::BandsFestivi))
            .Str("SkinName", &T::SkinName, &T::SetSkinName)
            .Date("Quorvanta", &T::Quorvanta, &T::SetQuorvanta)
            .Build();
    return t;
}

TTaxations* TTaxItem::Owner() const
{
    return dynamic_cast<TTaxations*>(FComponent);
}

void TTaxItem::SetMinLimite(std::int32_t value)
{
    if (FMinLimite == value)
        return;
    FMinLimite = value;
    Changed(true);
}

void TTaxItem::SetFormulaUrbana(bool value)
{
    if (FFormulaUrbana != value) {
        FFormulaUrbana = value;
        Changed(true);
    }
    // The urban preset applies only to a time-rated tariff, and not while a file is read (the file
    // holds the rates as they were, preset or not).
    if (value && FTipo == ttTat && !(FComponent && FComponent->Loading())) {
        SetScattiAllaRisposta(1);
        SetCostoFissoRidotta(120);
        SetCostoFissoIntera(120);
        SetCostoFissoPunta(120);
        SetMinLimite(6);
        SetTatPunta1(36.72);
        SetTatPunta2(18.36);
        SetTatIntera1(36.72);
        SetTatIntera2(18.36);
        SetTatRidotta1(21.24);
        SetTatRidotta2(10.44);
    }
}

void TTaxItem::SetQuorvanta(double value)
{
    double t = Frac(value);
    if (t < 0)
        t = -t;
    if (t == 0)
        t = 1.0 / 86400000.0;
    if (FQuorvanta == t)
        return;
    FQuorvanta = t;
    Changed(true);
}

const TBandItems& TTaxItem::BandsFor(double date) const
{
    const double day = static_cast<double>(DayNumber(date));
    const TTaxations* owner = Owner();
    const bool holiday = owner && owner->Agenda() && owner->Agenda()->IsHoliday(day);
    const int weekday = DayOfWeek(day);
    if (weekday == 1 || holiday)
        return FBandsFestivi;
    if (weekday == 7)
        return FBandsSabato;
    return FBandsFeriali;
}

const TBandItem& TTaxItem::FindBand(double moment) const
{
    return FindBandIn(BandsFor(moment), moment);
}

const TBandItem& TTaxItem::FindBandIn(const TBandItems& list, double moment)
{
    // Times of day are compared in whole milliseconds, so an instant exactly on a boundary belongs
    // to the band that starts there.
    const std::int32_t t = TimeOfDayMsInDay(moment);
    for (const auto& band : list) {
        const std::int32_t begin = TimeOfDayMs(band->TimeBegin());
        const std::int32_t end = TimeOfDayMsInDay(band->TimeEnd());
        if (begin <= t && end > t)
            return *band;
        if (t >= EndOfDayMs && end == EndOfDayMs)
            return *band;
    }
    throw EQvError("L'orario " + FormatDateTime("h.nn", moment) + " non rientra in nessuna fascia!");
}

double TTaxItem::PulseLength(TFasciaOraria band) const
{
    switch (band) {
    case foPunta:
        return FScattiPunta;
    case foIntera:
        return FScattiIntera;
    case foRidotta:
        return FScattiRidotta;
    default:
        throw EQvError("Fascia inesistente!");
    }
}

double TTaxItem::PulsePrice(TFasciaOraria band) const
{
    if (band == foIntera)
        return FCostoFissoIntera;
    if (band == foRidotta)
        return FCostoFissoRidotta;
    return FCostoFissoPunta;
}

void TTaxItem::RenewMonthlyBonus(double now)
{
    if (FBonusMese <= 0)
        return;
    const TDateParts b = DecodeDate(FMeseBonus);
    SetMeseBonus(TryEncodeDate(b.Year, b.Month, 1).value_or(0));
    const TDateParts n = DecodeDate(now);
    const double firstOfMonth = EncodeDate(n.Year, n.Month, 1);
    if (firstOfMonth != FMeseBonus) {
        SetBonusDisponibile(static_cast<std::uint32_t>(FBonusMese));
        SetMeseBonus(firstOfMonth);
    }
}

std::string TTaxItem::BandsText(const TBandItems& list, const std::string& heading)
{
    std::string text = heading + "\r";
    for (const auto& band : list)
        text += "Fascia " + BandName(band->Tipo()) + " dalle " + FormatDateTime("h.nn.ss", band->TimeBegin()) +
                " alle " + FormatDateTime("h.nn.ss", band->TimeEnd()) + "\r";
    return Trim(text);
}

void TTaxItem::Assign(const TTaxItem& other)
{
    for (const TPropDef& p : Table().Props) {
        auto& self = static_cast<TPersistent&>(*this);
        const auto& src = static_cast<const TPersistent&>(other);
        switch (p.Kind) {
        case TPropKind::String:
            p.SetStr(self, p.GetStr(src));
            break;
        case TPropKind::Float:
        case TPropKind::DateTime:
            p.SetFloat(self, p.GetFloat(src));
            break;
        case TPropKind::Collection:
            break;
        default:
            p.SetInt(self, p.GetInt(src));
            break;
        }
    }
    // The preset of FormulaUrbana may have overwritten the copied rates: copy them again.
    FScattiAllaRisposta = other.FScattiAllaRisposta;
    FCostoFissoRidotta = other.FCostoFissoRidotta;
    FCostoFissoIntera = other.FCostoFissoIntera;
    FCostoFissoPunta = other.FCostoFissoPunta;
    FMinLimite = other.FMinLimite;
    FTatPunta1 = other.FTatPunta1;
    FTatPunta2 = other.FTatPunta2;
    FTatIntera1 = other.FTatIntera1;
    FTatIntera2 = other.FTatIntera2;
    FTatRidotta1 = other.FTatRidotta1;
    FTatRidotta2 = other.FTatRidotta2;
    const std::pair<TBandItems*, const TBandItems*> lists[] = {{&FBandsFeriali, &other.FBandsFeriali},
                                                               {&FBandsSabato, &other.FBandsSabato},
                                                               {&FBandsFestivi, &other.FBandsFestivi}};
    for (auto [dst, src] : lists) {
        dst->Clear();
        for (const auto& b : *src) {
            TBandItem& n = dst->Add();
            n.SetTipo(b->Tipo());
            n.SetTimeBegin(b->TimeBegin());
            n.SetTimeEnd(b->TimeEnd());
        }
    }
    Changed(true);
}

// ---- the collection ------------------------------------------------------------------------

TTaxations::TTaxations(TServices& services) : TPersistentComponent(services, "TTaxations") {}

TTaxations::~TTaxations()
{
    SaveIfModified();
}

const TPropTable& TTaxations::Table()
{
    static const TPropTable t =
        TPropBuilder<TTaxations>(&TPersistentComponent::Table())
            .Collection("Taxs", static_cast<TTaxItems& (TTaxations::*)()>(&TTaxations::Taxs))
            .Build();
    return t;
}

void TTaxations::AfterLoad()
{
    TPersistentComponent::AfterLoad();
    if (FTaxs.Count() == 0)
        LoadDefaultTaxes();
}

int TTaxations::IndexOfTax(const std::string& gestore, const std::string& nome) const
{
    const std::string g = LowerCase(Trim(gestore));
    const std::string n = LowerCase(Trim(nome));
    for (std::size_t i = 0; i < FTaxs.Count(); ++i)
        if (LowerCase(Trim(FTaxs[i].Gestore())) == g && LowerCase(Trim(FTaxs[i].Nome())) == n)
            return static_cast<int>(i);
    return -1;
}

bool TTaxations::NameTaken(const TTaxItem* tax, const std::string& gestore, const std::string& nome) const
{
    const std::string g = LowerCase(Trim(gestore));
    const std::string n = LowerCase(Trim(nome));
    for (const auto& t : FTaxs)
        if (t.get() != tax && LowerCase(Trim(t->Gestore())) == g && LowerCase(Trim(t->Nome())) == n)
            return true;
    return false;
}

int TTaxations::IndexOfDisplayName(const std::string& text) const
{
    const std::string wanted = LowerCase(Trim(text));
    for (std::size_t i = 0; i < FTaxs.Count(); ++i)
        if (LowerCase(Trim(FTaxs[i].DisplayName())) == wanted)
            return static_cast<int>(i);
    return -1;
}

TTaxItem* TTaxations::FindTax(const std::string& displayName)
{
    const int i = IndexOfDisplayName(displayName);
    return i < 0 ? nullptr : &FTaxs[static_cast<std::size_t>(i)];
}

TTaxItem& TTaxations::AddTax(const std::string& gestore, const std::string& nome, TTipoTariffa tipo,
                             const std::string& descrizione)
{
    const int existing = IndexOfTax(gestore, nome);
    if (existing >= 0)
        throw EQvError("Impossibile aggiungere la tariffa " + FTaxs[static_cast<std::size_t>(existing)].DisplayName() +
                       "\rE' già presente una tariffa con questo nome!");
    TTaxItem& t = FTaxs.Add();
    t.SetNome(Trim(nome));
    t.SetGestore(Trim(gestore));
    t.SetDescrizione(descrizione);
    t.SetTipo(tipo);
    t.SetCompare(tipo == ttTat);
    t.SetScattiAllaRisposta(1);
    t.SetCostoFissoRidotta(120);
    t.SetCostoFissoIntera(120);
    t.SetCostoFissoPunta(120);
    t.SetFormulaUrbana(false);
    t.SetTatPunta1(36.72);
    t.SetTatPunta2(33.12);
    t.SetTatIntera1(36.72);
    t.SetTatIntera2(33.12);
    t.SetTatRidotta1(21.24);
    t.SetTatRidotta2(19.08);
    t.SetScattiRidotta(400);
    t.SetScattiIntera(220);
    t.SetScattiPunta(170);
    SetModified(true);
    return t;
}

namespace {

struct TBandSpec
{
    TFasciaOraria Tipo;
    int BeginMinutes; // the band ends where the next one begins; the last ends at EndOfDay
};
using TTimetable = std::vector<TBandSpec>;

void SetBands(TBandItems& list, const TTimetable& timetable)
{
    list.Clear();
    for (std::size_t i = 0; i < timetable.size(); ++i) {
        TBandItem& b = list.Add();
        b.SetTipo(timetable[i].Tipo);
        b.SetTimeBegin(timetable[i].BeginMinutes / 1440.0);
        b.SetTimeEnd(i + 1 < timetable.size() ? timetable[i + 1].BeginMinutes / 1440.0 : EndOfDay);
    }
}

struct TLayout
{
    TTimetable Feriali, Sabato, Festivi;
};

const TTimetable AllReduced = {{foRidotta, 0}};

const TLayout& Layout(char name)
{
    static const TTimetable weekA = {{foRidotta, 0}, {foIntera, 8 * 60}, {foRidotta, 18 * 60 + 30}};
    static const TLayout A = {weekA, {{foRidotta, 0}, {foIntera, 8 * 60}, {foRidotta, 13 * 60}}, AllReduced};
    static const TLayout B = {AllReduced, AllReduced, AllReduced};
    static const TLayout C = {weekA, AllReduced, AllReduced};
    static const TLayout D = {{{foRidotta, 0}, {foPunta, 8 * 60}, {foIntera, 18 * 60 + 30}, {foRidotta, 21 * 60}},
                              AllReduced,
                              AllReduced};
    static const TTimetable weekendE = {{foRidotta, 0}, {foIntera, 8 * 60}, {foRidotta, 22 * 60}};
    static const TLayout E = {{{foRidotta, 0}, {foPunta, 8 * 60}, {foIntera, 18 * 60 + 30}, {foRidotta, 22 * 60}},
                              weekendE,
                              weekendE};
    static const TLayout F = {{{foRidotta, 0}, {foIntera, 9 * 60}, {foRidotta, 19 * 60}}, AllReduced, AllReduced};
    switch (name) {
    case 'A':
        return A;
    case 'B':
        return B;
    case 'C':
        return C;
    case 'D':
        return D;
    case 'E':
        return E;
    default:
        return F;
    }
}

struct TDefaultTax
{
    const char* Gestore;
    const char* Nome;
    const char* Descrizione;
    char Bands;
    double FixedR, FixedI, FixedP;
    double R1, R2, I1, I2, P1, P2;
    std::function<void(TTaxItem&, double today)> Other;
};

} // namespace

void TTaxations::LoadDefaultTaxes()
{
    const auto limit = [](int minutes) { return [minutes](TTaxItem& t, double) { t.SetMinLimite(minutes); }; };
    const auto noCompare = [](TTaxItem& t, double) { t.SetCompare(false); };
    const std::vector<TDefaultTax> defaults = {
        {"Telecom", "TAT Urbana", "Urbana a Tempo", 'A', 120, 120, 120, 21.24, 19.08, 36.72, 33.12, 36.72, 33.12,
         limit(15)},
        {"Telecom", "TAT Formula Urbana", "Urbana Ridotta (Formula Urbana)", 'A', 120, 120, 120, 21.24, 19.08, 36.72,
         33.12, 36.72, 33.12, [](TTaxItem& t, double) { t.SetFormulaUrbana(true); }},
        {"Telecom", "Teleconomy No Stop", "Teleconomy No Stop (ISP a scelta)", 'B', 120, 120, 120, 18, 18, 18, 18, 18,
         18,
         [](TTaxItem& t, double today) {
             t.SetBonusMese(72000);
             t.SetBonusDisponibile(72000);
             t.SetMeseBonus(today);
             t.SetCompare(false);
         }},
        {"Telecom", "Teleconomy 24 ridotta", "Teleconomy 24 scontata su ISP a scelta", 'B', 120, 120, 120, 18, 18, 18,
         18, 18, 18, nullptr},
        {"Telecom", "Teleconomy 24", "Comunicazioni nazionali (urbane, distrettuali e interdistrettuali)", 'B', 120, 120,
         120, 28.8, 28.8, 28.8, 28.8, 28.8, 28.8, nullptr},
        {"Telecom", "TAT Distrettuale", "Distrettuale", 'A', 152.4, 152.4, 152.4, 25.44, 25.44, 50.76, 50.76, 50.76,
         50.76, nullptr},
        {"Telecom", "TAT Interdistrettuale 15", "Interdistrettuale fino a 15 km", 'A', 152.4, 152.4, 152.4, 60.96, 60.96,
         121.92, 121.92, 121.92, 121.92, nullptr},
        {"Telecom", "TAT Interdistrettuale 15-30", "Interdistrettuale da 15 a 30 km", 'A', 152.4, 152.4, 152.4, 114.36,
         114.36, 228.6, 228.6, 228.6, 228.6, nullptr},
        {"Telecom", "TAT Interdistrettuale 30", "Interdistrettuale oltre 30 km", 'A', 152.4, 152.4, 152.4, 175.8, 175.8,
         318.6, 318.6, 318.6, 318.6, nullptr},
        {"Infostrada", "Libero@Sogno prima del 24.10.2000",
         "Navigazione internet con ISP Infostrada a costo 0 dalle 21.00 alle 8.00", 'D', 0, 120, 120, 0, 0, 18, 18,
         33.6, 33.6, noCompare},
        {"Infostrada", "Libero@Sogno", "Navigazione internet con ISP Infostrada a costo 0 dalle 18.30 alle 8.00", 'C', 0,
         120, 120, 0, 0, 33.6, 33.6, 33.6, 33.6, noCompare},
        {"Infostrada", "SpazioZero", "Urbane e interurbane allo stesso prezzo", 'B', 120, 120, 120, 24, 24, 24, 24, 24,
         24, nullptr},
        {"Infostrada", "SpazioZero ridotta", "SpazioZero scontata su ISP infostrada", 'B', 120, 120, 120, 18, 18, 18, 18,
         18, 18, nullptr},
        {"Infostrada", "Locali", "Chiamate verso località con lo stesso prefisso", 'C', 120, 120, 120, 18, 18, 33.6,
         33.6, 33.6, 33.6, nullptr},
        {"Infostrada", "Regionali", "Chiamate verso località situate nella stessa regione del chiamante", 'E', 150, 150,
         150, 60, 60, 114, 114, 210, 210, nullptr},
        {"Infostrada", "Nazionali",
         "Chiamate verso località situate in una regione diversa da quella del chiamante", 'E', 150, 150, 150, 60, 60,
         150, 150, 222, 222, nullptr},
        {"Infostrada", "Cellulari",
         "Chiamate verso telefoni cellulari Business (0329, 0334, 0335, 0336, 0337, 0348)", 'C', 120, 120, 120, 300,
         300, 588, 588, 588, 588, nullptr},
        {"Wind", "Urbana", "Chiamate urbane [con lo stesso prefisso del chiamante]", 'B', 0, 0, 0, 66, 66, 66, 66, 66,
         66, nullptr},
        {"Wind", "Urbana 1088 Light", "Chiamate urbane [con lo stesso prefisso del chiamante]", 'F', 0, 0, 0, 48, 24, 66,
         33, 66, 33, limit(4)},
        {"Wind", "Internet Light 1088",
         "Nelle città dove è attivo il servizio locale (urbane e fuoriporta) e dove ci sono i POP InWind", 'F', 0, 0,
         0, 12, 12, 24, 24, 24, 24, nullptr},
        {"Wind", "Internet Light 1088 24 Ore",
         "Nelle città dove è attivo il servizio locale (urbane e fuoriporta) e dove ci sono i POP InWind", 'B', 0, 0,
         0, 18, 18, 18, 18, 18, 18, nullptr},
        {"Wind", "Regionale 1088 Light",
         "Chiamate regionali [chiamate verso i prefissi associati al compartimento del chiamante]", 'F', 0, 0, 0, 174,
         130.5, 258, 193.5, 258, 193.5, limit(4)},
        {"Tele2", "Urbana", "Chiamate urbane", 'C', 120, 120, 120, 17, 17, 30, 30, 30, 30, nullptr},
        {"Flat", "Gratis", "Totalmente gratis!!! ;)", 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, noCompare},
    };
    const double today = std::trunc(FServices.Clk.Now());
    FTaxs.Clear();
    for (const TDefaultTax& d : defaults) {
        TTaxItem& t = AddTax(d.Gestore, d.Nome, ttTat, d.Descrizione);
        const TLayout& layout = Layout(d.Bands);
        SetBands(t.BandsFeriali(), layout.Feriali);
        SetBands(t.BandsSabato(), layout.Sabato);
        SetBands(t.BandsFestivi(), layout.Festivi);
        t.SetCostoFissoRidotta(d.FixedR);
        t.SetCostoFissoIntera(d.FixedI);
        t.SetCostoFissoPunta(d.FixedP);
        t.SetTatRidotta1(d.R1);
        t.SetTatRidotta2(d.R2);
        t.SetTatIntera1(d.I1);
        t.SetTatIntera2(d.I2);
        t.SetTatPunta1(d.P1);
        t.SetTatPunta2(d.P2);
        // The preset comes last, so the Formula Urbana tariff carries the preset's rates.
        if (d.Other)
            d.Other(t, today);
    }
    SetModified(true);
}

void TTaxations::RenewMonthlyBonuses()
{
    const double now = FServices.Clk.Now();
    for (auto& t : FTaxs)
        t->RenewMonthlyBonus(now);
}

} // namespace qv
