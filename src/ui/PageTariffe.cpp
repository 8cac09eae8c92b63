#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"
#include "ui/TfmTariffa.h"
#include "ui/TfmTariffe.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace qv {

TpgTariffe::TpgTariffe(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FData(module), FChooser(services, module), FEditor(services, module)
{
    setObjectName(QStringLiteral("pgTariffe"));
    lbTariffe = new QListWidget(this);
    lbTariffe->setObjectName(QStringLiteral("lbTariffe"));
    lbDescrizione = new QLabel(this);
    lbDescrizione->setWordWrap(true);
    lbConnessioni = new QLabel(this);
    lbConnessioni->setWordWrap(true);
    btApplica = new QPushButton(QStringLiteral("&Applica"), this);
    btNuova = new QPushButton(QStringLiteral("&Nuova..."), this);
    btProprieta = new QPushButton(QStringLiteral("P&roprietà..."), this);
    btElimina = new QPushButton(QStringLiteral("&Elimina"), this);
    btPredefinite = new QPushButton(QStringLiteral("&Predefinite"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btApplica, btNuova, btProprieta, btElimina, btPredefinite})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(lbTariffe, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(lbDescrizione);
    layout->addWidget(lbConnessioni);

    connect(lbTariffe, &QListWidget::currentRowChanged, this,
            [this](int row) { ShowTariffRow(FChooser, lbTariffe, lbDescrizione, lbConnessioni, row); });
    connect(lbTariffe, &QListWidget::itemDoubleClicked, btProprieta, &QPushButton::click);
    connect(btApplica, &QPushButton::clicked, this, [this] {
        if (lbTariffe->currentRow() >= 0)
            FChooser.Apply(static_cast<std::size_t>(lbTariffe->currentRow()));
        Load();
    });
    connect(btNuova, &QPushButton::clicked, this, [this] { OpenProperties(-1); });
    connect(btProprieta, &QPushButton::clicked, this, [this] {
        if (lbTariffe->currentRow() >= 0)
            OpenProperties(lbTariffe->currentRow());
    });
    connect(btElimina, &QPushButton::clicked, this, [this] {
        if (lbTariffe->currentRow() >= 0 && FChooser.Delete(static_cast<std::size_t>(lbTariffe->currentRow())))
            Load();
    });
    connect(btPredefinite, &QPushButton::clicked, this, [this] {
        if (FChooser.RestoreDefaults())
            Load();
    });
}

void TpgTariffe::Load()
{
    FillTariffList(FChooser, lbTariffe, lbTariffe->currentRow());
}

int TpgTariffe::OpenProperties(int row, const std::function<void(TfmTariffa&)>& onOpen)
{
    // The list may be older than the tariffs (the chooser of the popup menu changes them too).
    if (row >= static_cast<int>(FData.Taxations.Taxs().Count())) {
        Load();
        return QDialog::Rejected;
    }
    TTaxItem* editing = row >= 0 ? &FData.Taxations.Taxs()[static_cast<std::size_t>(row)] : nullptr;
    TfmTariffa dialog(FEditor, editing, this);
    if (onOpen)
        onOpen(dialog);
    const int result = dialog.exec();
    if (result == QDialog::Accepted) {
        Load();
        if (FEditor.Saved())
            lbTariffe->setCurrentRow(FData.Taxations.IndexOfTax(FEditor.Saved()->Gestore(), FEditor.Saved()->Nome()));
    }
    return result;
}

} // namespace qv
