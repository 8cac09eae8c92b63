#include "ui/TfmWaitRas.h"

#include <QScreen>
#include <algorithm>

#include "ui/QtPrompter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

namespace qv {

namespace {

// The small telephone drawn before each entry of the phone book.
QIcon EntryIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 1.5));
    p.setBrush(QColor(70, 110, 200));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 6), 1.5, 1.5);
    p.drawArc(QRectF(2.5, 2.5, 11, 8), 20 * 16, 140 * 16);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 10.5), 1.5, 1.5);
    return QIcon(pixmap);
}

} // namespace

TDialAnimation::TDialAnimation(QWidget* parent) : QWidget(parent)
{
    FTimer.setInterval(150);
    connect(&FTimer, &QTimer::timeout, this, [this] {
        FFrame = (FFrame + 1) % 4;
        update();
    });
}

void TDialAnimation::SetRunning(bool running)
{
    if (running == FTimer.isActive())
        return;
    if (running)
        FTimer.start();
    else
        FTimer.stop();
    update();
}

void TDialAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(height() - 2, 10);
    for (int i = 0; i < 4; ++i) {
        const bool lit = Running() && i == FFrame;
        p.setPen(QColor(40, 40, 40));
        p.setBrush(lit ? QColor(60, 220, 60) : QColor(30, 80, 30));
        p.drawEllipse(QRectF(2 + i * (d + 6), (height() - d) / 2.0, d, d));
    }
}

void TClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

