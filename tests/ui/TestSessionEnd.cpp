// The real program ended by the session (SIGTERM) while it counts a simulated connection: the
// connection reaches "Connections.dat" and "Status.dat" is left without a pending count.
#include "app/DataClasses.h"
#include "app/SingleInstance.h"
#include "core/Registry.h"
#include "core/ScriptedPrompter.h"
#include "core/Services.h"
#include "core/VirtualTime.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/sim/SimSystem.h"
#include "tariffs/Connections.h"
#include "tariffs/Settings.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>

using namespace qv;

namespace {

// The real program on a data folder, a runtime folder and a home of its own; the test reads and
// writes the data files through its own services.
struct TProgramRun
{
    QTemporaryDir Runtime, Data, Home;
    VirtualTime Time;
    TScriptedPrompter Prompter;
    TLinuxFileSystem Files;
    TSimSystem System;
    TMemoryRegistry Store;
    TRegistry Registry{Store};
    TAppEnvironment Env = [this] {
        TAppEnvironment e;
        e.AppPath = Data.path().toStdString() + "/";
        return e;
    }();
    TServices Services{Time, Time, Prompter, Files, System, Registry, Env};

    void Start(QProcess& program)
    {
        QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
        penv.insert("QT_QPA_PLATFORM", "offscreen");
        penv.insert("XDG_RUNTIME_DIR", Runtime.path());
        penv.insert("HOME", Home.path());
        penv.insert("XDG_CONFIG_HOME", Home.filePath("config"));
        penv.insert("QUORVANTA_SETTINGS_FILE", Home.filePath("settings.ini"));
        program.setProcessEnvironment(penv);
        program.start(QV_GUI_PATH, {"--simulate", "--data-dir", Data.path()});
    }
};

} // namespace

class TestSessionEnd : public QObject
{
    Q_OBJECT
private slots:
    void sigtermDuringACountStoresTheConnection()
    {
        TProgramRun run;
        TServices& services = run.Services;
        TLinuxFileSystem& files = run.Files;
        TAppEnvironment& env = run.Env;
        {
            // The profile dials the simulated provider at start-up; no warning about numbers abroad.
            TSettings settings(services);
            settings.SetFileName("Settings.dat");
            settings.Profiles()[0].SetRasStartEntry("Provider Uno");
            settings.Profiles()[0].SetTimeWaitApplications(0);
            settings.SetInternationalPrefix("");
            settings.Save();
        }
        QProcess program;
        run.Start(program);
        QVERIFY(program.waitForStarted());

        // Counting: "Status.dat" is saved when counting starts.
        const auto counting = [&] {
            TStandaloneStatus s(services);
            try {
                s.ReadFromBytes(files.ReadAll(env.AppPath + "Status.dat"));
            } catch (const std::exception&) {
                return false;
            }
            return s.StartTime() != 0 && s.StoredEntryName() == "Provider Uno" && s.CostoLire() > 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(counting(), 30000);
        QTest::qWait(2500);
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        TDataUnits log(services);
        log.ReadFromBytes(files.ReadAll(env.AppPath + "Connections.dat"));
        QCOMPARE(log.Units().Count(), std::size_t{1});
        QCOMPARE(log.Units()[0].N(), std::string("Provider Uno"));
        QVERIFY(log.Units()[0].L() > 0);
        QVERIFY(std::lround(log.Units()[0].Duration() * 86400) >= 2);
        QVERIFY(!counting());
    }

    // SIGTERM while the start-up question about a connection left by a crash is open: the program
    // ends for real and the connection stays in "Status.dat", to be asked about next time.
    void sigtermDuringTheRecoveryQuestionKeepsThePendingCount()
    {
        TProgramRun run;
        TServices& services = run.Services;
        TLinuxFileSystem& files = run.Files;
        TAppEnvironment& env = run.Env;
        {
            TStandaloneStatus crashed(services);
            crashed.SetFileName("Status.dat");
            crashed.SetStartTime(46364.875);
            crashed.SetTime(600 / 86400.0);
            crashed.SetCostoLire(1234.5);
            crashed.SetEntryName("Tiscali");
            crashed.Save();
        }
        QProcess program;
        run.Start(program);
        QVERIFY(program.waitForStarted());
        // The lock is taken just before the data files are read; the question follows at once.
        const QString lock = run.Runtime.filePath("quorvanta/instance-" + QString::fromLatin1(SingleInstanceName) + ".lock");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock) && QFile(lock).size() > 0, 15000);
        QTest::qWait(2000);
        QCOMPARE(program.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        TStandaloneStatus left(services);
        left.ReadFromBytes(files.ReadAll(env.AppPath + "Status.dat"));
        QVERIFY(left.HasPendingConnection());
        QCOMPARE(left.StoredEntryName(), std::string("Tiscali"));
        TDataUnits log(services);
        log.ReadFromBytes(files.ReadAll(env.AppPath + "Connections.dat"));
        QCOMPARE(log.Units().Count(), std::size_t{0});
    }
};

QTEST_MAIN(TestSessionEnd)
#include "TestSessionEnd.moc"
