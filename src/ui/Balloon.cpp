#include "ui/Balloon.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace qv {

TBalloonHint::TBalloonHint(const QString& objectName, const QColor& titleColour, QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(objectName);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QStringLiteral("QWidget#%1 { background: #ffffe1; border: 1px solid #404040; }").arg(objectName));
    FTitle = new QLabel(this);
    FTitle->setStyleSheet(QStringLiteral("font-weight: bold; color: %1;").arg(titleColour.name()));
    FText = new QLabel(this);
    FText->setObjectName(objectName + QStringLiteral("Text"));
    FText->setStyleSheet(QStringLiteral("color: #000080;"));
    FText->setMaximumWidth(420);
    FText->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(FTitle);
    layout->addWidget(FText);
    FHide.setSingleShot(true);
    connect(&FHide, &QTimer::timeout, this, &QWidget::hide);
}

QPoint StackedPosition(const QRect& anchor, const QSize& size, const QRect& screen, const std::vector<QRect>& taken,
                       bool alignLeft)
{
    constexpr int gap = 4;
    const bool upwards = anchor.center().y() > screen.center().y();
    int x = alignLeft ? anchor.left() : anchor.right() + 1 - size.width();
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    int y = upwards ? anchor.top() - gap - size.height() : anchor.bottom() + 1 + gap;
    // Past every balloon in the way, away from the anchor.
    for (bool moved = true; moved;) {
        moved = false;
        for (const QRect& t : taken) {
            if (!QRect(QPoint(x, y), size).intersects(t))
                continue;
            y = upwards ? t.top() - gap - size.height() : t.bottom() + 1 + gap;
            moved = true;
        }
    }
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

void TBalloonHint::Prepare(const QString& title, const QString& text)
{
    FTitle->setText(title);
    FTitle->setVisible(!title.isEmpty());
    FText->setText(text);
    // As wide as the longest line up to the limit, so "Telecom - TAT Urbana" is not broken in two.
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, FText->fontMetrics().horizontalAdvance(line) + 2);
    FText->setMinimumWidth(std::min(widest, FText->maximumWidth()));
    adjustSize();
}

void TBalloonHint::Show(const QPoint& topLeft, int ms)
{
    move(topLeft);
    show();
    raise();
    FHide.start(ms > 0 ? ms : 3000);
}

void TBalloonHint::ShowAt(const QPoint& where, const QString& title, const QString& text, int ms)
{
    Prepare(title, text);
    QPoint p = where;
    if (const QScreen* screen = QGuiApplication::screenAt(where) ? QGuiApplication::screenAt(where)
                                                                  : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        if (p.x() + width() > area.right())
            p.setX(area.right() - width());
        if (p.y() + height() > area.bottom())
            p.setY(area.bottom() - height());
        p.setX(std::max(p.x(), area.left()));
        p.setY(std::max(p.y(), area.top()));
    }
    move(p);
    show();
    raise();
    FHide.start(ms > 0 ? ms : 3000);
}

} // namespace qv
