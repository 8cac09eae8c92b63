#pragma once
// The main window: a small borderless strip, always on top, without a taskbar button, showing the
// elapsed time, the pulses, the cost, the time to the next charge step and the byte counters.

#include "app/MainController.h"
#include "core/FormSettings.h"
#include "ui/Balloon.h"
#include "skins/Skins.h"
#include "ui/PlanStrip.h"
#include "ui/TrayIcon.h"

#include <QToolButton>

#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <map>
#include <memory>
#include <QBitmap>
#include <QPixmap>
#include <optional>

namespace qv {

class TfmMain : public QWidget, public IRememberedForm, public IMainView
{
    Q_OBJECT
public:
    explicit TfmMain(QWidget* parent = nullptr);

    // The tray icon whose menu and balloons this window drives (none in bare tests).
    void SetTray(TTrayIcon* tray) { FTray = tray; }
    // IMainView
    void SetLabel(TMainLabel label, const std::string& text) override;
    void SetPulseLabelVisible(bool visible) override;
    void SetProgress(int maximum, int position) override;
    void SetProgressHint(const std::string& text) override;
    void SetTrayIcon(TFasciaOraria band) override;
    void SetTrayHint(const std::string& text) override;
    void ShowBalloon(TBalloon balloon, const std::string& title, const std::string& text, int ms) override;
    void SetPlanView(const TPlanView& view) override;
    void SetWindowVisible(bool visible) override;
    void BringToFront() override;
    void SetDisconnectButtonVisible(bool visible) override;
    void SetShowHideCaption(const std::string& caption) override;
    void OpenTariffChooser() override;
    void OpenInternationalWarning(TInternationalWarning& warning) override;
    std::function<void()> OnTariffChooser;
    // The close request (Alt+F4, the window manager): the owner decides.
    std::function<void()> OnCloseRequest;

    QToolButton* btDisconnetti;
    QToolButton* btNascondi;
    QToolButton* btApplicazioni;
    QToolButton* btStart;
    TBalloonHint* BalloonGreetings;
    TBalloonHint* BalloonTariff;
    TBalloonHint* BalloonComparison;
    TBalloonHint* BalloonGeneral;
    ~TfmMain() override;

    // Shows the values of a live status with no connection.
    void ShowIdle();
    // Attaches the remembered position (per screen resolution).
    void RememberPosition(TRegistry& registry);
    // The window as the skins see it: its labels and buttons, its background and shape.
    ISkinForm& SkinForm() { return *FSkinForm; }
    // The user moved the window by dragging it (the skin remembers where).
    std::function<void()> OnMovedByUser;
    // Whether the window is shaped by a transparent skin (for tests and screenshots).
    bool Shaped() const { return !mask().isEmpty(); }

    QLabel* lbTempoTrascorso;
    QLabel* lbNumeroScatti;
    QLabel* lbSpesa;
    QLabel* lbQuorvanta;
    QLabel* LabelBytesTransmitted;
    QLabel* LabelBytesReceived;
    QProgressBar* ProgressBar;
    TPlanStrip* PlanStrip;

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
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool FPulsesShown = true;
    friend class TMainSkinForm;
    void ApplySkinControl(const TFormControl& control);
    std::vector<TFormControl> SkinControls();
    void SetSkinBackground(const QPixmap& pixmap, const QColor& color, const QSize& size, const QBitmap* mask);
    void LayOutProgress();
    // The skin's size and shape, and the plan's line under them when a plan is shown.
    void ApplySize();
    QSize FSkinSize;
    std::optional<QBitmap> FSkinMask;
    QPixmap FSkinPixmap;
    QColor FSkinColor = QColor(0, 0, 0x80);
    std::map<std::string, std::string> FGlyphs; // each button's image as a BMP file image
    std::map<std::string, TSkinFont> FFonts;
    std::unique_ptr<ISkinForm> FSkinForm;
    bool FMoved = false;
    QRect TrayRect() const;
    void Stack(TBalloonHint* balloon, const QRect& anchor, bool alignLeft, const std::string& title,
               const std::string& text, int ms);
    TTrayIcon* FTray = nullptr;
    QPoint FDragOrigin;
    bool FDragging = false;
    std::unique_ptr<TFormSettings> FFormSettings;
};

} // namespace qv
