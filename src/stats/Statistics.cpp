#include "stats/Statistics.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qv {

namespace {

// A logged connection's real duration; an end stored before its start counts as its distance.
double RecordDuration(const TDataUnitsItem& u)
{
    return u.F() >= u.I() ? u.Duration() : AbsDifference(u.F(), u.I());
}

} // namespace

void TElementoData::Add(const TDataUnitsItem& u)
{
    Pulses += u.S();
    Duration += RecordDuration(u);
    Lire += u.L();
    Euro += u.E();
    ++Count;
}

std::vector<int> TStatsTree::Subtree(int node) const
{
    std::vector<int> out;
    if (node < 0 || static_cast<std::size_t>(node) >= Nodes.size())
        return out;
    std::vector<int> stack{node};
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        out.push_back(n);
        const auto& c = Nodes[static_cast<std::size_t>(n)].Children;
        for (auto it = c.rbegin(); it != c.rend(); ++it)
            stack.push_back(*it);
    }
    return out;
}

TStatsTree BuildStatsTree(const TDataUnits& log, double selectDate)
{
    TStatsTree tree;
    tree.Nodes.reserve(512);
    TStatsNode root;
    root.Data.Level = 0;
    root.Data.Text = "Connessioni";
    root.Data.Description = "Tutte le connessioni";
    root.Data.RangeStart = -1;
    tree.Nodes.push_back(std::move(root));

    const std::int64_t selectDay = DayNumber(selectDate);
    int year = -1, month = -1, day = -1; // the open nodes
    int curYear = 0, curMonth = 0;
    std::int64_t curDay = 0;
    const auto open = [&tree](int parent, TElementoData data) {
        const int index = static_cast<int>(tree.Nodes.size());
        TStatsNode n;
        n.Data = std::move(data);
        n.Parent = parent;
        tree.Nodes.push_back(std::move(n));
        tree.Nodes[static_cast<std::size_t>(parent)].Children.push_back(index);
        return index;
    };
    for (const auto& item : log.Units()) {
        const TDataUnitsItem& u = *item;
        const std::int64_t dayNumber = DayNumber(u.I());
        if (day >= 0 && dayNumber == curDay) {
            for (const int n : {0, year, month, day})
                tree.Nodes[static_cast<std::size_t>(n)].Data.Add(u);
            continue;
        }
        const TDateParts d = DecodeDate(static_cast<double>(dayNumber));
        if (year < 0 || d.Year != curYear) {
            TElementoData e;
            e.Level = 1;
            e.Icon = 1;
            e.Text = FormatDateTime("yyyy", u.I());
            e.Description = "Connessioni dell'anno " + e.Text;
            e.RangeStart = u.I();
            e.RangeEnd = EncodeDate(d.Year + 1, 1, 1);
            year = open(0, std::move(e));
            curYear = d.Year;
            month = -1;
        }
        if (month < 0 || d.Month != curMonth) {
            TElementoData e;
            e.Level = 2;
            e.Icon = 2;
            e.Text = FormatDateTime("mmmm", u.I());
            e.Description = "Connessioni del mese di " + FormatDateTime("mmmm yyyy", u.I());
            e.RangeStart = u.I();
            e.RangeEnd = d.Month == 12 ? EncodeDate(d.Year + 1, 1, 1) : EncodeDate(d.Year, d.Month + 1, 1);
            month = open(year, std::move(e));
            curMonth = d.Month;
            day = -1;
        }
        if (day < 0 || dayNumber != curDay) {
            TElementoData e;
            e.Level = 3;
            e.Icon = 3;
            e.Text = FormatDateTime("d (dddd)", u.I());
            e.Description = "Connessioni del giorno " + FormatDateTime("dddd d mmmm yyyy", u.I());
            e.RangeStart = static_cast<double>(dayNumber);
            e.RangeEnd = static_cast<double>(dayNumber) + EncodeTime(23, 59, 59, 999);
            day = open(month, std::move(e));
            curDay = dayNumber;
            if (dayNumber == selectDay)
                tree.Selected = day;
        }
        for (const int n : {0, year, month, day})
            tree.Nodes[static_cast<std::size_t>(n)].Data.Add(u);
    }
    return tree;
}

const std::array<const char*, BranchColumnCount> BranchColumns = {
    "Connessione del", "Dalle", "Alle", "Scatti", "Durata", "£ire", "€uro", "Tipo", "IP Dinamico", "Velocità",
    "Byte Inviati", "Byte Ricevuti"};

