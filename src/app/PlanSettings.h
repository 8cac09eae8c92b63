#pragma once
// The data plans as the settings page "Piani dati" edits them: each plan as its fields are typed,
// the checks that refuse a wrong field by its label, and the plans written back — a renamed plan
// keeps the volumes counted under its old name.

#include "app/DataModule.h"
#include "detection/NetLinks.h"

#include <string>
#include <vector>

namespace qv {

class TPlanSettings
{
public:
    TPlanSettings(TServices& services, TDataModule& module) : FServices(services), FModule(module) {}

    struct TPlanForm
    {
        std::string Original; // the name it was stored under ("" for a new plan)
        std::string Nome;
        bool PerInterfaccia = false; // else a NetworkManager connection
        std::string Connessione;     // UUID
        std::string Interfaccia;
        bool SoloRicevuti = false;
        int Ciclo = 0; // TPlanCycleKind
        int GiornoCiclo = 1;
        int OgniGiorni = 30;
        std::string Dal; // "dd/mm/yyyy"
        std::string Soglia = "10 GB"; // "" : no allowance
        std::string Prezzo = "0,00";
        int Oltre = 2; // TPlanBeyond
        std::string PrezzoOltre = "0,00";
        std::string Blocco = "100 MB";
        int Avviso = 80;
        bool Limite = false;
        bool operator==(const TPlanForm&) const = default;
    };
    static constexpr const char* LabelNome = "Nome";
    static constexpr const char* LabelConnessione = "Connessione (UUID)";
    static constexpr const char* LabelInterfaccia = "Interfaccia";
    static constexpr const char* LabelDal = "A partire dal";
    static constexpr const char* LabelSoglia = "Traffico incluso";
    static constexpr const char* LabelPrezzo = "Prezzo per ciclo (€)";
    static constexpr const char* LabelPrezzoOltre = "Prezzo oltre la soglia (€)";
    static constexpr const char* LabelBlocco = "Blocco";
    static constexpr const char* LabelLimite = "Alla soglia chiedi se interrompere la connessione";

    std::vector<TPlanForm> Plans() const;
    TPlanForm NewPlan() const;
    static TPlanForm FormOf(const TDataPlan& plan);
    // The plan a form says; false, after "Il valore specificato per il campo «…» non è valido!"
    // (or the reason), when a field is wrong. others: the other plans' forms (names are unique).
    bool PlanOf(const TPlanForm& form, const std::vector<TPlanForm>& others, TDataPlan& plan) const;
    // Checks every form, then writes them back: removed plans go (their volumes stay on record),
    // renamed ones take their volumes along. False (nothing written) when a form is wrong; failed:
    // the index of that form.
    bool Apply(const std::vector<TPlanForm>& forms, int* failed = nullptr);
    // The connections to offer for a plan: the links up now, the metered ones first.
    static std::vector<TNetLink> Offered(const TNetLinks& links);

    IPrompter& Prompter() { return FServices.Prompter; }
    TDataPlans& File() { return FModule.Plans; }

private:
    bool Invalid(const char* label) const;
    TServices& FServices;
    TDataModule& FModule;
};

} // namespace qv
