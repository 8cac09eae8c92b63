#pragma once
// Kinds of tariff and time band, and their names and colours.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

enum TTipoTariffa
{
    ttTat,
    ttScatti
};
enum TFasciaOraria
{
    foPunta,
    foIntera,
    foRidotta,
    foNone
};

const std::vector<std::string>& TipoTariffaNames();
const std::vector<std::string>& FasciaOrariaNames();

// The last millisecond of a day, 23:59:59.999, as a time of day.
constexpr std::int32_t EndOfDayMs = 86399999;
extern const double EndOfDay;

// "ora di punta", "intera", "ridotta"; anything else raises "Fascia oraria inesistente".
std::string BandName(TFasciaOraria band);
// Red 255, yellow 65535, lime 65280 (Windows RGB values, red in the low byte).
std::uint32_t BandColor(TFasciaOraria band);
// Raises "Colore fascia inesistente" for any other colour.
TFasciaOraria BandOfColor(std::uint32_t color);

} // namespace qv
