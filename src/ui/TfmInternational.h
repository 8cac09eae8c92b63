#pragma once
// The warning for a number abroad: a modal window with the warning text and the prefix that makes
// a number international.

#include "detection/International.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qv {

class TfmInternational : public QDialog
{
    Q_OBJECT
public:
    TfmInternational(TInternationalWarning& warning, QWidget* parent = nullptr);
    QLabel* lbTesto;
    QLineEdit* edPrefisso;
    QPushButton* btOk;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TInternationalWarning& FWarning;
    bool FActivated = false;
};

} // namespace qv
