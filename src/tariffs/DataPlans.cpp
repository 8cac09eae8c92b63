#include "tariffs/DataPlans.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

constexpr double Gigabyte = 1e9; // operators sell decimal gigabytes

// The day a monthly cycle starts in a month: the chosen day, or the month's last when it has none.
double MonthlyStart(int year, int month, int day)
{
    return EncodeDate(year, month, std::min(day, DaysInMonth(year, month)));
}

} // namespace

TPlanCycle PlanCycleAt(const TDataPlan& plan, double moment)
{
    const double day = static_cast<double>(DayNumber(moment));
    switch (plan.Cycle) {
    case TPlanCycleKind::Daily:
        return {day, day + 1};
    case TPlanCycleKind::EveryDays: {
        const int length = std::max(1, plan.EveryDays);
        const double first = static_cast<double>(DayNumber(plan.CycleFrom));
        const double k = std::floor((day - first) / length);
        const double start = first + k * length;
        return {start, start + length};
    }
    case TPlanCycleKind::Monthly:
        break;
    }
    const int chosen = std::clamp(plan.CycleDay, 1, 31);
    const TDateParts d = DecodeDate(day);
    const auto next = [](int y, int m) { return m == 12 ? std::pair{y + 1, 1} : std::pair{y, m + 1}; };
    const auto previous = [](int y, int m) { return m == 1 ? std::pair{y - 1, 12} : std::pair{y, m - 1}; };
    const double thisMonth = MonthlyStart(d.Year, d.Month, chosen);
    if (day >= thisMonth) {
        const auto [y, m] = next(d.Year, d.Month);
        return {thisMonth, MonthlyStart(y, m, chosen)};
    }
    const auto [y, m] = previous(d.Year, d.Month);
    return {MonthlyStart(y, m, chosen), thisMonth};
}

std::string CycleText(const TDataPlan& plan)
{
    switch (plan.Cycle) {
    case TPlanCycleKind::Daily:
        return "giornaliero";
    case TPlanCycleKind::EveryDays:
        return "ogni " + std::to_string(std::max(1, plan.EveryDays)) + " giorni dal " +
               FormatDateTime("d mmmm yyyy", plan.CycleFrom);
    case TPlanCycleKind::Monthly:
        break;
    }
    return "mensile dal giorno " + std::to_string(std::clamp(plan.CycleDay, 1, 31));
}

std::optional<std::uint64_t> ParseVolume(std::string_view text)
{
    std::string t = Trim(std::string(text));
    std::size_t unitAt = t.find_first_not_of("0123456789.,");
    const std::string number = t.substr(0, unitAt);
    const std::string unit = unitAt == std::string::npos ? "" : LowerCase(Trim(t.substr(unitAt)));
    if (number.find_first_of("0123456789") == std::string::npos ||
        std::count_if(number.begin(), number.end(), [](char c) { return c == '.' || c == ','; }) > 1)
        return std::nullopt;
    const double multiplier = unit.empty() || unit == "b" ? 1
                              : unit == "kb"              ? 1e3
                              : unit == "mb"              ? 1e6
                              : unit == "gb"              ? 1e9
                              : unit == "tb"              ? 1e12
                                                          : 0;
    if (multiplier == 0)
        return std::nullopt;
    const double value = std::stod(ReplaceAll(number, ",", ".")) * multiplier;
    if (!std::isfinite(value) || value >= 1.8e19)
        return std::nullopt;
    return static_cast<std::uint64_t>(std::llround(value));
}

const TDataPlan* PlanWithLinkOf(const std::vector<TDataPlan>& plans, const TDataPlan& plan)
{
    for (const TDataPlan& p : plans) {
        if (SameText(p.Name, plan.Name))
            continue;
        if (!plan.ConnectionUuid.empty() ? SameText(p.ConnectionUuid, plan.ConnectionUuid)
                                         : p.ConnectionUuid.empty() && p.Interface == plan.Interface)
            return &p;
    }
    return nullptr;
}

