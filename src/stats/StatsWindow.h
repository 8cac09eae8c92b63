#pragma once
// The statistics window's rules: the two views over the connection log, the tree and its list, the
// chart with its measure, grouping and range, the status bar, deleting, exporting, importing and
// what the print commands print. The Qt window shows what this decides.

#include "app/Sounds.h"
#include "core/Functions.h"
#include "core/Services.h"
#include "stats/Statistics.h"
#include "tariffs/Taxations.h"

#include <functional>
#include <map>

namespace qv {

// The values kept under "Options\Statistiche".
struct TStatsOptions
{
    static constexpr const char* Section = "Options\\Statistiche";
    int Top = -1, Left = -1, Height = 560, Width = 980; // -1: where the window manager puts it
    bool Grafico = true;
    bool Legend = false;
    int GraficoX = 0; // measure
    int GraficoY = 2; // grouping
    double DataIniziale = 0;
    std::map<std::string, int> ColumnWidths; // by column caption
    int TreeWidth = 200;

    // Geometry, view, legend, column widths and tree width (read when the window is created).
    void LoadLayout(TRegistry& reg);
    // Range start, measure and grouping (read at the first activation).
    void LoadChoices(TRegistry& reg);
    void Save(TRegistry& reg) const;
};

// What a print command prints.
struct TPrintRequest
{
    enum TKind
    {
        None,
        Chart,
        Details
    } Kind = None;
    // Details: tree nodes and connections in print order (one of the two pointers set).
    struct TElement
    {
        const TElementoData* Node = nullptr;
        const TDataUnitsItem* Connection = nullptr;
    };
    std::vector<TElement> Elements;
};

class TStatistics
{
public:
    TStatistics(TServices& services, TDataUnits& log);
    // The data plans, for the volume measure (none: no traffic).
    const TDataPlans* Plans = nullptr;

    TStatsOptions Options;

    // The first activation: range pickers, tree with today selected, measure and grouping restored.
    void Activate();
    bool Activated() const { return FActivated; }

    void BuildTree(double selectDate);
    const TStatsTree& Tree() const { return FTree; }
    // Lists the connections of a node (-1: empty list); only when it differs from the shown one
    // unless forced.
    void ShowBranch(int node, bool force = true);
    int SelectedNode() const { return FSelected; }
    const std::vector<TDataUnitsItem*>& Rows() const { return FRows; }

    // ---- the chart ----
    void SetChartView(bool chart);
    bool ChartView() const { return Options.Grafico; }
    void ChooseMeasure(TChartMeasure m);
    void ChooseGroup(TChartGroup g);
    TChartMeasure Measure() const { return FMeasure; }
    TChartGroup Group() const { return FGroup; }
    // The chart's range in whole days: from's first millisecond to to's last (a to before from is
    // from's day).
    void SetRange(double from, double to);
    double RangeFrom() const { return FFrom; }
    double RangeTo() const { return FTo; }
    void RefreshChart();
    const TChartData& Chart() const { return FChart; }
    bool ChartStale() const { return FChartStale; }

    // The status bar's five texts as last shown.
    const std::array<std::string, 5>& Totals() const { return FTotals; }

    // ---- the list's commands ----
    struct TListMenu
    {
        bool Modify, Delete, DeleteAll, Print;
    };
    TListMenu ListMenu(std::size_t selected) const;
    // "Elimina" on the list's selected rows; false when nothing was deleted.
    bool DeleteSelected(const std::vector<std::size_t>& rows);
    // "E&limina tutte" and the tree's "Elimina": every row of the list.
    bool DeleteAll();
    // After a connection was inserted or edited by hand.
    void ConnectionEdited(double start);
    // After a connection was logged elsewhere (a count ended): the tree, the list and the chart are
    // read again, the same branch staying selected.
    void LogChanged();

    // ---- export, import, print ----
    bool ExportAll(const std::string& fileName);
    // The file name the branch export proposes; empty (with the error shown) when no node is selected.
    std::string BranchExportName();
    bool ExportBranch(const std::string& fileName);
    bool Import(const std::string& fileName);
    // The tool button and the tree's "&Stampa...": the chart, the selected branch, or nothing.
    TPrintRequest PrintShown();
    // The list's "&Stampa...": every connection listed.
    TPrintRequest PrintList() const;

    // Raised after the tree was rebuilt, a branch listed, the chart recomputed, the totals changed
    // and the view switched.
    std::function<void()> OnTreeBuilt;
    std::function<void()> OnBranchShown;
    std::function<void()> OnChartRefreshed;
    std::function<void()> OnTotals;
    std::function<void()> OnViewChanged;

private:
    bool ChartChoice(bool same);
    void SetDays(double from, double to);
    void ShowTotals(const TElementoData& data);
    void DeleteRecords(const std::vector<TDataUnitsItem*>& records);
    TServices& FServices;
    TDataUnits& FLog;
    TStatsTree FTree;
    int FSelected = -1;
    int FShown = -2;
    std::vector<TDataUnitsItem*> FRows;
    TChartData FChart;
    bool FChartStale = true;
    bool FActivated = false;
    TChartMeasure FMeasure = TChartMeasure::Lire;
    TChartGroup FGroup = TChartGroup::Giorni;
    double FFrom = 0, FTo = 0;
    std::array<std::string, 5> FTotals;
};

// The dialog that inserts or edits a connection by hand, with its pricing and tariff comparison.
class TConnectionDialog
{
public:
    // editing: the log record to change; none inserts a new one.
    TConnectionDialog(TServices& services, TDataUnits& log, TTaxations& taxes, TTaxItem* current,
                      ISounds* sounds, TDataUnitsItem* editing = nullptr);

    std::string Caption() const;
    std::string PriceHint() const;

    // The fields as the dialog shows them.
    double StartDate = 0, StartTime = 0, EndDate = 0, EndTime = 0;
    std::string Name, Pulses, Cost;
    // "&OK" is enabled once a field changed after the dialog was activated.
    bool Modified = false;

    double Start() const { return StartDate + StartTime; }
    double End() const { return EndDate + EndTime; }

    // "&OK": checks the fields and stores the record; false keeps the dialog open. pulsesField and
    // costField are the two mandatory fields (the first empty one gets the focus).
    bool Accept(IMandatoryField& pulsesField, IMandatoryField& costField);
    double AcceptedStart() const { return FAcceptedStart; }

    // "...": prices the typed span with a tariff (none: the current one); false on a refusal.
    bool Price(TTaxItem* tax = nullptr);
    // Every 1000th progress call of the pricing: the running cost's integer part.
    std::function<void(std::int64_t)> OnRunningCost;
    // The cost field in bold while pricing.
    std::function<void(bool)> OnPricing;

    // The comparison of every tariff for the typed span; false on a refusal.
    bool Compare();
    // The progress window: shown (the cancel flag cleared), updated (position -1: full), closed.
    std::function<void()> OnWaitShow;
    std::function<void(const std::string&, int)> OnWaitUpdate;
    std::function<void()> OnWaitClose;
    bool CancelRequested = false;

    static std::string CostText(double cost);

private:
    TServices& FServices;
    TDataUnits& FLog;
    TTaxations& FTaxes;
    TTaxItem* FCurrent;
    ISounds* FSounds;
    TDataUnitsItem* FEditing;
    double FAcceptedStart = 0;
};

} // namespace qv
