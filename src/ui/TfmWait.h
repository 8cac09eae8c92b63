#pragma once
// The progress window of long computations ("Attendere prego..."): an operation text, a bar, a
// searching animation and "&Annulla", which sets the caller's cancel flag. The owner is disabled
// while it is open.

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace qv {

class TfmWait : public QDialog
{
    Q_OBJECT
public:
    // Clears cancelFlag, shows the window modeless and disables owner.
    static TfmWait* ShowWait(QWidget* owner, bool& cancelFlag);
    // position 0..100; -1 fills the bar and stops the animation. The events pending are handled
    // here, so Annulla is heard during a computation on the main thread.
    void UpdateWait(const QString& text, int position);
    // Re-enables the owner and releases the window.
    void CloseWait();

    QLabel* lbOperazione;
    QProgressBar* pbProgress;
    QPushButton* btAnnulla;

private:
    TfmWait(QWidget* owner, bool& cancelFlag);
    QWidget* FOwner;
    bool& FCancel;
    QLabel* FAnimation;
    QTimer FTimer;
    int FFrame = 0;
};

} // namespace qv
