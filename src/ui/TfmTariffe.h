#pragma once
// The tariff chooser: the tariffs with their descriptions and the connections that use them;
// applying, deleting and restoring the defaults go through the chooser's rules.

#include "app/TariffChooser.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace qv {

// The tariff list as the chooser and the settings page show it: display names, the applied one in
// bold; the row selected is kept when keep is a row of the list, else the applied one is selected.
void FillTariffList(TTariffChooser& chooser, QListWidget* list, int keep = -1);
// A row's description, the connections that use it, and its timetables as the row's hint.
void ShowTariffRow(TTariffChooser& chooser, QListWidget* list, QLabel* description, QLabel* connections, int row);

class TfmTariffe : public QDialog
{
    Q_OBJECT
public:
    TfmTariffe(TTariffChooser& chooser, QWidget* parent = nullptr);
    void Refresh();

    QListWidget* lbTariffe;
    QLabel* lbPer; // which connection the choice is for
    QLabel* lbDescrizione;
    QLabel* lbConnessioni;
    QPushButton* btApplica;
    QPushButton* btElimina;
    QPushButton* btPredefinite;

private:
    TTariffChooser& FChooser;
};

} // namespace qv
