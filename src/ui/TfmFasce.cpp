#include "ui/TfmFasce.h"

#include "tariffs/Bands.h"
#include "ui/QtPrompter.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qv {

TfmFasce::TfmFasce(const TTimeTableBar& source, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfmFasce"));
    setWindowTitle(QStringLiteral("Fasce orarie - ") + ToQt(source.Title));
    BarEditor = new TTimeTableBarWidget(this);
    BarEditor->Bar.CopyFrom(source);
    BarEditor->Bar.Editable = true;
    auto* hint = new QLabel(QStringLiteral("Scegli la fascia e trascina il mouse sulla barra per dipingerne gli orari."), this);
    hint->setWordWrap(true);

    auto* group = new QButtonGroup(this);
    const auto bandButton = [this, group](const char* caption, TFasciaOraria band) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setCheckable(true);
        const QColor c = TTimeTableBarWidget::ToQColor(BandColor(band));
        QPixmap swatch(14, 14);
        swatch.fill(c);
        b->setIcon(QIcon(swatch));
        group->addButton(b);
        connect(b, &QPushButton::toggled, this, [this, band](bool on) {
            if (on)
                BarEditor->Bar.NewFrameColor = BandColor(band);
        });
        return b;
    };
    btRidotta = bandButton("Fascia ridotta", foRidotta);
    btIntera = bandButton("Fascia intera", foIntera);
    btPunta = bandButton("Fascia punta", foPunta);
    btIntera->setChecked(true);

    btOk = new QPushButton(QStringLiteral("&OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* bands = new QHBoxLayout;
    bands->addWidget(btRidotta);
    bands->addWidget(btIntera);
    bands->addWidget(btPunta);
    bands->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(BarEditor);
    layout->addLayout(bands);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

} // namespace qv
