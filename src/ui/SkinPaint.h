#pragma once
// The skins' pictures and colours as Qt draws them: a bitmap as a pixmap, a stream colour (system
// colours as the desktop's text colour), a button's image with its bottom-left colour left out.

#include "skins/Bitmap.h"

#include <QColor>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <string>

namespace qv {

QPixmap SkinPixmap(const TBitmap& bitmap);
QColor SkinColor(std::int32_t color);
std::int32_t SkinColorRef(const QColor& color);
// None when the BMP file image cannot be read.
QPixmap GlyphPixmap(const std::string& bmp);
// The widest text a label of the strip shows: its fixed width, so that it never moves with what it
// shows (the texts are aligned right in it).
QString SkinLabelWidestText(const std::string& name);

} // namespace qv
