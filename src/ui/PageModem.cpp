#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace qv {

TpgModem::TpgModem(TServices&, TDataModule& module, QWidget* parent) : TSettingsPage(parent), FRules(module)
{
    setObjectName(QStringLiteral("pgModem"));
    cbDispositivo = new QComboBox(this);
    cbDispositivo->setMinimumWidth(280);
    lbMotivo = new QLabel(this);
    lbMotivo->setWordWrap(true);
    auto* note = new QLabel(QStringLiteral("Quorvanta segue le chiamate che altri programmi fanno con il modem "
                                           "scelto attraverso ModemManager (NetworkManager, mmcli)."),
                            this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Modem da controllare"), cbDispositivo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lbMotivo);
    layout->addWidget(note);
    layout->addStretch();
}

void TpgModem::Load()
{
    cbDispositivo->clear();
    for (const std::string& name : FRules.Choices())
        cbDispositivo->addItem(ToQt(name));
    const QString current = ToQt(FRules.Current());
    if (cbDispositivo->findText(current) < 0)
        cbDispositivo->addItem(current);
    cbDispositivo->setCurrentText(current);
    const std::string reason = FRules.Reason();
    lbMotivo->setText(reason.empty() ? QString() : QStringLiteral("Nessun modem disponibile: ") + ToQt(reason));
    lbMotivo->setVisible(!reason.empty());
}

bool TpgModem::Apply()
{
    FRules.Apply(cbDispositivo->currentText().toStdString());
    return true;
}

} // namespace qv
