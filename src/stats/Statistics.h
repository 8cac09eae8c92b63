#pragma once
// The statistics of the connection log: the tree of years, months and days with their totals, the
// rows of the connection list, the chart's groups and the status bar's totals. Pure functions of
// the log, so the window, the reports and the command line show the same numbers.

#include "tariffs/Connections.h"
#include "tariffs/DataPlans.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// The data of one tree node (or of a chart's period): what it covers and its totals.
struct TElementoData
{
    int Level = 0; // 0 root, 1 year, 2 month, 3 day
    std::string Text;
    std::string Description;
    int Icon = 0;
    double RangeStart = -1;
    double RangeEnd = 0;
    std::int64_t Pulses = 0;
    double Duration = 0; // day fraction
    double Lire = 0;
    double Euro = 0;
    std::int64_t Count = 0; // connections summed in
    std::optional<std::uint64_t> Volume; // a chart of the data plans' traffic: its bytes

    void Add(const TDataUnitsItem& u);
};

struct TStatsNode
{
    TElementoData Data;
    int Parent = -1;
    std::vector<int> Children;
};

struct TStatsTree
{
    std::vector<TStatsNode> Nodes; // Nodes[0] is the root "Connessioni"
    int Selected = -1;             // the day node of the date asked for; -1: none (the root is expanded)

    // The node and all nodes below it, depth first.
    std::vector<int> Subtree(int node) const;
};

// Built in one pass over the ordered log; selectDate picks the day node of that date.
TStatsTree BuildStatsTree(const TDataUnits& log, double selectDate);

// ---- the connection list ----
constexpr std::size_t BranchColumnCount = 12;
extern const std::array<const char*, BranchColumnCount> BranchColumns;
std::string BranchCell(const TDataUnitsItem& u, std::size_t column);
std::array<std::string, BranchColumnCount> BranchRow(const TDataUnitsItem& u);

// ---- the chart ----
enum class TChartMeasure
{
    Lire,
    Euro,
    Tempo,
    Scatti,
    Volume // the data plans' traffic: per plan (Tipi), per cycle (Connessioni), per period
};
enum class TChartGroup
{
    Tipi,
    Connessioni,
    Giorni,
    Mesi,
    Anni
};
extern const std::array<const char*, 5> MeasureNames; // "lire", "euro", "tempo", "scatti", "volume"
extern const std::array<const char*, 5> GroupNames;   // "tipi", "connessioni", "giorni", "mesi", "anni"
std::optional<TChartMeasure> MeasureFromName(const std::string& name);
std::optional<TChartGroup> GroupFromName(const std::string& name);

constexpr std::uint32_t NoDataColor = 0xC0C0C0; // silver
constexpr std::uint32_t InfoBackColor = 0xFFFFE1; // the desktop's tooltip background
// 0xRRGGBB of a month (1..12): white, yellow, blue, fuchsia, aqua, red, purple, green, lime, teal,
// tooltip background, maroon.
std::uint32_t MonthColor(int month);
// The series' own colours, taken in turn by the groups without a month colour.
std::uint32_t SeriesColor(std::size_t index);

struct TChartPoint
{
    std::string Label;
    std::uint32_t Color = 0;
    bool MonthColored = false;
    double Value = 0;
    std::string Mark;
};

struct TChartData
{
    std::string Title;
    std::vector<TChartPoint> Points; // in the series' order: the last group first
    TElementoData Totals;            // "Periodo dal ... al ..." with the sums of every group
    std::string Note;                // what the chart cannot show (traffic not counted)
};

// plans: the data plans' file, for the Volume measure (none: no traffic).
TChartData ComputeChart(const TDataUnits& log, TChartMeasure measure, TChartGroup group, double from, double to,
                        const TDataPlans* plans = nullptr);
// The traffic of the data plans from the day of `from` to the day of `to`, grouped; now: where the
// record of the time watched ends (days not watched whole are told in Note).
TChartData ComputeVolumeChart(const std::vector<TDataPlan>& plans, const TPlanUsage& usage, TChartGroup group,
                              double from, double to, double now);
std::string ChartMark(TChartMeasure measure, double value);

// The value axis of a chart: whole steps (1, 2 or 5 times a power of ten of the axis unit) from 0 to
// a little beyond the largest value, each tick labelled in Italian forms ("20.000", "0,50", "10 h",
// "15 min"). Time is shown in hours, or in minutes or seconds when the largest value is short;
// Factor turns a point's value (days for time) into the axis' unit.
struct TChartTick
{
    double Value;
    std::string Label;
};
struct TChartScale
{
    double Factor = 1;
    double Top = 1;
    std::vector<TChartTick> Ticks;
};
TChartScale ChartScale(TChartMeasure measure, double maxValue);

// ---- the status bar ----
// "%d h %d min %d sec", "%d min %d sec" or "%d sec" of a total duration.
std::string TotalHoursText(double duration);
// The five panel texts, each starting with six blanks; rows: the list's row count in the details view.
std::array<std::string, 5> TotalsTexts(const TElementoData& data, std::optional<std::size_t> rows);

// ---- the comparison balloon's settings ----
struct TCheapReportChoice
{
    const char* Caption;
    std::int32_t TrayHintPause;
};
extern const std::array<TCheapReportChoice, 7> CheapReportChoices;
// The choice matching a stored value; a value no choice has selects the nearest display time.
std::size_t CheapReportChoiceOf(std::int32_t trayHintPause);
// The comparison settings' tray hint after a connection that another tariff would have made cheaper.
std::string CheapReportHint(const std::string& entry, const std::string& comparison);

} // namespace qv
