#pragma once
// "Componi il messaggio": the gateway, the text within the gateway's length, the recipients picked in
// the tree of groups and contacts, "&Invia" or "&Accoda", and the typing sounds. The rules are
// TSmsCompose's.

#include "sms/SmsRules.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

namespace qv {

class TfmSmsCompose : public QDialog
{
    Q_OBJECT
public:
    // Preselected: the contact, the group or the message selected in the SMS window.
    TfmSmsCompose(TSmsRules& rules, TSmsNumbersItem* contact, const std::string& group, const TSmsMsgItem* message,
                  QWidget* parent = nullptr);
    TSmsCompose& Rules() { return FCompose; }
    QComboBox* cbGateway;
    QPlainTextEdit* edTesto;
    QLabel* lbCaratteri;
    QGroupBox* gbDestinatari;
    QTreeWidget* tvDestinatari;
    QPushButton* btInvia;
    QPushButton* btAccoda;
    QToolButton* btSuoni;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int Gateway() const { return cbGateway->currentIndex(); }
    void GatewayChanged();
    void TextChanged();
    void ShowPicks();
    void UpdateButtons();
    TSmsRules& FRules;
    TSmsCompose FCompose;
    bool FSyncing = false;
};

} // namespace qv
