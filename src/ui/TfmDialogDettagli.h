#pragma once
// The dialogs that insert (TfmDialogInsDettagli) or edit (TfmDialogModDettagli) a connection by
// hand: start and end, name, pulses and cost; "..." prices the span with the current tariff or, from
// the context menu "Calcola con la tariffa", with any tariff; the comparison button compares every
// tariff in the progress window.

#include "stats/StatsWindow.h"

#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>

namespace qv {

class TfmDialogInsDettagli : public QDialog
{
    Q_OBJECT
public:
    TfmDialogInsDettagli(TConnectionDialog& rules, TTaxations& taxes, QWidget* parent = nullptr);

    QDateEdit* dtInizio;
    QTimeEdit* tmInizio;
    QDateEdit* dtFine;
    QTimeEdit* tmFine;
    QLineEdit* edConnessione;
    QLineEdit* edScatti;
    QLineEdit* edSpesa;
    QToolButton* btCalcola;
    QToolButton* btConfronta;
    QPushButton* btOk;
    QPushButton* btAnnulla;

    // The fields into the rules and back.
    void ReadFields();
    void ShowFields();
    void Price(TTaxItem* tax);
    void Compare();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TConnectionDialog& FRules;
    TTaxations& FTaxes;
    bool FLoading = false;
};

class TfmDialogModDettagli : public TfmDialogInsDettagli
{
    Q_OBJECT
public:
    using TfmDialogInsDettagli::TfmDialogInsDettagli;
};

} // namespace qv
