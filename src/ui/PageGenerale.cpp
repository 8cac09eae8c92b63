#include "core/DateTime.h"
#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"
#include "ui/TfmImpostazioni.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace qv {

TpgGenerale::TpgGenerale(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgGenerale"));
    cbCheckAnnounce = new QCheckBox(QString::fromUtf8(TGeneralSettings::LabelCheckAnnounce), this);
    cbWinStart = new QCheckBox(QString::fromUtf8(TGeneralSettings::LabelWinStart), this);
    cbFullTapiMonitor = new QCheckBox(QString::fromUtf8(TGeneralSettings::LabelFullTapi), this);
    edPrefisso = new QLineEdit(this);
    edPrefisso->setObjectName(QStringLiteral("edPrefisso"));
    edPrefisso->setMaximumWidth(120);
    lbInstallation = new QLabel(this);
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(TGeneralSettings::LabelPrefix), edPrefisso);
    form->addRow(QStringLiteral("Installato il"), lbInstallation);
    auto* layout = new QVBoxLayout(this);
    for (QCheckBox* c : {cbWinStart, cbCheckAnnounce, cbFullTapiMonitor})
        layout->addWidget(c);
    layout->addSpacing(8);
    layout->addLayout(form);
    layout->addStretch();
}

void TpgGenerale::Load()
{
    const TGeneralSettings::TForm f = FRules.Form();
    cbCheckAnnounce->setChecked(f.CheckAnnounce);
    cbCheckAnnounce->setVisible(f.AnnounceAddress);
    cbWinStart->setChecked(f.WinStart);
    cbFullTapiMonitor->setChecked(f.FullTapiMonitor);
    edPrefisso->setText(ToQt(f.InternationalPrefix));
    lbInstallation->setText(ToQt(FormatDateTime("dddd d mmmm yyyy", f.Installation)));
}

bool TpgGenerale::Apply()
{
    TGeneralSettings::TForm f = FRules.Form();
    f.CheckAnnounce = cbCheckAnnounce->isChecked();
    f.WinStart = cbWinStart->isChecked();
    f.FullTapiMonitor = cbFullTapiMonitor->isChecked();
    f.InternationalPrefix = edPrefisso->text().toStdString();
    if (!FRules.Apply(f)) {
        edPrefisso->setFocus();
        return false;
    }
    return true;
}

void AddStandardPages(TfmImpostazioni& window, TServices& services, TDataModule& module)
{
    window.AddPage(new TpgGenerale(services, module));
    window.AddPage(new TpgProfili(services, module));
    window.AddPage(new TpgConnessioni(services, module));
    window.AddPage(new TpgTariffe(services, module));
    window.AddPage(new TpgCalendario(services, module));
    window.AddPage(new TpgSuoni(services, module));
    window.AddPage(new TpgOraEsatta(services, module));
    window.AddPage(new TpgModem(services, module));
    window.AddPage(new TpgSms(services, module));
    window.AddPage(new TpgBudget(services, module));
    window.AddPage(new TpgPianiDati(services, module));
}

} // namespace qv