std::string EuroText(double value)
{
    return "€ " + FormatNumber(value, 2);
}

std::string BeyondText(const TDataPlan& plan)
{
    switch (plan.Beyond) {
    case TPlanBeyond::PerGigabyte:
        return EuroText(plan.BeyondPrice) + " per GB";
    case TPlanBeyond::PerBlock:
        return EuroText(plan.BeyondPrice) + " ogni " + VolumeText(plan.BlockBytes) + " iniziati";
    case TPlanBeyond::SpeedCap:
        break;
    }
    return "velocità ridotta";
}

std::string VolumeText(std::uint64_t bytes, int decimals)
{
    const double b = static_cast<double>(bytes);
    // Short forms drop a zero decimal: "50 GB", not "50,0 GB".
    const auto number = [decimals](double v) {
        std::string t = FormatNumber(v, decimals);
        if (decimals == 1 && t.size() > 2 && t.compare(t.size() - 2, 2, ",0") == 0)
            t.erase(t.size() - 2);
        return t;
    };
    if (b >= 1e9)
        return number(b / 1e9) + " GB";
    if (b >= 1e6)
        return number(b / 1e6) + " MB";
    if (b >= 1e3)
        return number(b / 1e3) + " kB";
    return std::to_string(bytes) + " B";
}

std::uint64_t CountedBytes(const TDataPlan& plan, std::uint64_t received, std::uint64_t sent)
{
    return plan.Counts == TPlanCounts::ReceivedOnly ? received : received + sent;
}

double PlanCycleCost(const TDataPlan& plan, std::uint64_t used)
{
    const std::uint64_t included = plan.Allowance.value_or(0);
    double cost = plan.PricePerCycle;
    if (used <= included)
        return cost;
    const std::uint64_t beyond = used - included;
    switch (plan.Beyond) {
    case TPlanBeyond::PerGigabyte:
        cost += static_cast<double>(beyond) / Gigabyte * plan.BeyondPrice;
        break;
    case TPlanBeyond::PerBlock:
        // A started block is charged whole.
        if (plan.BlockBytes > 0)
            cost += static_cast<double>((beyond + plan.BlockBytes - 1) / plan.BlockBytes) * plan.BeyondPrice;
        break;
    case TPlanBeyond::SpeedCap:
        break;
    }
    return cost;
}

std::uint64_t TCounterDelta::Take(std::uint64_t raw)
{
    const std::optional<std::uint64_t> last = FLast;
    FLast = raw;
    if (!last)
        return 0;
    return raw >= *last ? raw - *last : raw;
}

void TPlanUsage::Add(const std::string& plan, double moment, std::uint64_t received, std::uint64_t sent)
{
    if (received == 0 && sent == 0)
        return;
    TDayVolume& v = FDays[plan][DayNumber(moment)];
    v.Received += received;
    v.Sent += sent;
    FTotal += received + sent;
}

std::uint64_t TPlanUsage::Used(const TDataPlan& plan, double fromDay, double toDay) const
{
    const auto it = FDays.find(plan.Name);
    if (it == FDays.end())
        return 0;
    std::uint64_t used = 0;
    const auto& days = it->second;
    for (auto d = days.lower_bound(static_cast<std::int64_t>(fromDay));
         d != days.end() && d->first < static_cast<std::int64_t>(toDay); ++d)
        used += CountedBytes(plan, d->second.Received, d->second.Sent);
    return used;
}

void TPlanUsage::AddWatched(double from, double to)
{
    // Split at midnights: each day gets its own seconds.
    while (to > from) {
        const double midnight = std::floor(from) + 1;
        const double end = std::min(to, midnight);
        FWatched[DayNumber(from)] += (end - from) * 86400.0;
        from = end;
    }
}

