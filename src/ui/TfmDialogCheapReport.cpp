#include "ui/TfmDialogCheapReport.h"

#include "core/DateTime.h"
#include "stats/Statistics.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qv {

TfmDialogCheapReport::TfmDialogCheapReport(Clock& clock, TProfileItem& profile, const std::string& lastResult,
                                           QWidget* parent)
    : QDialog(parent), FClk(clock), FProfile(profile)
{
    setObjectName(QStringLiteral("TfmDialogCheapReport"));
    setWindowTitle(QStringLiteral("Impostazioni confronto delle tariffe"));
    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    lbOrologio = new QLabel(this);
    QFont big = lbOrologio->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    lbOrologio->setFont(big);
    top->addStretch();
    top->addWidget(lbOrologio);
    v->addLayout(top);
    auto* box = new QGroupBox(QStringLiteral("Messaggio di confronto delle tariffe"), this);
    auto* bv = new QVBoxLayout(box);
    const std::size_t chosen = CheapReportChoiceOf(profile.TrayHintPause());
    for (std::size_t i = 0; i < rbChoices.size(); ++i) {
        rbChoices[i] = new QRadioButton(QString::fromUtf8(CheapReportChoices[i].Caption), box);
        rbChoices[i]->setChecked(i == chosen);
        bv->addWidget(rbChoices[i]);
    }
    v->addWidget(box);
    cbSanto = new QCheckBox(QStringLiteral("Non mostrare il santo del giorno"), this);
    cbSanto->setChecked(profile.SanctiOff());
    v->addWidget(cbSanto);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    v->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        for (std::size_t i = 0; i < rbChoices.size(); ++i)
            if (rbChoices[i]->isChecked())
                FProfile.SetTrayHintPause(CheapReportChoices[i].TrayHintPause);
        FProfile.SetSanctiOff(cbSanto->isChecked());
        accept();
    });

    Tray = new QSystemTrayIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation), this);
    Tray->setToolTip(QString::fromStdString(lastResult).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    if (QSystemTrayIcon::isSystemTrayAvailable())
        Tray->show();
    connect(&FClock, &QTimer::timeout, this, &TfmDialogCheapReport::Tick);
    FClock.start(1000);
    Tick();
}

void TfmDialogCheapReport::Tick()
{
    const double now = FClk.Now();
    lbOrologio->setText(QString::fromStdString(FormatDateTime("h:nn", now)));
    lbOrologio->setToolTip(QString::fromStdString(FormatDateTime("dddd d mmmm yyyy", now)));
}

} // namespace qv
