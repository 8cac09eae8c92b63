// The settings window on real data files, offscreen: an entry's tariff and a holiday changed and
// kept, a new tariff with bands painted in the band editor, Annulla putting everything back.
#include "QtServices.h"
#include "app/DataModule.h"
#include "core/DateTime.h"
#include "platform/sim/SimDialUp.h"
#include "ui/SettingsPagesUi.h"
#include "ui/TfmFasce.h"
#include "ui/TfmImpostazioni.h"
#include "ui/Icons.h"
#include "ui/TfmTariffa.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv;

namespace {

// The program's data in a temporary folder, with the simulated phone book.
struct TProgram : qv::test::TQtServices
{
    explicit TProgram(const QString& folder) : TQtServices(folder)
    {
        sim.AddDemoEntries();
        data = std::make_unique<TDataModule>(services, nullptr, &sim);
        data->LoadAll();
        data->Status.SetProfile(&data->Settings.Profiles()[0]);
    }
    ~TProgram() { data->SaveAllModified(); }
    TSimDialUp sim{clock, timers};
    std::unique_ptr<TDataModule> data;
};

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT
private slots:
    void anEntrysTariffAndAHolidayAreKept()
    {
        QTemporaryDir dir;
        {
            TProgram p(dir.path());
            TfmImpostazioni window(p.services, *p.data);
            AddStandardPages(window, p.services, *p.data);
            bool closed = false;
            window.OnClosed = [&closed] { closed = true; };
            window.show();
            QCOMPARE(window.lbPagine->count(), 11);
            QCOMPARE(window.lbPagine->item(0)->text(), QStringLiteral("Generale"));

            window.ShowPage(QStringLiteral("Connessioni"));
            auto* entries = qobject_cast<TpgConnessioni*>(window.Page(QStringLiteral("Connessioni")));
            QVERIFY(entries);
            const auto found = entries->lbConnessioni->findItems(QStringLiteral("Provider Uno"), Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            entries->lbConnessioni->setCurrentItem(found[0]);
            entries->cbTariffa->setCurrentText(QStringLiteral("Wind - Urbana"));
            QCOMPARE(entries->cbTariffa->currentText(), QStringLiteral("Wind - Urbana"));
            // A retry time that is no whole number keeps the window open on its page.
            entries->edRetryTime->setText(QStringLiteral("nove"));
            window.btOk->click();
            QVERIFY(window.isVisible());
            QCOMPARE(p.prompter.Shown.back().Text,
                     std::string("I dati non sono corretti \r\rControllare il campo Richiamata su occupato"));
            entries->edRetryTime->setText(QStringLiteral("15"));

            window.ShowPage(QStringLiteral("Calendario"));
            auto* calendar = qobject_cast<TpgCalendario*>(window.Page(QStringLiteral("Calendario")));
            QVERIFY(calendar);
            const int result = calendar->OpenDay(QDate(2026, 12, 26), [](TfmGiorno& day) {
                QCOMPARE(day.cbFesta->currentIndex(), 1);
                QTimer::singleShot(0, &day, [&day] {
                    day.cbFesta->setCurrentIndex(0);
                    day.btOk->click();
                });
            });
            QCOMPARE(result, int(QDialog::Accepted));
            calendar->Calendario->setCurrentPage(2026, 12);
            QVERIFY(calendar->Calendario->dateTextFormat(QDate(2026, 12, 25)).foreground().color() ==
                    QColor(200, 0, 0));
            QVERIFY(calendar->Calendario->dateTextFormat(QDate(2026, 12, 26)).foreground().color() !=
                    QColor(200, 0, 0));
            QVERIFY(calendar->Calendario->dateTextFormat(QDate(2026, 12, 26)).fontWeight() == QFont::Bold);

            window.btOk->click();
            QVERIFY(!window.isVisible());
            QVERIFY(closed);
        }
        // What the files hold, read by a fresh program.
        TProgram again(dir.path());
        const int e = again.data->Settings.Entrys().IndexOfEntry("Provider Uno");
        QVERIFY(e >= 0);
        QCOMPARE(again.data->Settings.Entrys()[static_cast<std::size_t>(e)].TaxName(), std::string("Wind - Urbana"));
        QCOMPARE(again.data->Settings.Entrys()[static_cast<std::size_t>(e)].RetryTime(), 15);
        QVERIFY(!again.data->Agenda.IsHoliday(EncodeDate(2027, 12, 26)));
        QVERIFY(again.data->Agenda.IsHoliday(EncodeDate(2027, 12, 25)));
    }

    // The page "Piani dati": a new plan typed in, a wrong allowance keeping the window open on the
    // page, then OK writing "PianiDati.dat"; a renamed plan keeps its volumes.
    void aDataPlanTypedInAndRenamed()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TPlanUsage usage;
        usage.Add("Vecchio", p.clock.Now(), 5000000, 0);
        TDataPlan old;
        old.Name = "Vecchio";
        old.Interface = "ppp0";
        p.data->Plans.StorePlan(old);
        p.data->Plans.StoreUsage(usage);
        TfmImpostazioni window(p.services, *p.data);
        AddStandardPages(window, p.services, *p.data);
        window.show();
        window.ShowPage(QStringLiteral("Piani dati"));
        auto* page = qobject_cast<TpgPianiDati*>(window.Page(QStringLiteral("Piani dati")));
        QVERIFY(page);
        page->Load();
        QCOMPARE(page->lbPiani->count(), 1);
        QVERIFY(page->rbInterfaccia->isChecked());
        QCOMPARE(page->edInterfaccia->text(), QStringLiteral("ppp0"));
        page->edNome->setText(QStringLiteral("Rinominato"));
        page->btNuovo->click();
        QCOMPARE(page->lbPiani->count(), 2);
        page->edNome->setText(QStringLiteral("SIM"));
        page->rbConnessione->setChecked(true);
        page->cbConnessione->setEditText(QStringLiteral("6f1c-uuid"));
        page->cbCiclo->setCurrentIndex(0);
        page->seGiorno->setValue(14);
        page->edSoglia->setText(QStringLiteral("50 GiB"));
        page->cbOltre->setCurrentIndex(1); // per started block
        QVERIFY(page->edBlocco->isEnabled());
        QVERIFY(!page->seOgni->isEnabled());
        window.btOk->click();
        QVERIFY(window.isVisible()); // refused
        QCOMPARE(p.prompter.Shown.back().Text,
                 std::string("Il valore specificato per il campo «Traffico incluso» non è valido!"));
        page->edSoglia->setText(QStringLiteral("50 GB"));
        page->edBlocco->setText(QStringLiteral("500 MB"));
        page->edPrezzoOltre->setText(QStringLiteral("0,50"));
        window.btOk->click();
        QVERIFY(!window.isVisible());
        TDataPlans saved(p.services);
        saved.ReadFromBytes(p.files.ReadAll(p.env.AppPath + "PianiDati.dat"));
        const auto plans = saved.PlanList();
        QCOMPARE(plans.size(), std::size_t(2));
        QCOMPARE(plans[0].Name, std::string("Rinominato"));
        QCOMPARE(saved.Usage().Used(plans[0], 0, 1e6), std::uint64_t(5000000));
        QCOMPARE(plans[1].ConnectionUuid, std::string("6f1c-uuid"));
        QCOMPARE(plans[1].CycleDay, 14);
        QCOMPARE(*plans[1].Allowance, std::uint64_t(50000000000));
        QCOMPARE(plans[1].BlockBytes, std::uint64_t(500000000));
    }

