#include "stats/StatsWindow.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qv {

// ---- options ----

void TStatsOptions::LoadLayout(TRegistry& reg)
{
    Top = static_cast<int>(reg.RegReadInteger(Section, "TopStatistic", Top));
    Left = static_cast<int>(reg.RegReadInteger(Section, "LeftStatistic", Left));
    Height = static_cast<int>(reg.RegReadInteger(Section, "HeightStatistic", Height));
    Width = static_cast<int>(reg.RegReadInteger(Section, "WidthStatistic", Width));
    Grafico = reg.RegReadBool(Section, "Grafico", true);
    Legend = reg.RegReadBool(Section, "Legend", false);
    for (const char* caption : BranchColumns) {
        const auto it = ColumnWidths.find(caption);
        const int def = it == ColumnWidths.end() ? -1 : it->second;
        const auto w = reg.RegReadInteger(Section, caption, def);
        if (w > 0)
            ColumnWidths[caption] = static_cast<int>(w);
    }
    TreeWidth = static_cast<int>(reg.RegReadInteger(Section, "pnTree", TreeWidth));
}

void TStatsOptions::LoadChoices(TRegistry& reg)
{
    DataIniziale = reg.RegReadFloat(Section, "DataInizialeStatistic", 0);
    if (!std::isfinite(DataIniziale))
        DataIniziale = 0;
    GraficoX = static_cast<int>(reg.RegReadInteger(Section, "GraficoX", 0));
    GraficoY = static_cast<int>(reg.RegReadInteger(Section, "GraficoY", 2));
    if (GraficoX < 0 || GraficoX >= static_cast<int>(MeasureNames.size()))
        GraficoX = 0;
    if (GraficoY < 0 || GraficoY > 4)
        GraficoY = 2;
}

void TStatsOptions::Save(TRegistry& reg) const
{
    reg.RegWriteInteger(Section, "TopStatistic", Top);
    reg.RegWriteInteger(Section, "LeftStatistic", Left);
    reg.RegWriteInteger(Section, "HeightStatistic", Height);
    reg.RegWriteInteger(Section, "WidthStatistic", Width);
    reg.RegWriteBool(Section, "Grafico", Grafico);
    reg.RegWriteBool(Section, "Legend", Legend);
    reg.RegWriteInteger(Section, "GraficoX", GraficoX);
    reg.RegWriteInteger(Section, "GraficoY", GraficoY);
    reg.RegWriteFloat(Section, "DataInizialeStatistic", DataIniziale);
    for (const auto& [caption, width] : ColumnWidths)
        reg.RegWriteInteger(Section, caption, width);
    reg.RegWriteInteger(Section, "pnTree", TreeWidth);
}

// ---- the window ----

TStatistics::TStatistics(TServices& services, TDataUnits& log) : FServices(services), FLog(log)
{
    FChart.Totals.Description = "";
}

void TStatistics::Activate()
{
    if (FActivated)
        return;
    FActivated = true;
    Options.LoadChoices(FServices.Registry);
    const double now = FServices.Clk.Now();
    // With no start stored, today is shown and kept, so the next opening shows the same range.
    SetDays(Options.DataIniziale == 0 ? now : Options.DataIniziale, now);
    Options.DataIniziale = FFrom;
    BuildTree(now);
    FMeasure = static_cast<TChartMeasure>(Options.GraficoX);
    FGroup = static_cast<TChartGroup>(Options.GraficoY);
    if (Options.Grafico)
        RefreshChart();
    else
        FChartStale = true;
}

void TStatistics::BuildTree(double selectDate)
{
    FRows.clear();
    FShown = -2;
    FSelected = -1;
    FTree = BuildStatsTree(FLog, selectDate);
    if (OnTreeBuilt)
        OnTreeBuilt();
    if (FTree.Selected >= 0)
        ShowBranch(FTree.Selected);
    else if (OnBranchShown)
        OnBranchShown();
}

