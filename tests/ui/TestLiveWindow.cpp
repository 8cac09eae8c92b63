// The real main window driven by the controller through a simulated connection, offscreen.
#include "app/MainController.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/sim/SimDialUp.h"
#include "platform/sim/SimSystem.h"
#include "core/ScriptedPrompter.h"
#include "ui/QtTime.h"
#include "ui/TfmMain.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qv;

// "H.MM.SS" as a number of seconds, -1 when the text has another form.
static int SecondsShown(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return -1;
    return parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt();
}

class TestLiveWindow : public QObject
{
    Q_OBJECT
private slots:
    void labelsFollowASimulatedConnection()
    {
        TSystemClock clock;
        TQtTimerService timers;
        TScriptedPrompter prompter;
        TSimFileSystem files;
        TSimSystem system;
        TMemoryRegistry store;
        TRegistry registry(store);
        TAppEnvironment env;
        env.AppPath = "/data/";
        TServices services{clock, timers, prompter, files, system, registry, env};
        TSimDialUp sim(clock, timers);
        sim.AddDemoEntries();
        TDataModule data(services, nullptr, &sim);
        data.LoadAll();
        data.Status.SetProfile(&data.Settings.Profiles()[0]);
        // The demo phone book calls abroad: without a prefix the scan at the end of start-up does
        // not open its modal warning in the middle of this test.
        data.Settings.SetInternationalPrefix("");
        TfmMain window;
        TMainController controller(services, data, window);
        window.show();
        // At start: the tariff's hint and the labels in the forms of a count.
        QVERIFY(window.ProgressBar->toolTip().startsWith(QStringLiteral("La tariffa corrente è Telecom - TAT Urbana")));
        QCOMPARE(window.lbTempoTrascorso->text(), QStringLiteral("0.00.00"));
        QCOMPARE(window.lbQuorvanta->text(), QStringLiteral("10.00"));
        controller.FirstActivation();
        sim.BringUp("Provider Uno", 1);
        QTRY_VERIFY_WITH_TIMEOUT(data.MtxStatus.State() == TMtxStateMatrixStatus::RasConnected, 8000);
        QVERIFY(window.btDisconnetti->isVisible());
        // The label counts in whole seconds; a loaded machine may show a second late, so wait for
        // three seconds or more rather than for one exact text.
        QTRY_VERIFY_WITH_TIMEOUT(SecondsShown(window.lbTempoTrascorso->text()) >= 3, 8000);
        QVERIFY(window.lbTempoTrascorso->text().startsWith(QStringLiteral("0.00.")));
        QVERIFY(window.lbSpesa->text().startsWith(QStringLiteral("£ 12")));
        QTRY_VERIFY_WITH_TIMEOUT(window.LabelBytesReceived->text() != QStringLiteral("0"), 8000);
        // A time-rated tariff has no pulses: a dash in their frame, never an empty frame.
        QVERIFY(window.lbNumeroScatti->isVisible());
        QCOMPARE(window.lbNumeroScatti->text(), QStringLiteral("–"));
        // The strip is a tool window: its tooltips show without a click first.
        QVERIFY(window.testAttribute(Qt::WA_AlwaysShowToolTips));
        QCOMPARE(window.lbQuorvanta->text().left(3), QStringLiteral("09."));
        sim.BringDown("Provider Uno");
        QTRY_VERIFY_WITH_TIMEOUT(data.MtxStatus.State() == TMtxStateMatrixStatus::Idle, 4000);
        QVERIFY(!window.btDisconnetti->isVisible());
        QCOMPARE(data.Connections.Units().Count(), std::size_t{1});
        QVERIFY(window.BalloonGeneral->Text().contains(QStringLiteral("Sconnesso!")) ||
                window.BalloonGeneral->Text().contains(QStringLiteral("conveniente")));
    }
};

QTEST_MAIN(TestLiveWindow)
#include "TestLiveWindow.moc"
