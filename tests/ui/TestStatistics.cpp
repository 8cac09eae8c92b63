// The statistics window on real data files, offscreen: it opens on today's connections, deletes
// with the Delete key, draws the chart of the months, inserts a connection through its dialog,
// keeps its choices; both reports written as PDF read back with pdftotext.
#include "QtServices.h"
#include "app/DataModule.h"
#include "core/DateTime.h"
#include "ui/TfmDialogCheapReport.h"
#include "ui/TfmDialogDettagli.h"
#include "ui/TfmStatistiche.h"

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv;

namespace {

struct TProgram : qv::test::TQtServices
{
    explicit TProgram(const QString& folder) : TQtServices(folder)
    {
        data = std::make_unique<TDataModule>(services);
        data->LoadAll();
        data->Status.SetProfile(&data->Settings.Profiles()[0]);
        const double today = static_cast<double>(DayNumber(clock.Now()));
        for (int i = 0; i < 3; ++i)
            data->Connections.AddSimple(2 + i, "Provider Uno", 250.0 * (i + 1), today + (8 + i) / 24.0 + 0.01,
                                        today + (8 + i) / 24.0);
        for (int i = 0; i < 2; ++i)
            data->Connections.AddSimple(1, "Provider Due", 127, today - 40 + i + 0.51, today - 40 + i + 0.5);
        data->Connections.Save();
    }
    ~TProgram() { data->SaveAllModified(); }
    std::unique_ptr<TDataModule> data;
};

QString PdfText(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT
private slots:
    void opensOnTodayDeletesAndDrawsTheMonths()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        p.registry.RegWriteBool(TStatsOptions::Section, "Grafico", false);
        {
            TfmStatistiche w(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(w.tbDettagli->isChecked());
            // Today's day node is selected and its three connections are listed.
            QVERIFY(w.tvTree->currentItem());
            QVERIFY(w.tvTree->currentItem()->text(0).startsWith(QString::number(DecodeDate(p.clock.Now()).Day) + " ("));
            QCOMPARE(w.ListModel->rowCount(), 3);
            QVERIFY(w.Panels[0]->text().endsWith(QStringLiteral("[3]")));
            QCOMPARE(w.Panels[4]->text(), QStringLiteral("Scatti 9"));
            QCOMPARE(w.ListModel->data(w.ListModel->index(0, 7), Qt::DisplayRole).toString(), QStringLiteral("Provider Uno"));
            QCOMPARE(w.ListModel->data(w.ListModel->index(0, 8), Qt::DisplayRole).toString(), QStringLiteral("sconosciuto"));

            // The Delete key with two rows selected, answered Yes.
            w.lvList->setFocus();
            w.lvList->selectionModel()->select(w.ListModel->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            w.lvList->selectionModel()->select(w.ListModel->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            p.prompter.SetNextAnswer(TModalResult::mrYes);
            QTest::keyClick(w.lvList, Qt::Key_Delete);
            QCOMPARE(p.prompter.Shown.back().Text, std::string("Eliminare gli elementi [2] selezionati?"));
            QCOMPARE(p.data->Connections.Units().Count(), std::size_t(3));
            QCOMPARE(w.ListModel->rowCount(), 1);

            // The chart by month: two bars (today's month and the month 40 days ago, or one when both
            // fall in the same month) with their marks.
            w.acRaggruppa[3]->trigger();
            QVERIFY(w.tbGrafico->isChecked());
            QCOMPARE(w.chChart->chart()->title(), QStringLiteral("Costo in £ire per mese"));
            QCOMPARE(w.chChart->chart()->series().size(), 1);
            auto* axis = qobject_cast<QBarCategoryAxis*>(w.chChart->chart()->axes(Qt::Vertical).value(0));
            QVERIFY(axis);
            QCOMPARE(axis->count(), static_cast<int>(w.Stats().Chart().Points.size()));
            QVERIFY(w.Panels[0]->text().contains(QStringLiteral("Periodo dal")));
            w.acLeggenda->setChecked(true);
            QVERIFY(w.chChart->chart()->legend()->isVisible());
            w.close();
        }
        // Closing kept the view, the grouping and the legend.
        QCOMPARE(p.registry.RegReadBool(TStatsOptions::Section, "Grafico", false), true);
        QCOMPARE(p.registry.RegReadInteger(TStatsOptions::Section, "GraficoY", 0), 3);
        QCOMPARE(p.registry.RegReadBool(TStatsOptions::Section, "Legend", false), true);
    }

    // The data plans' traffic as a measure: remembered like the others, grouped by plan and cycle
    // (the grouping's words follow), with the note of the time not watched.
    void theVolumeMeasureChartsThePlansTraffic()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TDataPlan plan;
        plan.Name = "SIM";
        plan.Interface = "wwan0";
        plan.Allowance = 10000000000;
        p.data->Plans.StorePlan(plan);
        TPlanUsage usage;
        usage.Add("SIM", p.clock.Now(), 3000000000, 0);
        usage.AddWatched(p.clock.Now() - 1.0 / 24, p.clock.Now());
        p.data->Plans.StoreUsage(usage);
        {
            TfmStatistiche w(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.acMisura[static_cast<std::size_t>(TChartMeasure::Volume)]->trigger();
            w.acRaggruppa[0]->trigger();
            QCOMPARE(w.acRaggruppa[0]->text(), QStringLiteral("&Piani"));
            QCOMPARE(w.acRaggruppa[1]->text(), QStringLiteral("&Cicli"));
            QCOMPARE(w.Stats().Chart().Points.size(), std::size_t(1));
            QCOMPARE(w.Stats().Chart().Points[0].Mark, std::string("3,00 GB"));
            QVERIFY(w.chChart->chart()->title().contains(QStringLiteral("Volume di traffico per piano")));
            // Watched for an hour today: the rest of today was not.
            if (p.clock.Now() - std::floor(p.clock.Now()) > 1.0 / 24 + 0.001)
                QVERIFY(w.chChart->chart()->title().contains(QStringLiteral("Traffico non contato")));
            w.acMisura[0]->trigger();
            QCOMPARE(w.acRaggruppa[0]->text(), QStringLiteral("&Tipi"));
            w.acMisura[static_cast<std::size_t>(TChartMeasure::Volume)]->trigger();
            w.close(); // the choices are kept when the window closes
        }
        TfmStatistiche again(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.Stats().Measure(), TChartMeasure::Volume);
    }

    void theChartCoversTodayKeepsItsTitleAndFollowsTheLog()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        p.registry.RegWriteInteger(TStatsOptions::Section, "GraficoY", 1); // a bar per connection
        TfmStatistiche w(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // No start stored: the window opens on today, and today's three connections are charted
        // whatever the hour.
        QCOMPARE(w.CalendInizio->date(), QDate::currentDate());
        QCOMPARE(w.CalendFine->date(), QDate::currentDate());
        QCOMPARE(w.Stats().Chart().Points.size(), std::size_t(3));
        QCOMPARE(w.chChart->chart()->axes(Qt::Vertical).value(0)->property("count").toInt(), 3);

        // The title keeps its size through any number of refreshes.
        const QFont title = w.chChart->chart()->titleFont();
        for (int i = 0; i < 4; ++i)
            w.acRaggruppa[static_cast<std::size_t>(i % 2 ? 2 : 3)]->trigger();
        QCOMPARE(w.chChart->chart()->titleFont(), title);
        w.acRaggruppa[1]->trigger();
        // Only the last chart's two axes are drawn.
        QCOMPARE(w.chChart->chart()->axes().size(), 2);
        QTest::qWait(50); // the chart lets go of its old items later
        const auto sceneItems = w.chChart->scene()->items().size();

        w.acRaggruppa[3]->trigger();
        w.acRaggruppa[1]->trigger();
        QTest::qWait(50);
        QCOMPARE(w.chChart->scene()->items().size(), sceneItems);

        // The value axis reads in Italian forms: whole steps, dots between thousands.
        auto* values = qobject_cast<QCategoryAxis*>(w.chChart->chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(values);
        const TChartScale scale = ChartScale(w.Stats().Measure(), 750);
        QCOMPARE(values->categoriesLabels().size(), static_cast<qsizetype>(scale.Ticks.size()));
        QCOMPARE(values->categoriesLabels().last(), QString::fromStdString(scale.Ticks.back().Label));

        // A connection logged while the window is open shows at once, in the chart and the details.
        const double today = static_cast<double>(DayNumber(p.clock.Now()));
        p.data->Connections.AddSimple(1, "Provider Tre", 127, today + 0.62, today + 0.6);
        w.LogChanged();
        QCOMPARE(w.Stats().Chart().Points.size(), std::size_t(4));
        w.tbDettagli->trigger();
        QVERIFY(w.Panels[0]->text().endsWith(QStringLiteral("[4]")));
        QCOMPARE(w.ListModel->rowCount(), 4);
    }

    void theInsertDialogAddsAConnectionAndSelectsItsDay()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        p.registry.RegWriteBool(TStatsOptions::Section, "Grafico", false);
        TfmStatistiche w(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        bool opened = false;
        w.NewConnection([&](QDialog& d) {
            opened = true;
            auto& dialog = static_cast<TfmDialogInsDettagli&>(d);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Inserimento dati della connessione"));
            QVERIFY(!dialog.btOk->isEnabled());
            const QDate day = QDate::currentDate().addDays(-3);
            dialog.dtInizio->setDate(day);
            dialog.dtFine->setDate(day);
            dialog.tmInizio->setTime(QTime(9, 0));
            dialog.tmFine->setTime(QTime(9, 30));
            // "..." prices the half hour with the current tariff.
            dialog.btCalcola->click();
            QVERIFY(!dialog.edScatti->text().isEmpty());
            QVERIFY(dialog.edSpesa->text().contains(QLatin1Char(',')));
            QVERIFY(dialog.btOk->isEnabled());
            dialog.edConnessione->setText(QStringLiteral("A mano"));
            dialog.btOk->click();
        });
        QVERIFY(opened);
        QCOMPARE(p.data->Connections.Units().Count(), std::size_t(6));
        QCOMPARE(w.ListModel->rowCount(), 1);
        QCOMPARE(w.ListModel->data(w.ListModel->index(0, 7), Qt::DisplayRole).toString(), QStringLiteral("A mano"));
        QCOMPARE(w.ListModel->data(w.ListModel->index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("9:00:00"));
    }

    void reportsAsPdfAndNoPrinter()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext is missing: make deps installs poppler-utils");
        QTemporaryDir dir;
        TProgram p(dir.path());
        p.registry.RegWriteBool(TStatsOptions::Section, "Grafico", false);
        TfmStatistiche w(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The root node: the root, each year, month and day with their totals, no connection row.
        w.Stats().ShowBranch(0);
        const QString details = dir.filePath(QStringLiteral("dettagli.pdf"));
        QVERIFY(w.SavePdf(w.Stats().PrintShown(), details));
        const QString text = PdfText(details);
        QVERIFY2(text.contains(QStringLiteral("Dettagli delle connessioni")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Pagina 1")));
        QVERIFY(text.contains(QStringLiteral("Tutte le connessioni")));
        QVERIFY(text.contains(QStringLiteral("Connessioni dell'anno")));
        QVERIFY(text.contains(QStringLiteral("Connessioni del giorno")));
        QVERIFY(!text.contains(QStringLiteral("[Provider")));
        // The list prints its connections.
        const QString list = dir.filePath(QStringLiteral("lista.pdf"));
        QVERIFY(w.SavePdf(w.Stats().PrintList(), list));
        QVERIFY(PdfText(list).contains(QStringLiteral("[Provider Due]")));

        w.tbGrafico->trigger();
        const QString chart = dir.filePath(QStringLiteral("grafico.pdf"));
        w.SavePdfShown(chart);
        const QString chartText = PdfText(chart);
        QVERIFY2(chartText.contains(QString::fromStdString(w.Stats().Chart().Title)), qPrintable(chartText));
        QVERIFY(chartText.contains(QStringLiteral("Intervallo di osservazione:")));
        QVERIFY(chartText.contains(QStringLiteral("Pagina 1")));

        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this machine has a printer");
        w.acStampa->trigger();
        QCOMPARE(p.prompter.Shown.back().Text, std::string("Uhmmm.... sei sicuro di avere una stampante installata?"));
    }

    void endReasonsBudgetAndRepricingOfTheRange()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        p.registry.RegWriteBool(TStatsOptions::Section, "Grafico", false);
        const double today = static_cast<double>(DayNumber(p.clock.Now()));
        p.data->Budgets.AddEnd(today + 8 / 24.0, erIdle);
        TfmStatistiche w(p.services, *p.data, [&p] { return &p.data->Taxations.Taxs()[0]; }, {});
        w.BudgetText = [] { return std::string("Budget: £ 1.750 di £ 60.000 (2%), previsti £ 6.000"); };
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.ListModel->columnCount(), 13);
        QCOMPARE(w.ListModel->headerData(12, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Fine"));
        QCOMPARE(w.ListModel->data(w.ListModel->index(0, 12), Qt::DisplayRole).toString(), QStringLiteral("linea inattiva"));
        QCOMPARE(w.ListModel->data(w.ListModel->index(1, 12), Qt::DisplayRole).toString(), QString());
        QCOMPARE(w.lbBudget->text(), QStringLiteral("Budget: £ 1.750 di £ 60.000 (2%), previsti £ 6.000"));

        // The chart's range, repriced on a worker while the window stays responsive.
        w.CalendInizio->setDateTime(QDateTime::currentDateTime().addDays(-60));
        w.CalendFine->setDateTime(QDateTime::currentDateTime().addDays(1)); // today's connections lie ahead
        std::optional<TRepricingResult> result;
        w.Reprice([&result](const TRepricingResult& r) { result = r; });
        QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
        QCOMPARE(result->Connections, std::size_t(5));
        QCOMPARE(result->Rows.size(), p.data->Taxations.Taxs().Count());
        QVERIFY(!result->Cancelled);
    }

    void theComparisonSettingsSetTheProfile()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TProfileItem& profile = p.data->Settings.Profiles()[0];
        profile.SetTrayHintPause(-1);
        {
            TfmDialogCheapReport dialog(p.clock, profile, CheapReportHint("Provider Uno", "Wind - Urbana 12 lire"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Impostazioni confronto delle tariffe"));
            QVERIFY(dialog.rbChoices[6]->isChecked());
            QCOMPARE(dialog.Tray->toolTip(),
                     QStringLiteral("Maledizione non hai scelto la tariffa più conveniente con la connessione "
                                    "Provider Uno\nWind - Urbana 12 lire"));
            QVERIFY(dialog.lbOrologio->text().contains(QLatin1Char(':')));
            dialog.rbChoices[2]->setChecked(true);
            dialog.cbSanto->setChecked(true);
            dialog.findChild<QDialogButtonBox*>()->buttons().first()->click();
        }
        QCOMPARE(profile.TrayHintPause(), 15000);
        QVERIFY(profile.SanctiOff());
    }
};

QTEST_MAIN(TestStatistics)
#include "TestStatistics.moc"