TfmWaitRas::TfmWaitRas(TWaitRasController& controller, QWidget* parent) : QDialog(parent), FController(controller)
{
    setObjectName(QStringLiteral("TfmWaitRas"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    lbConnessione = new QLabel(this);
    lbConnessione->setObjectName(QStringLiteral("lbConnessione"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    LabelStato = new QLabel(this);
    LabelStato->setObjectName(QStringLiteral("LabelStato"));
    LabelTariffa = new TClickLabel(this);
    LabelTariffa->setObjectName(QStringLiteral("LabelTariffa"));
    LabelTariffa->setToolTip(QStringLiteral("Doppio clic per scegliere la tariffa"));
    QFont bold = LabelTariffa->font();
    bold.setBold(true);
    LabelTariffa->setFont(bold);
    cbPhoneBook = new QComboBox(this);
    cbPhoneBook->setObjectName(QStringLiteral("cbPhoneBook"));
    CheckBoxMode = new QCheckBox(QStringLiteral("Usa connessioni a uguale tariffa "), this);
    CheckBoxMode->setObjectName(QStringLiteral("CheckBoxMode"));
    CheckBoxMode->hide();
    btAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    btAnnulla->setObjectName(QStringLiteral("btAnnulla"));
    btRiprova = new QPushButton(QStringLiteral("&Riprova"), this);
    btRiprova->setObjectName(QStringLiteral("btRiprova"));
    btRiprova->hide();
    Animation = new TDialAnimation(this);

    auto* top = new QHBoxLayout;
    top->addWidget(cbPhoneBook, 1);
    top->addWidget(Animation);
    auto* labels = new QHBoxLayout;
    labels->addWidget(LabelStato, 1);
    labels->addWidget(LabelTariffa);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CheckBoxMode);
    buttons->addStretch(1);
    buttons->addWidget(btRiprova);
    buttons->addWidget(btAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Memo, 1);
    layout->addWidget(lbConnessione);
    layout->addWidget(ProgressBar);
    layout->addLayout(labels);
    layout->addLayout(buttons);
    resize(380, 300);

    connect(btAnnulla, &QPushButton::clicked, this, [this] { FController.CancelClicked(); });
    connect(btRiprova, &QPushButton::clicked, this, [this] { FController.RetryClicked(); });
    connect(CheckBoxMode, &QCheckBox::toggled, this, [this](bool on) { FController.ModeToggled(on); });
    connect(LabelTariffa, &TClickLabel::doubleClicked, this, [this] { FController.TariffDoubleClicked(); });
    connect(cbPhoneBook, &QComboBox::currentTextChanged, this, [this](const QString& entry) {
        cbPhoneBook->setToolTip(QStringLiteral("Quorvanta lancia la connessione a ") + entry);
        if (!Filling)
            FController.EntryChosen(entry.toStdString());
    });
}

void TfmWaitRas::SetStatusText(const QString& text)
{
    FStatusText = text;
    lbConnessione->setToolTip(text);
    Elide();
}

void TfmWaitRas::Elide()
{
    // Cut to the progress bar's width, "..." appended, as one line.
    QString line = FStatusText;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QFontMetrics metrics(lbConnessione->font());
    const int width = ProgressBar->width();
    if (metrics.horizontalAdvance(line) > width) {
        const int dots = metrics.horizontalAdvance(QStringLiteral("..."));
        while (!line.isEmpty() && metrics.horizontalAdvance(line) + dots > width)
            line.chop(1);
        line += QStringLiteral("...");
    }
    lbConnessione->setText(line);
}

void TfmWaitRas::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Elide();
}

void TfmWaitRas::closeEvent(QCloseEvent* event)
{
    event->accept();
    FController.WindowClosed();
}

void TfmWaitRas::reject()
{
    // Escape closes the window as its frame does.
    FController.WindowClosed();
}

TfmCredentials::TfmCredentials(const TCredentialsRequest& request,
                               std::function<bool(const std::string&, const std::string&, bool)> ok, QWidget* parent)
    : QDialog(parent), FOk(std::move(ok))
{
    setObjectName(QStringLiteral("TfmCredentials"));
    setWindowTitle(QString::fromStdString(request.Caption));
    // Wide enough for the whole caption ("Connessione a: Provider Due") beside the title-bar buttons.
    setMinimumWidth(std::max(320, fontMetrics().horizontalAdvance(windowTitle()) + 140));
    auto* text = new QLabel(QString::fromUtf8(TCredentialsRequest::Text), this);
    text->setWordWrap(true);
    edUser = new QLineEdit(QString::fromStdString(request.User), this);
    edUser->setObjectName(QStringLiteral("edUser"));
    edPassword = new QLineEdit(QString::fromStdString(request.Password), this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    cbSave = new QCheckBox(QString::fromUtf8(TCredentialsRequest::SaveLabel), this);
    cbSave->setObjectName(QStringLiteral("cbSave"));
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(TCredentialsRequest::UserLabel), edUser);
    form->addRow(QString::fromUtf8(TCredentialsRequest::PasswordLabel), edPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOk);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(cbSave);
    layout->addLayout(buttons);
    (request.FocusPassword ? edPassword : edUser)->setFocus();
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (FOk(edUser->text().toStdString(), edPassword->text().toStdString(), cbSave->isChecked()))
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TWaitRasView::~TWaitRasView()
{
    delete FForm.data();
}

TfmWaitRas& TWaitRasView::Make()
{
    if (!FForm) {
        FForm = new TfmWaitRas(*FController, nullptr);
        FForm->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    return *FForm;
}

QPoint PlaceBeside(const QRect& owner, const QSize& size, const QRect& screen)
{
    constexpr int gap = 8;
    const int centredX = owner.center().x() - size.width() / 2;
    const int centredY = owner.center().y() - size.height() / 2;
    // Below, above, right, left of the owner: the first place that fits the screen wins.
    const QPoint places[] = {{centredX, owner.bottom() + 1 + gap},
                             {centredX, owner.top() - gap - size.height()},
                             {owner.right() + 1 + gap, centredY},
                             {owner.left() - gap - size.width(), centredY}};
    const auto clampX = [&](int x) { return std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width())); };
    const auto clampY = [&](int y) { return std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height())); };
    for (std::size_t i = 0; i < 4; ++i) {
        // Slid along the owner's side to stay on the screen, never over the owner.
        QPoint p = places[i];
        p = i < 2 ? QPoint(clampX(p.x()), p.y()) : QPoint(p.x(), clampY(p.y()));
        const QRect r(p, size);
        if (screen.contains(r) && !r.intersects(owner))
            return p;
    }
    return {clampX(centredX), clampY(owner.bottom() + 1 + gap)};
}

