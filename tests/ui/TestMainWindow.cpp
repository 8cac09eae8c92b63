// The main window and tray under the offscreen platform, and the single instance of the real program.
#include "ui/QtRegistry.h"
#include "ui/TfmMain.h"
#include "ui/TrayIcon.h"

#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv;

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void bringingToFrontKeepsAnOpenQuestionInFront()
    {
        TfmMain w;
        w.show();
        QDialog question;
        question.setWindowModality(Qt::ApplicationModal);
        question.show();
        QApplication::setActiveWindow(&w);
        w.BringToFront();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&question));
    }

    // A plan's line under the strip (the window grows by it and shrinks back), and the tray's pie in
    // the plan's colour while no count shows its band.
    void aDataPlanShowsUnderTheStripAndInTheTray()
    {
        TfmMain w;
        TTrayIcon tray;
        w.SetTray(&tray);
        w.SkinForm().SetClassicSkin(220, 30, 0x800000);
        w.show();
        QApplication::processEvents();
        QCOMPARE(w.height(), 30);
        const auto pixel = [&tray](int x, int y) { return tray.Icon().pixmap(32, 32).toImage().pixelColor(x, y); };
        const QColor none = pixel(20, 6);
        TPlanView view;
        view.Level = TPlanLevel::Yellow;
        view.Percent = 80;
        view.Strip = "40,2 di 50 GB · restano 9,8 GB";
        view.Hint = "Piano dati «SIM»\rUsati 40,20 GB di 50,00 GB (80%)";
        w.SetPlanView(view);
        QApplication::processEvents();
        QCOMPARE(w.height(), 30 + TPlanStrip::Height);
        QVERIFY(w.PlanStrip->isVisible());
        QCOMPARE(w.PlanStrip->geometry(), QRect(0, 30, 220, TPlanStrip::Height));
        QCOMPARE(w.PlanStrip->toolTip(), QStringLiteral("Piano dati «SIM»\nUsati 40,20 GB di 50,00 GB (80%)"));
        // The pie from twelve o'clock: the upper right is yellow, the upper left (the 20 % left) pale.
        QCOMPARE(pixel(20, 6), PlanLevelColour(TPlanLevel::Yellow));
        QVERIFY(pixel(11, 6) != PlanLevelColour(TPlanLevel::Yellow));
        // A count shows its band; back at idle the plan again.
        w.SetTrayIcon(foPunta);
        QVERIFY(pixel(20, 6) != PlanLevelColour(TPlanLevel::Yellow));
        w.SetTrayIcon(foNone);
        QCOMPARE(pixel(20, 6), PlanLevelColour(TPlanLevel::Yellow));
        // The link went: no line, the idle icon.
        w.SetPlanView(TPlanView{});
        QApplication::processEvents();
        QCOMPARE(w.height(), 30);
        QVERIFY(!w.PlanStrip->isVisible());
        QCOMPARE(pixel(20, 6), none);
    }

    void labelsAtIdleValues()
    {
        TfmMain w;
        QCOMPARE(w.findChild<QLabel*>("lbTempoTrascorso")->text(), QStringLiteral("0.00.00"));
        QCOMPARE(w.findChild<QLabel*>("lbQuorvanta")->text(), QStringLiteral("00.00"));
        QCOMPARE(w.findChild<QLabel*>("lbNumeroScatti")->text(), QStringLiteral("0"));
        QCOMPARE(w.findChild<QLabel*>("lbSpesa")->text(), QStringLiteral("£ 0"));
        QCOMPARE(w.findChild<QLabel*>("lbSpesa")->toolTip(), QStringLiteral("Spesa in £"));
        QCOMPARE(w.findChild<QLabel*>("LabelBytesReceived")->toolTip(), QStringLiteral("Byte ricevuti"));
        QVERIFY(w.findChild<QLabel*>("lbQuorvanta"));
        QVERIFY(w.findChild<QLabel*>("LabelBytesTransmitted"));
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorvanta"));
    }

    void theStripKeepsItsWidthAndShowsDisabledButtonsAsSuch()
    {
        TfmMain w;
        w.show();
        QApplication::processEvents();
        const int idle = w.width();
        w.SetLabel(TMainLabel::TempoTrascorso, "26.13.59");
        w.SetLabel(TMainLabel::Spesa, "£ 1.234.567");
        w.SetLabel(TMainLabel::BytesReceived, "123.456.789");
        w.SetDisconnectButtonVisible(true);
        QApplication::processEvents();
        w.adjustSize();
        QCOMPARE(w.width(), idle);
        w.btApplicazioni->setEnabled(false);
        QApplication::processEvents();
        QCOMPARE(w.btApplicazioni->palette().color(QPalette::Disabled, QPalette::ButtonText).name(),
                 QStringLiteral("#505a90"));
    }

    void positionIsRememberedPerResolution()
    {
        QTemporaryDir dir;
        TQtRegistry store(dir.filePath("settings.ini"));
        TRegistry reg(store);
        {
            TfmMain w;
            w.RememberPosition(reg);
            QCOMPARE(w.Left(), 20);
            w.move(140, 90);
        }
        const std::string section =
            "Settings\\TfmMain\\" + std::to_string(TfmMain().ScreenWidth()) + "x" + std::to_string(TfmMain().ScreenHeight());
        QCOMPARE(reg.RegReadInteger(section, "Left", 0), 140);
        TfmMain again;
        again.RememberPosition(reg);
        QCOMPARE(again.Left(), 140);
        QCOMPARE(again.Top(), 90);
    }

    void balloonsShownTogetherDoNotCoverEachOther()
    {
        TfmMain w;
        w.move(20, 20);
        w.show();
        w.ShowBalloon(TBalloon::General, "", "È l'ora X di disconnessione!!!", 3000);
        w.ShowBalloon(TBalloon::Comparison, "", "Maledizione: risparmiavi 640 £irette con Wind - Internet Light 1088 24 Ore",
                      10000);
        w.ShowBalloon(TBalloon::Tariff, "", "Telecom - TAT Urbana", 3000);
        const QRect general = w.BalloonGeneral->frameGeometry();
        const QRect comparison = w.BalloonComparison->frameGeometry();
        const QRect tariff = w.BalloonTariff->frameGeometry();
        QVERIFY(w.BalloonGeneral->isVisible() && w.BalloonComparison->isVisible());
        QVERIFY(!general.intersects(comparison));
        QVERIFY(!tariff.intersects(general) && !tariff.intersects(comparison));
        QVERIFY(!tariff.intersects(w.frameGeometry()));
        const QRect screen = w.screen()->availableGeometry();
        QVERIFY(screen.contains(general) && screen.contains(comparison) && screen.contains(tariff));
        // Sized to the text: an operator and name stay on one line.
        const auto* text = w.BalloonTariff->findChild<QLabel*>(QStringLiteral("BalloonTariffText"));
        QVERIFY(text);
        QVERIFY(text->height() < 2 * text->fontMetrics().lineSpacing());
    }

    void singleAndDoubleClicksAreToldApart()
    {
        TTrayIcon tray;
        int clicks = 0, doubles = 0;
        tray.OnClick = [&] { ++clicks; };
        tray.OnDoubleClick = [&] { ++doubles; };
        // A double click: the press that starts it is not a single click.
        tray.Activated(QSystemTrayIcon::Trigger);
        tray.Activated(QSystemTrayIcon::DoubleClick);
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QCOMPARE(clicks, 0);
        QCOMPARE(doubles, 1);
        // A press with nothing after it is one, once the double-click time has passed.
        tray.Activated(QSystemTrayIcon::Trigger);
        QCOMPARE(clicks, 0);
        QTRY_COMPARE_WITH_TIMEOUT(clicks, 1, QApplication::doubleClickInterval() + 1000);
    }

    void trayMenuHasExit()
    {
        TTrayIcon tray;
        bool exited = false;
        tray.OnExit = [&] { exited = true; };
        QCOMPARE(tray.ActionExit->text(), QStringLiteral("&Esci"));
        tray.ActionExit->trigger();
        QVERIFY(exited);
        QVERIFY(!TTrayIcon::BandIcon(0).isNull());
    }

    void secondStartEndsAtOnceAndTheFirstIsTold()
    {
        QTemporaryDir runtime, data, home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("QUORVANTA_DATA_DIR", data.path());
        // Never the system's own buses.
        env.insert("QUORVANTA_NM_BUS", "unix:path=/nonexistent/qv-no-bus");
        env.insert("QUORVANTA_MODEMMANAGER_BUS", "unix:path=/nonexistent/qv-no-bus");
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QV_GUI_PATH, {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QDir(runtime.filePath("quorvanta")).entryList({"*.sock"}, QDir::System).size() == 1, 20000);
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QV_GUI_PATH, {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QByteArray told;
        QTRY_VERIFY_WITH_TIMEOUT((told += first.readAllStandardError()).contains("secondo avvio ricevuto (2)"), 10000);
        QVERIFY(first.state() == QProcess::Running);
        QVERIFY(QFileInfo(data.path()).exists());
        first.terminate();
        if (!first.waitForFinished(5000))
            first.kill();
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
