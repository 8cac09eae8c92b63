#pragma once
// A small message balloon of ours: a frameless popup that never takes the focus and hides itself
// after a while.

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace qv {

class TBalloonHint : public QWidget
{
    Q_OBJECT
public:
    explicit TBalloonHint(const QString& objectName, const QColor& titleColour, QWidget* parent = nullptr);
    // Shows the text at a point of the screen (the balloon's bottom-right corner goes there when it
    // would leave the screen) for ms milliseconds.
    void ShowAt(const QPoint& where, const QString& title, const QString& text, int ms);
    QString Text() const { return FText->text(); }

private:
    QLabel* FTitle;
    QLabel* FText;
    QTimer FHide;
};

} // namespace qv
