#pragma once
// Checks on tariffs that come from outside (an imported file, the editor): gap-free timetables.

#include "tariffs/Taxations.h"

#include <optional>
#include <string>

namespace qv {

// An error text when the bands are not in time order from 00:00:00 to 23:59:59.999 without gaps,
// or use a band kind other than the three real ones; none when the timetable is sound.
std::optional<std::string> TimetableError(const TBandItems& bands);

// Replaces each tariff of the same operator and name and appends the others; nothing is changed
// when any of them has a broken timetable (raises EQvError naming the tariff and the field).
void ImportTariffs(TTaxations& target, const TTaxItems& incoming);

} // namespace qv
