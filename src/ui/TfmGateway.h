#pragma once
// The gateway editor (new and modify) with its account page, and the account dialog the compose
// dialog opens for a gateway without one. The rules are TGatewayEditor's.

#include "sms/GatewayEditor.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace qv {

class TfmGateway : public QDialog
{
    Q_OBJECT
public:
    // index -1: a new gateway.
    TfmGateway(TGatewayEditor& editor, int index, QWidget* parent = nullptr);
    QTabWidget* Pages;
    QLineEdit* edNome;
    QLineEdit* edHost;
    QSpinBox* sePorta;
    QSpinBox* seLunghezza;
    QLineEdit* edDescrizione;
    QComboBox* cbTipo;
    QPlainTextEdit* edComandoInvio;
    QPushButton* btSegnapostoInvio;
    QLineEdit* edSuccessoInvio;
    QLineEdit* edReferer;
    QLineEdit* edRegistrazione;
    QLabel* lbRichiedi;
    QWidget* pgAccount;
    QLineEdit* edUtente;
    QLineEdit* edPassword;
    QPlainTextEdit* edComandoLogin;
    QPushButton* btSegnapostoLogin;
    QLineEdit* edSuccessoLogin;
    QPushButton* btOk;
    TGatewayEditor::TForm Form() const;

private:
    void KindChanged();
    QWidget* FieldOf(const std::string& label) const;
    TGatewayEditor& FEditor;
    int FIndex;
};

class TfmAccount : public QDialog
{
    Q_OBJECT
public:
    TfmAccount(TGatewayEditor& editor, TGateWayItem& gateway, QWidget* parent = nullptr);
    QLabel* lbTesto;
    QLineEdit* edUtente;
    QLineEdit* edPassword;
    QPushButton* btOk;
};

} // namespace qv
