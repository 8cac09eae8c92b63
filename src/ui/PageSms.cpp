#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"
#include "ui/TfmGateway.h"
#include "ui/FileDialogs.h"

#include <QDragEnterEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMimeData>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

namespace {

// The gateway list takes files dropped from the file manager.
class TGatewayList : public QListWidget
{
public:
    TGatewayList(QWidget* parent, std::function<void(const QString&)> onFile)
        : QListWidget(parent), FOnFile(std::move(onFile))
    {
        setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DropOnly);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (e->mimeData()->hasUrls())
            e->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* e) override
    {
        if (e->mimeData()->hasUrls())
            e->acceptProposedAction();
    }
    void dropEvent(QDropEvent* e) override
    {
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile())
                FOnFile(url.toLocalFile());
        e->acceptProposedAction();
    }

private:
    std::function<void(const QString&)> FOnFile;
};

} // namespace

TpgSms::TpgSms(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FData(module), FEditor(services, module.GateWays)
{
    setObjectName(QStringLiteral("pgSms"));
    lbGateways = new TGatewayList(this, [this](const QString& file) {
        // After the drop has ended: the import asks its questions.
        QTimer::singleShot(0, this, [this, file] { DropFile(file); });
    });
    lbGateways->setObjectName(QStringLiteral("lbGateways"));
    lbGateways->setToolTip(QStringLiteral("Trascina qui un file «webgate.ini» o «settings.cfg» per importarne i gateway"));
    lbDescrizione = new QLabel(this);
    lbDescrizione->setWordWrap(true);
    btNuovo = new QPushButton(QStringLiteral("&Nuovo..."), this);
    btModifica = new QPushButton(QStringLiteral("&Modifica..."), this);
    btElimina = new QPushButton(QStringLiteral("&Elimina"), this);
    btImporta = new QPushButton(QStringLiteral("&Importa..."), this);
    btEsporta = new QPushButton(QStringLiteral("E&sporta..."), this);
    btPredefinite = new QPushButton(QStringLiteral("&Predefinite"), this);
    btPredefinite->setToolTip(QStringLiteral("Elimina tutti i gateway SMS"));
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btNuovo, btModifica, btElimina, btImporta, btEsporta, btPredefinite})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(lbGateways, 1);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Gateway SMS"), this));
    layout->addLayout(body, 1);
    layout->addWidget(lbDescrizione);

    connect(lbGateways, &QListWidget::currentRowChanged, this, [this](int row) {
        const bool any = row >= 0 && static_cast<std::size_t>(row) < FData.GateWays.GateWays().Count();
        lbDescrizione->setText(any ? ToQt(FData.GateWays.GateWays()[static_cast<std::size_t>(row)].Descrizione())
                                   : QString());
        btModifica->setEnabled(any);
        btElimina->setEnabled(any);
    });
    connect(lbGateways, &QListWidget::itemDoubleClicked, this, [this] { OpenEditor(lbGateways->currentRow()); });
    connect(btNuovo, &QPushButton::clicked, this, [this] { OpenEditor(-1); });
    connect(btModifica, &QPushButton::clicked, this, [this] { OpenEditor(lbGateways->currentRow()); });
    connect(btElimina, &QPushButton::clicked, this, [this] {
        if (lbGateways->currentRow() >= 0 && FEditor.Delete(static_cast<std::size_t>(lbGateways->currentRow())))
            Load();
    });
    connect(btPredefinite, &QPushButton::clicked, this, [this] {
        if (FEditor.FactoryReset())
            Load();
    });
    connect(btEsporta, &QPushButton::clicked, this, [this] {
        const QString file = SaveFileName(this, QStringLiteral("Esporta i gateway SMS"), TFileKind::Documents,
                                          QStringLiteral("GateWays.txt"),
                                          QStringLiteral("File di testo (*.txt);;Tutti i file (*)"));
        if (!file.isEmpty())
            FEditor.ExportIni(file.toStdString());
    });
    connect(btImporta, &QPushButton::clicked, this, [this] {
        const QString file = OpenFileName(this, QStringLiteral("Importa i gateway SMS"), TFileKind::Documents,
                                          QStringLiteral("File di testo (*.txt);;Tutti i file (*)"));
        if (!file.isEmpty() && FEditor.ImportIni(file.toStdString()) > 0)
            Load();
    });
}

void TpgSms::Load()
{
    const int row = lbGateways->currentRow();
    lbGateways->clear();
    for (const auto& g : FData.GateWays.GateWays())
        lbGateways->addItem(ToQt(g->Nome()));
    lbGateways->setCurrentRow(std::min(std::max(row, 0), lbGateways->count() - 1));
    btModifica->setEnabled(lbGateways->currentRow() >= 0);
    btElimina->setEnabled(lbGateways->currentRow() >= 0);
    // An empty list says how to fill it.
    if (lbGateways->count() == 0)
        lbDescrizione->setText(QStringLiteral("Nessun gateway: «Nuovo...» descrive il servizio web che usi, "
                                              "«Importa...» legge i gateway da un file (o trascinalo qui)."));
}

int TpgSms::OpenEditor(int index, const std::function<void(TfmGateway&)>& onOpen)
{
    if (index >= 0 && static_cast<std::size_t>(index) >= FData.GateWays.GateWays().Count())
        return QDialog::Rejected;
    TfmGateway dialog(FEditor, index, this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    const int result = dialog.exec();
    if (result == QDialog::Accepted) {
        Load();
        lbGateways->setCurrentRow(index < 0 ? lbGateways->count() - 1 : index);
    }
    return result;
}

void TpgSms::DropFile(const QString& file)
{
    if (FEditor.DropImport(file.toStdString()) > 0)
        Load();
}

} // namespace qv
