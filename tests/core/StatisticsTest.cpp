// Statistics of the connection log: the tree, the list's texts, the chart, the totals, the window's
// deletions, exports and imports, the connection dialog and the reports' rows and pages.
#include "TariffFixture.h"
#include "TestSupport.h"
#include "app/Sounds.h"
#include "core/Functions.h"
#include "stats/PdfCanvas.h"
#include "stats/Reports.h"
#include "stats/StatsWindow.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

void Add(TDataUnits& log, double start, int seconds, int pulses, double cost, const std::string& entry,
         const std::string& ip = "", int speed = 0)
{
    TConnectionData c;
    c.Start = start;
    c.End = start + seconds * OneSecond;
    c.Pulses = pulses;
    c.Cost = cost;
    c.Entry = entry;
    c.Ip = ip;
    c.Speed = speed;
    log.AddConnection(c);
}

struct TField : IMandatoryField
{
    explicit TField(std::string t) : Value(std::move(t)) {}
    std::string Text() const override { return Value; }
    void SetFocus() override { Focused = true; }
    std::string Value;
    bool Focused = false;
};

// A canvas that keeps the texts of each page, in drawing order.
struct TTextCanvas : IReportCanvas
{
    explicit TTextCanvas(bool landscape = false) : Landscape(landscape) {}
    bool Landscape;
    double PageWidth() const override { return Landscape ? A4LongSide : A4ShortSide; }
    double PageHeight() const override { return Landscape ? A4ShortSide : A4LongSide; }
    void BeginPage() override { Pages.emplace_back(); }
    void Text(double left, double top, const std::string& text, double size, int style, std::uint32_t) override
    {
        Pages.back().push_back({text, style, top, left, left + TextWidth(text, size, style)});
    }
    double TextWidth(const std::string& text, double size, int) override { return text.size() * size * 0.5; }
    void FillRect(double, double, double, double, std::uint32_t) override {}
    void GradientRect(double, double top, double, double height, std::uint32_t color) override
    {
        Bars.push_back(color);
        BarsBottom = std::max(BarsBottom, top + height);
    }
    void Line(double, double, double, double, double, std::uint32_t) override {}
    struct TItem
    {
        std::string Text;
        int Style;
        double Top;
        double Left, Right;
    };
    std::vector<std::vector<TItem>> Pages;
    std::vector<std::uint32_t> Bars;
    double BarsBottom = 0;
    // Every text of every page within the margins.
    bool WithinMargins() const
    {
        for (const auto& page : Pages)
            for (const auto& i : page)
                if (i.Left < ReportMargin - 0.01 || i.Right > PageWidth() - ReportMargin + 0.01)
                    return false;
        return true;
    }
    bool Has(std::size_t page, const std::string& text) const
    {
        for (const auto& i : Pages.at(page))
            if (i.Text == text)
                return true;
        return false;
    }
};

struct TStatsLog : testing::Test
{
    TTestContext Ctx{At(2026, 3, 14, 12)};
    TDataUnits Log{Ctx.Services};
    TStatsLog() { Log.SetFileName("Connections.dat"); }
};

} // namespace

TEST_F(TStatsLog, EmptyLogHasTheRootOnlyAndASilverNessunaBar)
{
    const TStatsTree tree = BuildStatsTree(Log, Ctx.Time.Now());
    ASSERT_EQ(tree.Nodes.size(), 1u);
    EXPECT_EQ(tree.Nodes[0].Data.Text, "Connessioni");
    EXPECT_EQ(tree.Nodes[0].Data.Description, "Tutte le connessioni");
    EXPECT_EQ(tree.Selected, -1);

    for (const TChartGroup g : {TChartGroup::Tipi, TChartGroup::Giorni, TChartGroup::Anni}) {
        const TChartData chart = ComputeChart(Log, TChartMeasure::Lire, g, At(2026, 1, 1), At(2026, 12, 31));
        ASSERT_EQ(chart.Points.size(), 1u);
        EXPECT_EQ(chart.Points[0].Label, "nessuna");
        EXPECT_EQ(chart.Points[0].Color, 0xC0C0C0u);
        EXPECT_EQ(chart.Points[0].Value, 0);
    }
    const auto totals = TotalsTexts(ComputeChart(Log, TChartMeasure::Lire, TChartGroup::Giorni, At(2026, 1, 1),
                                                 At(2026, 3, 14)).Totals,
                                    std::nullopt);
    EXPECT_EQ(totals[0], "      Periodo dal 1 gennaio 2026 al 14 marzo 2026");
    EXPECT_EQ(totals[1], "      £ire   0");
    EXPECT_EQ(totals[2], "      €uro 0,000");
    EXPECT_EQ(totals[3], "      Tempo totale 0 sec");
    EXPECT_EQ(totals[4], "      Scatti 0");

    TStatistics stats(Ctx.Services, Log);
    stats.Activate();
    EXPECT_TRUE(stats.Rows().empty());
    EXPECT_EQ(stats.Chart().Points[0].Label, "nessuna");
}

