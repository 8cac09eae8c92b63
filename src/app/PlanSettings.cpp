#include "app/PlanSettings.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Prompter.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// An amount as typed: "9,99", "9.99", "€ 9,99"; none for anything else or beyond a billion.
std::optional<double> Amount(const std::string& text)
{
    std::string t = Trim(ReplaceAll(text, "€", ""));
    t = ReplaceAll(t, ",", ".");
    const auto v = ReadNumber(t);
    if (!v || !std::isfinite(*v) || *v < 0 || *v > 1e9)
        return std::nullopt;
    return v;
}

std::string AmountText(double value)
{
    return FormatNumber(value, 2);
}

} // namespace

bool TPlanSettings::Invalid(const char* label) const
{
    ShowError(FServices.Prompter, std::string("Il valore specificato per il campo «") + label + "» non è valido!");
    return false;
}

TPlanSettings::TPlanForm TPlanSettings::FormOf(const TDataPlan& p)
{
    TPlanForm f;
    f.Original = p.Name;
    f.Nome = p.Name;
    f.PerInterfaccia = p.ConnectionUuid.empty();
    f.Connessione = p.ConnectionUuid;
    f.Interfaccia = p.Interface;
    f.SoloRicevuti = p.Counts == TPlanCounts::ReceivedOnly;
    f.Ciclo = static_cast<int>(p.Cycle);
    f.GiornoCiclo = p.CycleDay;
    f.OgniGiorni = p.EveryDays;
    f.Dal = p.CycleFrom > 0 ? FormatDateTime("dd/mm/yyyy", p.CycleFrom) : std::string();
    f.Soglia = p.Allowance ? VolumeText(*p.Allowance) : std::string();
    f.Prezzo = AmountText(p.PricePerCycle);
    f.Oltre = static_cast<int>(p.Beyond);
    f.PrezzoOltre = AmountText(p.BeyondPrice);
    f.Blocco = p.BlockBytes ? VolumeText(p.BlockBytes) : std::string("100,00 MB");
    f.Avviso = p.WarningPercent;
    f.Limite = p.Limit;
    return f;
}

std::vector<TPlanSettings::TPlanForm> TPlanSettings::Plans() const
{
    std::vector<TPlanForm> forms;
    for (const TDataPlan& p : FModule.Plans.PlanList())
        forms.push_back(FormOf(p));
    return forms;
}

TPlanSettings::TPlanForm TPlanSettings::NewPlan() const
{
    TPlanForm f;
    f.Nome = "Nuovo piano";
    f.Dal = FormatDateTime("dd/mm/yyyy", FServices.Clk.Now());
    return f;
}

bool TPlanSettings::PlanOf(const TPlanForm& f, const std::vector<TPlanForm>& others, TDataPlan& p) const
{
    p = TDataPlan{};
    p.Name = Trim(f.Nome);
    if (p.Name.empty())
        return Invalid(LabelNome);
    for (const TPlanForm& o : others)
        if (&o != &f && SameText(Trim(o.Nome), p.Name)) {
            ShowError(FServices.Prompter, "Esiste già un piano di nome «" + p.Name + "»!");
            return false;
        }
    if (f.PerInterfaccia) {
        p.Interface = Trim(f.Interfaccia);
        // An interface name as the kernel takes it: up to 15 characters, no slash, no blank.
        if (p.Interface.empty() || p.Interface.size() > 15 || p.Interface.find_first_of("/ \t") != std::string::npos ||
            p.Interface == "." || p.Interface == "..")
            return Invalid(LabelInterfaccia);
    } else {
        p.ConnectionUuid = Trim(f.Connessione);
        if (p.ConnectionUuid.empty())
            return Invalid(LabelConnessione);
    }
    p.Counts = f.SoloRicevuti ? TPlanCounts::ReceivedOnly : TPlanCounts::Both;
    p.Cycle = static_cast<TPlanCycleKind>(std::clamp(f.Ciclo, 0, 2));
    p.CycleDay = std::clamp(f.GiornoCiclo, 1, 31);
    p.EveryDays = std::clamp(f.OgniGiorni, 1, 366);
    if (p.Cycle == TPlanCycleKind::EveryDays) {
        const auto from = ParseDateTimeIt(Trim(f.Dal));
        if (!from)
            return Invalid(LabelDal);
        p.CycleFrom = std::floor(*from);
    }
    if (!Trim(f.Soglia).empty()) {
        p.Allowance = ParseVolume(f.Soglia);
        if (!p.Allowance)
            return Invalid(LabelSoglia);
    }
    const auto price = Amount(f.Prezzo);
    if (!price)
        return Invalid(LabelPrezzo);
    p.PricePerCycle = *price;
    p.Beyond = static_cast<TPlanBeyond>(std::clamp(f.Oltre, 0, 2));
    if (p.Beyond != TPlanBeyond::SpeedCap) {
        const auto beyond = Amount(f.PrezzoOltre);
        if (!beyond)
            return Invalid(LabelPrezzoOltre);
        p.BeyondPrice = *beyond;
    }
    if (p.Beyond == TPlanBeyond::PerBlock) {
        const auto block = ParseVolume(f.Blocco);
        if (!block || *block == 0)
            return Invalid(LabelBlocco);
        p.BlockBytes = *block;
    }
    p.WarningPercent = std::clamp(f.Avviso, 0, 100);
    p.Limit = f.Limite;
    return true;
}

bool TPlanSettings::Apply(const std::vector<TPlanForm>& forms, int* failed)
{
    std::vector<TDataPlan> plans;
    for (std::size_t i = 0; i < forms.size(); ++i) {
        TDataPlan p;
        bool ok = PlanOf(forms[i], forms, p);
        // A link has one plan at a time.
        if (const TDataPlan* other = ok ? PlanWithLinkOf(plans, p) : nullptr) {
            ShowError(FServices.Prompter, "Il collegamento del piano «" + p.Name + "» ha già il piano «" + other->Name + "»!");
            ok = false;
        }
        if (!ok) {
            if (failed)
                *failed = static_cast<int>(i);
            return false;
        }
        plans.push_back(p);
    }
    TDataPlans& file = FModule.Plans;
    // Renamed plans take their volumes along; removed ones leave the list (their volumes stay, and
    // come back with a plan of the same name).
    TPlanUsage usage = file.Usage();
    TPlanUsage moved;
    for (const auto& [name, days] : usage.All()) {
        std::string to = name;
        for (std::size_t i = 0; i < forms.size(); ++i)
            if (!forms[i].Original.empty() && SameText(forms[i].Original, name))
                to = plans[i].Name;
        for (const auto& [day, v] : days)
            moved.Add(to, static_cast<double>(day), v.Received, v.Sent);
    }
    file.Plans().Clear();
    for (const TDataPlan& p : plans)
        file.StorePlan(p);
    file.StoreUsage(moved);
    return true;
}

std::vector<TNetLink> TPlanSettings::Offered(const TNetLinks& links)
{
    std::vector<TNetLink> offered;
    for (const auto& [interface, link] : links)
        if (!link.ConnectionUuid.empty())
            offered.push_back(link);
    std::stable_sort(offered.begin(), offered.end(),
                     [](const TNetLink& a, const TNetLink& b) { return a.Metered && !b.Metered; });
    return offered;
}

} // namespace qv