void TStatistics::ShowBranch(int node, bool force)
{
    if (!force && node == FShown)
        return;
    if (node < 0 || static_cast<std::size_t>(node) >= FTree.Nodes.size()) {
        FSelected = -1;
        FShown = -1;
        FRows.clear();
        if (OnBranchShown)
            OnBranchShown();
        return;
    }
    FSelected = node;
    FShown = node;
    const TElementoData& d = FTree.Nodes[static_cast<std::size_t>(node)].Data;
    FRows.clear();
    // The records whose start lies in the node's range; the log is in start order, so the scan
    // begins at the range's first record and stops after its end.
    const auto& units = FLog.Units();
    auto it = units.begin();
    if (d.RangeStart != -1)
        it = std::lower_bound(units.begin(), units.end(), d.RangeStart,
                              [](const auto& u, double start) { return u->I() < start; });
    for (; it != units.end(); ++it) {
        if (d.RangeStart != -1 && (*it)->I() > d.RangeEnd)
            break;
        FRows.push_back(it->get());
    }
    if (OnBranchShown)
        OnBranchShown();
    ShowTotals(d);
}

void TStatistics::ShowTotals(const TElementoData& data)
{
    FTotals = TotalsTexts(data, Options.Grafico ? std::nullopt : std::optional<std::size_t>(FRows.size()));
    if (OnTotals)
        OnTotals();
}

void TStatistics::SetChartView(bool chart)
{
    Options.Grafico = chart;
    if (OnViewChanged)
        OnViewChanged();
    if (chart && FChartStale)
        RefreshChart();
    else if (chart)
        ShowTotals(FChart.Totals);
    else if (FSelected >= 0)
        ShowTotals(FTree.Nodes[static_cast<std::size_t>(FSelected)].Data);
}

// A menu choice shows the chart; choosing the item already checked recomputes only a stale chart.
bool TStatistics::ChartChoice(bool same)
{
    if (!Options.Grafico) {
        Options.Grafico = true;
        if (OnViewChanged)
            OnViewChanged();
    }
    return !same || FChartStale;
}

void TStatistics::ChooseMeasure(TChartMeasure m)
{
    if (!ChartChoice(m == FMeasure))
        return;
    FMeasure = m;
    Options.GraficoX = static_cast<int>(m);
    RefreshChart();
}

void TStatistics::ChooseGroup(TChartGroup g)
{
    if (!ChartChoice(g == FGroup))
        return;
    FGroup = g;
    Options.GraficoY = static_cast<int>(g);
    RefreshChart();
}

// The range is shown as two dates, so it covers both days whole: from the first one's midnight to
// the last millisecond of the second one.
void TStatistics::SetDays(double from, double to)
{
    FFrom = static_cast<double>(DayNumber(from));
    FTo = static_cast<double>(DayNumber(std::max(from, to))) + EncodeTime(23, 59, 59, 999);
}

void TStatistics::SetRange(double from, double to)
{
    SetDays(from, to);
    Options.DataIniziale = FFrom;
    RefreshChart();
}

void TStatistics::RefreshChart()
{
    FChart = ComputeChart(FLog, FMeasure, FGroup, FFrom, FTo, Plans);
    FChartStale = false;
    if (OnChartRefreshed)
        OnChartRefreshed();
    ShowTotals(FChart.Totals);
}

TStatistics::TListMenu TStatistics::ListMenu(std::size_t selected) const
{
    return {selected > 0, selected > 0, !FRows.empty(), !FRows.empty()};
}

void TStatistics::DeleteRecords(const std::vector<TDataUnitsItem*>& records)
{
    FLog.DeleteItems(records);
    FChartStale = true;
    // The list is read again from the same node; the tree's totals wait for the next rebuild.
    ShowBranch(FSelected);
}

bool TStatistics::DeleteSelected(const std::vector<std::size_t>& rows)
{
    if (rows.empty()) {
        ShowError(FServices.Prompter, "Per eliminare i dati di una connessione bisogna selezionarla!");
        return false;
    }
    if (AskYesNo(FServices.Prompter, "Eliminare gli elementi [" + std::to_string(rows.size()) + "] selezionati?") !=
        TModalResult::mrYes)
        return false;
    std::vector<TDataUnitsItem*> records;
    for (const std::size_t r : rows)
        if (r < FRows.size())
            records.push_back(FRows[r]);
    DeleteRecords(records);
    return true;
}

bool TStatistics::DeleteAll()
{
    if (FSelected < 0 || FRows.empty())
        return false;
    const std::string& description = FTree.Nodes[static_cast<std::size_t>(FSelected)].Data.Description;
    if (AskYesNo(FServices.Prompter, "Eliminare " + description + "?") != TModalResult::mrYes)
        return false;
    DeleteRecords(FRows);
    return true;
}

