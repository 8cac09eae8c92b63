#pragma once
// The shareable tariff file: JSON with one object per tariff, property names as in the data files.

#include "tariffs/Taxations.h"

#include <string>

namespace qv {

std::string TariffsToJson(const TTaxItems& taxes);
// Fills target (emptied first) from the JSON text; raises EQvError with an Italian message naming
// the tariff and the field for anything malformed.
void TariffsFromJson(const std::string& text, TTaxItems& target);

} // namespace qv
