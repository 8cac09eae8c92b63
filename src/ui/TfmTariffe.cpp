#include "ui/TfmTariffe.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace qv {

TfmTariffe::TfmTariffe(TTariffChooser& chooser, QWidget* parent) : QDialog(parent), FChooser(chooser)
{
    setObjectName(QStringLiteral("TfmTariffe"));
    setWindowTitle(QStringLiteral("Scelta della tariffa"));
    lbPer = new QLabel(ToQt(chooser.Heading()), this);
    lbPer->setObjectName(QStringLiteral("lbPer"));
    lbPer->setWordWrap(true);
    QFont bold = lbPer->font();
    bold.setBold(true);
    lbPer->setFont(bold);
    lbTariffe = new QListWidget(this);
    lbTariffe->setObjectName(QStringLiteral("lbTariffe"));
    lbDescrizione = new QLabel(this);
    lbDescrizione->setWordWrap(true);
    lbConnessioni = new QLabel(this);
    lbConnessioni->setWordWrap(true);
    btApplica = new QPushButton(QStringLiteral("&Applica"), this);
    btElimina = new QPushButton(QStringLiteral("&Elimina"), this);
    btPredefinite = new QPushButton(QStringLiteral("&Predefinite"), this);
    auto* close = new QPushButton(QStringLiteral("&Chiudi"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btApplica, btElimina, btPredefinite, close})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbPer);
    layout->addWidget(lbTariffe, 1);
    layout->addWidget(lbDescrizione);
    layout->addWidget(lbConnessioni);
    layout->addLayout(buttons);
    resize(460, 420);

    connect(lbTariffe, &QListWidget::currentRowChanged, this,
            [this](int row) { ShowTariffRow(FChooser, lbTariffe, lbDescrizione, lbConnessioni, row); });
    connect(lbTariffe, &QListWidget::itemDoubleClicked, btApplica, &QPushButton::click);
    connect(btApplica, &QPushButton::clicked, this, [this] {
        if (lbTariffe->currentRow() >= 0)
            FChooser.Apply(static_cast<std::size_t>(lbTariffe->currentRow()));
        Refresh();
    });
    connect(btElimina, &QPushButton::clicked, this, [this] {
        if (lbTariffe->currentRow() >= 0 && FChooser.Delete(static_cast<std::size_t>(lbTariffe->currentRow())))
            Refresh();
    });
    connect(btPredefinite, &QPushButton::clicked, this, [this] {
        if (FChooser.RestoreDefaults())
            Refresh();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    Refresh();
}

void TfmTariffe::Refresh()
{
    FillTariffList(FChooser, lbTariffe);
}

void FillTariffList(TTariffChooser& chooser, QListWidget* list, int keep)
{
    list->clear();
    int current = 0;
    int i = 0;
    for (const auto& r : chooser.Rows()) {
        auto* item = new QListWidgetItem(ToQt(r.DisplayName), list);
        if (r.Current) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
            current = i;
        }
        ++i;
    }
    list->setCurrentRow(keep >= 0 && keep < list->count() ? keep : current);
}

void ShowTariffRow(TTariffChooser& chooser, QListWidget* list, QLabel* description, QLabel* connections, int row)
{
    const auto rows = chooser.Rows();
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
        return;
    const auto& r = rows[static_cast<std::size_t>(row)];
    description->setText(ToQt(r.Description));
    std::string used;
    for (const auto& c : r.Connections)
        used += (used.empty() ? "" : ", ") + c;
    connections->setText(used.empty() ? QString() : QStringLiteral("Usata da: ") + ToQt(used));
    if (QListWidgetItem* item = list->item(row))
        item->setToolTip(ToQt(chooser.BandsText(static_cast<std::size_t>(row))));
}

} // namespace qv
