#include "tariffs/TariffRules.h"

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

void ImportTariffs(TTaxations& target, const TTaxItems& incoming)
{
    for (const auto& t : incoming) {
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
