#pragma once
// "Imposta l'orario di disconnessione": a date, a time, "Fra N ore" and whether to power off too.

#include "app/MainController.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QLineEdit>
#include <QTimeEdit>

namespace qv {

class TfmDisconnessione : public QDialog
{
    Q_OBJECT
public:
    TfmDisconnessione(TMainController& controller, const std::string& osName, QWidget* parent = nullptr);
    QDateEdit* edData;
    QTimeEdit* edOra;
    QLineEdit* edFraOre;
    QCheckBox* cbChiudi;

private:
    void Show(double moment);
    TMainController& FController;
};

} // namespace qv
