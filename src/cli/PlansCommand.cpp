#include "cli/PlansCommand.h"

#include "app/DataModule.h"
#include "cli/CliOptions.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace qv {

namespace {

// Amounts in JSON to the cent, as they are shown.
double Cents(double value)
{
    return std::round(value * 100) / 100;
}

double ReadEuro(const std::string& text, const std::string& option)
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
        p.PricePerCycle = ReadEuro(*v, "price");
    if (const auto v = o.Get("per-gb")) {
        p.Beyond = TPlanBeyond::PerGigabyte;
        p.BeyondPrice = ReadEuro(*v, "per-gb");
    }
    if (const auto v = o.Get("block")) {
        p.Beyond = TPlanBeyond::PerBlock;
        p.BlockBytes = ReadVolume(*v, "block");
        p.BeyondPrice = ReadEuro(o.Required("block-price"), "block-price");
        if (p.BlockBytes == 0)
            throw EQvError("Un blocco non può essere vuoto (--block)");
    }
    if (const auto v = o.Get("warning"))
        p.WarningPercent = ReadWhole(*v, "warning", 0, 100);
    if (p.ConnectionUuid.empty() && p.Interface.empty())
        throw EQvError("Il piano " + p.Name + " deve indicare il collegamento: --connection UUID o --interface NOME");
}

// ---- JSON: the plans as a file to keep or to move to another computer ----

nlohmann::json PlanToJson(const TDataPlan& p)
{
    nlohmann::json j = {{"name", p.Name},
                        {"counts", p.Counts == TPlanCounts::ReceivedOnly ? "received" : "both"},
                        {"price", p.PricePerCycle},
                        {"warning", p.WarningPercent},
                        {"limit", p.Limit}};
    if (!p.ConnectionUuid.empty())
        j["connection"] = p.ConnectionUuid;
    if (!p.Interface.empty())
        j["interface"] = p.Interface;
    switch (p.Cycle) {
    case TPlanCycleKind::Monthly:
        j["cycle"] = {{"kind", "monthly"}, {"day", p.CycleDay}};
        break;
    case TPlanCycleKind::EveryDays:
        j["cycle"] = {{"kind", "every"}, {"days", p.EveryDays}, {"from", FormatDateTime("yyyy-mm-dd", p.CycleFrom)}};
        break;
    case TPlanCycleKind::Daily:
        j["cycle"] = {{"kind", "daily"}};
        break;
    }
    j["allowance"] = p.Allowance ? nlohmann::json(*p.Allowance) : nlohmann::json(nullptr);
    switch (p.Beyond) {
    case TPlanBeyond::PerGigabyte:
        j["beyond"] = {{"kind", "per-gb"}, {"price", p.BeyondPrice}};
        break;
    case TPlanBeyond::PerBlock:
        j["beyond"] = {{"kind", "block"}, {"bytes", p.BlockBytes}, {"price", p.BeyondPrice}};
        break;
    case TPlanBeyond::SpeedCap:
        j["beyond"] = {{"kind", "cap"}};
        break;
    }
    return j;
}

