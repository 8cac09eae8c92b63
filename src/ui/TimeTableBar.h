#pragma once
// The drawn time-band bar: a title strip, the frames in their colours with their times written so
// that they stay readable on any colour, and, when editable, painting with the mouse.

#include "skins/TimeTableBar.h"

#include <QWidget>

namespace qv {

class TTimeTableBarWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TTimeTableBarWidget(QWidget* parent = nullptr);
    TTimeTableBar Bar;
    int TitleHeight = 30;
    QColor TitleColor;
    // A Windows RGB value (red in the low byte) as a Qt colour, and back.
    static QColor ToQColor(std::uint32_t rgb);
    QSize sizeHint() const override { return {576, 60}; }
    QSize minimumSizeHint() const override { return {576, 60}; }
    // Width of the bar area, the control's width.
    int BarWidth() const { return width(); }

signals:
    void Changed();
    void Clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    int FPointerX = -1; // over the bar, else -1
    int FPressX = -1;   // where a paint began
    bool FHover = false;
};

} // namespace qv
