#pragma once
// The rules of the settings window's pages for the data that lives in "Settings.dat": the general
// switches, the profiles and the dial-up entries. Each page reads a form from the data and stores a
// form back after its checks; every refusal is shown through the prompter.

#include "app/DataModule.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qv {

// "I dati non sono corretti \r\rControllare il campo " + label, shown when a whole-number field is
// not one; the value when it is.
std::optional<std::int32_t> ReadWholeField(IPrompter& prompter, const std::string& text, const std::string& label);

class TGeneralSettings
{
public:
    TGeneralSettings(TServices& services, TDataModule& data) : FServices(services), FData(data) {}
    struct TForm
    {
        bool AutoTimeCheck = false;
        bool CheckAnnounce = false;
        std::string InternationalPrefix;
        bool WinStart = false;
        std::string TimeServer;
        bool FullTapiMonitor = false;
        double Installation = 0; // shown only
        // An address to check for new versions is set: only then is CheckAnnounce offered.
        bool AnnounceAddress = false;
    };
    TForm Form() const;
    // The prefix is checked as the warning window checks it; switching WinStart writes or removes
    // the autostart entry.
    bool Apply(const TForm& form);
    static constexpr const char* LabelAutoTimeCheck = "Controlla l'orologio del PC ad ogni connessione";
    static constexpr const char* LabelCheckAnnounce = "Avvisami sempre in caso di nuove versioni";
    static constexpr const char* LabelWinStart = "Avvia all'inizio della sessione";
    static constexpr const char* LabelPrefix = "Prefisso internazionale";
    static constexpr const char* LabelTimeServer = "Server dell'ora esatta";
    static constexpr const char* LabelFullTapi = "Conta anche le chiamate del modem non viste in selezione";

private:
    TServices& FServices;
    TDataModule& FData;
};

// The choices of the end-of-connection comparison message, as milliseconds and texts.
struct TTrayHintChoice
{
    std::int32_t Value;
    const char* Text;
};
const std::vector<TTrayHintChoice>& TrayHintChoices();

class TProfilesEditor
{
public:
    TProfilesEditor(TServices& services, TDataModule& data) : FServices(services), FData(data) {}
    struct TForm
    {
        std::string UserName, Password, Descrizione;
        TDiritti Diritti = diAdmin;
        std::int32_t TimeOutConnection = 3600; // seconds, below one day
        bool AutoDisconnect = false, AskDisconnect = true;
        bool SoundsEnabled = false, Speaker = false, Preavviso = false, Petulante = false;
        bool AutoHide = false, ForceHide = false, SanctiOff = false, AttachMurphy = false;
        std::string TimeWaitApplications; // whole seconds, as typed
        std::string RasStartEntry;
        std::int32_t TrayHintPause = 10000;
        std::string Signature;
    };
    static constexpr const char* LabelUserName = "Nome utente";
    static constexpr const char* LabelDurata = "Durata della connessione";
    static constexpr const char* LabelTimeWait = "Attesa prima della connessione (secondi)";

    std::size_t Count() const { return FData.Settings.Profiles().Count(); }
    std::vector<std::string> Names() const;
    // The profile in use (the live status's).
    std::size_t Active() const;
    // A user profile may change only itself.
    bool MayEdit(std::size_t index) const;
    // Only an administrator (or no profile in use) sets rights.
    bool CanChangeRights() const;
    // Whether the profile's page can be changed now: no password, or its password given in this
    // window already.
    bool Unlocked(std::size_t index) const;
    bool NeedsPassword(std::size_t index) const;
    // The password typed for a protected profile; a wrong one is refused with "Password errata!".
    bool Unlock(std::size_t index, const std::string& password);
    TForm FormOf(std::size_t index) const;
    bool Apply(std::size_t index, const TForm& form);
    // A new profile with the values of a new profile and a free name; none when refused.
    std::optional<std::size_t> Add();
    // Asks first; the last profile and the one in use cannot go.
    bool Delete(std::size_t index);
    // The phone book's entries, for the start entry.
    std::vector<std::string> PhoneBook() const;
    TProfileItem& Item(std::size_t index) { return FData.Settings.Profiles()[index]; }

private:
    bool Refuse(std::size_t index);
    TServices& FServices;
    TDataModule& FData;
    std::set<const TProfileItem*> FUnlocked;
};

// The "Suoni" page: the sounds with a description, their switches, a new file, the factory reset.
class TSoundsEditor
{
public:
    TSoundsEditor(TServices& services, TDataModule& data) : FServices(services), FData(data) {}
    // The items the page lists (those with a description).
    std::vector<TWaveItem*> Listed();
    // The new file of a sound: stored in "Waves.dat", then played (pause first).
    bool ChangeFile(TWaveItem& item, const std::string& file);
    void ToggleDisabled(TWaveItem& item);
    // Through the profile's switch, as the program plays it.
    void Play(TWaveItem& item);
    // The profile's switch: "Disabilita tutti i suoni" / "Riabilita tutti i suoni".
    bool AllEnabled() const;
    void SetAllEnabled(bool on);
    // Asks "Ripristina i suoni predefiniti?"; deletes "Waves.dat" and stops saving it.
    bool FactoryReset();

private:
    TServices& FServices;
    TDataModule& FData;
};

class TEntriesEditor
{
public:
    TEntriesEditor(TServices& services, TDataModule& data) : FServices(services), FData(data) {}
    struct TForm
    {
        std::string Descrizione;
        std::string TaxName; // empty: none
        bool AutoDisconnect = false;
        std::int32_t TimeOutConnection = 3600;
        std::string RetryTime = "9";
        std::string DialTime = "5";
        bool AskDisconnect = true;
    };
    static constexpr const char* LabelRetry = "Richiamata su occupato";
    static constexpr const char* LabelDialTime = "Tempo per la selezione";
    static constexpr const char* LabelDurata = "Durata della connessione";

    // The entries with a record, then the phone book's entries without one.
    std::vector<std::string> Names() const;
    bool HasRecord(const std::string& name) const;
    // The entry's record; with create, made when missing (adding a program is a change).
    TEntryItem* Item(const std::string& name, bool create);
    TForm FormOf(const std::string& name) const;
    // The tariffs' display names, for the tariff field.
    std::vector<std::string> Tariffs() const;
    // Checks and stores; an entry without a record gets one only when something differs from the
    // values of a new entry.
    bool Apply(const std::string& name, const TForm& form);

private:
    TServices& FServices;
    TDataModule& FData;
};

} // namespace qv