TEST_F(TStatsLog, TreeOfYearsMonthsAndDaysWithTheirTextsRangesAndTotals)
{
    Add(Log, At(2025, 12, 31, 23, 50), 600, 3, 1500, "Uno");
    Add(Log, At(2026, 3, 14, 9), 600, 2, 1000.5, "Uno");
    Add(Log, At(2026, 3, 14, 21), 1200, 4, 2000, "Due");
    Add(Log, At(2026, 3, 16, 8), 60, 1, 127, "Uno");
    const TStatsTree tree = BuildStatsTree(Log, At(2026, 3, 14, 18));
    // root, 2025, dicembre, 31, 2026, marzo, 14, 16
    ASSERT_EQ(tree.Nodes.size(), 8u);
    const auto& root = tree.Nodes[0].Data;
    EXPECT_EQ(root.Pulses, 10);
    EXPECT_DOUBLE_EQ(root.Lire, 4627.5);
    EXPECT_EQ(root.Count, 4);
    EXPECT_EQ(TotalHoursText(root.Duration), "41 min 0 sec");

    const auto& y2025 = tree.Nodes[1].Data;
    EXPECT_EQ(y2025.Text, "2025");
    EXPECT_EQ(y2025.Description, "Connessioni dell'anno 2025");
    EXPECT_EQ(y2025.Level, 1);
    EXPECT_DOUBLE_EQ(y2025.RangeStart, At(2025, 12, 31, 23, 50));
    EXPECT_DOUBLE_EQ(y2025.RangeEnd, At(2026, 1, 1));
    const auto& dicembre = tree.Nodes[2].Data;
    EXPECT_EQ(dicembre.Text, "dicembre");
    EXPECT_EQ(dicembre.Description, "Connessioni del mese di dicembre 2025");
    EXPECT_DOUBLE_EQ(dicembre.RangeEnd, At(2026, 1, 1)); // after December: 1 January of the next year
    const auto& marzo = tree.Nodes[5].Data;
    EXPECT_DOUBLE_EQ(marzo.RangeEnd, At(2026, 4, 1));
    EXPECT_EQ(marzo.Pulses, 7);
    const auto& day14 = tree.Nodes[6].Data;
    EXPECT_EQ(day14.Text, "14 (sabato)");
    EXPECT_EQ(day14.Description, "Connessioni del giorno sabato 14 marzo 2026");
    EXPECT_DOUBLE_EQ(day14.RangeStart, At(2026, 3, 14));
    EXPECT_DOUBLE_EQ(day14.RangeEnd, At(2026, 3, 14, 23, 59, 59, 999));
    EXPECT_EQ(day14.Pulses, 6);
    EXPECT_EQ(tree.Selected, 6);
    EXPECT_EQ(tree.Subtree(4), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(BuildStatsTree(Log, At(2026, 3, 15)).Selected, -1);

    // The window opens on today: the day node is selected and its connections listed.
    TStatistics stats(Ctx.Services, Log);
    stats.Options.Grafico = false;
    stats.Activate();
    EXPECT_EQ(stats.SelectedNode(), 6);
    ASSERT_EQ(stats.Rows().size(), 2u);
    EXPECT_EQ(stats.Totals()[0], "      Connessioni del giorno sabato 14 marzo 2026 [2]");
    EXPECT_EQ(stats.Totals()[3], "      Tempo totale 30 min 0 sec");
    stats.ShowBranch(0);
    EXPECT_EQ(stats.Rows().size(), 4u);
}

TEST_F(TStatsLog, TheSameMonthOfTheNextYearOpensItsOwnMonth)
{
    // March 2025 is the last month logged before March 2026: the new year must open a new "marzo".
    Add(Log, At(2025, 3, 10, 9), 600, 2, 200, "Uno");
    Add(Log, At(2026, 3, 2, 9), 600, 3, 300, "Uno");
    const TStatsTree tree = BuildStatsTree(Log, At(2026, 3, 2));
    // root, 2025, marzo, 10, 2026, marzo, 2
    ASSERT_EQ(tree.Nodes.size(), 7u);
    EXPECT_EQ(tree.Nodes[5].Parent, 4);
    EXPECT_EQ(tree.Nodes[5].Data.Description, "Connessioni del mese di marzo 2026");
    EXPECT_EQ(tree.Nodes[5].Data.Pulses, 3);
    EXPECT_EQ(tree.Nodes[2].Data.Pulses, 2);
    EXPECT_EQ(tree.Nodes[6].Parent, 5);
    EXPECT_EQ(tree.Selected, 6);
}

TEST_F(TStatsLog, ListRowTextsWithUnknownSpeedAndAddress)
{
    Add(Log, At(2026, 3, 14, 9, 5, 7), 3725, 12, 1234567.891, "", "", 0);
    Add(Log, At(2026, 3, 14, 10), 5, 1, 1, "Uno", "10.0.0.2", 56000);
    Log.Units()[1].SetT(1234567);
    const auto a = BranchRow(Log.Units()[0]);
    EXPECT_EQ(a[0], "14 mar 2026 sab");
    EXPECT_EQ(a[1], "9:05:07");
    EXPECT_EQ(a[2], "10:07:12");
    EXPECT_EQ(a[3], "12");
    EXPECT_EQ(a[4], "1 h 2 min 5 sec");
    EXPECT_EQ(a[5], "1.234.567,89");
    EXPECT_EQ(a[6], "637,601");
    EXPECT_EQ(a[7], "sconosciuta");
    EXPECT_EQ(a[8], "sconosciuto");
    EXPECT_EQ(a[9], "sconosciuta");
    const auto b = BranchRow(Log.Units()[1]);
    EXPECT_EQ(b[5], "1,00");
    EXPECT_EQ(b[7], "Uno");
    EXPECT_EQ(b[8], "10.0.0.2");
    EXPECT_EQ(b[9], "56.000");
    EXPECT_EQ(b[10], "1.234.567");
    EXPECT_EQ(b[11], "  0");
}

TEST_F(TStatsLog, ChartGroupsLabelsColoursValuesAndTitle)
{
    Add(Log, At(2025, 3, 30, 10), 600, 2, 1999.9, "Provider Uno");
    Add(Log, At(2026, 3, 2, 9), 600, 3, 100, "PROVIDER UNO");
    Add(Log, At(2026, 3, 2, 20), 1200, 1, 50, "");
    Add(Log, At(2026, 7, 1, 20), 60, 1, 50, " Due ");
    const double from = At(2025, 1, 1), to = At(2026, 12, 31);

    // Two Marches of different years with nothing between them are two groups.
    const TChartData months = ComputeChart(Log, TChartMeasure::Lire, TChartGroup::Mesi, from, to);
    EXPECT_EQ(months.Title, "Costo in £ire per mese");
    ASSERT_EQ(months.Points.size(), 3u);
    // The series holds the groups from the last to the first.
    EXPECT_EQ(months.Points[2].Label, "marzo 2025");
    EXPECT_EQ(months.Points[2].Value, 1999); // the integer part of the lire
    EXPECT_EQ(months.Points[2].Mark, "1.999");
    EXPECT_EQ(months.Points[2].Color, 0x0000FFu); // March is blue
    EXPECT_EQ(months.Points[1].Label, "marzo 2026");
    EXPECT_EQ(months.Points[0].Label, "luglio 2026");
    EXPECT_EQ(months.Points[0].Color, 0x800080u); // July is purple

    // Names differing in case are one group under the first name; an empty one is "<sconosciuta>".
    const TChartData kinds = ComputeChart(Log, TChartMeasure::Tempo, TChartGroup::Tipi, from, to);
    EXPECT_EQ(kinds.Title, "Tempo di collegamento per tipo di connessione");
    ASSERT_EQ(kinds.Points.size(), 3u);
    EXPECT_EQ(kinds.Points[2].Label, "Provider Uno");
    EXPECT_EQ(kinds.Points[2].Mark, "20 min 0 sec");
    EXPECT_EQ(kinds.Points[1].Label, "<sconosciuta>");
    EXPECT_EQ(kinds.Points[0].Label, "Due");
    EXPECT_FALSE(kinds.Points[0].MonthColored);
    EXPECT_NE(kinds.Points[0].Color, kinds.Points[1].Color);

    // 10 and 20 minutes hours apart are 30 minutes for the day.
    const TChartData days = ComputeChart(Log, TChartMeasure::Tempo, TChartGroup::Giorni, from, to);
    ASSERT_EQ(days.Points.size(), 3u);
    EXPECT_EQ(days.Points[1].Label, "lun 2 mar 2026");
    EXPECT_EQ(days.Points[1].Mark, "30 min 0 sec");
    EXPECT_NEAR(days.Points[1].Value, 1800 * OneSecond, 1e-9);

    const TChartData each = ComputeChart(Log, TChartMeasure::Scatti, TChartGroup::Connessioni, from, to);
    EXPECT_EQ(each.Title, "Scatti del collegamento per connessione");
    EXPECT_EQ(each.Points.back().Label, "dom 30 mar 2025 10:00:00");
    EXPECT_EQ(each.Points.back().Mark, "2");
    const TChartData years = ComputeChart(Log, TChartMeasure::Euro, TChartGroup::Anni, from, to);
    EXPECT_EQ(years.Title, "Costo in €uro per anno");
    EXPECT_EQ(years.Points[1].Label, "2025");
    EXPECT_EQ(years.Points[1].Mark, "1,033");
    EXPECT_EQ(years.Totals.Pulses, 7);
    EXPECT_EQ(years.Totals.Description, "Periodo dal 1 gennaio 2025 al 31 dicembre 2026");

    // The range limits the groups.
    const TChartData march = ComputeChart(Log, TChartMeasure::Lire, TChartGroup::Mesi, At(2026, 1, 1), At(2026, 3, 31));
    ASSERT_EQ(march.Points.size(), 1u);
    EXPECT_EQ(march.Points[0].Value, 150);
}

TEST(StatsTexts, TotalHoursMonthColoursAndTheComparisonChoices)
{
    EXPECT_EQ(TotalHoursText(0), "0 sec");
    EXPECT_EQ(TotalHoursText(59 * OneSecond), "59 sec");
    EXPECT_EQ(TotalHoursText(61 * OneSecond), "1 min 1 sec");
    EXPECT_EQ(TotalHoursText(3600 * OneSecond), "1 h 0 min 0 sec");
    EXPECT_EQ(TotalHoursText(2.5 + 61 * OneSecond), "60 h 1 min 1 sec"); // days count as hours
    EXPECT_EQ(MonthColor(1), 0xFFFFFFu);
    EXPECT_EQ(MonthColor(11), InfoBackColor);
    EXPECT_EQ(MonthColor(12), 0x800000u);

    EXPECT_EQ(CheapReportChoices[0].TrayHintPause, 0);
    EXPECT_EQ(CheapReportChoices[6].TrayHintPause, -1);
    EXPECT_EQ(CheapReportChoiceOf(-1), 6u);
    EXPECT_EQ(CheapReportChoiceOf(0), 0u);
    EXPECT_EQ(CheapReportChoiceOf(15000), 2u);
    EXPECT_EQ(CheapReportChoiceOf(2000), 5u);
    EXPECT_EQ(CheapReportChoiceOf(6000), 4u); // a value no choice has: the nearest time
}

TEST(StatsTexts, TheValueAxisHasWholeStepsInItalianForms)
{
    const auto labels = [](const TChartScale& s) {
        std::vector<std::string> out;
        for (const TChartTick& t : s.Ticks)
            out.push_back(t.Label);
        return out;
    };
    const auto values = [](const TChartScale& s) {
        std::vector<double> out;
        for (const TChartTick& t : s.Ticks)
            out.push_back(t.Value);
        return out;
    };
    // Thousands with a dot; the top leaves room after the longest bar.
    TChartScale lire = ChartScale(TChartMeasure::Lire, 48824);
    EXPECT_EQ(labels(lire), (std::vector<std::string>{"0", "20.000", "40.000", "60.000"}));
    EXPECT_DOUBLE_EQ(lire.Top, 60000);
    // An empty chart: 0 and 1, never repeated labels of fractions.
    EXPECT_EQ(labels(ChartScale(TChartMeasure::Lire, 0)), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(labels(ChartScale(TChartMeasure::Tempo, 0)), (std::vector<std::string>{"0 sec", "1 sec"}));
    // Pulses never in fractions, however few.
    EXPECT_EQ(values(ChartScale(TChartMeasure::Scatti, 3)), (std::vector<double>{0, 1, 2, 3, 4}));
    // Euro: cents with a comma below one euro, whole euro above.
    EXPECT_EQ(labels(ChartScale(TChartMeasure::Euro, 0.9)), (std::vector<std::string>{"0,00", "0,50", "1,00", "1,50"}));
    EXPECT_EQ(labels(ChartScale(TChartMeasure::Euro, 332.65)),
              (std::vector<std::string>{"0", "100", "200", "300", "400"}));
    // Time in whole hours, or minutes when under two hours; Factor turns days into that unit.
    const TChartScale hours = ChartScale(TChartMeasure::Tempo, 10.0 / 24);
    EXPECT_EQ(labels(hours), (std::vector<std::string>{"0 h", "5 h", "10 h", "15 h"}));
    EXPECT_DOUBLE_EQ(hours.Factor, 24);
    const TChartScale minutes = ChartScale(TChartMeasure::Tempo, 30.0 / 1440);
    EXPECT_EQ(labels(minutes), (std::vector<std::string>{"0 min", "10 min", "20 min", "30 min", "40 min"}));
    EXPECT_DOUBLE_EQ(minutes.Factor, 1440);
    EXPECT_EQ(ChartScale(TChartMeasure::Tempo, 298.7 / 24).Ticks[1].Label, "100 h");
}

TEST_F(TStatsLog, DeletingAsksAndRefreshesTheListButNotTheTree)
{
    for (int i = 0; i < 5; ++i)
        Add(Log, At(2026, 3, 14, 8 + i), 60, 1, 100, "Uno");
    Add(Log, At(2026, 3, 15, 8), 60, 1, 100, "Uno");
    TStatistics stats(Ctx.Services, Log);
    stats.Options.Grafico = false;
    stats.Activate();
    ASSERT_EQ(stats.Rows().size(), 5u);
    EXPECT_FALSE(stats.ListMenu(0).Delete);
    EXPECT_TRUE(stats.ListMenu(0).DeleteAll);

    EXPECT_FALSE(stats.DeleteSelected({}));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Per eliminare i dati di una connessione bisogna selezionarla!");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    EXPECT_FALSE(stats.DeleteSelected({0, 2}));
    EXPECT_EQ(Log.Units().Count(), 6u);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(stats.DeleteSelected({0, 2}));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Eliminare gli elementi [2] selezionati?");
    EXPECT_EQ(Log.Units().Count(), 4u);
    EXPECT_TRUE(Log.Modified());
    ASSERT_EQ(stats.Rows().size(), 3u);
    EXPECT_DOUBLE_EQ(stats.Rows()[0]->I(), At(2026, 3, 14, 9));
    EXPECT_DOUBLE_EQ(stats.Rows()[1]->I(), At(2026, 3, 14, 11));
    EXPECT_TRUE(stats.ChartStale());
    // The tree keeps its totals until the next rebuild.
    EXPECT_EQ(stats.Tree().Nodes[static_cast<std::size_t>(stats.SelectedNode())].Data.Pulses, 5);

    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(stats.DeleteAll());
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Eliminare Connessioni del giorno sabato 14 marzo 2026?");
    EXPECT_EQ(Log.Units().Count(), 1u);
    EXPECT_TRUE(stats.Rows().empty());
    EXPECT_FALSE(stats.ListMenu(0).Print);
}

TEST_F(TStatsLog, ExportOfABranchAndImportAddEveryRecordAgain)
{
    TDiskContext disk(At(2026, 3, 14, 12));
    TDataUnits log(disk.Services);
    log.SetFileName(disk.Dir / "Connections.dat");
    Add(log, At(2026, 3, 13, 9), 60, 1, 100, "Uno");
    Add(log, At(2026, 3, 14, 9), 600, 2, 200, "Due");
    Add(log, At(2026, 3, 14, 10), 600, 3, 300.25, "Tre");
    TStatistics stats(disk.Services, log);
    EXPECT_EQ(stats.BranchExportName(), "");
    EXPECT_EQ(disk.Prompter.Shown.back().Text, "Per esportare le connessioni selezionare il ramo desiderato");
    stats.Options.Grafico = false;
    stats.Activate();
    EXPECT_EQ(stats.BranchExportName(), "Connessioni del giorno sabato 14 marzo 2026");
    ASSERT_TRUE(stats.ExportBranch(disk.Dir / "ramo.txt"));
    EXPECT_EQ(disk.Prompter.Shown.back().Text,
              "I dati di connessione sono stati esportati con successo in " + (disk.Dir / "ramo.txt"));
    const std::string text = ReadFile(disk.Dir / "ramo.txt");
    EXPECT_EQ(text.find("Uno"), std::string::npos);
    EXPECT_NE(text.find("300,25"), std::string::npos);

    // Importing the export adds both records again (no duplicate check), the header skipped; the
    // tree is rebuilt on today.
    ASSERT_TRUE(stats.Import(disk.Dir / "ramo.txt"));
    EXPECT_EQ(log.Units().Count(), 5u);
    EXPECT_EQ(stats.Rows().size(), 4u);
    EXPECT_EQ(disk.Prompter.Shown.back().Text, "Importate ben 2 connessioni!");

    // Five columns, no euro: the fifth is the name.
    WriteFile(disk.Dir / "cinque.txt", "14/03/2026 11:00:00\t14/03/2026 11:01:00\t1\t10\tQuattro\r\n");
    ASSERT_TRUE(stats.Import(disk.Dir / "cinque.txt"));
    EXPECT_EQ(stats.Rows().back()->N(), "Quattro");

    // Three good and three bad lines: the error counts 3 of 3 and nothing is added.
    std::string mixed;
    for (int i = 0; i < 3; ++i)
        mixed += "14/03/2026 12:0" + std::to_string(i) + ":00\t14/03/2026 12:0" + std::to_string(i) +
                 ":30\t1\t10\tX\r\nnon una riga\r\n";
    WriteFile(disk.Dir / "misto.txt", mixed);
    EXPECT_FALSE(stats.Import(disk.Dir / "misto.txt"));
    EXPECT_EQ(disk.Prompter.Shown.back().Text, "Non è stato possibile importare ben 3 connessioni su 3!");
    EXPECT_EQ(log.Units().Count(), 6u);
}

TEST_F(TStatsLog, ViewsMenusAndTheRegistryValues)
{
    Add(Log, At(2026, 3, 14, 9), 600, 2, 200, "Due");
    Ctx.Registry.RegWriteInteger(TStatsOptions::Section, "GraficoX", 2);
    Ctx.Registry.RegWriteInteger(TStatsOptions::Section, "GraficoY", 3);
    Ctx.Registry.RegWriteFloat(TStatsOptions::Section, "DataInizialeStatistic", At(2026, 1, 1));
    TStatistics stats(Ctx.Services, Log);
    stats.Options.LoadLayout(Ctx.Registry);
    EXPECT_TRUE(stats.Options.Grafico);
    int refreshed = 0;
    stats.OnChartRefreshed = [&] { ++refreshed; };
    stats.Activate();
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(stats.Measure(), TChartMeasure::Tempo);
    EXPECT_EQ(stats.Group(), TChartGroup::Mesi);
    EXPECT_DOUBLE_EQ(stats.RangeFrom(), At(2026, 1, 1));
    EXPECT_DOUBLE_EQ(stats.RangeTo(), At(2026, 3, 14) + EncodeTime(23, 59, 59, 999));
    EXPECT_EQ(stats.Chart().Title, "Tempo di collegamento per mese");

    // The checked item again does nothing; another item recomputes; the details view switches back.
    stats.ChooseGroup(TChartGroup::Mesi);
    EXPECT_EQ(refreshed, 1);
    stats.SetChartView(false);
    stats.ChooseMeasure(TChartMeasure::Scatti);
    EXPECT_TRUE(stats.ChartView());
    EXPECT_EQ(refreshed, 2);
    stats.SetRange(At(2026, 2, 1), At(2026, 3, 31));
    EXPECT_EQ(refreshed, 3);

    stats.Options.ColumnWidths["Tipo"] = 150;
    stats.Options.Save(Ctx.Registry);
    TStatsOptions again;
    again.LoadLayout(Ctx.Registry);
    again.LoadChoices(Ctx.Registry);
    EXPECT_EQ(again.GraficoX, 3);
    EXPECT_EQ(again.GraficoY, 3);
    EXPECT_DOUBLE_EQ(again.DataIniziale, At(2026, 2, 1));
    EXPECT_EQ(again.ColumnWidths["Tipo"], 150);
    // Unreadable values fall back.
    Ctx.Registry.RegWriteString(TStatsOptions::Section, "GraficoY", "9");
    Ctx.Registry.RegWriteString(TStatsOptions::Section, "DataInizialeStatistic", "rotto");
    again.LoadChoices(Ctx.Registry);
    EXPECT_EQ(again.GraficoY, 2);
    EXPECT_EQ(again.DataIniziale, 0);

    // Printing: the chart when shown; the details need a node.
    EXPECT_EQ(stats.PrintShown().Kind, TPrintRequest::Chart);
    TStatistics empty(Ctx.Services, Log);
    empty.Options.Grafico = false;
    EXPECT_EQ(empty.PrintShown().Kind, TPrintRequest::None);
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Per stampare i dettagli selezionare il ramo desiderato");
}

TEST_F(TStatsLog, TheRangeCoversWholeDaysAndAFirstOpeningKeepsItsStart)
{
    // The clock says 14 March, 12:00; a connection was logged this morning and one tonight at 23:59:59.5.
    Add(Log, At(2026, 3, 14, 8), 600, 2, 200, "Mattina");
    Add(Log, At(2026, 3, 14, 23, 59, 59, 500), 60, 1, 100, "Notte");
    Add(Log, At(2026, 3, 15, 0, 0, 1), 60, 1, 100, "Domani");
    Ctx.Registry.RegWriteInteger(TStatsOptions::Section, "GraficoY", 1); // one bar per connection
    TStatistics stats(Ctx.Services, Log);
    stats.Options.LoadLayout(Ctx.Registry);
    stats.Activate();
    EXPECT_DOUBLE_EQ(stats.RangeFrom(), At(2026, 3, 14));
    ASSERT_EQ(stats.Chart().Points.size(), 2u) << "today's two connections, not tomorrow's";
    EXPECT_EQ(stats.Chart().Totals.Description, "Periodo dal 14 marzo 2026 al 14 marzo 2026");

    // The start shown is stored, so the next opening (a day later) keeps it.
    stats.Options.Save(Ctx.Registry);
    TStatsOptions stored;
    stored.LoadChoices(Ctx.Registry);
    EXPECT_DOUBLE_EQ(stored.DataIniziale, At(2026, 3, 14));

    // Pickers set to a moment of a day (as a date editor does) still cover the whole day; an end
    // before the start is the start's day.
    stats.SetRange(At(2026, 3, 14, 15), At(2026, 3, 14, 9));
    EXPECT_EQ(stats.Chart().Points.size(), 2u);
    stats.SetRange(At(2026, 3, 14, 15), At(2026, 3, 15, 0));
    EXPECT_EQ(stats.Chart().Points.size(), 3u);
}

struct TConnectionDialogTest : TDefaultTariffs
{
    TConnectionDialogTest() : TDefaultTariffs(At(2026, 3, 14, 12)) { Log.SetFileName("Connections.dat"); }
    TDataUnits Log{Ctx.Services};
    TRecordingSounds Sounds;
};

TEST_F(TConnectionDialogTest, InsertChecksTheFieldsAndKeepsTheLogOrdered)
{
    TTaxItem* current = &Taxes.Taxs()[0];
    TConnectionDialog dlg(Ctx.Services, Log, Taxes, current, &Sounds);
    EXPECT_EQ(dlg.Caption(), "Inserimento dati della connessione");
    EXPECT_EQ(dlg.PriceHint(), "Calcola la spesa in base alla tariffa: " + current->DisplayName());
    EXPECT_DOUBLE_EQ(dlg.Start(), At(2026, 3, 14, 12));
    TField pulses(""), cost("");
    EXPECT_FALSE(dlg.Accept(pulses, cost));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text,
              "I dati non sono corretti!\r\rI seguenti campi sono obbligatori: \r- Scatti\r- Spesa £");
    EXPECT_TRUE(pulses.Focused);
    dlg.Pulses = pulses.Value = "3";
    dlg.Cost = cost.Value = "1500,5";
    dlg.EndDate = dlg.StartDate - 1;
    EXPECT_FALSE(dlg.Accept(pulses, cost));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "I dati non sono corretti!\r\rL'intervallo specificato è incongruente");
    dlg.EndDate = dlg.StartDate;
    dlg.StartTime = EncodeTime(9, 0, 0, 0);
    dlg.EndTime = EncodeTime(9, 30, 0, 0);
    dlg.Name = "A mano";
    ASSERT_TRUE(dlg.Accept(pulses, cost));
    ASSERT_EQ(Log.Units().Count(), 1u);
    EXPECT_FALSE(Log.Modified()); // saved at once
    EXPECT_EQ(Log.Units()[0].N(), "A mano");
    EXPECT_DOUBLE_EQ(Log.Units()[0].L(), 1500.5);
    EXPECT_EQ(Log.Units()[0].Y(), 0);
}