    void aNewTariffWithPaintedBands()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TfmImpostazioni window(p.services, *p.data);
        AddStandardPages(window, p.services, *p.data);
        window.show();
        window.ShowPage(QStringLiteral("Tariffe"));
        auto* page = qobject_cast<TpgTariffe*>(window.Page(QStringLiteral("Tariffe")));
        QVERIFY(page);
        const int result = page->OpenProperties(-1, [](TfmTariffa& dialog) {
            QTimer::singleShot(0, &dialog, [&dialog] {
                // Changing the kind changes the rows, never the dialog's height (both show two).
                QTest::qWait(20);
                const int height = dialog.height();
                dialog.rbScatti->setChecked(!dialog.rbScatti->isChecked());
                QTest::qWait(20);
                QCOMPARE(dialog.height(), height);
                dialog.rbTempo->setChecked(true);
                QTest::qWait(20);
                QCOMPARE(dialog.height(), height);
                // The band labels in the ink that reads on each band colour.
                QCOMPARE(ReadableInk(QColor(0, 255, 0)), QColor(Qt::black));
                QCOMPARE(ReadableInk(QColor(255, 255, 0)), QColor(Qt::black));
                QCOMPARE(ReadableInk(QColor(255, 0, 0)), QColor(Qt::white));
                dialog.edGestore->setText(QStringLiteral("Casa"));
                dialog.edNome->setText(QStringLiteral("Notte"));
                // Weekdays: the band editor paints full band from 8:00 (pixel 192) to 18:00 (432).
                dialog.EditBands(0, [](TfmFasce& editor) {
                    QTimer::singleShot(0, &editor, [&editor] {
                        editor.btIntera->click();
                        TTimeTableBarWidget* bar = editor.BarEditor;
                        bar->resize(576, 60);
                        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(192, 45));
                        QTest::mouseMove(bar, QPoint(300, 45));
                        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(432, 45));
                        editor.btOk->click();
                    });
                });
                QCOMPARE(dialog.Bars[0]->Bar.Count(), std::size_t{3});
                dialog.btOk->click();
            });
        });
        QCOMPARE(result, int(QDialog::Accepted));
        TTaxItem* t = p.data->Taxations.FindTax("Casa - Notte");
        QVERIFY(t);
        QCOMPARE(t->BandsFeriali().Count(), std::size_t{3});
        QCOMPARE(t->BandAt(EncodeDate(2026, 12, 9) + EncodeTime(9, 0, 0, 0)), foIntera);
        QCOMPARE(t->BandAt(EncodeDate(2026, 12, 9) + EncodeTime(19, 0, 0, 0)), foRidotta);
        QCOMPARE(page->lbTariffe->currentItem()->text(), QStringLiteral("Casa - Notte"));

        // Annulla: the new tariff goes again.
        window.btAnnulla->click();
        QVERIFY(!p.data->Taxations.FindTax("Casa - Notte"));
    }

    void programsAndSoundsPagesAndAnnulla()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        const QString script = dir.filePath(QStringLiteral("posta.sh"));
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        {
            TfmImpostazioni window(p.services, *p.data);
            AddStandardPages(window, p.services, *p.data);
            window.show();
            auto* profiles = qobject_cast<TpgProfili*>(window.Page(QStringLiteral("Profili")));
            QVERIFY(profiles);
            profiles->Programmi->AddFiles({script});
            QCOMPARE(profiles->Programmi->Tree->topLevelItemCount(), 1);
            QCOMPARE(p.data->Settings.Profiles()[0].Applications().Count(), std::size_t{1});
            window.ShowPage(QStringLiteral("Suoni"));
            auto* sounds = qobject_cast<TpgSuoni*>(window.Page(QStringLiteral("Suoni")));
            QVERIFY(sounds);
            QCOMPARE(sounds->lbSuoni->count(), 9);
            sounds->lbSuoni->setCurrentRow(0);
            sounds->btDisabilita->click();
            QCOMPARE(sounds->btDisabilita->text(), QStringLiteral("&Abilita"));
            QVERIFY(!sounds->btRiproduci->isEnabled());
            QVERIFY(p.data->Waves.FindWave("CambioStato")->WaveFile().Disabled());
            window.btAnnulla->click();
        }
        // Annulla put both back.
        QCOMPARE(p.data->Settings.Profiles()[0].Applications().Count(), std::size_t{0});
        QVERIFY(!p.data->Waves.FindWave("CambioStato")->WaveFile().Disabled());
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "TestSettingsWindow.moc"