std::string BranchCell(const TDataUnitsItem& u, std::size_t column)
{
    switch (column) {
    case 0:
        return FormatDateTime("d mmm yyyy ddd", u.I());
    case 1:
        return FormatDateTime("h:nn:ss", u.I());
    case 2:
        return FormatDateTime("h:nn:ss", u.F());
    case 3:
        return std::to_string(u.S());
    case 4:
        return FormatDurationLong(RecordDuration(u));
    case 5:
        return FormatPattern("%3.2n", u.L());
    case 6:
        return FormatPattern("%3.3n", u.E());
    case 7:
        return u.N().empty() ? "sconosciuta" : u.N();
    case 8:
        return u.Z().empty() ? "sconosciuto" : u.Z();
    case 9:
        return u.Y() == 0 ? "sconosciuta" : FormatPattern("%3.0n", u.Y());
    case 10:
        return FormatPattern("%3.0n", u.T());
    case 11:
        return FormatPattern("%3.0n", u.R());
    default:
        return {};
    }
}

std::array<std::string, BranchColumnCount> BranchRow(const TDataUnitsItem& u)
{
    std::array<std::string, BranchColumnCount> row;
    for (std::size_t c = 0; c < BranchColumnCount; ++c)
        row[c] = BranchCell(u, c);
    return row;
}

const std::array<const char*, 5> MeasureNames = {"lire", "euro", "tempo", "scatti", "volume"};
const std::array<const char*, 5> GroupNames = {"tipi", "connessioni", "giorni", "mesi", "anni"};

std::optional<TChartMeasure> MeasureFromName(const std::string& name)
{
    for (std::size_t i = 0; i < MeasureNames.size(); ++i)
        if (LowerCase(name) == MeasureNames[i])
            return static_cast<TChartMeasure>(i);
    return std::nullopt;
}

std::optional<TChartGroup> GroupFromName(const std::string& name)
{
    for (std::size_t i = 0; i < GroupNames.size(); ++i)
        if (LowerCase(name) == GroupNames[i])
            return static_cast<TChartGroup>(i);
    return std::nullopt;
}

std::uint32_t MonthColor(int month)
{
    static constexpr std::array<std::uint32_t, 12> colors = {0xFFFFFF, 0xFFFF00, 0x0000FF, 0xFF00FF,
                                                             0x00FFFF, 0xFF0000, 0x800080, 0x008000,
                                                             0x00FF00, 0x008080, InfoBackColor, 0x800000};
    return colors[static_cast<std::size_t>(std::clamp(month, 1, 12) - 1)];
}

std::uint32_t SeriesColor(std::size_t index)
{
    static constexpr std::array<std::uint32_t, 16> colors = {
        0xFF0000, 0x008000, 0xFFFF00, 0x0000FF, 0xFFFFFF, 0x808080, 0xFF00FF, 0x008080,
        0x000080, 0x800000, 0x00FF00, 0x808000, 0x800080, 0xC0C0C0, 0x00FFFF, 0x000000};
    return colors[index % colors.size()];
}

std::string ChartMark(TChartMeasure measure, double value)
{
    switch (measure) {
    case TChartMeasure::Lire:
        return FormatPattern("%3.0n", value);
    case TChartMeasure::Euro:
        return FormatPattern("%3.3n", value);
    case TChartMeasure::Tempo:
        return FormatDurationLong(value);
    case TChartMeasure::Scatti:
        return std::to_string(static_cast<std::int64_t>(value));
    case TChartMeasure::Volume:
        return VolumeText(static_cast<std::uint64_t>(std::max(0.0, value)));
    }
    return {};
}

