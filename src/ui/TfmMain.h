#pragma once
// The main window: a small borderless strip, always on top, without a taskbar button, showing the
// elapsed time, the pulses, the cost, the time to the next charge step and the byte counters.

#include "core/FormSettings.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <memory>

namespace qv {

class TfmMain : public QWidget, public IRememberedForm
{
    Q_OBJECT
public:
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    // Shows the values of a live status with no connection.
    void ShowIdle();
    // Attaches the remembered position (per screen resolution).
    void RememberPosition(TRegistry& registry);

    QLabel* lbTempoTrascorso;
    QLabel* lbNumeroScatti;
    QLabel* lbSpesa;
    QLabel* lbQuorvanta;
    QLabel* LabelBytesTransmitted;
    QLabel* LabelBytesReceived;
    QProgressBar* ProgressBar;

    // IRememberedForm
    std::string FormName() const override { return "TfmMain"; }
    TFormPosition Position() const override { return TFormPosition::poDesigned; }
    TFormBorderStyle BorderStyle() const override { return TFormBorderStyle::bsNone; }
    int Top() const override { return y(); }
    int Left() const override { return x(); }
    int Width() const override { return width(); }
    int Height() const override { return height(); }
    void SetBounds(int left, int top, int w, int h) override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint FDragOrigin;
    bool FDragging = false;
    std::unique_ptr<TFormSettings> FFormSettings;
};

} // namespace qv
