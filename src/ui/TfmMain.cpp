#include "ui/TfmMain.h"

#include "ui/TfmInternational.h"
#include "skins/FactorySkins.h"
#include "ui/SkinPaint.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"

#include <QApplication>
#include <QBitmap>
#include <QPainter>
#include <QCursor>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QScreen>
#include <algorithm>

namespace qv {

// The main window as the skins see it.
class TMainSkinForm : public ISkinForm
{
public:
    explicit TMainSkinForm(TfmMain& form) : F(form) {}
    std::vector<TFormControl> Controls() override { return F.SkinControls(); }
    void ApplyControl(const TFormControl& control) override { F.ApplySkinControl(control); }
    void SetBitmapSkin(const TBitmap& bitmap, const std::vector<TRunRect>* shape) override
    {
        if (!shape) {
            F.SetSkinBackground(SkinPixmap(bitmap), QColor(), QSize(bitmap.Width, bitmap.Height), nullptr);
            return;
        }
        // The key colour's runs are cut out of the window.
        QImage mask(bitmap.Width, bitmap.Height, QImage::Format_Mono);
        mask.setColorCount(2);
        mask.setColor(0, qRgb(255, 255, 255)); // color0: cut out
        mask.setColor(1, qRgb(0, 0, 0));       // color1: kept
        mask.fill(1);
        for (const TRunRect& r : *shape)
            for (int x = r.Left; x < r.Right; ++x)
                mask.setPixel(x, r.Top, 0);
        const QBitmap bits = QBitmap::fromImage(mask);
        F.SetSkinBackground(SkinPixmap(bitmap), QColor(), QSize(bitmap.Width, bitmap.Height), &bits);
    }
    void SetClassicSkin(int width, int height, TColorRef color) override
    {
        F.SetSkinBackground(QPixmap(), SkinColor(static_cast<std::int32_t>(color)), QSize(width, height), nullptr);
    }
    int Width() override { return F.width(); }
    int Height() override { return F.height(); }
    int Left() override { return F.x(); }
    int Top() override { return F.y(); }
    bool OnDesktop(int left, int top, int width, int height) override
    {
        const QRect r(left, top, width, height);
        for (const QScreen* s : QGuiApplication::screens())
            if (s->availableGeometry().intersects(r))
                return true;
        return false;
    }
    void MoveTo(int left, int top) override { F.move(left, top); }

private:
    TfmMain& F;
};

namespace {
QLabel* MakeLabel(QWidget* parent, const char* name, const char* hint, Qt::Alignment align)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setToolTip(QString::fromUtf8(hint));
    l->setAlignment(align | Qt::AlignVCenter);
    return l;
}
} // namespace

