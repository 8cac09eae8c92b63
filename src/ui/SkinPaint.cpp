#include "ui/SkinPaint.h"

#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QPalette>
#include <map>

namespace qv {

QPixmap SkinPixmap(const TBitmap& b)
{
    QImage image(b.Width, b.Height, QImage::Format_RGB32);
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x) {
            const TColorRef c = b.At(x, y);
            image.setPixel(x, y, qRgb(static_cast<int>(c & 255), static_cast<int>((c >> 8) & 255),
                                      static_cast<int>((c >> 16) & 255)));
        }
    return QPixmap::fromImage(image);
}

QColor SkinColor(std::int32_t color)
{
    const auto c = static_cast<std::uint32_t>(color);
    if (c & 0xFF000000u) // a system colour: the desktop's text colour stands for them all
        return QApplication::palette().color(QPalette::WindowText);
    return QColor(static_cast<int>(c & 255), static_cast<int>((c >> 8) & 255), static_cast<int>((c >> 16) & 255));
}

std::int32_t SkinColorRef(const QColor& c)
{
    return static_cast<std::int32_t>(RGB(c.red(), c.green(), c.blue()));
}

QPixmap GlyphPixmap(const std::string& bmp)
{
    QImage image;
    if (bmp.empty() ||
        !image.loadFromData(reinterpret_cast<const uchar*>(bmp.data()), static_cast<int>(bmp.size()), "BMP"))
        return {};
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(image.pixelColor(0, image.height() - 1), Qt::MaskInColor));
    return pixmap;
}

QString SkinLabelWidestText(const std::string& name)
{
    static const std::map<std::string, QString> widest = {
        {"lbTempoTrascorso", QStringLiteral("88.88.88")}, {"lbQuorvanta", QStringLiteral("88.88")},
        {"lbNumeroScatti", QStringLiteral("8888")},       {"lbSpesa", QStringLiteral("£ 88.888")},
        {"LabelBytesTransmitted", QStringLiteral("888.888.888")},
        {"LabelBytesReceived", QStringLiteral("888.888.888")},
    };
    const auto it = widest.find(name);
    return it == widest.end() ? QStringLiteral("8888") : it->second;
}

} // namespace qv
