#include "tariffs/TariffRules.h"

#include "core/Functions.h"

#include <cmath>

#include "core/DateTime.h"
#include "core/Errors.h"

namespace qv {

std::optional<std::string> TimetableError(const TBandItems& bands)
{
    if (bands.Count() == 0)
        return std::string("nessuna fascia oraria");
    std::int32_t expected = 0;
    for (std::size_t i = 0; i < bands.Count(); ++i) {
        const TBandItem& b = bands[i];
        if (b.Tipo() != foPunta && b.Tipo() != foIntera && b.Tipo() != foRidotta)
            return "fascia " + std::to_string(i + 1) + " di tipo non valido";
        const std::int32_t begin = TimeOfDayMs(b.TimeBegin());
        const std::int32_t end = TimeOfDayMsInDay(b.TimeEnd());
        if (begin != expected)
            return "la fascia " + std::to_string(i + 1) + " inizia alle " + FormatDateTime("hh:nn:ss.zzz", b.TimeBegin()) +
                   " invece che alle " + FormatDateTime("hh:nn:ss.zzz", expected / 86400000.0);
        if (end <= begin)
            return "la fascia " + std::to_string(i + 1) + " finisce prima di iniziare";
        expected = end;
    }
    if (expected != EndOfDayMs)
        return std::string("l'ultima fascia non arriva alle 23:59:59.999");
    return std::nullopt;
}

std::optional<std::string> ValueRangeError(const TTaxItem& tax)
{
    const auto price = [](double v) { return std::isfinite(v) && v >= 0 && v <= MaxTariffPrice; };
    const std::pair<const char*, double> prices[] = {
        {"CostoFissoRidotta", tax.CostoFissoRidotta()}, {"CostoFissoIntera", tax.CostoFissoIntera()},
        {"CostoFissoPunta", tax.CostoFissoPunta()},     {"TatRidotta1", tax.TatRidotta1()},
        {"TatRidotta2", tax.TatRidotta2()},             {"TatIntera1", tax.TatIntera1()},
        {"TatIntera2", tax.TatIntera2()},               {"TatPunta1", tax.TatPunta1()},
        {"TatPunta2", tax.TatPunta2()}};
    for (const auto& [field, v] : prices)
        if (!price(v))
            return std::string("campo «") + field + "»: il prezzo deve essere un numero da 0 a " +
                   FormatNumber(MaxTariffPrice) + " lire";
    const std::pair<const char*, double> lengths[] = {
        {"ScattiRidotta", tax.ScattiRidotta()}, {"ScattiIntera", tax.ScattiIntera()}, {"ScattiPunta", tax.ScattiPunta()}};
    for (const auto& [field, v] : lengths) {
        // A time-rated tariff does not use them; 0 there is the usual value.
        const bool ok = std::isfinite(v) && v <= 86400 && (v >= 1 || (tax.Tipo() == ttTat && v == 0));
        if (!ok)
            return std::string("campo «") + field + "»: la durata dello scatto deve essere da 1 a 86.400 secondi";
    }
    if (tax.ScattiAllaRisposta() < 0 || tax.ScattiAllaRisposta() > MaxPulsesAtAnswer)
        return std::string("campo «ScattiAllaRisposta»: gli scatti alla risposta devono essere da 0 a ") +
               std::to_string(MaxPulsesAtAnswer);
    return std::nullopt;
}

void ImportTariffs(TTaxations& target, const TTaxItems& incoming)
{
    for (const auto& t : incoming) {
        if (const auto error = ValueRangeError(*t))
            throw EQvError("Tariffa «" + t->DisplayName() + "», " + *error);
        const std::pair<const char*, const TBandItems*> lists[] = {
            {"BandsFeriali", &t->BandsFeriali()}, {"BandsSabato", &t->BandsSabato()}, {"BandsFestivi", &t->BandsFestivi()}};
        for (const auto& [field, list] : lists)
            if (const auto error = TimetableError(*list))
                throw EQvError("Tariffa «" + t->DisplayName() + "», campo «" + field + "»: " + *error);
    }
    for (const auto& t : incoming) {
        const int i = target.IndexOfTax(t->Gestore(), t->Nome());
        TTaxItem& dst = i >= 0 ? target.Taxs()[static_cast<std::size_t>(i)] : target.Taxs().Add();
        dst.Assign(*t);
    }
    target.SetModified(true);
}

} // namespace qv
