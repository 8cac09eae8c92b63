#include "ui/Balloon.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

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

void TBalloonHint::ShowAt(const QPoint& where, const QString& title, const QString& text, int ms)
{
    FTitle->setText(title);
    FTitle->setVisible(!title.isEmpty());
    FText->setText(text);
    adjustSize();
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
