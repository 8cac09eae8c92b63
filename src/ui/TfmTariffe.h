#pragma once
// The tariff chooser: the tariffs with their descriptions and the connections that use them;
// applying, deleting and restoring the defaults go through the chooser's rules.

#include "app/TariffChooser.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace qv {

class TfmTariffe : public QDialog
{
    Q_OBJECT
public:
    TfmTariffe(TTariffChooser& chooser, QWidget* parent = nullptr);
    void Refresh();

    QListWidget* lbTariffe;
    QLabel* lbDescrizione;
    QLabel* lbConnessioni;
    QPushButton* btApplica;
    QPushButton* btElimina;
    QPushButton* btPredefinite;

private:
    TTariffChooser& FChooser;
};

} // namespace qv
