#include "cli/StatsCommand.h"

#include "app/DataModule.h"
#include "cli/CliOptions.h"
#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"
#include "stats/PdfCanvas.h"
#include "stats/Repricing.h"
#include "stats/Reports.h"
#include "stats/Statistics.h"
#include "stats/StatsWindow.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace qv {

namespace {

std::string IsoText(double dateTime)
{
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", dateTime);
}

std::string ColorText(std::uint32_t rgb)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFF);
    return buf;
}

// The chart's range: the options, else from the log's first connection to now (or its last start).
void ChartRange(const TOptions& o, const TDataUnits& log, double now, double& from, double& to)
{
    const auto& units = log.Units();
    from = units.Count() ? units[0].I() : now;
    to = units.Count() ? std::max(now, units[units.Count() - 1].I()) : now;
    if (o.Get("from"))
        from = o.Date("from");
    if (o.Get("to"))
        to = o.Date("to");
}

TChartData ChartFromOptions(const TOptions& o, const TDataUnits& log, const TDataPlans& plans, double now)
{
    const auto measure = MeasureFromName(o.Required("measure"));
    if (!measure)
        throw EQvError("Misura sconosciuta: " + o.Required("measure") + " (lire, euro, tempo, scatti, volume)");
    const auto group = GroupFromName(o.Required("group"));
    if (!group)
        throw EQvError("Raggruppamento sconosciuto: " + o.Required("group") +
                       " (tipi, connessioni, giorni, mesi, anni)");
    double from = 0, to = 0;
    ChartRange(o, log, now, from, to);
    if (*measure == TChartMeasure::Volume && !o.Get("from")) {
        // The traffic's own range: from the first day counted.
        from = now;
        const TPlanUsage usage = plans.Usage();
        for (const auto& [plan, days] : usage.All())
            if (!days.empty())
                from = std::min(from, static_cast<double>(days.begin()->first));
        if (!o.Get("to"))
            to = now;
    }
    return ComputeChart(log, *measure, *group, from, to, &plans);
}

int TreeCommand(TCliContext& ctx, bool json, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read);
    const TStatsTree tree = BuildStatsTree(data->Connections, ctx.Clock.Now());
    nlohmann::json nodes = nlohmann::json::array();
    for (const int n : tree.Subtree(0)) {
        const TElementoData& d = tree.Nodes[static_cast<std::size_t>(n)].Data;
        if (json) {
            nodes.push_back({{"level", d.Level},
                             {"text", d.Text},
                             {"description", d.Description},
                             {"rangeStart", d.RangeStart == -1 ? std::string() : IsoText(d.RangeStart)},
                             {"rangeEnd", d.RangeStart == -1 ? std::string() : IsoText(d.RangeEnd)},
                             {"connections", d.Count},
                             {"pulses", d.Pulses},
                             {"lire", d.Lire},
                             {"euro", d.Euro},
                             {"seconds", DurationToSeconds(d.Duration)},
                             {"time", TotalHoursText(d.Duration)}});
        } else {
            out << std::string(static_cast<std::size_t>(d.Level) * 2, ' ') << d.Text << " - " << d.Description
                << ": " << d.Count << " connessioni, " << d.Pulses << " scatti, £ire "
                << FormatPattern("%3.0n", d.Lire) << ", €uro " << FormatPattern("%3.3n", d.Euro) << ", "
                << TotalHoursText(d.Duration) << "\n";
        }
    }
    if (json)
        out << nlohmann::json{{"nodes", nodes}}.dump(2) << "\n";
    return 0;
}

int ChartCommand(TCliContext& ctx, bool json, const TOptions& o, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read);
    const TChartData chart = ChartFromOptions(o, data->Connections, data->Plans, ctx.Clock.Now());
    const auto totals = TotalsTexts(chart.Totals, std::nullopt);
    if (json) {
        nlohmann::json points = nlohmann::json::array();
        // In the order of the groups (the series holds them the other way round).
        for (auto it = chart.Points.rbegin(); it != chart.Points.rend(); ++it)
            points.push_back(
                {{"label", it->Label}, {"color", ColorText(it->Color)}, {"value", it->Value}, {"mark", it->Mark}});
        nlohmann::json t = nlohmann::json::array();
        for (const auto& line : totals)
            t.push_back(Trim(line));
        nlohmann::json j{{"title", chart.Title}, {"points", points}, {"totals", t}};
        if (!chart.Note.empty())
            j["note"] = chart.Note;
        out << j.dump(2) << "\n";
        return 0;
    }
    out << chart.Title << "\n";
    for (auto it = chart.Points.rbegin(); it != chart.Points.rend(); ++it)
        out << "  " << it->Label << "  " << it->Mark << "\n";
    if (!chart.Note.empty())
        out << chart.Note << "\n";
    out << ObservationLine(totals) << "\n";
    return 0;
}