int TPlanUsage::GapDays(double fromDay, double toDay, double now) const
{
    int gaps = 0;
    const auto today = static_cast<double>(DayNumber(now));
    for (double day = std::floor(fromDay); day < toDay && day <= today; ++day) {
        // A whole day, or today up to now; a minute's slack for the readings' pace.
        const double expected = day < today ? 86400.0 : (now - today) * 86400.0;
        const auto it = FWatched.find(static_cast<std::int64_t>(day));
        const double watched = it == FWatched.end() ? 0 : it->second;
        if (watched < expected - 60)
            ++gaps;
    }
    return gaps;
}

const std::map<std::int64_t, TDayVolume>& TPlanUsage::Days(const std::string& plan) const
{
    static const std::map<std::int64_t, TDayVolume> none;
    const auto it = FDays.find(plan);
    return it == FDays.end() ? none : it->second;
}

std::vector<TPlanComparison> ComparePlans(const std::vector<TDataPlan>& plans, const TPlanUsage& usage, double fromDay,
                                          double toDay)
{
    // The period's traffic by day, whichever plan counted it.
    std::map<std::int64_t, TDayVolume> traffic;
    for (const auto& [plan, days] : usage.All())
        for (auto d = days.lower_bound(static_cast<std::int64_t>(fromDay));
             d != days.end() && d->first < static_cast<std::int64_t>(toDay); ++d) {
            traffic[d->first].Received += d->second.Received;
            traffic[d->first].Sent += d->second.Sent;
        }
    std::vector<TPlanComparison> rows;
    for (const TDataPlan& plan : plans) {
        TPlanComparison row;
        row.Plan = plan.Name;
        for (TPlanCycle c = PlanCycleAt(plan, fromDay + 0.5); c.Start < toDay; c = PlanCycleAt(plan, c.End + 0.5)) {
            std::uint64_t used = 0;
            for (auto d = traffic.lower_bound(static_cast<std::int64_t>(std::max(c.Start, fromDay)));
                 d != traffic.end() && d->first < static_cast<std::int64_t>(std::min(c.End, toDay)); ++d)
                used += CountedBytes(plan, d->second.Received, d->second.Sent);
            ++row.Cycles;
            row.Volume += used;
            row.Cost += PlanCycleCost(plan, used);
        }
        rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.Cost < b.Cost; });
    return rows;
}

std::string PlanComparisonText(const std::vector<TPlanComparison>& rows)
{
    std::string text;
    for (const TPlanComparison& r : rows)
        text += r.Plan + ": " + EuroText(r.Cost) + " per " +
                (r.Cycles == 1 ? std::string("1 ciclo") : std::to_string(r.Cycles) + " cicli") + " (" +
                VolumeText(r.Volume) + ")\n";
    return text;
}

TPlanStatus PlanStatusAt(const TDataPlan& plan, const TPlanUsage& usage, double now)
{
    TPlanStatus s;
    s.Cycle = PlanCycleAt(plan, now);
    s.Used = usage.Used(plan, s.Cycle.Start, s.Cycle.End);
    s.Cost = PlanCycleCost(plan, s.Used);
    // The pace so far (at least an hour of the cycle, so a first minute does not project wildly).
    const double elapsed = std::max(now - s.Cycle.Start, 1.0 / 24);
    s.Projection = static_cast<std::uint64_t>(std::llround(static_cast<double>(s.Used) / elapsed * s.Cycle.Days()));
    if (plan.Allowance) {
        const std::uint64_t allowance = *plan.Allowance;
        s.Remaining = s.Used < allowance ? allowance - s.Used : 0;
        s.Percent = allowance > 0 ? 100.0 * static_cast<double>(s.Used) / static_cast<double>(allowance) : 100.0;
        // Today counts as a day left.
        const double daysLeft = std::max(1.0, s.Cycle.End - static_cast<double>(DayNumber(now)));
        s.PerDayLeft = static_cast<std::uint64_t>(static_cast<double>(*s.Remaining) / daysLeft);
    }
    return s;
}