TChartScale ChartScale(TChartMeasure measure, double maxValue)
{
    TChartScale scale;
    const char* unit = "";
    double minStep = 1;
    if (measure == TChartMeasure::Tempo) {
        const double seconds = std::max(0.0, maxValue) * 86400.0;
        scale.Factor = seconds >= 2 * 3600 ? 24 : seconds >= 120 ? 24 * 60 : 86400;
        unit = seconds >= 2 * 3600 ? " h" : seconds >= 120 ? " min" : " sec";
    } else if (measure == TChartMeasure::Euro) {
        minStep = 0.01;
    } else if (measure == TChartMeasure::Volume) {
        // Bytes in the unit of the largest value: GB, MB or kB.
        const double bytes = std::max(0.0, maxValue);
        scale.Factor = bytes >= 2e9 ? 1e-9 : bytes >= 2e6 ? 1e-6 : 1e-3;
        unit = bytes >= 2e9 ? " GB" : bytes >= 2e6 ? " MB" : " kB";
    }
    const double top = std::max(0.0, maxValue) * scale.Factor;
    // About five steps, with room after the longest bar for its value.
    double step = minStep;
    if (top > 0) {
        const double raw = top * 1.15 / 5;
        const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
        for (const double m : {1.0, 2.0, 5.0, 10.0})
            if (m * magnitude >= raw * (1 - 1e-9)) {
                step = std::max(minStep, m * magnitude);
                break;
            }
    } else {
        step = 1; // an empty chart: 0 and 1
    }
    const int steps = std::max(1, static_cast<int>(std::ceil(top * 1.15 / step - 1e-9)));
    for (int i = 0; i <= steps; ++i) {
        const double v = step * i;
        scale.Ticks.push_back({v, FormatNumber(v, step >= 1 ? 0 : 2) + unit});
    }
    scale.Top = step * steps;
    return scale;
}

TChartData ComputeVolumeChart(const std::vector<TDataPlan>& plans, const TPlanUsage& usage, TChartGroup group,
                              double from, double to, double now)
{
    static constexpr std::array<const char*, 5> groupTitles = {"per piano", "per ciclo", "per giorno", "per mese",
                                                               "per anno"};
    TChartData chart;
    chart.Title = std::string("Volume di traffico ") + groupTitles[static_cast<std::size_t>(group)];
    chart.Totals.Description =
        "Periodo dal " + FormatDateTime("d mmmm yyyy", from) + " al " + FormatDateTime("d mmmm yyyy", to);
    const auto first = static_cast<double>(DayNumber(from));
    const auto last = static_cast<double>(DayNumber(to)) + 1; // excluded
    std::vector<TChartPoint> points;
    std::uint64_t total = 0;
    const auto volumePoint = [](std::string label, std::uint32_t color, bool monthColored, std::uint64_t bytes) {
        TChartPoint p;
        p.Label = std::move(label);
        p.Color = color;
        p.MonthColored = monthColored;
        p.Value = static_cast<double>(bytes);
        p.Mark = VolumeText(bytes);
        return p;
    };
    if (group == TChartGroup::Tipi) {
        for (std::size_t i = 0; i < plans.size(); ++i) {
            const std::uint64_t used = usage.Used(plans[i], first, last);
            total += used;
            points.push_back(volumePoint(plans[i].Name, SeriesColor(i), false, used));
        }
    } else if (group == TChartGroup::Connessioni) {
        // Each cycle that meets the period, with its whole volume and its cost.
        for (std::size_t i = 0; i < plans.size(); ++i)
            for (TPlanCycle c = PlanCycleAt(plans[i], first + 0.5); c.Start < last; c = PlanCycleAt(plans[i], c.End + 0.5)) {
                const std::uint64_t used = usage.Used(plans[i], c.Start, c.End);
                total += usage.Used(plans[i], std::max(c.Start, first), std::min(c.End, last));
                TChartPoint p = volumePoint(plans[i].Name + ": " + FormatDateTime("d mmm yyyy", c.Start) + " – " +
                                                FormatDateTime("d mmm yyyy", c.End - 1),
                                            SeriesColor(i), false, used);
                const double cost = PlanCycleCost(plans[i], used);
                p.Mark += " · " + EuroText(cost);
                chart.Totals.Euro += cost;
                points.push_back(std::move(p));
            }
    } else {
        // Every plan's counted bytes by day, then summed by the period's day, month or year.
        std::map<double, std::uint64_t> periods;
        for (const TDataPlan& plan : plans)
            for (auto d = usage.Days(plan.Name).lower_bound(static_cast<std::int64_t>(first));
                 d != usage.Days(plan.Name).end() && d->first < static_cast<std::int64_t>(last); ++d) {
                const auto day = static_cast<double>(d->first);
                const TDateParts dd = DecodeDate(day);
                const double key = group == TChartGroup::Giorni ? day
                                   : group == TChartGroup::Mesi ? EncodeDate(dd.Year, dd.Month, 1)
                                                                : EncodeDate(dd.Year, 1, 1);
                const std::uint64_t bytes = CountedBytes(plan, d->second.Received, d->second.Sent);
                periods[key] += bytes;
                total += bytes;
            }
        std::size_t index = 0;
        for (const auto& [key, bytes] : periods) {
            const std::string label = group == TChartGroup::Giorni ? FormatDateTime("ddd d mmm yyyy", key)
                                      : group == TChartGroup::Mesi ? FormatDateTime("mmmm yyyy", key)
                                                                   : FormatDateTime("yyyy", key);
            const bool months = group != TChartGroup::Anni;
            points.push_back(volumePoint(label, months ? MonthColor(DecodeDate(key).Month) : SeriesColor(index), months,
                                         bytes));
            ++index;
        }
    }
    // The series' order of the other charts: the last group first.
    chart.Points.assign(points.rbegin(), points.rend());
    chart.Totals.Volume = total;
    if (chart.Points.empty())
        chart.Points.push_back(volumePoint("nessuna", NoDataColor, false, 0));
    // Days not watched whole, from the first day ever watched: their traffic is not in the chart.
    if (!usage.Watched().empty()) {
        const double watchedFrom = std::max(first, static_cast<double>(usage.Watched().begin()->first));
        const int gaps = usage.GapDays(watchedFrom, last, now);
        if (gaps > 0)
            chart.Note = "Traffico non contato: Quorvanta non era in esecuzione per " +
                         std::string(gaps == 1 ? "parte di un giorno" : "parte di " + std::to_string(gaps) + " giorni") +
                         " del periodo";
    }
    return chart;
}

