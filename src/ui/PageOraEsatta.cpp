#include "timesync/InternetTime.h"
#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QVBoxLayout>

namespace qv {

TpgOraEsatta::TpgOraEsatta(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgOraEsatta"));
    cbAutoTimeCheck = new QCheckBox(QString::fromUtf8(TGeneralSettings::LabelAutoTimeCheck), this);
    cbTimeServer = new QComboBox(this);
    cbTimeServer->setObjectName(QStringLiteral("cbTimeServer"));
    cbTimeServer->setEditable(true);
    for (const std::string& s : TimeServerChoices())
        cbTimeServer->addItem(ToQt(s));
    cbTimeServer->setMinimumWidth(280);
    btVerifica = new QPushButton(QStringLiteral("&Verifica adesso"), this);
    auto* note = new QLabel(QStringLiteral("Il time server risponde con il protocollo Time (RFC 868, porta TCP 37); "
                                           "si può indicare un'altra porta come «server:porta»."),
                            this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(TGeneralSettings::LabelTimeServer), cbTimeServer);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cbAutoTimeCheck);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(btVerifica, 0, Qt::AlignLeft);
    layout->addStretch();
    connect(btVerifica, &QPushButton::clicked, this, [this] {
        if (OnCheckNow && Apply())
            OnCheckNow(cbTimeServer->currentText().trimmed().toStdString());
    });
}

void TpgOraEsatta::showEvent(QShowEvent* e)
{
    btVerifica->setVisible(static_cast<bool>(OnCheckNow));
    TSettingsPage::showEvent(e);
}

void TpgOraEsatta::Load()
{
    const TGeneralSettings::TForm f = FRules.Form();
    cbAutoTimeCheck->setChecked(f.AutoTimeCheck);
    cbTimeServer->setEditText(ToQt(f.TimeServer));
}

bool TpgOraEsatta::Apply()
{
    TGeneralSettings::TForm f = FRules.Form();
    f.AutoTimeCheck = cbAutoTimeCheck->isChecked();
    f.TimeServer = cbTimeServer->currentText().toStdString();
    if (!FRules.Apply(f))
        return false;
    cbTimeServer->setEditText(ToQt(FRules.Form().TimeServer));
    return true;
}

} // namespace qv
