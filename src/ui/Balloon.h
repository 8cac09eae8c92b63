#pragma once
// A small message balloon of ours: a frameless popup that never takes the focus and hides itself
// after a while.

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace qv {

// Where a balloon of this size goes beside an anchor (the tray icon, the strip): wholly on the
// screen, over neither the anchor nor the balloons already shown, stacked away from the anchor
// (upwards from an anchor in the lower half of the screen, downwards from one in the upper half).
QPoint StackedPosition(const QRect& anchor, const QSize& size, const QRect& screen, const std::vector<QRect>& taken,
                       bool alignLeft);

class TBalloonHint : public QWidget
{
    Q_OBJECT
public:
    explicit TBalloonHint(const QString& objectName, const QColor& titleColour, QWidget* parent = nullptr);
    // Shows the text at a point of the screen (the balloon's bottom-right corner goes there when it
    // would leave the screen) for ms milliseconds.
    void ShowAt(const QPoint& where, const QString& title, const QString& text, int ms);
    // Takes the texts and grows to them (a short text stays on one line); then Show places it.
    void Prepare(const QString& title, const QString& text);
    void Show(const QPoint& topLeft, int ms);
    QString Text() const { return FText->text(); }

private:
    QLabel* FTitle;
    QLabel* FText;
    QTimer FHide;
};

} // namespace qv
