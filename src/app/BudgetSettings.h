#pragma once
// The settings of the budget of the profile in use and of the idle rule of each entry, with their
// checks, as the settings page "Budget" edits them.

#include "app/DataModule.h"

#include <string>
#include <vector>

namespace qv {

class TBudgetSettings
{
public:
    TBudgetSettings(TServices& services, TDataModule& module) : FServices(services), FModule(module) {}

    struct TBudgetForm
    {
        std::string Importo; // lire, "" or "0": no budget
        int GiornoInizio = 1;
        bool Riaggancia = false;
    };
    struct TIdleForm
    {
        bool Attivo = false;
        std::string Byte = "1024";
        std::string Minuti = "10";
    };
    static constexpr const char* LabelImporto = "Budget mensile (£)";
    static constexpr const char* LabelGiorno = "Il ciclo di fatturazione inizia il giorno";
    static constexpr const char* LabelRiaggancia = "Chiudi la connessione quando il budget è esaurito";
    static constexpr const char* LabelAttivo = "Chiudi la connessione quando la linea resta inattiva";
    static constexpr const char* LabelByte = "Meno di (byte)";
    static constexpr const char* LabelMinuti = "In (minuti)";

    // The profile in use ("" when none).
    std::string ProfileName() const;
    TBudgetForm Budget() const;
    // False, after "Il valore specificato per il campo «…» non è valido!", for a bad amount or day.
    bool ApplyBudget(const TBudgetForm& form);
    // The entries of the phone book and those with an idle rule, sorted.
    std::vector<std::string> Entries() const;
    TIdleForm Idle(const std::string& entry) const;
    bool CheckIdle(const TIdleForm& form) const;
    bool ApplyIdle(const std::string& entry, const TIdleForm& form);

private:
    bool Invalid(const char* label) const;
    TServices& FServices;
    TDataModule& FModule;
};

} // namespace qv