// One plan of an imported file; what is wrong is named with the plan's place in the file.
TDataPlan PlanFromJson(const nlohmann::json& j, std::size_t index)
{
    const std::string where = "piano n. " + std::to_string(index + 1);
    const auto fail = [&where](const std::string& what) { throw EQvError("File dei piani non valido (" + where + "): " + what); };
    if (!j.is_object())
        fail("non è un oggetto");
    const auto text = [&](const char* key) -> std::string {
        if (!j.contains(key) || j[key].is_null())
            return {};
        if (!j[key].is_string())
            fail(std::string(key) + " deve essere un testo");
        return Trim(j[key].get<std::string>());
    };
    const auto money = [&](const nlohmann::json& v, const std::string& key) {
        if (!v.is_number() || !std::isfinite(v.get<double>()) || v.get<double>() < 0 || v.get<double>() > 1e9)
            fail(key + " deve essere un importo tra 0 e 1.000.000.000");
        return v.get<double>();
    };
    const auto whole = [&](const nlohmann::json& v, const std::string& key, std::int64_t low, std::int64_t high) {
        if (!v.is_number_integer() || v.get<std::int64_t>() < low || v.get<std::int64_t>() > high)
            fail(key + " deve essere un numero intero tra " + std::to_string(low) + " e " + std::to_string(high));
        return v.get<std::int64_t>();
    };
    TDataPlan p;
    p.Name = text("name");
    if (p.Name.empty())
        fail("manca il nome (name)");
    p.ConnectionUuid = text("connection");
    p.Interface = text("interface");
    if (p.ConnectionUuid.empty() && p.Interface.empty())
        fail("manca il collegamento (connection o interface)");
    const std::string counts = j.value("counts", std::string("both"));
    if (counts != "both" && counts != "received")
        fail("counts deve essere both o received");
    p.Counts = counts == "received" ? TPlanCounts::ReceivedOnly : TPlanCounts::Both;
    p.PricePerCycle = money(j.value("price", nlohmann::json(0)), "price");
    p.WarningPercent = static_cast<int>(whole(j.value("warning", nlohmann::json(80)), "warning", 0, 100));
    const nlohmann::json limit = j.value("limit", nlohmann::json(false));
    if (!limit.is_boolean())
        fail("limit deve essere true o false");
    p.Limit = limit.get<bool>();
    const nlohmann::json cycle = j.value("cycle", nlohmann::json::object());
    const std::string kind = cycle.is_object() ? cycle.value("kind", std::string("monthly")) : std::string();
    if (kind == "monthly") {
        p.Cycle = TPlanCycleKind::Monthly;
        p.CycleDay = static_cast<int>(whole(cycle.value("day", nlohmann::json(1)), "cycle.day", 1, 31));
    } else if (kind == "every") {
        p.Cycle = TPlanCycleKind::EveryDays;
        p.EveryDays = static_cast<int>(whole(cycle.value("days", nlohmann::json(30)), "cycle.days", 1, 366));
        const std::string from = cycle.value("from", std::string());
        const auto day = from.size() == 10 ? ParseDateTimeIso(from) : std::nullopt;
        if (!day)
            fail("cycle.from deve essere una data AAAA-MM-GG");
        p.CycleFrom = static_cast<double>(DayNumber(*day));
    } else if (kind == "daily") {
        p.Cycle = TPlanCycleKind::Daily;
    } else {
        fail("cycle.kind deve essere monthly, every o daily");
    }
    const nlohmann::json allowance = j.value("allowance", nlohmann::json(nullptr));
    if (!allowance.is_null())
        p.Allowance = static_cast<std::uint64_t>(whole(allowance, "allowance", 0, std::int64_t(1) << 60));
    const nlohmann::json beyond = j.value("beyond", nlohmann::json::object());
    const std::string how = beyond.is_object() ? beyond.value("kind", std::string("cap")) : std::string();
    if (how == "per-gb") {
        p.Beyond = TPlanBeyond::PerGigabyte;
        p.BeyondPrice = money(beyond.value("price", nlohmann::json(0)), "beyond.price");
    } else if (how == "block") {
        p.Beyond = TPlanBeyond::PerBlock;
        p.BlockBytes = static_cast<std::uint64_t>(whole(beyond.value("bytes", nlohmann::json(0)), "beyond.bytes", 1,
                                                        std::int64_t(1) << 60));
        p.BeyondPrice = money(beyond.value("price", nlohmann::json(0)), "beyond.price");
    } else if (how == "cap") {
        p.Beyond = TPlanBeyond::SpeedCap;
    } else {
        fail("beyond.kind deve essere per-gb, block o cap");
    }
    return p;
}