TChartData ComputeChart(const TDataUnits& log, TChartMeasure measure, TChartGroup group, double from, double to,
                        const TDataPlans* plans)
{
    if (measure == TChartMeasure::Volume)
        return plans ? ComputeVolumeChart(plans->PlanList(), plans->Usage(), group, from, to,
                                          plans->Services().Clk.Now())
                     : ComputeVolumeChart({}, {}, group, from, to, to);
    TDataUnitsItems groups(nullptr);
    switch (group) {
    case TChartGroup::Tipi:
        log.SumByEntry(groups, from, to);
        break;
    case TChartGroup::Connessioni:
        log.SelectRange(groups, from, to);
        break;
    case TChartGroup::Giorni:
        log.SumByDay(groups, from, to);
        break;
    case TChartGroup::Mesi:
        log.SumByMonth(groups, from, to);
        break;
    case TChartGroup::Anni:
        log.SumByYear(groups, from, to);
        break;
    }

    static constexpr std::array<const char*, 5> measureTitles = {"Costo in £ire ", "Costo in €uro ",
                                                                 "Tempo di collegamento ", "Scatti del collegamento ",
                                                                 "Volume di traffico "};
    static constexpr std::array<const char*, 5> groupTitles = {"per tipo di connessione", "per connessione",
                                                               "per giorno", "per mese", "per anno"};
    TChartData chart;
    chart.Title = std::string(measureTitles[static_cast<std::size_t>(measure)]) +
                  groupTitles[static_cast<std::size_t>(group)];
    chart.Totals.Description =
        "Periodo dal " + FormatDateTime("d mmmm yyyy", from) + " al " + FormatDateTime("d mmmm yyyy", to);

    const std::size_t count = groups.Count();
    chart.Points.reserve(count ? count : 1);
    for (std::size_t k = count; k-- > 0;) {
        const TDataUnitsItem& g = groups[k];
        TChartPoint p;
        switch (group) {
        case TChartGroup::Tipi: {
            const std::string name = Trim(g.N());
            p.Label = name.empty() ? "<sconosciuta>" : name;
            break;
        }
        case TChartGroup::Connessioni:
            p.Label = FormatDateTime("ddd d mmm yyyy hh:nn:ss", g.I());
            break;
        case TChartGroup::Giorni:
            p.Label = FormatDateTime("ddd d mmm yyyy", g.I());
            break;
        case TChartGroup::Mesi:
            p.Label = FormatDateTime("mmmm yyyy", g.I());
            break;
        case TChartGroup::Anni:
            p.Label = FormatDateTime("yyyy", g.I());
            break;
        }
        if (group == TChartGroup::Tipi || group == TChartGroup::Anni) {
            p.Color = SeriesColor(count - 1 - k);
        } else {
            p.Color = MonthColor(DecodeDate(g.I()).Month);
            p.MonthColored = true;
        }
        const double duration = AbsDifference(g.F(), g.I());
        switch (measure) {
        case TChartMeasure::Lire:
            p.Value = std::trunc(g.L());
            break;
        case TChartMeasure::Euro:
            p.Value = g.E();
            break;
        case TChartMeasure::Tempo:
            p.Value = duration;
            break;
        case TChartMeasure::Scatti:
            p.Value = g.S();
            break;
        case TChartMeasure::Volume:
            break; // charted by ComputeVolumeChart
        }
        p.Mark = ChartMark(measure, p.Value);
        chart.Totals.Pulses += g.S();
        chart.Totals.Lire += g.L();
        chart.Totals.Euro += g.E();
        chart.Totals.Duration += duration;
        chart.Points.push_back(std::move(p));
    }
    if (chart.Points.empty()) {
        TChartPoint p;
        p.Label = "nessuna";
        p.Color = NoDataColor;
        p.Value = 0;
        p.Mark = ChartMark(measure, 0);
        chart.Points.push_back(std::move(p));
    }
    return chart;
}

