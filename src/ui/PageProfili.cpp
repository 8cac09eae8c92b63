#include "core/DateTime.h"
#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QScrollArea>
#include <QVBoxLayout>

namespace qv {

namespace {

QTime TimeOfSeconds(std::int32_t s)
{
    return QTime(0, 0).addSecs(std::clamp(s, 0, 86399));
}

} // namespace

TpgProfili::TpgProfili(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgProfili"));
    lbProfili = new QListWidget(this);
    lbProfili->setObjectName(QStringLiteral("lbProfili"));
    lbProfili->setFixedWidth(150);
    btNuovo = new QPushButton(QStringLiteral("&Nuovo"), this);
    btElimina = new QPushButton(QStringLiteral("&Elimina"), this);
    btSblocca = new QPushButton(QStringLiteral("&Sblocca..."), this);
    Form = new QWidget;
    edUserName = new QLineEdit(Form);
    edPassword = new QLineEdit(Form);
    edPassword->setEchoMode(QLineEdit::Password);
    cbDiritti = new QComboBox(Form);
    cbDiritti->addItems({QStringLiteral("Amministratore"), QStringLiteral("Utente")});
    edDescrizione = new QLineEdit(Form);
    teDurata = new QTimeEdit(Form);
    teDurata->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    cbAutoDisconnect = new QCheckBox(QStringLiteral("Disconnetti dopo la durata della connessione"), Form);
    cbAskDisconnect = new QCheckBox(QStringLiteral("Chiedi prima di disconnettere"), Form);
    cbSoundsEnabled = new QCheckBox(QStringLiteral("Suoni attivi"), Form);
    cbSpeaker = new QCheckBox(QStringLiteral("Suoni dall'altoparlante del PC"), Form);
    cbPreavviso = new QCheckBox(QStringLiteral("Avviso acustico prima dello scatto"), Form);
    cbPetulante = new QCheckBox(QStringLiteral("Avviso a ogni secondo (petulante)"), Form);
    cbAutoHide = new QCheckBox(QStringLiteral("Mostra la finestra solo durante le connessioni"), Form);
    cbForceHide = new QCheckBox(QStringLiteral("Tieni nascosta la finestra"), Form);
    edTimeWait = new QLineEdit(Form);
    edTimeWait->setMaximumWidth(80);
    cbStartEntry = new QComboBox(Form);
    cbTrayHint = new QComboBox(Form);
    for (const auto& c : TrayHintChoices())
        cbTrayHint->addItem(QString::fromUtf8(c.Text), c.Value);
    cbSanctiOff = new QCheckBox(QStringLiteral("Non mostrare il santo del giorno"), Form);
    edSignature = new QLineEdit(Form);
    cbAttachMurphy = new QCheckBox(QStringLiteral("Aggiungi una legge di Murphy ai messaggi"), Form);

    auto* form = new QFormLayout(Form);
    form->addRow(QString::fromUtf8(TProfilesEditor::LabelUserName), edUserName);
    form->addRow(QStringLiteral("Password"), edPassword);
    form->addRow(QStringLiteral("Diritti"), cbDiritti);
    form->addRow(QStringLiteral("Descrizione"), edDescrizione);
    form->addRow(QString::fromUtf8(TProfilesEditor::LabelDurata), teDurata);
    form->addRow(cbAutoDisconnect);
    form->addRow(cbAskDisconnect);
    form->addRow(QStringLiteral("Connessione all'avvio"), cbStartEntry);
    form->addRow(QString::fromUtf8(TProfilesEditor::LabelTimeWait), edTimeWait);
    form->addRow(QStringLiteral("Confronto a fine connessione"), cbTrayHint);
    for (QCheckBox* c : {cbSoundsEnabled, cbSpeaker, cbPreavviso, cbPetulante, cbAutoHide, cbForceHide, cbSanctiOff})
        form->addRow(c);
    form->addRow(QStringLiteral("Firma dei messaggi"), edSignature);
    form->addRow(cbAttachMurphy);
    Programmi = new TProgramsBox(services, Form);
    form->addRow(Programmi);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(Form);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto* left = new QVBoxLayout;
    left->addWidget(lbProfili, 1);
    left->addWidget(btNuovo);
    left->addWidget(btElimina);
    left->addWidget(btSblocca);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(scroll, 1);

    AskPassword = [this](const std::string& user) -> std::optional<std::string> {
        bool ok = false;
        const QString text = QInputDialog::getText(this, QStringLiteral("Quorvanta"),
                                                   QStringLiteral("Password del profilo «") + ToQt(user) + "»:",
                                                   QLineEdit::Password, QString(), &ok);
        return ok ? std::optional<std::string>(text.toStdString()) : std::nullopt;
    };
    connect(lbProfili, &QListWidget::currentRowChanged, this, [this](int row) {
        if (FFilling || row == FRow)
            return;
        // The profile left is stored first; a refusal keeps it selected.
        if (!Apply()) {
            FFilling = true;
            lbProfili->setCurrentRow(FRow);
            FFilling = false;
            return;
        }
        ShowProfile(row);
    });
    connect(btSblocca, &QPushButton::clicked, this, [this] {
        if (FRow < 0)
            return;
        if (const auto typed = AskPassword(FRules.Names()[static_cast<std::size_t>(FRow)]);
            typed && FRules.Unlock(static_cast<std::size_t>(FRow), *typed))
            ShowProfile(FRow);
    });
    connect(btNuovo, &QPushButton::clicked, this, [this] {
        if (!Apply())
            return;
        if (const auto added = FRules.Add()) {
            Load();
            lbProfili->setCurrentRow(static_cast<int>(*added));
        }
    });
    connect(btElimina, &QPushButton::clicked, this, [this] {
        if (FRow >= 0 && FRules.Delete(static_cast<std::size_t>(FRow))) {
            FRow = -1;
            Load();
        }
    });
}

void TpgProfili::Load()
{
    FFilling = true;
    lbProfili->clear();
    const auto names = FRules.Names();
    for (const auto& n : names)
        lbProfili->addItem(ToQt(n));
    cbStartEntry->clear();
    cbStartEntry->addItem(QString());
    for (const auto& e : FRules.PhoneBook())
        cbStartEntry->addItem(ToQt(e));
    FFilling = false;
    const int row = FRow >= 0 && FRow < static_cast<int>(names.size()) ? FRow : static_cast<int>(FRules.Active());
    FRow = -1;
    lbProfili->setCurrentRow(row);
    ShowProfile(row);
}

void TpgProfili::ShowProfile(int row)
{
    FRow = row;
    if (row < 0 || static_cast<std::size_t>(row) >= FRules.Count())
        return;
    const auto index = static_cast<std::size_t>(row);
    const TProfilesEditor::TForm f = FRules.FormOf(index);
    edUserName->setText(ToQt(f.UserName));
    edPassword->setText(ToQt(f.Password));
    cbDiritti->setCurrentIndex(f.Diritti == diAdmin ? 0 : 1);
    edDescrizione->setText(ToQt(f.Descrizione));
    teDurata->setTime(TimeOfSeconds(f.TimeOutConnection));
    cbAutoDisconnect->setChecked(f.AutoDisconnect);
    cbAskDisconnect->setChecked(f.AskDisconnect);
    cbSoundsEnabled->setChecked(f.SoundsEnabled);
    cbSpeaker->setChecked(f.Speaker);
    cbPreavviso->setChecked(f.Preavviso);
    cbPetulante->setChecked(f.Petulante);
    cbAutoHide->setChecked(f.AutoHide);
    cbForceHide->setChecked(f.ForceHide);
    edTimeWait->setText(ToQt(f.TimeWaitApplications));
    const int entry = cbStartEntry->findText(ToQt(f.RasStartEntry));
    if (entry < 0 && !f.RasStartEntry.empty())
        cbStartEntry->addItem(ToQt(f.RasStartEntry));
    cbStartEntry->setCurrentIndex(cbStartEntry->findText(ToQt(f.RasStartEntry)));
    const int hint = cbTrayHint->findData(f.TrayHintPause);
    cbTrayHint->setCurrentIndex(hint >= 0 ? hint : cbTrayHint->findData(10000));
    cbSanctiOff->setChecked(f.SanctiOff);
    edSignature->setText(ToQt(f.Signature));
    cbAttachMurphy->setChecked(f.AttachMurphy);
    Programmi->SetList([this, index](bool) { return &FRules.Item(index).Applications(); });
    const bool editable = FRules.MayEdit(index) && FRules.Unlocked(index);
    Form->setEnabled(editable);
    btSblocca->setVisible(FRules.MayEdit(index) && !FRules.Unlocked(index));
    // A user profile cannot give itself more rights.
    cbDiritti->setEnabled(editable && FRules.CanChangeRights());
}

TProfilesEditor::TForm TpgProfili::FormFromWidgets() const
{
    TProfilesEditor::TForm f;
    f.UserName = edUserName->text().toStdString();
    f.Password = edPassword->text().toStdString();
    f.Diritti = cbDiritti->currentIndex() == 0 ? diAdmin : diUser;
    f.Descrizione = edDescrizione->text().toStdString();
    f.TimeOutConnection = QTime(0, 0).secsTo(teDurata->time());
    f.AutoDisconnect = cbAutoDisconnect->isChecked();
    f.AskDisconnect = cbAskDisconnect->isChecked();
    f.SoundsEnabled = cbSoundsEnabled->isChecked();
    f.Speaker = cbSpeaker->isChecked();
    f.Preavviso = cbPreavviso->isChecked();
    f.Petulante = cbPetulante->isChecked();
    f.AutoHide = cbAutoHide->isChecked();
    f.ForceHide = cbForceHide->isChecked();
    f.TimeWaitApplications = edTimeWait->text().toStdString();
    f.RasStartEntry = cbStartEntry->currentText().toStdString();
    f.TrayHintPause = cbTrayHint->currentData().toInt();
    f.SanctiOff = cbSanctiOff->isChecked();
    f.Signature = edSignature->text().toStdString();
    f.AttachMurphy = cbAttachMurphy->isChecked();
    return f;
}

bool TpgProfili::Apply()
{
    if (FRow < 0 || static_cast<std::size_t>(FRow) >= FRules.Count())
        return true;
    const auto index = static_cast<std::size_t>(FRow);
    // A page that could not be changed stores nothing, so it cannot refuse either.
    if (!FRules.MayEdit(index) || !FRules.Unlocked(index))
        return true;
    const TProfilesEditor::TForm now = FormFromWidgets();
    if (!FRules.Apply(index, now))
        return false;
    if (QListWidgetItem* item = lbProfili->item(FRow))
        item->setText(ToQt(FRules.Names()[index]));
    return true;
}

} // namespace qv
