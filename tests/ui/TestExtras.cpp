// The about box, the saint-of-the-day window with its desktop note, and the help: texts, sounds,
// and F1 opening the topic of the window that has the keyboard.
#include "app/About.h"
#include "core/DateTime.h"
#include "core/ScriptedPrompter.h"
#include "core/VirtualTime.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/sim/SimSystem.h"
#include "ui/QtTime.h"
#include "ui/TfmAbout.h"
#include "ui/TfmGuida.h"

#include <QtTest>

using namespace qv;

class TestExtras : public QObject
{
    Q_OBJECT
private slots:
    void aboutSaintAndNote()
    {
        VirtualTime vtime(EncodeDate(2026, 12, 26) + 0.5);
        TScriptedPrompter prompter;
        TSimFileSystem files;
        TSimSystem system;
        TMemoryRegistry store;
        TRegistry registry{store};
        TAppEnvironment env;
        env.AppPath = "/data/";
        env.AppVersion = "1.0.0.101";
        env.AppBuild = 101;
        TServices services{vtime, vtime, prompter, files, system, registry, env};
        TSettings settings(services);
        settings.SetInstallation(EncodeDate(2026, 12, 1));
        std::vector<std::string> played;
        const TPlaySound play = [&played](const std::string& s) { played.push_back(s); };

        TfmAbout about(env, settings, play);
        QCOMPARE(about.lbVersione->text(), QStringLiteral("Versione 1.0.0.101 (build 101)"));
        QCOMPARE(about.lbInstallazione->text(), QStringLiteral("Installato il 1 dicembre 2026"));
        QCOMPARE(about.lbAnnuncio->text(), QString::fromUtf8(BuiltInAnnouncement));
        QCOMPARE(played, (std::vector<std::string>{"Message"}));
        settings.SetLastAnnounce("Quorvanta 1.1: le skin sono arrivate!");
        TfmAbout again(env, settings, play);
        QCOMPARE(again.lbAnnuncio->text(), QStringLiteral("Quorvanta 1.1: le skin sono arrivate!"));
        const int before = again.ScrollOffset();
        again.Scroll();
        QCOMPARE(again.ScrollOffset(), before + 1);

        TAgenda agenda(services);
        agenda.ResetDays();
        agenda.SeedLaws(3);
        TfmSanto saint(agenda, vtime.Now(), play);
        QVERIFY(saint.lbSanto->text().contains(QStringLiteral("sabato 26 dicembre 2026")));
        QVERIFY(saint.lbSanto->text().contains(QStringLiteral("Oggi si festeggia ")));
        const QString law = saint.lbLegge->text();
        QVERIFY(!law.isEmpty());
        saint.btAltra->click();
        QVERIFY(saint.lbLegge->text() != law); // another law, never the same twice in a row

        played.clear();
        TfmNota note(QStringLiteral("Ciao a"), QStringLiteral("tutti voi"), play);
        for (int i = 0; i < 20 && !note.Done(); ++i)
            note.Step();
        QVERIFY(note.Done());
        QCOMPARE(note.lbTitolo->text(), QStringLiteral("Ciao a"));
        QCOMPARE(note.lbTesto->text(), QStringLiteral("tutti voi"));
        QCOMPARE(std::count(played.begin(), played.end(), "MsgType"), 5); // the title's non-blank letters
        QCOMPARE(played.front(), std::string("MsgSent"));
        QVERIFY(std::find(played.begin(), played.end(), "MsgBell") != played.end());
    }

    void helpTopicsAndF1()
    {
        QCOMPARE(QString::fromStdString(HelpTopicFor("TfmStatistiche")), QStringLiteral("statistiche"));
        QCOMPARE(QString::fromStdString(HelpTopicFor("TfmSmsCompose")), QStringLiteral("sms-nessun-gateway"));
        QCOMPARE(QString::fromStdString(HelpTopicFor("qualcosa")), QStringLiteral("introduzione"));
        // Every topic has its page in the guide.
        TfmGuida guide;
        for (const THelpTopic& t : HelpTopics()) {
            guide.ShowTopic(QString::fromUtf8(t.Id));
            QVERIFY2(guide.txPagina->toPlainText().contains(QString::fromUtf8(t.Title)), t.Id);
        }

        InstallHelpKey();
        QWidget window;
        window.setObjectName(QStringLiteral("TfmStatistiche"));
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        TfmGuida* opened = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* g = qobject_cast<TfmGuida*>(w); g && g != &guide && g->isVisible())
                opened = g;
        QVERIFY(opened);
        QCOMPARE(opened->CurrentTopic(), QStringLiteral("statistiche"));
        opened->close();
    }
};

QTEST_MAIN(TestExtras)
#include "TestExtras.moc"