std::string TotalHoursText(double duration)
{
    const TDecodedMs ms = DecodeMs(std::fabs(duration));
    const std::int64_t seconds = ms.MsOfDay / 1000;
    const std::int64_t hours = ms.Day * 24 + seconds / 3600;
    const std::int64_t minutes = seconds / 60 % 60;
    const std::int64_t secs = seconds % 60;
    char buf[96];
    if (hours > 0)
        std::snprintf(buf, sizeof buf, "%lld h %lld min %lld sec", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(secs));
    else if (minutes > 0)
        std::snprintf(buf, sizeof buf, "%lld min %lld sec", static_cast<long long>(minutes),
                      static_cast<long long>(secs));
    else
        std::snprintf(buf, sizeof buf, "%lld sec", static_cast<long long>(secs));
    return buf;
}

std::array<std::string, 5> TotalsTexts(const TElementoData& data, std::optional<std::size_t> rows)
{
    const std::string blanks(6, ' ');
    std::array<std::string, 5> t;
    t[0] = blanks + data.Description;
    if (rows)
        t[0] += " [" + std::to_string(*rows) + "]";
    if (data.Volume) {
        // The traffic's totals: its volume, and the cost of the cycles when they were charted.
        t[1] = blanks + "Volume " + VolumeText(*data.Volume);
        t[2] = data.Euro > 0 ? blanks + "Costo dei cicli " + EuroText(data.Euro) : std::string();
        return t;
    }
    t[1] = blanks + "£ire " + FormatPattern("%3.0n", data.Lire);
    t[2] = blanks + "€uro " + FormatPattern("%3.3n", data.Euro);
    t[3] = blanks + "Tempo totale " + TotalHoursText(data.Duration);
    t[4] = blanks + "Scatti " + std::to_string(data.Pulses);
    return t;
}

const std::array<TCheapReportChoice, 7> CheapReportChoices = {{
    {"Non visualizzare il messaggio", 0},
    {"Visualizza per 20 secondi", 20000},
    {"Visualizza per 15 secondi", 15000},
    {"Visualizza per 10 secondi", 10000},
    {"Visualizza per 5 secondi", 5000},
    {"Visualizza per 2 secondi", 2000},
    {"Non visualizzare nessun messaggio", -1},
}};

std::size_t CheapReportChoiceOf(std::int32_t trayHintPause)
{
    std::size_t best = 3; // 10 seconds, the profile's default
    std::int64_t bestDistance = -1;
    for (std::size_t i = 0; i < CheapReportChoices.size(); ++i) {
        const std::int32_t v = CheapReportChoices[i].TrayHintPause;
        if (v == trayHintPause)
            return i;
        if (v <= 0 || trayHintPause <= 0)
            continue;
        const std::int64_t distance = std::llabs(static_cast<std::int64_t>(v) - trayHintPause);
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

std::string CheapReportHint(const std::string& entry, const std::string& comparison)
{
    if (Trim(comparison).empty())
        return "Bene! Hai scelto la tariffa più conveniente! ;)";
    return "Maledizione non hai scelto la tariffa più conveniente con la connessione " + entry + "\r" + comparison;
}

} // namespace qv