void TStatistics::ConnectionEdited(double start)
{
    BuildTree(start);
    FChartStale = true;
}

void TStatistics::LogChanged()
{
    if (!FActivated)
        return;
    const std::string shown = FSelected >= 0 ? FTree.Nodes[static_cast<std::size_t>(FSelected)].Data.Description : "";
    const int wasSelected = FSelected;
    FTree = BuildStatsTree(FLog, FServices.Clk.Now());
    FRows.clear();
    FShown = -2;
    FSelected = -1;
    // The branch shown before, found by its description (a new day or month moves the indexes).
    if (wasSelected >= 0)
        for (std::size_t n = 0; n < FTree.Nodes.size(); ++n)
            if (FTree.Nodes[n].Data.Description == shown) {
                FTree.Selected = static_cast<int>(n);
                break;
            }
    if (OnTreeBuilt)
        OnTreeBuilt();
    if (FTree.Selected >= 0)
        ShowBranch(FTree.Selected);
    if (Options.Grafico)
        RefreshChart();
    else
        FChartStale = true;
}

bool TStatistics::ExportAll(const std::string& fileName)
{
    return FLog.ExportText(FLog.Units(), fileName);
}

std::string TStatistics::BranchExportName()
{
    if (FSelected < 0) {
        ShowError(FServices.Prompter, "Per esportare le connessioni selezionare il ramo desiderato");
        return {};
    }
    return FTree.Nodes[static_cast<std::size_t>(FSelected)].Data.Description;
}

bool TStatistics::ExportBranch(const std::string& fileName)
{
    if (FSelected < 0) {
        ShowError(FServices.Prompter, "Per esportare le connessioni selezionare il ramo desiderato");
        return false;
    }
    TDataUnitsItems records(nullptr);
    records.Reserve(FRows.size());
    for (const TDataUnitsItem* u : FRows)
        records.Add().Assign(*u);
    return FLog.ExportText(records, fileName);
}

bool TStatistics::Import(const std::string& fileName)
{
    if (!FLog.ImportText(fileName))
        return false;
    FChartStale = true;
    BuildTree(FServices.Clk.Now());
    return true;
}

TPrintRequest TStatistics::PrintShown()
{
    TPrintRequest r;
    if (Options.Grafico) {
        if (FChartStale)
            RefreshChart();
        r.Kind = TPrintRequest::Chart;
        return r;
    }
    if (FSelected < 0) {
        ShowInfo(FServices.Prompter, "Per stampare i dettagli selezionare il ramo desiderato");
        return r;
    }
    r.Kind = TPrintRequest::Details;
    for (const int n : FTree.Subtree(FSelected))
        r.Elements.push_back({&FTree.Nodes[static_cast<std::size_t>(n)].Data, nullptr});
    return r;
}

TPrintRequest TStatistics::PrintList() const
{
    TPrintRequest r;
    r.Kind = TPrintRequest::Details;
    r.Elements.reserve(FRows.size());
    for (const TDataUnitsItem* u : FRows)
        r.Elements.push_back({nullptr, u});
    return r;
}

// ---- the connection dialog ----

TConnectionDialog::TConnectionDialog(TServices& services, TDataUnits& log, TTaxations& taxes, TTaxItem* current,
                                     ISounds* sounds, TDataUnitsItem* editing)
    : FServices(services), FLog(log), FTaxes(taxes), FCurrent(current), FSounds(sounds), FEditing(editing)
{
    const auto set = [this](double start, double end) {
        StartDate = static_cast<double>(DayNumber(start));
        StartTime = start - StartDate;
        EndDate = static_cast<double>(DayNumber(end));
        EndTime = end - EndDate;
    };
    if (editing) {
        set(editing->I(), editing->F());
        Name = editing->N();
        Pulses = std::to_string(editing->S());
        Cost = CostText(editing->L());
    } else {
        const double now = FServices.Clk.Now();
        set(now, now);
    }
}

std::string TConnectionDialog::CostText(double cost)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.3f", cost);
    return ReplaceAll(buf, ".", ",");
}

std::string TConnectionDialog::Caption() const
{
    if (FEditing)
        return "Connessione di " + FormatDateTime("dddd d mmmm yyyy h:nn:ss", FEditing->I());
    return "Inserimento dati della connessione";
}

