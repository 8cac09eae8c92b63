#include "ui/TfmDisconnessione.h"

#include "core/DateTime.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace qv {

TfmDisconnessione::TfmDisconnessione(TMainController& controller, const std::string& osName, QWidget* parent)
    : QDialog(parent), FController(controller)
{
    setObjectName(QStringLiteral("TfmDisconnessione"));
    setWindowTitle(QStringLiteral("Imposta l'orario di disconnessione"));
    edData = new QDateEdit(this);
    edData->setCalendarPopup(true);
    edData->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    edOra = new QTimeEdit(this);
    edOra->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    edFraOre = new QLineEdit(this);
    edFraOre->setMaximumWidth(60);
    cbChiudi = new QCheckBox(QString::fromStdString("Chiudi " + osName + " alla disconnessione"), this);
    cbChiudi->setToolTip(QStringLiteral("Indica se chiudere o meno la sessione di Windows alla disconnessione"));
    auto* fra = new QHBoxLayout;
    fra->addWidget(new QLabel(QStringLiteral("Fra"), this));
    fra->addWidget(edFraOre);
    fra->addWidget(new QLabel(QStringLiteral("ore"), this));
    fra->addStretch();
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    cancel->setToolTip(QStringLiteral("Annulla la disconnessione programmata"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Data"), edData);
    form->addRow(QStringLiteral("Ora"), edOra);
    form->addRow(fra);
    form->addRow(cbChiudi);
    form->addRow(buttons);

    const TMainController::TSchedule s = controller.ScheduleOnOpen();
    cbChiudi->setChecked(s.Shutdown);
    Show(s.Moment);
    connect(edFraOre, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto moment = FController.ScheduleFromHours(text.toStdString()))
            Show(*moment);
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        const QDate d = edData->date();
        const QTime t = edOra->time();
        if (FController.ScheduleOk(EncodeDate(d.year(), d.month(), d.day()),
                                   EncodeTime(t.hour(), t.minute(), t.second(), 0), cbChiudi->isChecked()))
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        FController.ScheduleCancel();
        reject();
    });
}

void TfmDisconnessione::Show(double moment)
{
    const TDateParts d = DecodeDate(moment);
    const TTimeParts t = DecodeTime(moment);
    edData->setDate(QDate(d.Year, d.Month, d.Day));
    edOra->setTime(QTime(t.Hour, t.Minute, t.Second));
}

} // namespace qv
