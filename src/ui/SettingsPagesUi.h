#pragma once
// The settings window's pages: Generale, Profili, Connessioni, Tariffe, Calendario, Suoni, Ora
// esatta, Budget, Piani dati, Modem, SMS. Each is a thin view over the page's rules.

#include "app/BudgetSettings.h"
#include "app/CalendarEditor.h"
#include "app/ModemSettings.h"
#include "app/PlanSettings.h"
#include "app/SettingsPages.h"
#include "app/TariffChooser.h"
#include "app/TariffEditor.h"
#include "sms/GatewayEditor.h"
#include "ui/ProgramsBox.h"
#include "ui/SettingsPage.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <map>

namespace qv {

class TpgGenerale : public TSettingsPage
{
    Q_OBJECT
public:
    TpgGenerale(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Generale"); }
    void Load() override;
    bool Apply() override;
    QCheckBox* cbCheckAnnounce;
    QCheckBox* cbWinStart;
    QCheckBox* cbFullTapiMonitor;
    QLineEdit* edPrefisso;
    QLabel* lbInstallation;

private:
    TGeneralSettings FRules;
};

class TpgProfili : public TSettingsPage
{
    Q_OBJECT
public:
    TpgProfili(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Profili"); }
    void Load() override;
    bool Apply() override;
    // The password typed to unlock a profile (a box asks for it; tests set it).
    std::function<std::optional<std::string>(const std::string& userName)> AskPassword;
    QListWidget* lbProfili;
    QPushButton* btNuovo;
    QPushButton* btElimina;
    QPushButton* btSblocca;
    QWidget* Form;
    QLineEdit* edUserName;
    QLineEdit* edPassword;
    QComboBox* cbDiritti;
    QLineEdit* edDescrizione;
    QTimeEdit* teDurata;
    QCheckBox* cbAutoDisconnect;
    QCheckBox* cbAskDisconnect;
    QCheckBox* cbSoundsEnabled;
    QCheckBox* cbSpeaker;
    QCheckBox* cbPreavviso;
    QCheckBox* cbPetulante;
    QCheckBox* cbAutoHide;
    QCheckBox* cbForceHide;
    QLineEdit* edTimeWait;
    QComboBox* cbStartEntry;
    QComboBox* cbTrayHint;
    QCheckBox* cbSanctiOff;
    QLineEdit* edSignature;
    QCheckBox* cbAttachMurphy;
    TProgramsBox* Programmi;

private:
    void ShowProfile(int row);
    TProfilesEditor::TForm FormFromWidgets() const;
    TProfilesEditor FRules;
    int FRow = -1;
    bool FFilling = false;
};

class TpgConnessioni : public TSettingsPage
{
    Q_OBJECT
public:
    TpgConnessioni(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Connessioni"); }
    void Load() override;
    bool Apply() override;
    QListWidget* lbConnessioni;
    QLineEdit* edDescrizione;
    QComboBox* cbTariffa;
    QCheckBox* cbAutoDisconnect;
    QTimeEdit* teDurata;
    QLineEdit* edRetryTime;
    QLineEdit* edDialTime;
    QCheckBox* cbAskDisconnect;
    TProgramsBox* Programmi;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void ShowEntry(int row);
    TEntriesEditor FRules;
    int FRow = -1;
    bool FFilling = false;
};

class TpgTariffe : public TSettingsPage
{
    Q_OBJECT
public:
    TpgTariffe(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Tariffe"); }
    void Load() override;
    bool Apply() override { return true; }
    // Opens the properties dialog of the tariff at row (-1: a new tariff); onOpen runs once the
    // dialog exists.
    int OpenProperties(int row, const std::function<void(class TfmTariffa&)>& onOpen = {});
    QListWidget* lbTariffe;
    QLabel* lbDescrizione;
    QLabel* lbConnessioni;
    QPushButton* btApplica;
    QPushButton* btNuova;
    QPushButton* btProprieta;
    QPushButton* btElimina;
    QPushButton* btPredefinite;

private:
    TDataModule& FData;
    TTariffChooser FChooser;
    TTariffEditor FEditor;
};

class TfmGiorno : public QDialog
{
    Q_OBJECT
public:
    TfmGiorno(TCalendarEditor& editor, int day, int month, QWidget* parent = nullptr);
    QLineEdit* edSanti;
    QComboBox* cbFesta;
    QPushButton* btOk;

private:
    TCalendarEditor& FEditor;
    int FDay, FMonth;
};

class TpgCalendario : public TSettingsPage
{
    Q_OBJECT
public:
    TpgCalendario(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Calendario"); }
    void Load() override;
    bool Apply() override { return true; }
    // The day window of a date; onOpen runs once it exists.
    int OpenDay(const QDate& date, const std::function<void(TfmGiorno&)>& onOpen = {});
    QCalendarWidget* Calendario;
    QLabel* lbSanti;
    QLineEdit* edCerca;
    QPushButton* btCerca;
    QPushButton* btRipristina;
    TCalendarEditor& Rules() { return FRules; }

private:
    void Paint(int year, int month);
    void ShowSaints(const QDate& date);
    TDataModule& FData;
    TCalendarEditor FRules;
};

class TpgSuoni : public TSettingsPage
{
    Q_OBJECT
public:
    TpgSuoni(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Suoni"); }
    void Load() override;
    bool Apply() override { return true; }
    QListWidget* lbSuoni;
    QPushButton* btModifica;
    QPushButton* btDisabilita;
    QPushButton* btRiproduci;
    QPushButton* btTutti;
    QPushButton* btFabbrica;

private:
    TWaveItem* Current();
    void UpdateButtons();
    TSoundsEditor FRules;
};

class TpgOraEsatta : public TSettingsPage
{
    Q_OBJECT
public:
    TpgOraEsatta(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Ora esatta"); }
    void Load() override;
    bool Apply() override;
    // A check now against the server shown (the owner starts it; none: the button is hidden).
    std::function<void(const std::string& server)> OnCheckNow;
    QCheckBox* cbAutoTimeCheck;
    QComboBox* cbTimeServer;
    QPushButton* btVerifica;

protected:
    void showEvent(QShowEvent* e) override;

private:
    TGeneralSettings FRules;
};

// The budget of the profile in use and the idle rule of each entry.
class TpgBudget : public TSettingsPage
{
    Q_OBJECT
public:
    TpgBudget(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Budget"); }
    void Load() override;
    bool Apply() override;
    QLineEdit* edImporto;
    QSpinBox* seGiorno;
    QCheckBox* cbRiaggancia;
    QComboBox* cbConnessione;
    QCheckBox* cbInattiva;
    QLineEdit* edByte;
    QLineEdit* edMinuti;

private:
    void KeepIdle();
    void ShowIdle();
    TBudgetSettings FRules;
    std::map<std::string, TBudgetSettings::TIdleForm> FIdle;
    std::string FShown;
};

// The data plans: the list on the left, the selected plan's fields on the right.
class TpgPianiDati : public TSettingsPage
{
    Q_OBJECT
public:
    TpgPianiDati(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Piani dati"); }
    void Load() override;
    bool Apply() override;
    // The running program's watch edits the plans (what it counted goes to the file first); without
    // one the page writes the file itself.
    std::function<void(const std::function<void(TDataPlans&)>&)> EditPlans;
    // The links up now, whose connections are offered.
    std::function<TNetLinks()> LinksUp;

    QListWidget* lbPiani;
    QPushButton* btNuovo;
    QPushButton* btElimina;
    QLineEdit* edNome;
    QRadioButton* rbConnessione;
    QRadioButton* rbInterfaccia;
    QComboBox* cbConnessione; // editable: a UUID, or one of the links up
    QLineEdit* edInterfaccia;
    QComboBox* cbConta;
    QComboBox* cbCiclo;
    QSpinBox* seGiorno;
    QSpinBox* seOgni;
    QDateEdit* deDal;
    QLineEdit* edSoglia;
    QLineEdit* edPrezzo;
    QComboBox* cbOltre;
    QLineEdit* edPrezzoOltre;
    QLineEdit* edBlocco;
    QSpinBox* seAvviso;
    QCheckBox* cbLimite;

private:
    void Keep();
    void Show(int row);
    void UpdateEnabled();
    TPlanSettings FRules;
    std::vector<TPlanSettings::TPlanForm> FForms;
    int FShown = -1;
};

// The modem line watched for calls placed by other programs.
class TpgModem : public TSettingsPage
{
    Q_OBJECT
public:
    TpgModem(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("Modem"); }
    void Load() override;
    bool Apply() override;
    QComboBox* cbDispositivo;
    QLabel* lbMotivo;

private:
    TModemSettings FRules;
};

// The web SMS gateways: new, modify, delete, factory reset, the INI exchange and the files of two
// other programs dropped on the list.
class TpgSms : public TSettingsPage
{
    Q_OBJECT
public:
    TpgSms(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    QString Title() const override { return QStringLiteral("SMS"); }
    void Load() override;
    bool Apply() override { return true; }
    TGatewayEditor& Editor() { return FEditor; }
    // The gateway editor (index -1: new); onOpen runs once it is shown.
    int OpenEditor(int index, const std::function<void(class TfmGateway&)>& onOpen = {});
    // A file dropped on the list.
    void DropFile(const QString& file);
    QListWidget* lbGateways;
    QLabel* lbDescrizione;
    QPushButton* btNuovo;
    QPushButton* btModifica;
    QPushButton* btElimina;
    QPushButton* btImporta;
    QPushButton* btEsporta;
    QPushButton* btPredefinite;

private:
    TDataModule& FData;
    TGatewayEditor FEditor;
};

} // namespace qv