void TWaitRasView::ShowWindow()
{
    TfmWaitRas& f = Make();
    if (!f.isVisible() && FOwner) {
        // Whole on the owner's screen and beside the always-on-top strip, never under it.
        f.adjustSize();
        const QScreen* screen = FOwner->screen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        f.move(PlaceBeside(FOwner->frameGeometry(), f.frameGeometry().size(), available));
    }
    f.show();
    f.raise();
}

void TWaitRasView::CloseWindow()
{
    if (!FForm)
        return;
    // Released a moment later: the close may come from one of the window's own handlers.
    FForm->hide();
    FForm->deleteLater();
    FForm = nullptr;
}

void TWaitRasView::SetCaption(const std::string& caption)
{
    Make().setWindowTitle(QString::fromStdString(caption));
}

void TWaitRasView::SetCancelCaption(const std::string& caption)
{
    Make().btAnnulla->setText(QString::fromStdString(caption));
}

void TWaitRasView::SetAnimation(bool running)
{
    Make().Animation->SetRunning(running);
}

void TWaitRasView::SetRetryVisible(bool visible)
{
    Make().btRiprova->setVisible(visible);
}

void TWaitRasView::SetEntryListEnabled(bool enabled)
{
    Make().cbPhoneBook->setEnabled(enabled);
}

void TWaitRasView::SetEntries(const std::vector<std::string>& entries, const std::string& selected)
{
    TfmWaitRas& f = Make();
    f.Filling = true;
    f.cbPhoneBook->clear();
    const QIcon icon = EntryIcon();
    for (const std::string& e : entries)
        f.cbPhoneBook->addItem(icon, QString::fromStdString(e));
    f.cbPhoneBook->setCurrentText(QString::fromStdString(selected));
    f.Filling = false;
}

void TWaitRasView::SetProgress(int position, int maximum)
{
    TfmWaitRas& f = Make();
    f.ProgressBar->setMaximum(maximum);
    f.ProgressBar->setValue(position);
}

void TWaitRasView::SetStatusLine(const std::string& text)
{
    Make().SetStatusText(ToQt(text));
}

void TWaitRasView::AddMemoLine(const std::string& text)
{
    TfmWaitRas& f = Make();
    f.Memo->appendPlainText(ToQt(text));
    f.Memo->verticalScrollBar()->setValue(f.Memo->verticalScrollBar()->maximum());
    f.Memo->repaint();
}

void TWaitRasView::ClearMemo()
{
    Make().Memo->clear();
}

void TWaitRasView::SetStateLabel(const std::string& text)
{
    Make().LabelStato->setText(ToQt(text));
}

void TWaitRasView::SetTariffLabel(const std::string& text)
{
    Make().LabelTariffa->setText(QString::fromStdString(text));
}

void TWaitRasView::SetModeCheck(bool visible, bool checked, const std::string& hint)
{
    TfmWaitRas& f = Make();
    const QSignalBlocker block(f.CheckBoxMode);
    f.CheckBoxMode->setChecked(checked);
    f.CheckBoxMode->setVisible(visible);
    f.CheckBoxMode->setToolTip(ToQt(hint));
}

void TWaitRasView::WarningBeep()
{
    QApplication::beep();
}

void TWaitRasView::BringToFront()
{
    if (!FForm)
        return;
    FForm->show();
    FForm->raise();
    FForm->activateWindow();
}

bool TWaitRasView::RunCredentialsBox(const TCredentialsRequest& request,
                                     const std::function<bool(const std::string&, const std::string&, bool)>& ok)
{
    // Without a parent: the dial window may be closed and released while the box is open.
    TfmCredentials box(request, ok, nullptr);
    return box.exec() == QDialog::Accepted;
}

void TWaitRasView::WaitWhile(const std::function<bool()>& open)
{
    while (open())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

} // namespace qv
