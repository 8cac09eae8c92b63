#include "ui/TfmMain.h"

#include "ui/TfmInternational.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"

#include <QApplication>
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
    setAttribute(Qt::WA_StyledBackground);
    // A classic compact strip: navy background, light readable digits.
    // Only the window's own widgets are styled: dialogs opened over it keep the desktop's look.
    setStyleSheet(QStringLiteral(
        "#TfmMain { background: #000050; border: 1px solid #7080c0; }"
        "#lbTempoTrascorso, #lbNumeroScatti, #lbSpesa, #lbQuorvanta, #LabelBytesTransmitted, #LabelBytesReceived"
        " { color: #f0f0ff; font-family: monospace; font-weight: bold; }"
        "#btDisconnetti, #btNascondi, #btApplicazioni, #btStart { color: #f0f0ff; font-weight: bold; padding: 0 3px; }"
        "#btDisconnetti:disabled, #btNascondi:disabled, #btApplicazioni:disabled, #btStart:disabled { color: #505a90; }"
        "#ProgressBar { background: #000030; border: 1px solid #5060a0; height: 5px; }"
        "#ProgressBar::chunk { background: #40c040; }"));

    lbTempoTrascorso = MakeLabel(this, "lbTempoTrascorso", "Tempo trascorso online", Qt::AlignLeft);
    lbNumeroScatti = MakeLabel(this, "lbNumeroScatti", "Numero scatti effettuati", Qt::AlignRight);
    lbSpesa = MakeLabel(this, "lbSpesa", "Spesa in £", Qt::AlignRight);
    lbQuorvanta = MakeLabel(this, "lbQuorvanta", "Tempo al prossimo scatto", Qt::AlignLeft);
    LabelBytesTransmitted = MakeLabel(this, "LabelBytesTransmitted", "Bytes trasmessi", Qt::AlignLeft);
    LabelBytesReceived = MakeLabel(this, "LabelBytesReceived", "Byte ricevuti", Qt::AlignRight);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->setMaximumHeight(6);

    const auto button = [this](const char* name, const QString& text, const char* hint) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(QString::fromUtf8(hint));
        b->setAutoRaise(true);
        return b;
    };
    btDisconnetti = button("btDisconnetti", QStringLiteral("×"), "Disconnetti");
    btNascondi = button("btNascondi", QStringLiteral("_"), "Nascondi");
    btApplicazioni = button("btApplicazioni", QStringLiteral("▶"), "Lancia le applicazioni configurate con l'avvio manuale");
    btStart = button("btStart", QStringLiteral("●"), "Avvio manuale del conteggio");
    // The disconnect button comes and goes with the count: its place is kept, so the strip never
    // changes width.
    QSizePolicy keep = btDisconnetti->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    btDisconnetti->setSizePolicy(keep);
    btDisconnetti->setVisible(false);
    // Each label as wide as the longest text it shows (a day of counting, a million lire).
    for (const auto& [label, widest] : {std::pair<QLabel*, const char*>{lbTempoTrascorso, "888.88.88"},
                                        {lbNumeroScatti, "88.888"},
                                        {lbSpesa, "£ 8.888.888"},
                                        {lbQuorvanta, "888.88"},
                                        {LabelBytesTransmitted, "888.888.888"},
                                        {LabelBytesReceived, "888.888.888"}}) {
        label->ensurePolished();
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromUtf8(widest)) + 2);
    }
    setToolTip(QString::fromUtf8("Per posizionare la finestra cliccare il tasto sinistro del mouse\ne spostarla dove si "
                                 "desidera: la posizione sarà memorizzata"));
    BalloonGreetings = new TBalloonHint(QStringLiteral("BalloonGreetings"), Qt::red);
    BalloonTariff = new TBalloonHint(QStringLiteral("BalloonTariff"), QColor(0, 0, 128));
    BalloonComparison = new TBalloonHint(QStringLiteral("BalloonComparison"), QColor(0, 0, 128));
    BalloonGeneral = new TBalloonHint(QStringLiteral("BalloonGeneral"), QColor(0, 0, 128));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 3, 6, 3);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(1);
    grid->addWidget(lbTempoTrascorso, 0, 0);
    grid->addWidget(lbNumeroScatti, 0, 1);
    grid->addWidget(lbSpesa, 0, 2);
    grid->addWidget(lbQuorvanta, 1, 0);
    grid->addWidget(LabelBytesTransmitted, 1, 1);
    grid->addWidget(LabelBytesReceived, 1, 2);
    grid->addWidget(ProgressBar, 2, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    for (QToolButton* b : {btStart, btApplicazioni, btNascondi, btDisconnetti})
        buttons->addWidget(b);
    grid->addLayout(buttons, 0, 3, 2, 1);
    ShowIdle();
    resize(260, 48);
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

void TfmMain::SetPulseLabelVisible(bool visible)
{
    lbNumeroScatti->setVisible(visible);
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
    lbNumeroScatti->setText(QStringLiteral("0"));
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
        FDragOrigin = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void TfmMain::mouseMoveEvent(QMouseEvent* event)
{
    if (FDragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - FDragOrigin);
    QWidget::mouseMoveEvent(event);
}

void TfmMain::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        FDragging = false;
    QWidget::mouseReleaseEvent(event);
}

} // namespace qv