std::string TConnectionDialog::PriceHint() const
{
    return "Calcola la spesa in base alla tariffa: " + (FCurrent ? FCurrent->DisplayName() : std::string());
}

bool TConnectionDialog::Accept(IMandatoryField& pulsesField, IMandatoryField& costField)
{
    std::string problem;
    const bool filled = CheckMandatoryFields({{"Scatti", &pulsesField}, {"Spesa £", &costField}}, problem);
    if (filled) {
        if (End() < Start())
            problem = "L'intervallo specificato è incongruente";
        else if (!ReadInteger(Pulses) || *ReadInteger(Pulses) < 0)
            problem = "Il valore del campo «Scatti» non è valido";
        else if (!ReadNumber(Cost) || *ReadNumber(Cost) < 0)
            problem = "Il valore del campo «Spesa £» non è valido";
    }
    if (!problem.empty()) {
        ShowError(FServices.Prompter, "I dati non sono corretti!\r\r" + problem);
        return false;
    }
    if (FEditing) {
        FEditing->SetI(Start());
        FEditing->SetF(End());
        FEditing->SetS(*ReadInteger(Pulses));
        FEditing->SetL(*ReadNumber(Cost));
        FEditing->SetN(Name);
        FLog.Reorder(*FEditing);
        FLog.Save();
    } else {
        TConnectionData d;
        d.Start = Start();
        d.End = End();
        d.Pulses = *ReadInteger(Pulses);
        d.Cost = *ReadNumber(Cost);
        d.Entry = Name;
        FLog.AddConnection(d);
    }
    FAcceptedStart = Start();
    return true;
}

bool TConnectionDialog::Price(TTaxItem* tax)
{
    if (!tax)
        tax = FCurrent;
    if (End() - Start() < 0) {
        ShowError(FServices.Prompter, "L'intervallo specificato non è corretto!");
        return false;
    }
    if (!tax) {
        ShowError(FServices.Prompter, "Nessuna tariffa selezionata!");
        return false;
    }
    if (OnPricing)
        OnPricing(true);
    std::int64_t calls = 0;
    try {
        const TTaxItem::TPrice price = tax->ComputeCost(Start(), End(), true, [this, &calls](double cost, std::int32_t) {
            if (++calls % 1000 == 0 && OnRunningCost)
                OnRunningCost(static_cast<std::int64_t>(cost));
        });
        Pulses = std::to_string(price.Pulses);
        Cost = CostText(price.Cost);
        Modified = true;
    } catch (const std::exception& e) {
        if (OnPricing)
            OnPricing(false);
        ShowError(FServices.Prompter, e.what());
        return false;
    }
    if (FSounds)
        FSounds->PlayNamedSound("Laser", false);
    if (OnPricing)
        OnPricing(false);
    return true;
}

bool TConnectionDialog::Compare()
{
    if (Start() > End()) {
        ShowError(FServices.Prompter, "L'intervallo specificato non è corretto!");
        return false;
    }
    if (!FCurrent) {
        ShowError(FServices.Prompter, "Nessuna tariffa selezionata!");
        return false;
    }
    CancelRequested = false;
    if (OnWaitShow)
        OnWaitShow();
    const auto update = [this](const std::string& text, int position) {
        if (OnWaitUpdate)
            OnWaitUpdate(text, position);
    };
    std::string text;
    try {
        update("Calcolo dei costi delle tariffe...", 0);
        const double cost = FCurrent->ComputeCost(Start(), End()).Cost;
        text = FTaxes.CompareTaxes(Start(), End(), cost, update, [this] { return CancelRequested; });
        update("Calcolo dei costi terminato", -1);
    } catch (const std::exception& e) {
        if (OnWaitClose)
            OnWaitClose();
        ShowError(FServices.Prompter, e.what());
        return false;
    }
    if (OnWaitClose)
        OnWaitClose();
    const std::string name = FCurrent->DisplayName();
    if (!Trim(text).empty())
        ShowInfo(FServices.Prompter, "La tariffa " + name + " non è la più conveniente!\r\r" + text);
    else
        ShowInfo(FServices.Prompter, "Bene! La tariffa " + name + " è quella più conveniente! ;)");
    return true;
}

} // namespace qv
