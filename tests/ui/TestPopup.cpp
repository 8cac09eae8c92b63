// The popup messages' window offscreen: a message composed and sent shows among the sent ones, a
// daily one is scheduled through the scheduling dialog with its next send shown, and the lists are
// cleared with their questions.
#include "QtServices.h"
#include "messenger/PopupRules.h"
#include "platform/sim/SimPopup.h"
#include "ui/TfmPopup.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qv;

class TestPopup : public QObject
{
    Q_OBJECT
private slots:
    void composeScheduleAndClear()
    {
        QTemporaryDir dir;
        test::TQtServices q(dir.path());
        TServices& services = q.services;
        TScriptedPrompter& prompter = q.prompter;
        TMessenger messenger(services, std::make_shared<TSimPopupTransport>());
        messenger.SetFileName("Popup.dat");
        messenger.AddUser("anna", "ufficio");
        messenger.AddUserToGroup("bruno", "Casa");
        TfmPopup w(services, messenger);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.tvContatti->topLevelItem(0)->childCount(), 2);

        w.Compose([](TfmPopupMsg& d) {
            QCOMPARE(d.btInvia->toolTip(), QStringLiteral("Invia il messaggio immediatamente"));
            d.cbDestinatario->setCurrentText(QStringLiteral("anna"));
            d.edMessaggio->setPlainText(QStringLiteral("Il caffè è pronto"));
            d.btInvia->click();
        });
        QCOMPARE(messenger.Msgs().Count(), std::size_t(1));
        // Sent by the once-a-second check on its worker.
        QTRY_COMPARE_WITH_TIMEOUT(messenger.CountByState(msSent), 1, 5000);
        w.Refresh();
        QCOMPARE(w.tbMessaggi->tabText(2), QStringLiteral("Inviati [1]"));

        // A daily message to the group, through the scheduling dialog.
        w.Compose([](TfmPopupMsg& d) {
            d.cbDestinatario->setCurrentText(QStringLiteral("Casa"));
            d.edMessaggio->setPlainText(QStringLiteral("Buongiorno"));
            const bool scheduled = d.Schedule([](TfmPopupSchedule& s) {
                QCOMPARE(s.windowTitle(), QStringLiteral("Programma l'invio del messaggio"));
                s.cbOgniGiorno->setChecked(true);
                s.tmOra->setTime(QTime(8, 0));
                QVERIFY(!s.lbProssimo->text().isEmpty());
                QVERIFY(s.lbProssimo->text().endsWith(QStringLiteral(" 8:00:00")));
                s.accept();
            });
            QVERIFY(scheduled);
            d.accept();
        });
        QCOMPARE(messenger.CountByState(msTemplate), 1);
        QCOMPARE(messenger.MsgsByState(msTemplate)[0]->Dest(), std::string("bruno"));
        QCOMPARE(w.tbMessaggi->tabText(4), QStringLiteral("Ogni giorno [1]"));

        // The sent list cleared after its question.
        w.tbMessaggi->setCurrentIndex(2);
        prompter.SetNextAnswer(TModalResult::mrYes);
        w.acElimina->trigger();
        QCOMPARE(prompter.Shown.back().Text, std::string("Eliminare tutti i messaggi inviati?"));
        QCOMPARE(w.tbMessaggi->tabText(2), QStringLiteral("Inviati [0]"));
    }
};

QTEST_MAIN(TestPopup)
#include "TestPopup.moc"
