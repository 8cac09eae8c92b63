#pragma once
// "Messaggi popup": the contacts and groups, the messages by state, the progress of the sends, and
// the dialogs to compose, schedule and keep the address book. The rules are TPopupRules'.

#include "messenger/PopupRules.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidget>
#include <array>

namespace qv {

// Compose a message: the recipient (users, then groups), the text; send now or schedule.
class TfmPopupMsg : public QDialog
{
    Q_OBJECT
public:
    TfmPopupMsg(TPopupRules& rules, TMessenger& messenger, QWidget* parent = nullptr, TMsgItem* editing = nullptr);
    QComboBox* cbDestinatario;
    QPlainTextEdit* edMessaggio;
    QPushButton* btInvia;
    QPushButton* btProgramma;
    // The scheduling dialog, on its own for tests: day, time, every day, the next send shown.
    bool Schedule(const std::function<void(class TfmPopupSchedule&)>& onOpen = {});

private:
    bool ToGroup() const;
    TPopupRules& FRules;
    TMessenger& FMessenger;
    TMsgItem* FEditing;
};

class TfmPopupSchedule : public QDialog
{
    Q_OBJECT
public:
    TfmPopupSchedule(TPopupRules& rules, double now, QWidget* parent = nullptr);
    QDateEdit* dtGiorno;
    QTimeEdit* tmOra;
    QCheckBox* cbOgniGiorno;
    QLabel* lbProssimo;
    double Day() const;
    double Time() const;

private:
    void ShowNext();
    TPopupRules& FRules;
};

class TfmPopup : public QMainWindow
{
    Q_OBJECT
public:
    TfmPopup(TServices& services, TMessenger& messenger, QWidget* parent = nullptr);
    void Refresh();
    // A send ended (sent or failed): the progress bar moves on.
    void SendEnded();

    QTreeWidget* tvContatti;
    QTabWidget* tbMessaggi;
    // To send, sending, sent, errors, daily.
    std::array<QTreeWidget*, 5> lvMessaggi;
    QProgressBar* pbInvio;
    QAction* acNuovo;
    QAction* acContatto;
    QAction* acGruppo;
    QAction* acReinvia;
    QAction* acInviaTutti;
    QAction* acElimina;

    void Compose(const std::function<void(TfmPopupMsg&)>& onOpen = {});
    void EditUser(TUserItem* user);
    void EditGroup(TGroupItem* group);
    void DeleteSelectedContact();

private:
    std::vector<TMsgItem*> SelectedMessages(bool all) const;
    TServices& FServices;
    TMessenger& FMessenger;
    TPopupRules FRules;
    int FDone = 0;
};

} // namespace qv
