#pragma once
// "Statistiche": the details view (tree of years, months and days beside the list of their
// connections) and the chart view (bars of one measure per group over a date range), the status bar
// with the totals, export, import, printing and PDF. The rules are the core's TStatistics.

#include "app/DataModule.h"
#include "stats/Repricing.h"
#include "stats/StatsWindow.h"
#include "ui/ReportPrinter.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QActionGroup>
#include <QDateTimeEdit>
#include <QLabel>
#include <QMainWindow>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QChart;
class QBarCategoryAxis;
class QCategoryAxis;
class QChartView;
class QGraphicsSimpleTextItem;
class QAbstractBarSeries;
QT_END_NAMESPACE

namespace qv {

// The list's rows as a table model over the core's rows; the texts are made when shown.
class TStatsListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TStatsListModel(const TStatistics& stats, QObject* parent = nullptr) : QAbstractTableModel(parent), FStats(stats) {}
    // A column after the log's own: why each connection ended (none: the column is not shown).
    std::function<std::string(const TDataUnitsItem&)> EndReason;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const TStatistics& FStats;
};

class TfmStatistiche : public QMainWindow
{
    Q_OBJECT
public:
    // currentTax: the tariff the dialogs price with; lastComparison: the text of the last
    // comparison and its connection, for the comparison settings' tray hint.
    TfmStatistiche(TServices& services, TDataModule& dataModule, std::function<TTaxItem*()> currentTax,
                   std::function<std::string()> lastComparison, QWidget* parent = nullptr);
    ~TfmStatistiche() override;

    TStatistics& Stats() { return FStats; }

    // The tool bar.
    QAction* tbDettagli;
    QAction* tbGrafico;
    QAction* acEsporta;
    QAction* acImporta;
    QAction* acStampa;
    QAction* acPdf;
    QAction* acLeggenda;
    QAction* acConfronto;
    QAction* acRicalcola;
    // The budget of the cycle, at the right of the status bar.
    QLabel* lbBudget;
    std::function<std::string()> BudgetText;
    // The repricing of the chart's range on a worker; onDone, when given, receives the result
    // instead of the result window (tests).
    void Reprice(const std::function<void(const TRepricingResult&)>& onDone = {});
    std::array<QAction*, 5> acMisura;
    std::array<QAction*, 5> acRaggruppa;
    // The details view.
    QSplitter* pnSplitter;
    QTreeWidget* tvTree;
    QLabel* lbHeader;
    QTableView* lvList;
    TStatsListModel* ListModel;
    QLabel* lbSearching;
    // The chart view.
    QDateTimeEdit* CalendInizio;
    QDateTimeEdit* CalendFine;
    QChartView* chChart;
    // The status bar's five panels.
    std::array<QLabel*, 5> Panels;

    // A connection was logged while the window is open.
    void LogChanged() { FStats.LogChanged(); }
    // The list's commands.
    void NewConnection(const std::function<void(QDialog&)>& onOpen = {});
    void EditConnection(int row, const std::function<void(QDialog&)>& onOpen = {});
    void DeleteSelected();
    std::vector<std::size_t> SelectedRows() const;
    // Printing and PDF of what a request names.
    void Print(const TPrintRequest& request);
    bool SavePdf(const TPrintRequest& request, const QString& fileName);
    // Asks for a file name (the tests give one) and saves the PDF of what is shown.
    void SavePdfShown(const QString& fileName = {});

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTree();
    void ShowRows();
    void ShowChart();
    void ShowView();
    void PlaceMarks();
    void TreeMenu(const QPoint& at);
    void ListMenu(const QPoint& at);
    void Export(bool branch);
    void Import();
    TReportRender Render(const TPrintRequest& request);
    TServices& FServices;
    TDataModule& FData;
    std::function<TTaxItem*()> FCurrentTax;
    std::function<std::string()> FLastComparison;
    TStatistics FStats;
    QStackedWidget* FPages;
    QWidget* FChartPanel;
    QChart* FChart;
    QBarCategoryAxis* FCategoryAxis;
    QCategoryAxis* FValueAxis;
    std::vector<QGraphicsSimpleTextItem*> FMarks;
    QTimer FTreeDelay;
    std::unique_ptr<TRepricingTask> FRepricing;
    bool FRangeLoading = false;
};

} // namespace qv
