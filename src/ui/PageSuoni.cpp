#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"
#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace qv {

TpgSuoni::TpgSuoni(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgSuoni"));
    lbSuoni = new QListWidget(this);
    lbSuoni->setObjectName(QStringLiteral("lbSuoni"));
    btModifica = new QPushButton(QStringLiteral("&Modifica..."), this);
    btDisabilita = new QPushButton(QStringLiteral("&Disabilita"), this);
    btRiproduci = new QPushButton(QStringLiteral("&Riproduci"), this);
    btTutti = new QPushButton(this);
    btFabbrica = new QPushButton(QStringLiteral("Ripristina i suoni di &fabbrica"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btModifica, btDisabilita, btRiproduci, btTutti, btFabbrica})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(lbSuoni, 1);
    layout->addLayout(buttons);

    const auto change = [this] {
        TWaveItem* w = Current();
        if (!w)
            return;
        const QString file = OpenFileName(this, QStringLiteral("Scegli un nuovo file wav per ") + ToQt(w->Descrizione()),
                                          TFileKind::Sounds, QStringLiteral("Suoni (*.wav)"));
        if (!file.isEmpty() && FRules.ChangeFile(*w, file.toStdString()))
            Load();
    };
    connect(btModifica, &QPushButton::clicked, this, change);
    connect(lbSuoni, &QListWidget::itemDoubleClicked, this, change);
    connect(lbSuoni, &QListWidget::currentRowChanged, this, [this] {
        UpdateButtons();
        if (TWaveItem* w = Current(); w && !w->WaveFile().Disabled() && isVisible())
            FRules.Play(*w);
    });
    connect(btDisabilita, &QPushButton::clicked, this, [this] {
        if (TWaveItem* w = Current()) {
            FRules.ToggleDisabled(*w);
            Load();
        }
    });
    connect(btRiproduci, &QPushButton::clicked, this, [this] {
        if (TWaveItem* w = Current())
            FRules.Play(*w);
    });
    connect(btTutti, &QPushButton::clicked, this, [this] {
        FRules.SetAllEnabled(!FRules.AllEnabled());
        UpdateButtons();
    });
    connect(btFabbrica, &QPushButton::clicked, this, [this] { FRules.FactoryReset(); });
}

TWaveItem* TpgSuoni::Current()
{
    const auto items = FRules.Listed();
    const int row = lbSuoni->currentRow();
    return row >= 0 && static_cast<std::size_t>(row) < items.size() ? items[static_cast<std::size_t>(row)] : nullptr;
}

void TpgSuoni::Load()
{
    const int keep = lbSuoni->currentRow();
    const QSignalBlocker block(lbSuoni);
    lbSuoni->clear();
    for (TWaveItem* w : FRules.Listed()) {
        const bool off = w->WaveFile().Disabled();
        auto* item = new QListWidgetItem(style()->standardIcon(off ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume),
                                         ToQt(w->Descrizione()), lbSuoni);
        item->setToolTip(ToQt(w->Nome() + " - " + w->WaveFile().FileName()));
    }
    lbSuoni->setCurrentRow(keep >= 0 && keep < lbSuoni->count() ? keep : 0);
    UpdateButtons();
}

void TpgSuoni::UpdateButtons()
{
    const TWaveItem* w = Current();
    const bool off = w && w->WaveFile().Disabled();
    btDisabilita->setText(off ? QStringLiteral("&Abilita") : QStringLiteral("&Disabilita"));
    btRiproduci->setEnabled(w && !off);
    btTutti->setText(FRules.AllEnabled() ? QStringLiteral("Disabilita &tutti i suoni")
                                         : QStringLiteral("Riabilita &tutti i suoni"));
}

} // namespace qv
