#include "cli/PlansCommand.h"

#include "app/DataModule.h"
#include "cli/CliOptions.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace qv {

namespace {

// Amounts in JSON to the cent, as they are shown.
double Cents(double value)
{
    return std::round(value * 100) / 100;
}

double ReadEuroText(const std::string& text, const std::string& option)
{
    const std::string t = ReplaceAll(Trim(text), ",", ".");
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (t.empty() || *end != '\0' || !(v >= 0) || v > 1e9)
        throw EQvError("Importo non valido per --" + option + ": " + text);
    return v;
}

std::uint64_t ReadVolume(const std::string& text, const std::string& option)
{
    const auto v = ParseVolume(text);
    if (!v)
        throw EQvError("Volume non valido per --" + option + ": " + text + " (per esempio 50GB, 500MB)");
    return *v;
}

int ReadWhole(const std::string& text, const std::string& option, int low, int high)
{
    const auto v = ReadInteger(text);
    if (!v || *v < low || *v > high)
        throw EQvError("Valore non valido per --" + option + ": " + text + " (" + std::to_string(low) + "…" +
                       std::to_string(high) + ")");
    return *v;
}

// The options of add and set, applied over a plan.
void ApplyOptions(TDataPlan& p, std::vector<std::string> args, std::size_t first)
{
    if (TakeFlag(args, "--received-only"))
        p.Counts = TPlanCounts::ReceivedOnly;
    if (TakeFlag(args, "--both"))
        p.Counts = TPlanCounts::Both;
    if (TakeFlag(args, "--daily"))
        p.Cycle = TPlanCycleKind::Daily;
    if (TakeFlag(args, "--limit"))
        p.Limit = true;
    if (TakeFlag(args, "--no-limit"))
        p.Limit = false;
    if (TakeFlag(args, "--cap"))
        p.Beyond = TPlanBeyond::SpeedCap;
    if (TakeFlag(args, "--no-allowance"))
        p.Allowance.reset();
    const TOptions o(args, first);
    if (const auto v = o.Get("connection"))
        p.ConnectionUuid = Trim(*v);
    if (const auto v = o.Get("interface"))
        p.Interface = Trim(*v);
    if (const auto v = o.Get("monthly")) {
        p.Cycle = TPlanCycleKind::Monthly;
        p.CycleDay = ReadWhole(*v, "monthly", 1, 31);
    }
    if (const auto v = o.Get("every")) {
        p.Cycle = TPlanCycleKind::EveryDays;
        p.EveryDays = ReadWhole(*v, "every", 1, 366);
        p.CycleFrom = static_cast<double>(DayNumber(o.Date("from")));
    }
    if (const auto v = o.Get("allowance"))
        p.Allowance = ReadVolume(*v, "allowance");
    if (const auto v = o.Get("price"))
        p.PricePerCycle = ReadEuroText(*v, "price");
    if (const auto v = o.Get("per-gb")) {
        p.Beyond = TPlanBeyond::PerGigabyte;
        p.BeyondPrice = ReadEuroText(*v, "per-gb");
    }
    if (const auto v = o.Get("block")) {
        p.Beyond = TPlanBeyond::PerBlock;
        p.BlockBytes = ReadVolume(*v, "block");
        p.BeyondPrice = ReadEuroText(o.Required("block-price"), "block-price");
        if (p.BlockBytes == 0)
            throw EQvError("Un blocco non può essere vuoto (--block)");
    }
    if (const auto v = o.Get("warning"))
        p.WarningPercent = ReadWhole(*v, "warning", 0, 100);
    if (p.ConnectionUuid.empty() && p.Interface.empty())
        throw EQvError("Il piano " + p.Name + " deve indicare il collegamento: --connection UUID o --interface NOME");
}

TPlanItem* FindPlan(TDataModule& data, const std::string& name)
{
    for (auto& p : data.Plans.Plans())
        if (SameText(p->Nome(), name))
            return p.get();
    return nullptr;
}

} // namespace

int PlansCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& what = args[1];
    if (what == "list" && args.size() == 2) {
        auto data = OpenData(ctx, TAccess::Read);
        for (const TDataPlan& p : data->Plans.PlanList())
            out << p.Name << "\t" << (p.ConnectionUuid.empty() ? "interfaccia " + p.Interface : "connessione " + p.ConnectionUuid)
                << "\t" << CycleText(p) << "\t" << (p.Allowance ? VolumeText(*p.Allowance) : std::string("senza soglia"))
                << "\t" << EuroText(p.PricePerCycle) << "\toltre: " << BeyondText(p)
                << (p.Counts == TPlanCounts::ReceivedOnly ? "\tsolo ricevuti" : "") << "\n";
        return 0;
    }
    if ((what == "add" || what == "set") && args.size() >= 3) {
        auto data = OpenData(ctx, TAccess::Write);
        TPlanItem* existing = FindPlan(*data, args[2]);
        if (what == "add" && existing)
            throw EQvError("Il piano " + args[2] + " esiste già (plans set per cambiarlo)");
        if (what == "set" && !existing)
            throw EQvError("Il piano " + args[2] + " non esiste");
        TDataPlan plan = existing ? existing->Plan() : TDataPlan{};
        plan.Name = Trim(args[2]);
        if (plan.Name.empty())
            throw EQvError("Il piano deve avere un nome");
        ApplyOptions(plan, args, 3);
        data->Plans.StorePlan(plan);
        data->Plans.Save();
        out << (what == "add" ? "Aggiunto" : "Modificato") << " il piano " << plan.Name << "\n";
        return 0;
    }
    if (what == "remove" && args.size() == 3) {
        auto data = OpenData(ctx, TAccess::Write);
        TPlanItem* p = FindPlan(*data, args[2]);
        if (!p)
            throw EQvError("Il piano " + args[2] + " non esiste");
        data->Plans.Plans().RemoveIf([p](const TPlanItem& i) { return &i == p; });
        data->Plans.Save();
        out << "Eliminato il piano " << args[2] << "\n";
        return 0;
    }
    if (what == "status") {
        const bool json = TakeJsonFlag(args);
        if (args.size() != 2)
            return 2;
        auto data = OpenData(ctx, TAccess::Read);
        const TPlanUsage usage = data->Plans.Usage();
        const double now = ctx.Services().Clk.Now();
        nlohmann::json all = nlohmann::json::array();
        for (const TDataPlan& p : data->Plans.PlanList()) {
            const TPlanStatus s = PlanStatusAt(p, usage, now);
            if (json) {
                nlohmann::json j = {{"plan", p.Name},
                                    {"cycleStart", FormatDateTime("yyyy-mm-dd", s.Cycle.Start)},
                                    {"cycleEnd", FormatDateTime("yyyy-mm-dd", s.Cycle.End - 1)},
                                    {"used", s.Used},
                                    {"projection", s.Projection},
                                    {"cost", Cents(s.Cost)}};
                j["allowance"] = p.Allowance ? nlohmann::json(*p.Allowance) : nlohmann::json(nullptr);
                j["remaining"] = s.Remaining ? nlohmann::json(*s.Remaining) : nlohmann::json(nullptr);
                j["perDayLeft"] = s.PerDayLeft ? nlohmann::json(*s.PerDayLeft) : nlohmann::json(nullptr);
                all.push_back(j);
                continue;
            }
            out << p.Name << ": dal " << FormatDateTime("d mmmm yyyy", s.Cycle.Start) << " al "
                << FormatDateTime("d mmmm yyyy", s.Cycle.End - 1) << "\n"
                << "  usati " << VolumeText(s.Used);
            if (p.Allowance)
                out << " di " << VolumeText(*p.Allowance) << " (" << FormatNumber(s.Percent, 0) << "%), restano "
                    << VolumeText(*s.Remaining) << ", " << VolumeText(*s.PerDayLeft) << " al giorno";
            out << "\n  a questo ritmo a fine ciclo: " << VolumeText(s.Projection) << "\n  costo finora: " << EuroText(s.Cost)
                << "\n";
        }
        if (json)
            out << all.dump(2) << "\n";
        return 0;
    }
    return 2;
}

int UsageCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool json = TakeJsonFlag(args);
    const TOptions o(args, 1);
    const std::string by = o.Required("by");
    if (by != "day" && by != "month" && by != "cycle")
        throw EQvError("Raggruppamento sconosciuto: " + by + " (day, month, cycle)");
    auto data = OpenData(ctx, TAccess::Read);
    const TPlanUsage usage = data->Plans.Usage();
    const double from = o.Get("from") ? static_cast<double>(DayNumber(o.Date("from"))) : -1e9;
    const double to = o.Get("to") ? o.Date("to") : 1e9;
    nlohmann::json rows = nlohmann::json::array();
    for (const TDataPlan& p : data->Plans.PlanList()) {
        if (o.Get("plan") && !SameText(*o.Get("plan"), p.Name))
            continue;
        // Each day's volume into its group, in date order.
        std::map<double, std::pair<std::string, std::uint64_t>> groups;
        for (const auto& [day, volume] : usage.Days(p.Name)) {
            const double d = static_cast<double>(day);
            if (d < from || d > to)
                continue;
            double key = d;
            std::string label = FormatDateTime("yyyy-mm-dd", d);
            if (by == "month") {
                const TDateParts parts = DecodeDate(d);
                key = EncodeDate(parts.Year, parts.Month, 1);
                label = FormatDateTime("yyyy-mm", d);
            } else if (by == "cycle") {
                const TPlanCycle c = PlanCycleAt(p, d);
                key = c.Start;
                label = FormatDateTime("yyyy-mm-dd", c.Start) + "/" + FormatDateTime("yyyy-mm-dd", c.End - 1);
            }
            auto& g = groups[key];
            g.first = label;
            g.second += CountedBytes(p, volume.Received, volume.Sent);
        }
        for (const auto& [key, g] : groups) {
            if (json) {
                nlohmann::json row = {{"plan", p.Name}, {"period", g.first}, {"bytes", g.second}};
                if (by == "cycle")
                    row["cost"] = Cents(PlanCycleCost(p, g.second));
                rows.push_back(row);
            } else {
                out << p.Name << "\t" << g.first << "\t" << VolumeText(g.second);
                if (by == "cycle")
                    out << "\t" << EuroText(PlanCycleCost(p, g.second));
                out << "\n";
            }
        }
    }
    if (json)
        out << rows.dump(2) << "\n";
    return 0;
}

} // namespace qv
