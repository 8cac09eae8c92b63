#include "ui/TfmAbout.h"

#include "app/About.h"
#include "core/DateTime.h"
#include "ui/QtPrompter.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <QVBoxLayout>

namespace qv {

namespace {

// The credits: drawn line by line, moving up.
class TCredits : public QWidget
{
public:
    TCredits(QWidget* parent, const int& offset) : QWidget(parent), FOffset(offset) { setMinimumHeight(110); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0, 0, 64));
        p.setPen(QColor(255, 240, 160));
        const int line = fontMetrics().height() + 2;
        const auto& lines = CreditLines();
        const int total = static_cast<int>(lines.size()) * line + height();
        const int start = height() - (FOffset % total);
        for (std::size_t i = 0; i < lines.size(); ++i)
            p.drawText(QRect(0, start + static_cast<int>(i) * line, width(), line), Qt::AlignCenter,
                       QString::fromStdString(lines[i]));
    }

private:
    const int& FOffset;
};

} // namespace

TfmAbout::TfmAbout(const TAppEnvironment& env, const TSettings& settings, TPlaySound play, QWidget* parent,
                   std::function<void()> checkNews)
    : QDialog(parent), FPlay(std::move(play))
{
    setObjectName(QStringLiteral("TfmAbout"));
    setWindowTitle(QStringLiteral("Informazioni su Quorvanta"));
    auto* title = new QLabel(QStringLiteral("Quorvanta"), this);
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 10);
    f.setBold(true);
    f.setItalic(true);
    title->setFont(f);
    title->setStyleSheet(QStringLiteral("color: navy;"));
    lbVersione = new QLabel(ToQt(VersionText(env)), this);
    lbInstallazione = new QLabel(ToQt(InstalledText(settings)), this);
    lbAnnuncio = new QLabel(ToQt(AnnouncementText(settings)), this);
    lbAnnuncio->setWordWrap(true);
    lbAnnuncio->setFrameShape(QFrame::StyledPanel);
    lbAnnuncio->setMargin(6);
    pnTitoli = new TCredits(this, FOffset);
    lbSito = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromUtf8(ProjectPage)), this);
    lbSito->setTextInteractionFlags(Qt::TextBrowserInteraction);
    lbSito->setOpenExternalLinks(true);
    lbSito->setVisible(*ProjectPage != '\0');
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    btNovita = new QPushButton(QStringLiteral("&Novità..."), this);
    btNovita->setVisible(static_cast<bool>(checkNews));
    connect(btNovita, &QPushButton::clicked, this, [checkNews] {
        if (checkNews)
            checkNews();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btNovita);
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* v = new QVBoxLayout(this);
    v->addWidget(title, 0, Qt::AlignHCenter);
    v->addWidget(lbVersione, 0, Qt::AlignHCenter);
    v->addWidget(lbInstallazione, 0, Qt::AlignHCenter);
    v->addWidget(lbAnnuncio);
    v->addWidget(pnTitoli, 1);
    v->addWidget(lbSito, 0, Qt::AlignHCenter);
    v->addLayout(buttons);
    resize(420, 420);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(lbSito, &QLabel::linkActivated, this, [this](const QString& link) {
        if (FPlay)
            FPlay("Laser");
        QDesktopServices::openUrl(QUrl(link));
    });
    connect(&FTimer, &QTimer::timeout, this, &TfmAbout::Scroll);
    FTimer.start(40);
    if (FPlay)
        FPlay("Message");
}

void TfmAbout::Scroll()
{
    ++FOffset;
    pnTitoli->update();
}

TfmSanto::TfmSanto(TAgenda& agenda, double today, TPlaySound play, QWidget* parent)
    : QDialog(parent), FAgenda(agenda), FPlay(std::move(play))
{
    setObjectName(QStringLiteral("TfmSanto"));
    setWindowTitle(QStringLiteral("Santo del giorno"));
    std::string saints;
    try {
        saints = agenda.SaintsOf(today);
    } catch (const std::exception&) {
    }
    lbSanto = new QLabel(ToQt(FormatDateTime("dddd d mmmm yyyy", today) + "\nOggi si festeggia " + saints), this);
    lbSanto->setWordWrap(true);
    QFont bold = lbSanto->font();
    bold.setBold(true);
    lbSanto->setFont(bold);
    lbLegge = new QLabel(ToQt(agenda.NextLaw()), this);
    lbLegge->setWordWrap(true);
    lbLegge->setFrameShape(QFrame::StyledPanel);
    lbLegge->setMargin(8);
    lbLegge->setMinimumHeight(90);
    btAltra = new QPushButton(QStringLiteral("Un'&altra legge"), this);
    btDesktop = new QPushButton(QStringLiteral("Sul &desktop"), this);
    auto* chiudi = new QPushButton(QStringLiteral("&Chiudi"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btAltra);
    buttons->addWidget(btDesktop);
    buttons->addStretch();
    buttons->addWidget(chiudi);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lbSanto);
    v->addWidget(lbLegge, 1);
    v->addLayout(buttons);
    resize(440, 260);
    connect(chiudi, &QPushButton::clicked, this, &QDialog::accept);
    connect(btAltra, &QPushButton::clicked, this, [this] { lbLegge->setText(ToQt(FAgenda.NextLaw())); });
    connect(btDesktop, &QPushButton::clicked, this, [this] {
        auto* note = new TfmNota(QStringLiteral("Legge del giorno"), lbLegge->text(), FPlay);
        note->setAttribute(Qt::WA_DeleteOnClose);
        note->show();
    });
}

TfmNota::TfmNota(const QString& title, const QString& text, TPlaySound play)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint), FTitle(title), FText(text),
      FPlay(std::move(play))
{
    setObjectName(QStringLiteral("TfmNota"));
    setStyleSheet(QStringLiteral("QWidget#TfmNota { background: #fff7b0; border: 1px solid #c8b040; }"));
    setAttribute(Qt::WA_StyledBackground);
    lbTitolo = new QLabel(this);
    QFont f = lbTitolo->font();
    f.setBold(true);
    lbTitolo->setFont(f);
    lbTesto = new QLabel(this);
    lbTesto->setWordWrap(true);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lbTitolo);
    v->addWidget(lbTesto, 1);
    resize(280, 180);
    setToolTip(QStringLiteral("Un clic chiude il biglietto"));
    connect(&FTimer, &QTimer::timeout, this, &TfmNota::Step);
    FTimer.start(300);
    if (FPlay)
        FPlay("MsgSent");
}

void TfmNota::Step()
{
    if (Done()) {
        FTimer.stop();
        return;
    }
    const int titleSize = static_cast<int>(FTitle.size());
    if (FPos < titleSize) {
        const QChar c = FTitle.at(FPos++);
        lbTitolo->setText(FTitle.left(FPos));
        if (FPlay && !c.isSpace())
            FPlay("MsgType");
        if (FPos == titleSize && FPlay)
            FPlay("MsgBell");
        return;
    }
    // The law is written a word at a time, with the writing sound.
    const int from = FPos - titleSize;
    int to = static_cast<int>(FText.indexOf(QLatin1Char(' '), from + 1));
    if (to < 0)
        to = static_cast<int>(FText.size());
    FPos = titleSize + to;
    lbTesto->setText(FText.left(to));
    if (FPlay && from == 0)
        FPlay("Laser");
}

void TfmNota::mousePressEvent(QMouseEvent* event)
{
    if (FPlay)
        FPlay("Clink");
    close();
    QWidget::mousePressEvent(event);
}

} // namespace qv
