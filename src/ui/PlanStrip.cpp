#include "ui/PlanStrip.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"

#include <QPainter>
#include <QPixmap>

namespace qv {

QColor PlanLevelColour(TPlanLevel level)
{
    switch (level) {
    case TPlanLevel::Green:
        return QColor(40, 180, 60);
    case TPlanLevel::Yellow:
        return QColor(240, 200, 30);
    case TPlanLevel::Red:
        return QColor(220, 30, 30);
    case TPlanLevel::None:
        break;
    }
    return QColor(0, 0, 0, 0);
}

QIcon PlanIcon(const TPlanView& view)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = PlanLevelColour(view.Level);
    const QRectF disc(3, 3, 26, 26);
    // The whole disc pale, the share used in full colour from twelve o'clock clockwise.
    p.setPen(Qt::NoPen);
    p.setBrush(c.lighter(170));
    p.drawEllipse(disc);
    p.setBrush(c);
    const int share = view.Percent > 0 || view.Level == TPlanLevel::Red ? std::max(view.Percent, 4) : 0;
    if (share >= 100)
        p.drawEllipse(disc);
    else if (share > 0)
        p.drawPie(disc, 90 * 16, -share * 360 * 16 / 100);
    p.setPen(QPen(c.darker(160), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    return QIcon(pm);
}

TPlanStrip::TPlanStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PlanStrip"));
    setVisible(false);
}

void TPlanStrip::SetView(const TPlanView& view)
{
    FView = view;
    setToolTip(ToQt(ReplaceAll(view.Hint, "\r", "\n")));
    update();
}

void TPlanStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0x30));
    const QColor c = PlanLevelColour(FView.Level);
    // The share along the bottom, three pixels high.
    const int filled = width() * std::clamp(FView.Percent, 0, 100) / 100;
    p.fillRect(QRect(0, height() - 3, width(), 3), QColor(0x30, 0x30, 0x60));
    p.fillRect(QRect(0, height() - 3, filled, 3), c);
    QFont f = font();
    f.setPixelSize(10);
    p.setFont(f);
    // A dot in the plan's colour, then the line.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(4, 3, 7, 7));
    p.setPen(QColor(0xf0, 0xf0, 0xff));
    const QRect text(15, 0, width() - 18, height() - 3);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(f).elidedText(ToQt(FView.Strip), Qt::ElideRight, text.width()));
}

} // namespace qv