TPlanAlert TPlanAlerts::Check(const TDataPlan& plan, const TPlanStatus& status)
{
    TState& state = FStates[plan.Name];
    if (state.CycleStart != status.Cycle.Start)
        state = TState{status.Cycle.Start, false, false};
    if (!plan.Allowance)
        return TPlanAlert::None;
    if (status.Percent >= 100 && !state.Limited) {
        state.Limited = true;
        state.Warned = true; // past the warning too: one balloon, the limit's
        return TPlanAlert::Limit;
    }
    if (plan.WarningPercent > 0 && status.Percent >= plan.WarningPercent && !state.Warned) {
        state.Warned = true;
        return TPlanAlert::Warning;
    }
    return TPlanAlert::None;
}

const TDataPlan* TPlanTracker::PlanOf(const std::string& interface, const std::string& connectionUuid) const
{
    if (!connectionUuid.empty())
        for (const TDataPlan& p : FPlans)
            if (p.ConnectionUuid == connectionUuid)
                return &p;
    for (const TDataPlan& p : FPlans)
        if (p.ConnectionUuid.empty() && !p.Interface.empty() && p.Interface == interface)
            return &p;
    return nullptr;
}

const TDataPlan* TPlanTracker::Sample(const std::string& interface, const std::string& connectionUuid,
                                      std::uint64_t received, std::uint64_t sent, double now)
{
    auto& [rx, tx] = FCounters[interface];
    const std::uint64_t dr = rx.Take(received);
    const std::uint64_t ds = tx.Take(sent);
    const TDataPlan* plan = PlanOf(interface, connectionUuid);
    if (plan)
        FUsage.Add(plan->Name, now, dr, ds);
    return plan;
}

void TPlanTracker::Gone(const std::string& interface)
{
    FCounters.erase(interface);
}

// ---- the data file ----

const TPropTable& TPlanItem::Table()
{
    using T = TPlanItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("Connessione", &T::Connessione, &T::SetConnessione)
                                    .Str("Interfaccia", &T::Interfaccia, &T::SetInterfaccia)
                                    .Bool("SoloRicevuti", &T::SoloRicevuti, &T::SetSoloRicevuti, false)
                                    .Int("Ciclo", &T::Ciclo, &T::SetCiclo, 0)
                                    .Int("GiornoCiclo", &T::GiornoCiclo, &T::SetGiornoCiclo, 1)
                                    .Int("OgniGiorni", &T::OgniGiorni, &T::SetOgniGiorni, 30)
                                    .Date("InizioCiclo", &T::InizioCiclo, &T::SetInizioCiclo)
                                    .Int64("Soglia", &T::Soglia, &T::SetSoglia)
                                    .Float("Prezzo", &T::Prezzo, &T::SetPrezzo)
                                    .Int("Oltre", &T::Oltre, &T::SetOltre, 2)
                                    .Float("PrezzoOltre", &T::PrezzoOltre, &T::SetPrezzoOltre)
                                    .Int64("Blocco", &T::Blocco, &T::SetBlocco)
                                    .Int("Avviso", &T::Avviso, &T::SetAvviso, 80)
                                    .Bool("Limite", &T::Limite, &T::SetLimite, false)
                                    .Build();
    return t;
}

TDataPlan TPlanItem::Plan() const
{
    TDataPlan p;
    p.Name = Nome();
    p.ConnectionUuid = Connessione();
    p.Interface = Interfaccia();
    p.Counts = SoloRicevuti() ? TPlanCounts::ReceivedOnly : TPlanCounts::Both;
    p.Cycle = static_cast<TPlanCycleKind>(std::clamp(Ciclo(), 0, 2));
    p.CycleDay = std::clamp(GiornoCiclo(), 1, 31);
    p.EveryDays = std::max(1, OgniGiorni());
    p.CycleFrom = InizioCiclo();
    if (Soglia() >= 0)
        p.Allowance = static_cast<std::uint64_t>(Soglia());
    p.PricePerCycle = Prezzo();
    p.Beyond = static_cast<TPlanBeyond>(std::clamp(Oltre(), 0, 2));
    p.BeyondPrice = PrezzoOltre();
    p.BlockBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, Blocco()));
    p.WarningPercent = Avviso();
    p.Limit = Limite();
    return p;
}

