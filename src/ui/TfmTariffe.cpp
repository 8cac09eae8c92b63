#include "ui/TfmTariffe.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace qv {

TfmTariffe::TfmTariffe(TTariffChooser& chooser, QWidget* parent) : QDialog(parent), FChooser(chooser)
{
    setObjectName(QStringLiteral("TfmTariffe"));
    setWindowTitle(QStringLiteral("Tariffe"));
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
    layout->addWidget(lbTariffe, 1);
    layout->addWidget(lbDescrizione);
    layout->addWidget(lbConnessioni);
    layout->addLayout(buttons);
    resize(460, 420);

    connect(lbTariffe, &QListWidget::currentRowChanged, this, [this](int row) {
        const auto rows = FChooser.Rows();
        if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
            return;
        const auto& r = rows[static_cast<std::size_t>(row)];
        lbDescrizione->setText(QString::fromStdString(r.Description));
        std::string used;
        for (const auto& c : r.Connections)
            used += (used.empty() ? "" : ", ") + c;
        lbConnessioni->setText(used.empty() ? QString()
                                            : QStringLiteral("Usata da: ") + QString::fromStdString(used));
        lbTariffe->currentItem()->setToolTip(ToQt(FChooser.BandsText(static_cast<std::size_t>(row))));
    });
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
    lbTariffe->clear();
    int current = 0;
    int i = 0;
    for (const auto& r : FChooser.Rows()) {
        auto* item = new QListWidgetItem(QString::fromStdString(r.DisplayName), lbTariffe);
        if (r.Current) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
            current = i;
        }
        ++i;
    }
    lbTariffe->setCurrentRow(current);
}

} // namespace qv
