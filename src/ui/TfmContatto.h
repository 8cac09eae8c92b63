#pragma once
// The contact dialog (new and modify): prefixes, number, name, description, group. OK is enabled
// after the first change; the checks are TSmsRules'.

#include "sms/SmsRules.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace qv {

class TfmContatto : public QDialog
{
    Q_OBJECT
public:
    TfmContatto(TSmsRules& rules, TSmsNumbersItem* contact, const std::string& selectedGroup,
                QWidget* parent = nullptr);
    // The contact stored by OK (none before, or when cancelled).
    TSmsNumbersItem* Saved() const { return FSaved; }
    QLineEdit* edPrefInt;
    QLineEdit* edPrefLoc;
    QLineEdit* edNumero;
    QLineEdit* edNome;
    QLineEdit* edDescrizione;
    QComboBox* cbGruppo;
    QPushButton* btOk;

private:
    TSmsRules& FRules;
    TSmsNumbersItem* FEditing;
    TSmsNumbersItem* FSaved = nullptr;
};

} // namespace qv
