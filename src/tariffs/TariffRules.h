#pragma once
// Checks on tariffs that come from outside (an imported file, the editor): gap-free timetables.

#include "tariffs/Taxations.h"

#include <optional>
#include <string>

namespace qv {

// An error text when the bands are not in time order from 00:00:00 to 23:59:59.999 without gaps,
// or use a band kind other than the three real ones; none when the timetable is sound.
std::optional<std::string> TimetableError(const TBandItems& bands);

// The largest price a tariff may hold, in lire: a connection charge, a pulse's price or a rate per
// minute (ten times the dearest rate ever offered on a dial-up line, so a typing error is caught).
inline constexpr double MaxTariffPrice = 1000000.0;
// The most pulses a tariff may charge at the answer.
inline constexpr std::int32_t MaxPulsesAtAnswer = 1000;

// An error text naming the field and its allowed range when a price, rate or pulse length of the
// tariff is absurd (not finite, negative, beyond MaxTariffPrice, a pulse shorter than a second).
std::optional<std::string> ValueRangeError(const TTaxItem& tax);

// Replaces each tariff of the same operator and name and appends the others; nothing is changed
// when any of them has a broken timetable or an absurd value (raises EQvError naming the tariff and
// the field).
void ImportTariffs(TTaxations& target, const TTaxItems& incoming);

} // namespace qv
