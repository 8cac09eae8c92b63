#include "ui/TfmMain.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

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
    // A classic compact strip: navy background, light readable digits.
    setStyleSheet(QStringLiteral("#TfmMain { background: #000050; border: 1px solid #7080c0; }"
                                 "QLabel { color: #f0f0ff; font-family: monospace; font-weight: bold; }"
                                 "QProgressBar { background: #000030; border: 1px solid #5060a0; height: 5px; }"
                                 "QProgressBar::chunk { background: #40c040; }"));

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
    ShowIdle();
    resize(260, 48);
}

TfmMain::~TfmMain() = default;

void TfmMain::ShowIdle()
{
    lbTempoTrascorso->setText(QStringLiteral("00:00:00"));
    lbNumeroScatti->setText(QStringLiteral("0"));
    lbSpesa->setText(QStringLiteral("£ 0"));
    lbQuorvanta->setText(QStringLiteral("00:00"));
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
