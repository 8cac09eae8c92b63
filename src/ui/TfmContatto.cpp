#include "ui/TfmContatto.h"

#include "ui/QtPrompter.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace qv {

TfmContatto::TfmContatto(TSmsRules& rules, TSmsNumbersItem* contact, const std::string& selectedGroup,
                         QWidget* parent)
    : QDialog(parent), FRules(rules), FEditing(contact)
{
    setObjectName(QStringLiteral("TfmContatto"));
    setWindowTitle(contact ? QStringLiteral("Modifica il contatto") : QStringLiteral("Nuovo contatto"));
    const TSmsRules::TContactForm f = rules.ContactForm(contact, selectedGroup);
    edPrefInt = new QLineEdit(ToQt(f.PrefixInt), this);
    edPrefInt->setToolTip(QStringLiteral("Prefisso internazionale senza zeri (39 per l'Italia)"));
    edPrefLoc = new QLineEdit(ToQt(f.PrefixLoc), this);
    edPrefLoc->setToolTip(QStringLiteral("Prefisso dell'operatore senza zero (per esempio 338)"));
    edNumero = new QLineEdit(ToQt(f.Number), this);
    edNome = new QLineEdit(ToQt(f.Name), this);
    edDescrizione = new QLineEdit(ToQt(f.Description), this);
    cbGruppo = new QComboBox(this);
    cbGruppo->setEditable(true);
    for (const std::string& g : rules.TreeGroups())
        cbGruppo->addItem(ToQt(g));
    cbGruppo->setCurrentText(ToQt(f.Group));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Prefisso internazionale"), edPrefInt);
    form->addRow(QStringLiteral("Prefisso locale"), edPrefLoc);
    form->addRow(QStringLiteral("Numero"), edNumero);
    form->addRow(QStringLiteral("Nome"), edNome);
    form->addRow(QStringLiteral("Descrizione"), edDescrizione);
    form->addRow(QStringLiteral("Gruppo"), cbGruppo);
    auto* buttons = new QDialogButtonBox(this);
    btOk = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    btOk->setEnabled(false); // until the first change
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(buttons);
    for (QLineEdit* e : {edPrefInt, edPrefLoc, edNumero, edNome, edDescrizione})
        connect(e, &QLineEdit::textEdited, btOk, [this] { btOk->setEnabled(true); });
    connect(cbGruppo, &QComboBox::editTextChanged, btOk, [this] { btOk->setEnabled(true); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        TSmsRules::TContactForm entered;
        entered.PrefixInt = edPrefInt->text().toStdString();
        entered.PrefixLoc = edPrefLoc->text().toStdString();
        entered.Number = edNumero->text().toStdString();
        entered.Name = edNome->text().toStdString();
        entered.Description = edDescrizione->text().toStdString();
        entered.Group = cbGruppo->currentText().trimmed().toStdString();
        FSaved = FRules.SaveContact(FEditing, entered);
        if (FSaved)
            accept();
    });
}

} // namespace qv
