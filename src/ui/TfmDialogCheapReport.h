#pragma once
// "Impostazioni confronto delle tariffe": how long the comparison balloon stays, for the profile in
// use, and whether the saint of the day is shown; a small clock and a tray icon whose hint is the
// last comparison.

#include "core/Time.h"
#include "tariffs/Settings.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <array>

namespace qv {

class TfmDialogCheapReport : public QDialog
{
    Q_OBJECT
public:
    // lastResult: the tray icon's hint.
    TfmDialogCheapReport(Clock& clock, TProfileItem& profile, const std::string& lastResult, QWidget* parent = nullptr);

    std::array<QRadioButton*, 7> rbChoices;
    QCheckBox* cbSanto;
    QLabel* lbOrologio;
    QSystemTrayIcon* Tray;

private:
    void Tick();
    Clock& FClk;
    TProfileItem& FProfile;
    QTimer FClock;
};

} // namespace qv