TEST_F(TConnectionDialogTest, EditingTheStartToAnotherDayMovesTheRecordAndSelectsThatDay)
{
    Add(Log, At(2026, 3, 10, 9), 60, 1, 100, "A");
    Add(Log, At(2026, 3, 12, 9), 60, 1, 100, "B");
    Add(Log, At(2026, 3, 14, 9), 60, 1, 100, "C");
    TStatistics stats(Ctx.Services, Log);
    stats.Options.Grafico = false;
    stats.Activate();
    TDataUnitsItem* c = stats.Rows()[0];
    TConnectionDialog dlg(Ctx.Services, Log, Taxes, &Taxes.Taxs()[0], &Sounds, c);
    EXPECT_EQ(dlg.Caption(), "Connessione di sabato 14 marzo 2026 9:00:00");
    EXPECT_EQ(dlg.Cost, "100,000");
    dlg.StartDate = dlg.EndDate = At(2026, 3, 11);
    TField pulses(dlg.Pulses), cost(dlg.Cost);
    ASSERT_TRUE(dlg.Accept(pulses, cost));
    stats.ConnectionEdited(dlg.AcceptedStart());
    EXPECT_EQ(Log.Units()[1].N(), "C");
    EXPECT_EQ(stats.Tree().Nodes[static_cast<std::size_t>(stats.SelectedNode())].Data.Text, "11 (mercoledì)");
    ASSERT_EQ(stats.Rows().size(), 1u);
    EXPECT_EQ(stats.Rows()[0]->N(), "C");
    EXPECT_TRUE(stats.ChartStale());
}

