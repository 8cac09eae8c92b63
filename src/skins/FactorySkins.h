#pragma once
// What the program draws itself: the 221 × 16 strip of the "<Predefinita>" skin (its magenta key
// colour cuts the rounded ends), the images of the main window's four buttons, and where the main
// window's labels and buttons sit on that strip (the design every new skin captures when there is
// no window, and the window's own layout before a skin is applied).

#include "skins/Bitmap.h"
#include "skins/Skins.h"

#include <vector>

namespace qv {

constexpr int StripWidth = 221;
constexpr int StripHeight = 16;
constexpr TColorRef StripKey = RGB(255, 0, 255);

TBitmap FactoryStrip();
// The image of a main window button by name ("btStart", "btApplicazioni", "btNascondi",
// "btDisconnetti"); empty for another name.
TBitmap ButtonGlyph(const std::string& name);
std::vector<TFormControl> DefaultDesign();

} // namespace qv