// Every plan of the file, or an error: nothing of a file with a wrong plan is taken.
std::vector<TDataPlan> PlansFromJson(const std::string& text)
{
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw EQvError(std::string("File dei piani non leggibile: ") + e.what());
    }
    if (!j.is_object() || !j.contains("plans") || !j["plans"].is_array())
        throw EQvError("File dei piani non valido: manca l'elenco \"plans\"");
    std::vector<TDataPlan> plans;
    for (std::size_t i = 0; i < j["plans"].size(); ++i) {
        plans.push_back(PlanFromJson(j["plans"][i], i));
        for (std::size_t k = 0; k + 1 < plans.size(); ++k)
            if (SameText(plans[k].Name, plans.back().Name))
                throw EQvError("File dei piani non valido: il piano " + plans.back().Name + " compare due volte");
    }
    return plans;
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
        const std::vector<TDataPlan> others = data->Plans.PlanList();
        if (const TDataPlan* other = PlanWithLinkOf(others, plan))
            throw EQvError("Il collegamento del piano " + plan.Name + " ha già il piano " + other->Name);
        data->Plans.StorePlan(plan);
        data->Plans.Save();
        out << (what == "add" ? "Aggiunto" : "Modificato") << " il piano " << plan.Name << "\n";
        return 0;
    }
    if (what == "compare") {
        const bool json = TakeJsonFlag(args);
        const TOptions o(args, 2);
        auto data = OpenData(ctx, TAccess::Read);
        const double now = ctx.Services().Clk.Now();
        const double from = o.Get("from") ? o.Date("from") : std::floor(now) - 30;
        const double to = o.Get("to") ? o.Date("to") : now;
        const auto rows = ComparePlans(data->Plans.PlanList(), data->Plans.Usage(), std::floor(from), std::floor(to) + 1);
        if (json) {
            nlohmann::json all = nlohmann::json::array();
            for (const auto& r : rows)
                all.push_back({{"plan", r.Plan}, {"cycles", r.Cycles}, {"volume", r.Volume}, {"cost", Cents(r.Cost)}});
            out << all.dump(2) << "\n";
        } else {
            out << "Il traffico dal " << FormatDateTime("d mmmm yyyy", from) << " al " << FormatDateTime("d mmmm yyyy", to)
                << " con ciascun piano:\n"
                << PlanComparisonText(rows);
        }
        return 0;
    }
    if (what == "export" && args.size() == 3) {
        auto data = OpenData(ctx, TAccess::Read);
        nlohmann::json all = nlohmann::json::array();
        for (const TDataPlan& p : data->Plans.PlanList())
            all.push_back(PlanToJson(p));
        const std::string text = nlohmann::json{{"plans", all}}.dump(2) + "\n";
        ctx.Files.Real().WriteAtomic(args[2], TBytes(text.begin(), text.end()));
        out << "Esportati " << all.size() << " piani in " << args[2] << "\n";
        return 0;
    }
    if (what == "import" && args.size() == 3) {
        const std::vector<TDataPlan> plans = PlansFromJson(ReadTextFile(args[2]));
        auto data = OpenData(ctx, TAccess::Write);
        // A link has one plan: among the file's plans and the plans kept beside them.
        std::vector<TDataPlan> all = plans;
        for (const TDataPlan& p : data->Plans.PlanList())
            if (std::none_of(plans.begin(), plans.end(), [&p](const TDataPlan& q) { return SameText(p.Name, q.Name); }))
                all.push_back(p);
        for (const TDataPlan& p : plans)
            if (const TDataPlan* other = PlanWithLinkOf(all, p))
                throw EQvError("File dei piani non valido: il collegamento del piano " + p.Name + " ha già il piano " +
                               other->Name);
        for (const TDataPlan& p : plans)
            data->Plans.StorePlan(p);
        data->Plans.Save();
        out << "Importati " << plans.size() << " piani da " << args[2] << "\n";
        return data->Plans.SaveFailed() ? 1 : 0;
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