TfmMain::TfmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TfmMain"));
    setWindowTitle(QStringLiteral("Quorvanta"));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    // A tool window is never the active one: its tooltips must show all the same.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The skin paints the background; the style sheet only keeps the buttons' and the bar's colours.
    setStyleSheet(QStringLiteral(
        "#btDisconnetti, #btNascondi, #btApplicazioni, #btStart { color: #f0f0ff; font-weight: bold; padding: 0; "
        "border: none; background: transparent; }"
        "#btDisconnetti:hover, #btNascondi:hover, #btApplicazioni:hover, #btStart:hover { background: #3050b0; }"
        "#btDisconnetti:disabled, #btNascondi:disabled, #btApplicazioni:disabled, #btStart:disabled { color: #505a90; }"
        "#ProgressBar { background: #000030; border: none; }"
        "#ProgressBar::chunk { background: #40c040; }"));

    lbTempoTrascorso = MakeLabel(this, "lbTempoTrascorso", "Tempo trascorso online", Qt::AlignRight);
    lbNumeroScatti = MakeLabel(this, "lbNumeroScatti", "Numero scatti effettuati", Qt::AlignRight);
    lbSpesa = MakeLabel(this, "lbSpesa", "Spesa in £", Qt::AlignRight);
    lbQuorvanta = MakeLabel(this, "lbQuorvanta", "Tempo al prossimo scatto", Qt::AlignRight);
    LabelBytesTransmitted = MakeLabel(this, "LabelBytesTransmitted", "Byte trasmessi", Qt::AlignRight);
    LabelBytesReceived = MakeLabel(this, "LabelBytesReceived", "Byte ricevuti", Qt::AlignRight);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    PlanStrip = new TPlanStrip(this);

    const auto button = [this](const char* name, const QString& text, const char* hint) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(QString::fromUtf8(hint));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        return b;
    };
    btDisconnetti = button("btDisconnetti", QStringLiteral("×"), "Disconnetti");
    btNascondi = button("btNascondi", QStringLiteral("_"), "Nascondi");
    btApplicazioni = button("btApplicazioni", QStringLiteral("▶"), "Lancia le applicazioni configurate con l'avvio manuale");
    btStart = button("btStart", QStringLiteral("●"), "Avvio manuale del conteggio");
    // The disconnect button comes and goes with the count; the strip's size never changes with it.
    btDisconnetti->setVisible(false);
    setToolTip(QString::fromUtf8("Per posizionare la finestra cliccare il tasto sinistro del mouse\ne spostarla dove si "
                                 "desidera: la posizione sarà memorizzata"));
    BalloonGreetings = new TBalloonHint(QStringLiteral("BalloonGreetings"), Qt::red);
    BalloonTariff = new TBalloonHint(QStringLiteral("BalloonTariff"), QColor(0, 0, 128));
    BalloonComparison = new TBalloonHint(QStringLiteral("BalloonComparison"), QColor(0, 0, 128));
    BalloonGeneral = new TBalloonHint(QStringLiteral("BalloonGeneral"), QColor(0, 0, 128));

    FSkinForm = std::make_unique<TMainSkinForm>(*this);
    // Until a skin is applied: the strip of the default skin, unshaped.
    const TBitmap strip = FactoryStrip();
    SetSkinBackground(SkinPixmap(strip), QColor(), QSize(strip.Width, strip.Height), nullptr);
    for (const TFormControl& c : DefaultDesign())
        ApplySkinControl(c);
    ShowIdle();
}

TfmMain::~TfmMain()
{
    for (TBalloonHint* b : {BalloonGreetings, BalloonTariff, BalloonComparison, BalloonGeneral})
        delete b;
}

void TfmMain::SetLabel(TMainLabel label, const std::string& text)
{
    QLabel* target = nullptr;
    switch (label) {
    case TMainLabel::TempoTrascorso:
        target = lbTempoTrascorso;
        break;
    case TMainLabel::NumeroScatti:
        if (!FPulsesShown)
            return; // a time-rated tariff: the frame keeps its dash
        target = lbNumeroScatti;
        break;
    case TMainLabel::Spesa:
        target = lbSpesa;
        break;
    case TMainLabel::Quorvanta:
        target = lbQuorvanta;
        break;
    case TMainLabel::BytesTransmitted:
        target = LabelBytesTransmitted;
        break;
    case TMainLabel::BytesReceived:
        target = LabelBytesReceived;
        break;
    }
    target->setText(QString::fromStdString(text));
}

// A time-rated tariff has no pulses: the skin's frame for them shows a dash and says why, rather
// than standing empty.
void TfmMain::SetPulseLabelVisible(bool visible)
{
    FPulsesShown = visible;
    lbNumeroScatti->setText(visible ? QStringLiteral("0") : QStringLiteral("–"));
    lbNumeroScatti->setToolTip(visible ? QStringLiteral("Numero scatti effettuati")
                                       : QStringLiteral("Tariffa a tempo: nessuno scatto da contare"));
}

void TfmMain::SetProgress(int maximum, int position)
{
    ProgressBar->setRange(0, std::max(maximum, 1));
    ProgressBar->setValue(std::clamp(position, 0, std::max(maximum, 1)));
}

void TfmMain::SetProgressHint(const std::string& text)
{
    ProgressBar->setToolTip(ToQt(text));
}

void TfmMain::SetTrayIcon(TFasciaOraria band)
{
    if (FTray)
        FTray->SetBand(band);
}

void TfmMain::SetTrayHint(const std::string& text)
{
    if (FTray)
        FTray->SetHint(ToQt(text));
}