TEST_F(TConnectionDialogTest, PricingWithAnyTariffAndComparingAllOfThem)
{
    TTaxItem& current = Taxes.Taxs()[0];
    TConnectionDialog dlg(Ctx.Services, Log, Taxes, &current, &Sounds);
    dlg.EndDate = dlg.StartDate - 1;
    EXPECT_FALSE(dlg.Price());
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "L'intervallo specificato non è corretto!");
    EXPECT_FALSE(dlg.Compare());

    dlg.StartDate = dlg.EndDate = At(2026, 3, 10);
    dlg.StartTime = EncodeTime(9, 0, 0, 0);
    dlg.EndTime = EncodeTime(11, 0, 0, 0);
    std::vector<bool> bold;
    int running = 0;
    dlg.OnPricing = [&](bool b) { bold.push_back(b); };
    dlg.OnRunningCost = [&](std::int64_t) { ++running; };
    TTaxItem& other = Taxes.Taxs()[Taxes.Taxs().Count() - 1];
    ASSERT_TRUE(dlg.Price(&other));
    const auto expected = other.ComputeCost(dlg.Start(), dlg.End());
    EXPECT_EQ(dlg.Pulses, std::to_string(expected.Pulses));
    EXPECT_EQ(dlg.Cost, TConnectionDialog::CostText(expected.Cost));
    EXPECT_EQ(bold, (std::vector<bool>{true, false}));
    EXPECT_EQ(Sounds.Played.back(), "Laser");
    EXPECT_TRUE(dlg.Modified);

    std::vector<std::pair<std::string, int>> steps;
    int shown = 0, closed = 0;
    dlg.OnWaitShow = [&] { ++shown; };
    dlg.OnWaitClose = [&] { ++closed; };
    dlg.OnWaitUpdate = [&](const std::string& t, int p) { steps.emplace_back(t, p); };
    ASSERT_TRUE(dlg.Compare());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(steps.front(), std::make_pair(std::string("Calcolo dei costi delle tariffe..."), 0));
    EXPECT_EQ(steps.back(), std::make_pair(std::string("Calcolo dei costi terminato"), -1));
    EXPECT_GT(steps.size(), 3u);
    const std::string& answer = Ctx.Prompter.Shown.back().Text;
    const std::string compare = Taxes.CompareTaxes(dlg.Start(), dlg.End(), current.ComputeCost(dlg.Start(), dlg.End()).Cost);
    if (compare.empty())
        EXPECT_EQ(answer, "Bene! La tariffa " + current.DisplayName() + " è quella più conveniente! ;)");
    else
        EXPECT_EQ(answer, "La tariffa " + current.DisplayName() + " non è la più conveniente!\r\r" + compare);

    // Annulla stops the comparison after the tariff being priced.
    std::size_t calls = 0;
    dlg.OnWaitUpdate = [&](const std::string&, int) {
        if (++calls == 2)
            dlg.CancelRequested = true;
    };
    ASSERT_TRUE(dlg.Compare());
    EXPECT_LT(calls, steps.size());
}

