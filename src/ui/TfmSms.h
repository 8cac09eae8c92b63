#pragma once
// "Messaggi SMS": the phone book's groups and contacts beside the four folders of messages, the
// list of the messages of what is selected, the send-queue button, and the message's properties
// with the gateway's answer. The rules are TSmsRules'.

#include "app/DataModule.h"
#include "sms/SmsRules.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

namespace qv {

class TfmSmsCompose;
class TfmContatto;

// The tree of the SMS window: contacts dragged onto a group (Ctrl: copied), files dropped to import.
class TSmsTree : public QTreeWidget
{
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;
    std::function<void(QTreeWidgetItem* contact, QTreeWidgetItem* target, bool copy)> OnContactDropped;
    std::function<void(const QString& file)> OnFileDropped;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
};

class TfmSmsProperties : public QDialog
{
    Q_OBJECT
public:
    TfmSmsProperties(TSmsRules& rules, TSmsMsgItem& message, const QString& answerFolder, QWidget* parent = nullptr);
    ~TfmSmsProperties() override;
    QTabWidget* Pages;
    QLabel* lbNumero;
    QLabel* lbNome;
    QPlainTextEdit* edTesto;
    QPlainTextEdit* edRisposta;
    QLabel* lbData;
    QLabel* lbOra;
    QPlainTextEdit* edErrore;
    QPushButton* btTraduci;

private:
    TSmsRules& FRules;
};

class TfmSms : public QMainWindow
{
    Q_OBJECT
public:
    TfmSms(TServices& services, TDataModule& module, TSmsHooks hooks, QWidget* parent = nullptr);
    ~TfmSms() override;
    TSmsRules& Rules() { return FRules; }
    // Rebuilds the tree and the list from the stores, keeping the selection.
    void Refresh();

    // The dialogs; onOpen runs once the dialog is shown (tests answer through it).
    void Compose(const std::function<void(TfmSmsCompose&)>& onOpen = {});
    void EditContact(TSmsNumbersItem* contact, const std::function<void(TfmContatto&)>& onOpen = {});
    void ShowProperties(TSmsMsgItem* message, const std::function<void(TfmSmsProperties&)>& onOpen = {});

    // Where the gateway's answer is written for the browser (the user's private runtime folder).
    QString AnswerFolder;

    TSmsTree* tvRubrica;
    QTreeWidget* lvMessaggi;
    QLabel* lbRicerca;
    QAction* acComponi;
    QAction* acContatto;
    QAction* acGruppo;
    QAction* acInviaCoda;
    QAction* acElimina;
    QAction* acProprieta;
    QAction* acSalvaTesto;
    QAction* acEsporta;
    QAction* acImporta;

    // The item of the tree for a folder, a group or a contact.
    QTreeWidgetItem* FolderItem(TSmsFolder folder) const;
    QTreeWidgetItem* GroupItem(const QString& group) const;
    QTreeWidgetItem* ContactItem(const TSmsNumbersItem* contact) const;
    std::vector<TSmsMsgItem*> SelectedMessages() const;

private:
    void FillList();
    void DeleteCommand();
    void TreeMenu(const QPoint& at);
    void ItemRenamed(QTreeWidgetItem* item);
    QString SelectedGroup() const;
    TSmsNumbersItem* SelectedContact() const;
    TSmsRules FRules;
    QTimer FTick;
    bool FFilling = false;
};

} // namespace qv