QRect TfmMain::TrayRect() const
{
    if (FTray) {
        const QRect r = FTray->Geometry();
        if (r.isValid() && !r.isEmpty())
            return r;
    }
    // No tray geometry known: the corner where panels usually keep it.
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? QRect(s->availableGeometry().bottomRight(), QSize(1, 1)) : QRect(0, 0, 1, 1);
}

void TfmMain::ShowBalloon(TBalloon balloon, const std::string& title, const std::string& text, int ms)
{
    switch (balloon) {
    case TBalloon::Greetings:
        BalloonGreetings->ShowAt(QCursor::pos(), ToQt(title), ToQt(text), ms);
        break;
    case TBalloon::Tariff:
        Stack(BalloonTariff, frameGeometry(), true, title, text, ms);
        break;
    case TBalloon::Comparison:
        Stack(BalloonComparison, TrayRect(), false, title, text, ms);
        break;
    case TBalloon::General:
        Stack(BalloonGeneral, TrayRect(), false, title, text, 3000);
        break;
    }
}

void TfmMain::Stack(TBalloonHint* balloon, const QRect& anchor, bool alignLeft, const std::string& title,
                    const std::string& text, int ms)
{
    balloon->hide(); // its old place is free again
    balloon->Prepare(ToQt(title), ToQt(text));
    std::vector<QRect> taken;
    for (const TBalloonHint* other : {BalloonGreetings, BalloonTariff, BalloonComparison, BalloonGeneral})
        if (other != balloon && other->isVisible())
            taken.push_back(other->frameGeometry());
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    balloon->Show(StackedPosition(anchor, balloon->size(), area, taken, alignLeft), ms);
}

void TfmMain::SetWindowVisible(bool visible)
{
    setVisible(visible);
}

void TfmMain::BringToFront()
{
    // An open question comes first: activating the window behind it would take its focus.
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = this;
    front->raise();
    front->activateWindow();
}

void TfmMain::SetDisconnectButtonVisible(bool visible)
{
    btDisconnetti->setVisible(visible);
}

void TfmMain::SetShowHideCaption(const std::string& caption)
{
    if (FTray)
        FTray->ActionShowHide->setText(QString::fromStdString(caption));
}

void TfmMain::OpenInternationalWarning(TInternationalWarning& warning)
{
    TfmInternational dialog(warning, this);
    dialog.exec();
}

void TfmMain::OpenTariffChooser()
{
    if (OnTariffChooser)
        OnTariffChooser();
}

void TfmMain::ShowIdle()
{
    // The forms of a count: "0.00.00" elapsed, "00.00" to the next step.
    lbTempoTrascorso->setText(QStringLiteral("0.00.00"));
    lbNumeroScatti->setText(FPulsesShown ? QStringLiteral("0") : QStringLiteral("–"));
    lbSpesa->setText(QStringLiteral("£ 0"));
    lbQuorvanta->setText(QStringLiteral("00.00"));
    LabelBytesTransmitted->setText(QStringLiteral("0"));
    LabelBytesReceived->setText(QStringLiteral("0"));
    ProgressBar->setValue(0);
}

void TfmMain::RememberPosition(TRegistry& registry)
{
    FFormSettings = std::make_unique<TFormSettings>(registry, *this);
}

void TfmMain::SetBounds(int left, int top, int w, int h)
{
    setGeometry(left, top, w, h);
}

int TfmMain::ScreenWidth() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int TfmMain::ScreenHeight() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

std::vector<TFormControl> TfmMain::SkinControls()
{
    std::vector<TFormControl> out;
    for (QLabel* l : {lbTempoTrascorso, lbNumeroScatti, lbSpesa, lbQuorvanta, LabelBytesTransmitted, LabelBytesReceived}) {
        TFormControl c;
        c.Name = l->objectName().toStdString();
        c.Left = l->x();
        c.Top = l->y();
        c.Font = FFonts[c.Name];
        out.push_back(c);
    }
    for (QToolButton* b : {btStart, btApplicazioni, btNascondi, btDisconnetti}) {
        TFormControl c;
        c.Name = b->objectName().toStdString();
        c.Left = b->x();
        c.Top = b->y();
        c.Font = FFonts[c.Name];
        c.Button = true;
        c.Glyph = FGlyphs[c.Name];
        out.push_back(c);
    }
    return out;
}

