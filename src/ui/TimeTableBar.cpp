#include "ui/TimeTableBar.h"

#include "ui/Icons.h"
#include "ui/QtPrompter.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace qv {

TTimeTableBarWidget::TTimeTableBarWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TTimeTableBar"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    TitleColor = palette().color(QPalette::Button);
    setFixedHeight(60);
    setMinimumWidth(576);
    Bar.OnRepaint = [this] { update(); };
    Bar.OnChange = [this] { emit Changed(); };
}

QColor TTimeTableBarWidget::ToQColor(std::uint32_t rgb)
{
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>((rgb >> 16) & 0xFF));
}

void TTimeTableBarWidget::paintEvent(QPaintEvent*)
{
    // Drawn off screen, then copied in one piece.
    QImage image(size(), QImage::Format_RGB32);
    QPainter p(&image);
    const int w = width(), h = height();
    const int barTop = TitleHeight;
    p.fillRect(0, 0, w, barTop, TitleColor);
    QFont title = font();
    title.setBold(Bar.Editable && FHover);
    p.setFont(title);
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(QRect(4, 0, w - 8, barTop - 12), Qt::AlignLeft | Qt::AlignVCenter, ToQt(Bar.Title));

    p.fillRect(0, barTop, w, h - barTop, ToQColor(Bar.BackColor()));
    for (std::size_t i = 0; i < Bar.Count(); ++i) {
        const auto r = Bar.FrameRect(i, BarWidth());
        p.fillRect(r.Left, barTop, r.Width, h - barTop, ToQColor(Bar.Frame(i).Color));
    }
    // The span being painted, from where the button went down to the pointer.
    if (Bar.Painting() && FPressX >= 0 && FPointerX >= 0) {
        const int from = std::min(FPressX, FPointerX), to = std::max(FPressX, FPointerX);
        p.fillRect(from, barTop, to - from, h - barTop, QBrush(ToQColor(Bar.NewFrameColor), Qt::Dense3Pattern));
    }

    // Each label in black or white, whichever reads on the band colour under it.
    const auto colourAt = [this](int x) {
        std::uint32_t rgb = Bar.BackColor();
        for (std::size_t i = 0; i < Bar.Count(); ++i) {
            const auto r = Bar.FrameRect(i, BarWidth());
            if (x >= r.Left && x < r.Left + r.Width)
                rgb = Bar.Frame(i).Color;
        }
        return ToQColor(rgb);
    };
    QFont small = font();
    small.setPixelSize(11);
    p.setFont(small);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFontMetrics fm(small);
    for (const auto& l : Bar.Labels(BarWidth())) {
        const QString text = ToQt(l.Text);
        const int tw = fm.horizontalAdvance(text);
        int left = l.RightEdge - tw;
        if (l.IsEnd)
            left = std::min(left, w - 2 - tw);
        left = std::clamp(left, 1, std::max(1, w - tw - 1));
        const int y = l.AtTop ? barTop + fm.ascent() + 1 : h - fm.descent() - 2;
        p.setPen(ReadableInk(colourAt(left + tw / 2)));
        p.drawText(left, y, text);
    }

    // Border: dark along the left and top of the bar, light along the right and bottom.
    p.setPen(Qt::black);
    p.drawLine(0, barTop, w - 1, barTop);
    p.drawLine(0, barTop, 0, h - 1);
    p.setPen(Qt::white);
    p.drawLine(w - 1, barTop, w - 1, h - 1);
    p.drawLine(0, h - 1, w - 1, h - 1);

    if (FPointerX >= 0 && Bar.Editable) {
        if (Bar.Painting()) {
            QPen dash(Qt::black);
            dash.setStyle(Qt::DashLine);
            p.setPen(dash);
            p.drawLine(FPointerX, barTop, FPointerX, h - 1);
        }
        const QString tip = ToQt(Bar.TimeText(Bar.TimeAt(FPointerX, BarWidth())));
        const QFontMetrics tm(font());
        const int tw = tm.horizontalAdvance(tip) + 6;
        const int th = tm.height();
        const int left = std::clamp(FPointerX - tw / 2, 0, std::max(0, w - tw));
        const QRect box(left, barTop - th - 1, tw, th);
        p.setFont(font());
        p.fillRect(box, TitleColor);
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.drawText(box, Qt::AlignCenter, tip);
    }
    p.end();
    QPainter screen(this);
    screen.drawImage(0, 0, image);
}

void TTimeTableBarWidget::mousePressEvent(QMouseEvent* e)
{
    const int x = static_cast<int>(e->position().x());
    const int y = static_cast<int>(e->position().y());
    if (e->button() == Qt::LeftButton && Bar.Editable && y >= TitleHeight) {
        Bar.MouseDown(x, BarWidth());
        FPressX = FPointerX = x;
        setCursor(Qt::SplitHCursor);
    }
}

void TTimeTableBarWidget::mouseMoveEvent(QMouseEvent* e)
{
    const int x = static_cast<int>(e->position().x());
    const bool overBar = e->position().y() >= TitleHeight;
    FPointerX = overBar || Bar.Painting() ? std::clamp(x, 0, width() - 1) : -1;
    update();
}

void TTimeTableBarWidget::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (Bar.Painting()) {
        unsetCursor();
        if (rect().contains(e->position().toPoint()))
            Bar.MouseUp(static_cast<int>(e->position().x()), BarWidth());
        else
            Bar.MouseLeave();
    } else if (rect().contains(e->position().toPoint())) {
        emit Clicked();
    }
}

void TTimeTableBarWidget::enterEvent(QEnterEvent*)
{
    FHover = true;
    update();
}

void TTimeTableBarWidget::leaveEvent(QEvent*)
{
    FHover = false;
    FPointerX = -1;
    if (Bar.Painting()) {
        unsetCursor();
        Bar.MouseLeave();
    }
    update();
}

} // namespace qv