// The tree node "2026", "2026-03" or "2026-03-14"; the root when none is given.
int FindNode(const TStatsTree& tree, const std::optional<std::string>& key)
{
    if (!key || key->empty())
        return 0;
    const std::vector<std::string> parts = Split(*key, '-');
    int node = 0;
    for (std::size_t level = 0; level < parts.size() && level < 3; ++level) {
        const auto wanted = ReadInteger(parts[level]);
        int found = -1;
        for (const int c : tree.Nodes[static_cast<std::size_t>(node)].Children) {
            const TDateParts d = DecodeDate(tree.Nodes[static_cast<std::size_t>(c)].Data.RangeStart);
            const int value = level == 0 ? d.Year : level == 1 ? d.Month : d.Day;
            if (wanted && *wanted == value) {
                found = c;
                break;
            }
        }
        if (found < 0)
            throw EQvError("Nessuna connessione in " + *key);
        node = found;
    }
    return node;
}

} // namespace

int StatsCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool json = TakeJsonFlag(args);
    if (args.size() == 2 && args[1] == "tree")
        return TreeCommand(ctx, json, out);
    if (args.size() >= 2 && args[1] == "chart")
        return ChartCommand(ctx, json, TOptions(args, 2), out);
    return 2;
}

int ReportCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool connections = TakeFlag(args, "--connections");
    const bool legend = TakeFlag(args, "--legend");
    if (args.size() < 2 || (args[1] != "details" && args[1] != "chart"))
        return 2;
    const TOptions o(args, 2);
    const std::string file = o.Required("pdf");
    auto data = OpenData(ctx, TAccess::Read);
    const double now = ctx.Clock.Now();
    int pages = 0;
    if (args[1] == "details") {
        TStatistics stats(ctx.Services(), data->Connections);
        stats.Options.Grafico = false;
        stats.BuildTree(now);
        const int node = FindNode(stats.Tree(), o.Get("node"));
        stats.ShowBranch(node);
        const TPrintRequest request = connections ? stats.PrintList() : stats.PrintShown();
        TPdfCanvas canvas(A4ShortSide, A4LongSide);
        std::vector<TDetailsRow> rows = DetailsRows(request.Elements);
        AppendPlanRows(rows, request.Elements, data->Plans, now);
        pages = RenderDetailsReport(canvas, rows, now);
        canvas.SaveToFile(file);
    } else {
        const TChartData chart = ChartFromOptions(o, data->Connections, data->Plans, now);
        TPdfCanvas canvas(A4LongSide, A4ShortSide);
        pages = RenderChartReport(canvas, chart, TotalsTexts(chart.Totals, std::nullopt), legend, now);
        canvas.SaveToFile(file);
    }
    out << file << ": " << pages << (pages == 1 ? " pagina\n" : " pagine\n");
    return 0;
}

int RepricingCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool json = TakeJsonFlag(args);
    const TOptions o(args, 1);
    auto data = OpenData(ctx, TAccess::Read);
    const double from = o.Date("from");
    const double to = o.Date("to");
    const TRepricingResult r = Reprice(RepricingSpans(data->Connections, from, to), data->Taxations);
    if (json) {
        nlohmann::json rows = nlohmann::json::array();
        for (const auto& row : r.Rows)
            rows.push_back({{"tariff", row.Tariff}, {"total", row.Total}, {"pulses", row.Pulses}, {"saving", row.Saving}});
        out << nlohmann::json{{"connections", r.Connections}, {"paid", r.Paid}, {"tariffs", rows}}.dump(2) << "\n";
        return 0;
    }
    out << r.Connections << " connessioni dal " << FormatDateTime("d mmmm yyyy", from) << " al "
        << FormatDateTime("d mmmm yyyy", to) << ", pagate £ " << Trim(FormatPattern("%3.0n", r.Paid)) << "\n"
        << RepricingText(r);
    return 0;
}

} // namespace qv
