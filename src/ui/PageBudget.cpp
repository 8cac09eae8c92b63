#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QVBoxLayout>

namespace qv {

TpgBudget::TpgBudget(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgBudget"));
    auto* budget = new QGroupBox(this);
    budget->setObjectName(QStringLiteral("gbBudget"));
    edImporto = new QLineEdit(budget);
    edImporto->setPlaceholderText(QStringLiteral("nessun budget"));
    seGiorno = new QSpinBox(budget);
    seGiorno->setRange(1, 28);
    cbRiaggancia = new QCheckBox(QString::fromUtf8(TBudgetSettings::LabelRiaggancia), budget);
    auto* bf = new QFormLayout(budget);
    bf->addRow(QString::fromUtf8(TBudgetSettings::LabelImporto), edImporto);
    bf->addRow(QString::fromUtf8(TBudgetSettings::LabelGiorno), seGiorno);
    bf->addRow(cbRiaggancia);
    auto* note = new QLabel(QStringLiteral("Avvisi all'80%, al 90% e al 100% del budget, una volta per ciclo."), budget);
    note->setWordWrap(true);
    bf->addRow(note);

    auto* idle = new QGroupBox(QStringLiteral("Linea inattiva"), this);
    cbConnessione = new QComboBox(idle);
    cbInattiva = new QCheckBox(QString::fromUtf8(TBudgetSettings::LabelAttivo), idle);
    edByte = new QLineEdit(idle);
    edMinuti = new QLineEdit(idle);
    for (QLineEdit* e : {edByte, edMinuti})
        e->setValidator(new QIntValidator(0, 999999999, e));
    auto* inf = new QFormLayout(idle);
    inf->addRow(QStringLiteral("Connessione"), cbConnessione);
    inf->addRow(cbInattiva);
    inf->addRow(QString::fromUtf8(TBudgetSettings::LabelByte), edByte);
    inf->addRow(QString::fromUtf8(TBudgetSettings::LabelMinuti), edMinuti);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(budget);
    layout->addWidget(idle);
    layout->addStretch();
    connect(cbConnessione, &QComboBox::currentTextChanged, this, [this] {
        KeepIdle();
        ShowIdle();
    });
}

void TpgBudget::KeepIdle()
{
    if (FShown.empty())
        return;
    TBudgetSettings::TIdleForm f;
    f.Attivo = cbInattiva->isChecked();
    f.Byte = edByte->text().toStdString();
    f.Minuti = edMinuti->text().toStdString();
    FIdle[FShown] = f;
}

void TpgBudget::ShowIdle()
{
    FShown = cbConnessione->currentText().toStdString();
    const auto it = FIdle.find(FShown);
    const TBudgetSettings::TIdleForm f = it != FIdle.end() ? it->second : FRules.Idle(FShown);
    cbInattiva->setChecked(f.Attivo);
    edByte->setText(ToQt(f.Byte));
    edMinuti->setText(ToQt(f.Minuti));
}

void TpgBudget::Load()
{
    const std::string profile = FRules.ProfileName();
    findChild<QGroupBox*>(QStringLiteral("gbBudget"))
        ->setTitle(profile.empty() ? QStringLiteral("Budget mensile") : QStringLiteral("Budget mensile del profilo «%1»").arg(ToQt(profile)));
    const TBudgetSettings::TBudgetForm b = FRules.Budget();
    edImporto->setText(ToQt(b.Importo));
    seGiorno->setValue(b.GiornoInizio);
    cbRiaggancia->setChecked(b.Riaggancia);
    FIdle.clear();
    FShown.clear();
    const QSignalBlocker block(cbConnessione);
    cbConnessione->clear();
    for (const std::string& e : FRules.Entries())
        cbConnessione->addItem(ToQt(e));
    ShowIdle();
}

bool TpgBudget::Apply()
{
    TBudgetSettings::TBudgetForm b;
    b.Importo = edImporto->text().toStdString();
    b.GiornoInizio = seGiorno->value();
    b.Riaggancia = cbRiaggancia->isChecked();
    if (!FRules.ApplyBudget(b)) {
        edImporto->setFocus();
        return false;
    }
    KeepIdle();
    for (const auto& [entry, form] : FIdle) {
        if (!FRules.ApplyIdle(entry, form)) {
            cbConnessione->setCurrentText(ToQt(entry));
            return false;
        }
    }
    return true;
}

} // namespace qv