void TPlanItem::Assign(const TDataPlan& p)
{
    SetNome(p.Name);
    SetConnessione(p.ConnectionUuid);
    SetInterfaccia(p.Interface);
    SetSoloRicevuti(p.Counts == TPlanCounts::ReceivedOnly);
    SetCiclo(static_cast<std::int32_t>(p.Cycle));
    SetGiornoCiclo(p.CycleDay);
    SetOgniGiorni(p.EveryDays);
    SetInizioCiclo(p.CycleFrom);
    SetSoglia(p.Allowance ? static_cast<std::int64_t>(*p.Allowance) : -1);
    SetPrezzo(p.PricePerCycle);
    SetOltre(static_cast<std::int32_t>(p.Beyond));
    SetPrezzoOltre(p.BeyondPrice);
    SetBlocco(static_cast<std::int64_t>(p.BlockBytes));
    SetAvviso(p.WarningPercent);
    SetLimite(p.Limit);
}

const TPropTable& TPlanDayItem::Table()
{
    using T = TPlanDayItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Piano", &T::Piano, &T::SetPiano)
                                    .Date("Giorno", &T::Giorno, &T::SetGiorno)
                                    .Int64("Ricevuti", &T::Ricevuti, &T::SetRicevuti)
                                    .Int64("Inviati", &T::Inviati, &T::SetInviati)
                                    .Build();
    return t;
}

const TPropTable& TPlanWatchedItem::Table()
{
    using T = TPlanWatchedItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Date("Giorno", &T::Giorno, &T::SetGiorno)
                                    .Float("Secondi", &T::Secondi, &T::SetSecondi)
                                    .Build();
    return t;
}

TDataPlans::TDataPlans(TServices& services) : TPersistentComponent(services, "TDataPlans") {}

TDataPlans::~TDataPlans()
{
    SaveIfModified();
}

const TPropTable& TDataPlans::Table()
{
    using T = TDataPlans;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .Collection("Plans", &T::Plans)
                                    .Collection("Days", &T::Days)
                                    .Collection("Watched", &T::Watched)
                                    .Build();
    return t;
}

std::vector<TDataPlan> TDataPlans::PlanList() const
{
    std::vector<TDataPlan> plans;
    for (const auto& p : FPlans)
        plans.push_back(p->Plan());
    return plans;
}

void TDataPlans::StorePlan(const TDataPlan& plan)
{
    for (auto& p : FPlans)
        if (SameText(p->Nome(), plan.Name)) {
            p->Assign(plan);
            return;
        }
    FPlans.Add().Assign(plan);
}

TPlanUsage TDataPlans::Usage() const
{
    TPlanUsage usage;
    for (const auto& d : FDays)
        usage.Add(d->Piano(), d->Giorno(), static_cast<std::uint64_t>(std::max<std::int64_t>(0, d->Ricevuti())),
                  static_cast<std::uint64_t>(std::max<std::int64_t>(0, d->Inviati())));
    for (const auto& w : FWatched)
        usage.SetWatched(static_cast<std::int64_t>(w->Giorno()), std::clamp(w->Secondi(), 0.0, 86400.0));
    return usage;
}

void TDataPlans::StoreUsage(const TPlanUsage& usage)
{
    FDays.Clear();
    for (const auto& [plan, days] : usage.All())
        for (const auto& [day, volume] : days) {
            TPlanDayItem& d = FDays.Add();
            d.SetPiano(plan);
            d.SetGiorno(static_cast<double>(day));
            d.SetRicevuti(static_cast<std::int64_t>(volume.Received));
            d.SetInviati(static_cast<std::int64_t>(volume.Sent));
        }
    FWatched.Clear();
    for (const auto& [day, seconds] : usage.Watched()) {
        TPlanWatchedItem& w = FWatched.Add();
        w.SetGiorno(static_cast<double>(day));
        w.SetSecondi(seconds);
    }
    SetModified(true);
}

} // namespace qv