TEST_F(TStatsLog, DetailsReportRowsStylesAndPages)
{
    Add(Log, At(2025, 12, 31, 10), 600, 3, 1500, "Uno");
    Add(Log, At(2026, 3, 14, 9, 5), 65, 2, 1000, "Due");
    TStatistics stats(Ctx.Services, Log);
    stats.Options.Grafico = false;
    stats.Activate();
    stats.ShowBranch(0);
    const TPrintRequest all = stats.PrintShown();
    ASSERT_EQ(all.Kind, TPrintRequest::Details);
    const auto rows = DetailsRows(all.Elements);
    // The root, each year, its months and their days, no connection.
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0].Columns[0], "Tutte le connessioni");
    EXPECT_EQ(rows[0].Columns[2], "2.500");
    EXPECT_EQ(rows[0].Columns[4], "11 min 5 sec");
    EXPECT_EQ(rows[1].Columns[0], "Connessioni dell'anno 2025");
    EXPECT_EQ(rows[3].Columns[0], "Connessioni del giorno mercoledì 31 dicembre 2025");
    for (const auto& r : rows)
        EXPECT_TRUE(r.Node);
    EXPECT_EQ(LevelStyle(0).Style, rfBoldItalic);
    EXPECT_EQ(LevelStyle(0).BandHeight, 35);
    EXPECT_EQ(LevelStyle(2).Indent, 16);

    // The list prints its connections with the style of the node row printed before.
    stats.ShowBranch(stats.Tree().Nodes[0].Children[1]);
    std::vector<TPrintRequest::TElement> mixed{{&stats.Tree().Nodes[1].Data, nullptr}};
    for (const auto& e : stats.PrintList().Elements)
        mixed.push_back(e);
    const auto listed = DetailsRows(mixed);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].Columns[0], "[Due] 14 mar 2026 dalle 9:05:00 alle 9:06:05");
    EXPECT_EQ(listed[1].Columns[4], "1 min 5 sec");
    EXPECT_EQ(listed[1].Level, 1);
    EXPECT_FALSE(listed[1].Node);

    TTextCanvas canvas;
    EXPECT_EQ(RenderDetailsReport(canvas, rows, Ctx.Time.Now()), 1);
    EXPECT_TRUE(canvas.Has(0, "Dettagli delle connessioni"));
    EXPECT_TRUE(canvas.Has(0, "Quorvanta"));
    EXPECT_TRUE(canvas.Has(0, "Pagina 1"));
    EXPECT_TRUE(canvas.Has(0, "14/03/2026 12:00:00"));
    EXPECT_TRUE(canvas.Has(0, "Durata"));
    // Descriptions have the room the numbers leave: a day's is printed whole, with its year.
    EXPECT_TRUE(canvas.Has(0, "Connessioni del giorno mercoledì 31 dicembre 2025"));
    EXPECT_TRUE(canvas.WithinMargins());

    // An empty list prints the frame alone; many rows go over several pages, each with its number.
    TTextCanvas empty;
    EXPECT_EQ(RenderDetailsReport(empty, {}, Ctx.Time.Now()), 1);
    EXPECT_TRUE(empty.Has(0, "Pagina 1"));
    std::vector<TDetailsRow> many(200, listed[1]);
    TTextCanvas long_;
    const int pages = RenderDetailsReport(long_, many, Ctx.Time.Now());
    EXPECT_GE(pages, 4);
    EXPECT_TRUE(long_.Has(static_cast<std::size_t>(pages - 1), "Pagina " + std::to_string(pages)));
    for (const auto& page : long_.Pages)
        for (const auto& item : page)
            EXPECT_LE(item.Top, A4LongSide - ReportMargin);
    // A description longer than its column is cut with "...".
    TDetailsRow wide = listed[1];
    wide.Columns[0] = std::string(300, 'x');
    TTextCanvas cut;
    RenderDetailsReport(cut, {wide}, Ctx.Time.Now());
    bool found = false;
    for (const auto& item : cut.Pages[0])
        if (item.Text.rfind("xxx", 0) == 0) {
            found = true;
            EXPECT_EQ(item.Text.substr(item.Text.size() - 3), "...");
            EXPECT_LT(item.Text.size(), 120u);
        }
    EXPECT_TRUE(found);
}

