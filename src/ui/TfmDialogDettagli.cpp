#include "ui/TfmDialogDettagli.h"

#include "ui/DateConv.h"
#include "ui/TfmWait.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace qv {

namespace {

class TLineField : public IMandatoryField
{
public:
    explicit TLineField(QLineEdit* e) : FEdit(e) {}
    std::string Text() const override { return FEdit->text().toStdString(); }
    void SetFocus() override { FEdit->setFocus(); }

private:
    QLineEdit* FEdit;
};

} // namespace

TfmDialogInsDettagli::TfmDialogInsDettagli(TConnectionDialog& rules, TTaxations& taxes, QWidget* parent)
    : QDialog(parent), FRules(rules), FTaxes(taxes)
{
    setObjectName(QStringLiteral("TfmDialogDettagli"));
    setWindowTitle(QString::fromStdString(rules.Caption()));
    auto* form = new QFormLayout;
    const auto dateTimeRow = [this, form](const char* label, QDateEdit*& date, QTimeEdit*& time) {
        date = new QDateEdit(this);
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("dddd d MMMM yyyy"));
        time = new QTimeEdit(this);
        time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        auto* row = new QHBoxLayout;
        row->addWidget(date, 1);
        row->addWidget(time);
        form->addRow(QString::fromUtf8(label), row);
    };
    dateTimeRow("Inizio:", dtInizio, tmInizio);
    dateTimeRow("Fine:", dtFine, tmFine);
    edConnessione = new QLineEdit(this);
    form->addRow(QStringLiteral("Connessione:"), edConnessione);
    edScatti = new QLineEdit(this);
    edScatti->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), this));
    form->addRow(QStringLiteral("Scatti:"), edScatti);
    edSpesa = new QLineEdit(this);
    edSpesa->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,15}([,.][0-9]{0,6})?")), this));
    btCalcola = new QToolButton(this);
    btCalcola->setText(QStringLiteral("..."));
    btCalcola->setToolTip(QString::fromStdString(rules.PriceHint()));
    btConfronta = new QToolButton(this);
    btConfronta->setText(QStringLiteral("Confronta"));
    btConfronta->setToolTip(
        QStringLiteral("Confronta il costo della tariffa corrente con tutte le altre tariffe configurate"));
    auto* costRow = new QHBoxLayout;
    costRow->addWidget(edSpesa, 1);
    costRow->addWidget(btCalcola);
    costRow->addWidget(btConfronta);
    form->addRow(QString::fromUtf8("Spesa £:"), costRow);

    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    btOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btAnnulla);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addLayout(buttons);

    // "Calcola con la tariffa": every tariff.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QMenu* sub = menu.addMenu(QStringLiteral("Calcola con la tariffa"));
        for (const auto& t : FTaxes.Taxs()) {
            TTaxItem* tax = t.get();
            sub->addAction(QString::fromStdString(tax->DisplayName()), this, [this, tax] { Price(tax); });
        }
        menu.exec(mapToGlobal(at));
    });

    const auto changed = [this] {
        if (!FLoading) {
            FRules.Modified = true;
            btOk->setEnabled(true);
        }
    };
    for (QDateTimeEdit* e : {static_cast<QDateTimeEdit*>(dtInizio), static_cast<QDateTimeEdit*>(tmInizio),
                             static_cast<QDateTimeEdit*>(dtFine), static_cast<QDateTimeEdit*>(tmFine)})
        connect(e, &QDateTimeEdit::dateTimeChanged, this, changed);
    for (QLineEdit* e : {edConnessione, edScatti, edSpesa})
        connect(e, &QLineEdit::textEdited, this, changed);
    connect(btCalcola, &QToolButton::clicked, this, [this] { Price(nullptr); });
    connect(btConfronta, &QToolButton::clicked, this, [this] { Compare(); });
    connect(btAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(btOk, &QPushButton::clicked, this, [this] {
        ReadFields();
        TLineField pulses(edScatti), cost(edSpesa);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const bool ok = FRules.Accept(pulses, cost);
        QApplication::restoreOverrideCursor();
        if (ok)
            accept();
    });
    ShowFields();
    btOk->setEnabled(false);
}

void TfmDialogInsDettagli::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // OK waits for a change made after the dialog appeared.
    FRules.Modified = false;
    btOk->setEnabled(false);
}

void TfmDialogInsDettagli::ReadFields()
{
    FRules.StartDate = FromQDate(dtInizio->date());
    FRules.StartTime = FromQTime(tmInizio->time());
    FRules.EndDate = FromQDate(dtFine->date());
    FRules.EndTime = FromQTime(tmFine->time());
    FRules.Name = edConnessione->text().toStdString();
    FRules.Pulses = edScatti->text().toStdString();
    FRules.Cost = edSpesa->text().toStdString();
}

void TfmDialogInsDettagli::ShowFields()
{
    FLoading = true;
    dtInizio->setDate(ToQDateTime(FRules.StartDate).date());
    tmInizio->setTime(ToQDateTime(FRules.StartTime).time());
    dtFine->setDate(ToQDateTime(FRules.EndDate).date());
    tmFine->setTime(ToQDateTime(FRules.EndTime).time());
    edConnessione->setText(QString::fromStdString(FRules.Name));
    edScatti->setText(QString::fromStdString(FRules.Pulses));
    edSpesa->setText(QString::fromStdString(FRules.Cost));
    FLoading = false;
}

void TfmDialogInsDettagli::Price(TTaxItem* tax)
{
    ReadFields();
    FRules.OnPricing = [this](bool on) {
        QFont f = edSpesa->font();
        f.setBold(on);
        edSpesa->setFont(f);
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    FRules.OnRunningCost = [this](std::int64_t cost) {
        edSpesa->setText(QString::number(cost));
        edSpesa->repaint();
    };
    if (FRules.Price(tax)) {
        ShowFields();
        btOk->setEnabled(true);
    }
}

void TfmDialogInsDettagli::Compare()
{
    ReadFields();
    TfmWait* wait = nullptr;
    FRules.OnWaitShow = [this, &wait] { wait = TfmWait::ShowWait(this, FRules.CancelRequested); };
    FRules.OnWaitUpdate = [&wait](const std::string& text, int position) {
        if (wait)
            wait->UpdateWait(QString::fromStdString(text), position);
    };
    FRules.OnWaitClose = [&wait] {
        if (wait)
            wait->CloseWait();
        wait = nullptr;
    };
    FRules.Compare();
}

} // namespace qv
