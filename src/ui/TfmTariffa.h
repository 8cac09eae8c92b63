#pragma once
// The tariff properties dialog: every field of a tariff, its band prices, and the three read-only
// time-band bars; a click on a bar opens the band editor. OK stores through the editor's rules and
// keeps the window open when they refuse.

#include "app/TariffEditor.h"
#include "ui/TimeTableBar.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

namespace qv {

class TfmTariffa : public QDialog
{
    Q_OBJECT
public:
    // editing: the tariff changed, none for a new one.
    TfmTariffa(TTariffEditor& editor, TTaxItem* editing, QWidget* parent = nullptr);
    TTariffForm Form() const;
    void SetForm(const TTariffForm& form);
    // Opens the band editor for bar i (0 weekdays, 1 Saturday, 2 holidays); returns its dialog's
    // result. onOpen, when given, runs once the editor exists (screenshots, tests).
    int EditBands(int i, const std::function<void(class TfmFasce&)>& onOpen = {});

    QLineEdit* edGestore;
    QLineEdit* edNome;
    QLineEdit* edDescrizione;
    QRadioButton* rbTempo;
    QRadioButton* rbScatti;
    QCheckBox* cbFormulaUrbana;
    QCheckBox* cbCompare;
    // [row][column]: rows pulse length, fixed charge, first rate, second rate; columns reduced,
    // full, peak.
    QLineEdit* edBand[4][3];
    QLabel* lbRow[4];
    QLineEdit* edScattiAllaRisposta;
    QLabel* lbScattiAllaRisposta;
    QLineEdit* edMinLimite;
    QLabel* lbMinLimite;
    QLineEdit* edBonusMese;
    QLineEdit* edBonusDisponibile;
    QTimeEdit* edQuorvanta;
    TTimeTableBarWidget* Bars[3];
    QPushButton* btOk;

private:
    void UpdateLabels();
    TTariffEditor& FEditor;
    TTaxItem* FEditing;
};

} // namespace qv