TEST_F(TStatsLog, ChartReportAndThePdfWriter)
{
    Add(Log, At(2026, 1, 14, 9), 600, 2, 200, "Due");
    Add(Log, At(2026, 3, 14, 9), 600, 2, 300, "Due");
    const TChartData chart = ComputeChart(Log, TChartMeasure::Lire, TChartGroup::Mesi, At(2026, 1, 1), At(2026, 3, 31));
    const auto totals = TotalsTexts(chart.Totals, std::nullopt);
    EXPECT_EQ(ObservationLine(totals), "Intervallo di osservazione: Periodo dal 1 gennaio 2026 al 31 marzo 2026 "
                                       "£ire 500 €uro 0,258 Tempo totale 20 min 0 sec Scatti 4");
    TTextCanvas canvas(true);
    EXPECT_EQ(RenderChartReport(canvas, chart, totals, true, Ctx.Time.Now()), 1);
    EXPECT_TRUE(canvas.Has(0, "Costo in £ire per mese"));
    EXPECT_TRUE(canvas.Has(0, ObservationLine(totals)));
    EXPECT_TRUE(canvas.Has(0, "gennaio 2026"));
    // The bars in the window's order: January on top, then March.
    EXPECT_EQ(canvas.Bars, (std::vector<std::uint32_t>{0xFFFFFF, 0x0000FF}));
    EXPECT_TRUE(canvas.WithinMargins());
    // A year of months fills the page's height rather than its top; long marks stay inside the margin.
    TChartData year = chart;
    year.Points.resize(12, chart.Points[0]);
    TTextCanvas months(true);
    EXPECT_EQ(RenderChartReport(months, year, totals, false, Ctx.Time.Now()), 1);
    EXPECT_GT(months.BarsBottom, A4ShortSide * 0.75);
    const TChartData hours = ComputeChart(Log, TChartMeasure::Tempo, TChartGroup::Connessioni, At(2026, 1, 1),
                                          At(2026, 3, 31));
    TChartData longest = hours;
    longest.Points[0].Mark = ChartMark(TChartMeasure::Tempo, 1 + 79.99 / 1440);
    longest.Points[0].Value = 2;
    TTextCanvas marks(true);
    RenderChartReport(marks, longest, totals, false, Ctx.Time.Now());
    EXPECT_TRUE(marks.Has(0, "1 giorno 1 h 19 min 59 sec"));
    EXPECT_TRUE(marks.WithinMargins());

    TPdfCanvas pdf(A4LongSide, A4ShortSide);
    RenderChartReport(pdf, chart, totals, false, Ctx.Time.Now());
    const std::string doc = pdf.Document();
    EXPECT_EQ(doc.rfind("%PDF-1.4", 0), 0u);
    EXPECT_NE(doc.find("(Costo in \xA3ire per mese) Tj"), std::string::npos); // Windows code page
    EXPECT_NE(doc.find("/Count 1"), std::string::npos);
    // The cross-reference table points at each object.
    const std::size_t xref = std::stoul(doc.substr(doc.rfind("startxref") + 10));
    EXPECT_EQ(doc.compare(xref, 4, "xref"), 0);
    const std::size_t free = doc.find("0000000000 65535 f \n", xref);
    ASSERT_NE(free, std::string::npos);
    const std::size_t first = std::stoul(doc.substr(free + 20, 10));
    EXPECT_EQ(doc.compare(first, 7, "1 0 obj"), 0);
    EXPECT_NE(TPdfCanvas(10, 10).Document().find("/Count 1"), std::string::npos); // never a document without pages
    TPdfCanvas escaped(100, 100);
    escaped.Text(0, 0, "a (b) \\", 9, rfNormal, 0);
    EXPECT_NE(escaped.Document().find("(a \\(b\\) \\\\) Tj"), std::string::npos);
}