void TfmMain::ApplySkinControl(const TFormControl& c)
{
    QWidget* w = findChild<QWidget*>(QString::fromStdString(c.Name), Qt::FindDirectChildrenOnly);
    if (!w)
        return;
    FFonts[c.Name] = c.Font;
    QFont font(QString::fromStdString(c.Font.Name()));
    if (c.Font.Height() < 0)
        font.setPixelSize(-c.Font.Height());
    else if (c.Font.Height() > 0)
        font.setPixelSize(c.Font.Height());
    font.setBold(c.Font.Style() & fsBold);
    font.setItalic(c.Font.Style() & fsItalic);
    font.setUnderline(c.Font.Style() & fsUnderline);
    font.setStrikeOut(c.Font.Style() & fsStrikeOut);
    font.setStyleHint(QFont::TypeWriter);
    w->setFont(font);
    if (auto* b = qobject_cast<QToolButton*>(w)) {
        const QPixmap pixmap = GlyphPixmap(c.Glyph);
        if (!pixmap.isNull()) {
            FGlyphs[c.Name] = c.Glyph;
            b->setIcon(QIcon(pixmap));
            b->setIconSize(pixmap.size());
            b->setFixedSize(pixmap.size() + QSize(2, 2));
        }
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, SkinColor(c.Font.Color()));
        l->setPalette(p);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setFixedSize(QFontMetrics(font).horizontalAdvance(SkinLabelWidestText(c.Name)) + 2, QFontMetrics(font).height());
    }
    w->move(c.Left, c.Top);
    LayOutProgress();
}

void TfmMain::SetSkinBackground(const QPixmap& pixmap, const QColor& color, const QSize& size, const QBitmap* shape)
{
    FSkinPixmap = pixmap;
    FSkinColor = color;
    FSkinSize = size;
    FSkinMask = shape ? std::optional<QBitmap>(*shape) : std::nullopt;
    ApplySize();
}

void TfmMain::ApplySize()
{
    if (!FSkinSize.isValid())
        FSkinSize = size(); // no skin yet: the window as it is
    const int extra = PlanStrip->isVisibleTo(this) ? TPlanStrip::Height : 0;
    setFixedSize(FSkinSize + QSize(0, extra));
    PlanStrip->setGeometry(0, FSkinSize.height(), FSkinSize.width(), TPlanStrip::Height);
    if (FSkinMask) {
        QRegion region(*FSkinMask);
        if (extra)
            region += QRect(0, FSkinSize.height(), FSkinSize.width(), extra);
        setMask(region);
    } else {
        clearMask();
    }
    LayOutProgress();
    update();
}

void TfmMain::SetPlanView(const TPlanView& view)
{
    PlanStrip->SetView(view);
    const bool shown = view.Level != TPlanLevel::None;
    if (shown != PlanStrip->isVisibleTo(this)) {
        PlanStrip->setVisible(shown);
        ApplySize();
    }
    if (FTray)
        FTray->SetPlan(view);
}

void TfmMain::LayOutProgress()
{
    // A thin bar along the bottom, under the labels, clear of the buttons.
    const int left = lbTempoTrascorso->x();
    const int right = std::max(left + 10, btStart->x() - 3);
    ProgressBar->setGeometry(left, (FSkinSize.isValid() ? FSkinSize.height() : height()) - 2, right - left, 2);
}

void TfmMain::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!FSkinPixmap.isNull())
        p.drawPixmap(0, 0, FSkinPixmap);
    else
        p.fillRect(rect(), FSkinColor);
}

void TfmMain::closeEvent(QCloseEvent* event)
{
    if (OnCloseRequest) {
        event->ignore();
        OnCloseRequest();
        return;
    }
    QWidget::closeEvent(event);
}

void TfmMain::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        FDragging = true;
        FMoved = false;
        FDragOrigin = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void TfmMain::mouseMoveEvent(QMouseEvent* event)
{
    if (FDragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - FDragOrigin);
        FMoved = true;
    }
    QWidget::mouseMoveEvent(event);
}

void TfmMain::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        FDragging = false;
        if (FMoved && OnMovedByUser)
            OnMovedByUser();
        FMoved = false;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace qv
