#include "tariffs/Bands.h"

#include "core/Errors.h"

namespace qv {

const double EndOfDay = static_cast<double>(EndOfDayMs) / 86400000.0;

const std::vector<std::string>& TipoTariffaNames()
{
    static const std::vector<std::string> names = {"ttTat", "ttScatti"};
    return names;
}

const std::vector<std::string>& FasciaOrariaNames()
{
    static const std::vector<std::string> names = {"foPunta", "foIntera", "foRidotta", "foNone"};
    return names;
}

std::string BandName(TFasciaOraria band)
{
    switch (band) {
    case foPunta:
        return "ora di punta";
    case foIntera:
        return "intera";
    case foRidotta:
        return "ridotta";
    default:
        throw EQvError("Fascia oraria inesistente");
    }
}

std::uint32_t BandColor(TFasciaOraria band)
{
    switch (band) {
    case foPunta:
        return 255;
    case foIntera:
        return 65535;
    case foRidotta:
        return 65280;
    default:
        throw EQvError("Fascia oraria inesistente");
    }
}

TFasciaOraria BandOfColor(std::uint32_t color)
{
    switch (color) {
    case 255:
        return foPunta;
    case 65535:
        return foIntera;
    case 65280:
        return foRidotta;
    default:
        throw EQvError("Colore fascia inesistente");
    }
}

} // namespace qv
