#include "app/BudgetSettings.h"

#include "core/Strings.h"

#include <algorithm>
#include <cmath>

namespace qv {

bool TBudgetSettings::Invalid(const char* label) const
{
    ShowError(FServices.Prompter, std::string("Il valore specificato per il campo «") + label + "» non è valido!");
    return false;
}

std::string TBudgetSettings::ProfileName() const
{
    return FModule.Status.Profile() ? FModule.Status.Profile()->UserName() : std::string();
}

TBudgetSettings::TBudgetForm TBudgetSettings::Budget() const
{
    TBudgetForm f;
    if (TBudgetItem* b = FModule.Budgets.FindBudget(ProfileName())) {
        f.Importo = b->Importo() > 0 ? std::to_string(static_cast<long long>(std::llround(b->Importo()))) : "";
        f.GiornoInizio = b->GiornoInizio();
        f.Riaggancia = b->Riaggancia();
    }
    return f;
}

bool TBudgetSettings::ApplyBudget(const TBudgetForm& form)
{
    const std::string text = Trim(form.Importo);
    const auto amount = text.empty() ? std::optional<double>(0) : ReadNumber(text);
    if (!amount || *amount < 0 || *amount > 1e12)
        return Invalid(LabelImporto);
    if (form.GiornoInizio < 1 || form.GiornoInizio > 28)
        return Invalid(LabelGiorno);
    const std::string profile = ProfileName();
    if (profile.empty())
        return true;
    TBudgetItem* existing = FModule.Budgets.FindBudget(profile);
    if (!existing && *amount == 0)
        return true; // nothing to keep
    TBudgetItem& b = existing ? *existing : FModule.Budgets.BudgetFor(profile);
    b.SetImporto(*amount);
    b.SetGiornoInizio(form.GiornoInizio);
    b.SetRiaggancia(form.Riaggancia);
    return true;
}

std::vector<std::string> TBudgetSettings::Entries() const
{
    std::vector<std::string> names;
    FModule.RasMonitor.RasEntries(names);
    for (const auto& i : FModule.Budgets.Idles())
        if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameText(n, i->Connessione()); }))
            names.push_back(i->Connessione());
    std::sort(names.begin(), names.end());
    return names;
}

TBudgetSettings::TIdleForm TBudgetSettings::Idle(const std::string& entry) const
{
    TIdleForm f;
    if (TIdleItem* i = FModule.Budgets.FindIdle(entry)) {
        f.Attivo = i->Attivo();
        f.Byte = std::to_string(i->Byte());
        f.Minuti = std::to_string(i->Minuti());
    }
    return f;
}

bool TBudgetSettings::CheckIdle(const TIdleForm& form) const
{
    const auto bytes = ReadInteger(form.Byte);
    if (!bytes || *bytes < 1)
        return Invalid(LabelByte);
    const auto minutes = ReadInteger(form.Minuti);
    if (!minutes || *minutes < 1 || *minutes > 1440)
        return Invalid(LabelMinuti);
    return true;
}

bool TBudgetSettings::ApplyIdle(const std::string& entry, const TIdleForm& form)
{
    if (!CheckIdle(form))
        return false;
    TIdleItem* existing = FModule.Budgets.FindIdle(entry);
    if (!existing && !form.Attivo)
        return true;
    TIdleItem& i = existing ? *existing : FModule.Budgets.IdleFor(entry);
    i.SetAttivo(form.Attivo);
    i.SetByte(*ReadInteger(form.Byte));
    i.SetMinuti(*ReadInteger(form.Minuti));
    return true;
}

} // namespace qv
