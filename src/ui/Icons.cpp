#include "ui/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qv {

namespace {

void Draw(QPainter& p, TDrawnIcon kind, int s)
{
    const double u = s / 16.0; // one unit of a 16-pixel grid
    const QColor ink(60, 60, 70);
    const QColor paper(250, 250, 246);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, std::max(1.0, u)));
    const auto page = [&] {
        p.setBrush(paper);
        p.drawRect(QRectF(3 * u, 1.5 * u, 10 * u, 13 * u));
    };
    switch (kind) {
    case TDrawnIcon::Details:
        page();
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(5 * u, (4.5 + 2.5 * i) * u), QPointF(11 * u, (4.5 + 2.5 * i) * u));
        break;
    case TDrawnIcon::Chart: {
        const QColor bars[] = {QColor(60, 120, 200), QColor(230, 150, 30), QColor(70, 160, 80)};
        const double lengths[] = {10, 6, 8};
        p.drawLine(QPointF(2 * u, 1.5 * u), QPointF(2 * u, 14.5 * u));
        for (int i = 0; i < 3; ++i) {
            p.setBrush(bars[i]);
            p.setPen(QPen(bars[i].darker(150), u * 0.8));
            p.drawRect(QRectF(2.5 * u, (2.5 + 4 * i) * u, lengths[i] * u + u, 3 * u));
        }
        break;
    }
    case TDrawnIcon::Print:
        p.setBrush(paper);
        p.drawRect(QRectF(4.5 * u, 1.5 * u, 7 * u, 5 * u));
        p.setBrush(QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(1.5 * u, 6 * u, 13 * u, 6 * u), u, u);
        p.setBrush(paper);
        p.drawRect(QRectF(4.5 * u, 10 * u, 7 * u, 4.5 * u));
        break;
    case TDrawnIcon::Pdf: {
        page();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(QRectF(1.5 * u, 8 * u, 13 * u, 5 * u));
        QFont f = p.font();
        f.setPixelSize(static_cast<int>(4.6 * u));
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5 * u, 8 * u, 13 * u, 5 * u), Qt::AlignCenter, QStringLiteral("PDF"));
        break;
    }
    case TDrawnIcon::Compare:
        // Two scales' pans: one tariff against another.
        p.drawLine(QPointF(8 * u, 2 * u), QPointF(8 * u, 14 * u));
        p.drawLine(QPointF(2 * u, 5 * u), QPointF(14 * u, 3 * u));
        p.drawLine(QPointF(4.5 * u, 14 * u), QPointF(11.5 * u, 14 * u));
        p.setBrush(QColor(230, 180, 40));
        p.drawChord(QRectF(0.5 * u, 5 * u, 6 * u, 5 * u), 180 * 16, 180 * 16);
        p.drawChord(QRectF(9.5 * u, 3 * u, 6 * u, 5 * u), 180 * 16, 180 * 16);
        break;
    case TDrawnIcon::Export:
    case TDrawnIcon::Import: {
        page();
        const bool out = kind == TDrawnIcon::Export;
        p.setPen(QPen(QColor(40, 110, 190), 1.6 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const double from = out ? 6 : 14.5, to = out ? 14.5 : 6;
        p.drawLine(QPointF(from * u, 9 * u), QPointF(to * u, 9 * u));
        const double tip = to, back = out ? to - 3 : to + 3;
        p.drawLine(QPointF(tip * u, 9 * u), QPointF(back * u, 6 * u));
        p.drawLine(QPointF(tip * u, 9 * u), QPointF(back * u, 12 * u));
        break;
    }
    case TDrawnIcon::Refresh: {
        p.setPen(QPen(QColor(40, 140, 70), 1.8 * u, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3 * u, 3 * u, 10 * u, 10 * u), 30 * 16, 290 * 16);
        QPainterPath head;
        head.moveTo(13.8 * u, 2.5 * u);
        head.lineTo(13.8 * u, 7 * u);
        head.lineTo(9.5 * u, 6 * u);
        head.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 140, 70));
        p.drawPath(head);
        break;
    }
    }
}

} // namespace

QIcon DrawnIcon(TDrawnIcon kind)
{
    QIcon icon;
    for (const int s : {16, 22, 32}) {
        QPixmap pm(s, s);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        Draw(p, kind, s);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QColor ReadableInk(const QColor& background)
{
    const double brightness = 0.299 * background.red() + 0.587 * background.green() + 0.114 * background.blue();
    return brightness > 140 ? QColor(Qt::black) : QColor(Qt::white);
}

QIcon ThemeIcon(const char* name, TDrawnIcon fallback)
{
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
    return themed.isNull() ? DrawnIcon(fallback) : themed;
}

} // namespace qv
