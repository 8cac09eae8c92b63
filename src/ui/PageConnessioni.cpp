#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace qv {

namespace {
const QString NoTariff = QStringLiteral("<nessuna>");
}

TpgConnessioni::TpgConnessioni(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgConnessioni"));
    lbConnessioni = new QListWidget(this);
    lbConnessioni->setObjectName(QStringLiteral("lbConnessioni"));
    lbConnessioni->setFixedWidth(190);
    edDescrizione = new QLineEdit(this);
    cbTariffa = new QComboBox(this);
    cbTariffa->setObjectName(QStringLiteral("cbTariffa"));
    cbAutoDisconnect = new QCheckBox(QStringLiteral("Disconnetti dopo la durata della connessione"), this);
    teDurata = new QTimeEdit(this);
    teDurata->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    edRetryTime = new QLineEdit(this);
    edRetryTime->setObjectName(QStringLiteral("edRetryTime"));
    edRetryTime->setMaximumWidth(80);
    edDialTime = new QLineEdit(this);
    edDialTime->setObjectName(QStringLiteral("edDialTime"));
    edDialTime->setMaximumWidth(80);
    cbAskDisconnect = new QCheckBox(QStringLiteral("Chiedi prima di disconnettere"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Descrizione"), edDescrizione);
    form->addRow(QStringLiteral("Tariffa"), cbTariffa);
    form->addRow(QString::fromUtf8(TEntriesEditor::LabelDurata), teDurata);
    form->addRow(cbAutoDisconnect);
    form->addRow(cbAskDisconnect);
    form->addRow(QString::fromUtf8(TEntriesEditor::LabelRetry) + QStringLiteral(" (secondi)"), edRetryTime);
    form->addRow(QString::fromUtf8(TEntriesEditor::LabelDialTime) + QStringLiteral(" (secondi)"), edDialTime);
    Programmi = new TProgramsBox(services, this);
    auto* right = new QVBoxLayout;
    right->addLayout(form);
    right->addWidget(Programmi, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lbConnessioni);
    layout->addLayout(right, 1);
    connect(lbConnessioni, &QListWidget::currentRowChanged, this, [this](int row) {
        if (FFilling || row == FRow)
            return;
        if (!Apply()) {
            FFilling = true;
            lbConnessioni->setCurrentRow(FRow);
            FFilling = false;
            return;
        }
        ShowEntry(row);
    });
}

void TpgConnessioni::showEvent(QShowEvent* e)
{
    // The tariffs may have changed on their page.
    FFilling = true;
    cbTariffa->clear();
    cbTariffa->addItem(NoTariff);
    for (const auto& t : FRules.Tariffs())
        cbTariffa->addItem(ToQt(t));
    FFilling = false;
    if (FRow >= 0)
        ShowEntry(FRow);
    TSettingsPage::showEvent(e);
}

void TpgConnessioni::Load()
{
    FFilling = true;
    lbConnessioni->clear();
    for (const auto& n : FRules.Names())
        lbConnessioni->addItem(ToQt(n));
    cbTariffa->clear();
    cbTariffa->addItem(NoTariff);
    for (const auto& t : FRules.Tariffs())
        cbTariffa->addItem(ToQt(t));
    FFilling = false;
    const bool any = lbConnessioni->count() > 0;
    for (QWidget* w : std::initializer_list<QWidget*>{edDescrizione, cbTariffa, cbAutoDisconnect, teDurata, edRetryTime,
                                                      edDialTime, cbAskDisconnect})
        w->setEnabled(any);
    FRow = -1;
    if (any) {
        lbConnessioni->setCurrentRow(0);
        ShowEntry(0);
    }
}

void TpgConnessioni::ShowEntry(int row)
{
    FRow = row;
    if (row < 0 || row >= lbConnessioni->count())
        return;
    const std::string name = lbConnessioni->item(row)->text().toStdString();
    Programmi->SetList([this, name](bool create) -> TProcessItems* {
        TEntryItem* e = FRules.Item(name, create);
        return e ? &e->Applications() : nullptr;
    });
    const TEntriesEditor::TForm f = FRules.FormOf(name);
    edDescrizione->setText(ToQt(f.Descrizione));
    const int tax = cbTariffa->findText(ToQt(f.TaxName));
    cbTariffa->setCurrentIndex(tax >= 0 ? tax : 0);
    cbAutoDisconnect->setChecked(f.AutoDisconnect);
    teDurata->setTime(QTime(0, 0).addSecs(std::clamp(f.TimeOutConnection, 0, 86399)));
    edRetryTime->setText(ToQt(f.RetryTime));
    edDialTime->setText(ToQt(f.DialTime));
    cbAskDisconnect->setChecked(f.AskDisconnect);
}

bool TpgConnessioni::Apply()
{
    if (FRow < 0 || FRow >= lbConnessioni->count())
        return true;
    TEntriesEditor::TForm f;
    f.Descrizione = edDescrizione->text().toStdString();
    f.TaxName = cbTariffa->currentIndex() <= 0 ? std::string() : cbTariffa->currentText().toStdString();
    f.AutoDisconnect = cbAutoDisconnect->isChecked();
    f.TimeOutConnection = QTime(0, 0).secsTo(teDurata->time());
    f.RetryTime = edRetryTime->text().toStdString();
    f.DialTime = edDialTime->text().toStdString();
    f.AskDisconnect = cbAskDisconnect->isChecked();
    return FRules.Apply(lbConnessioni->item(FRow)->text().toStdString(), f);
}

} // namespace qv
