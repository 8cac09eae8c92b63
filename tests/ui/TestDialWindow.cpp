// The real dial window, credentials box and international warning under the offscreen platform,
// driven by their controllers with the simulated dial-up service.
#include "core/ScriptedPrompter.h"
#include "detection/WaitRas.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/sim/SimDialUp.h"
#include "platform/sim/SimSystem.h"
#include "ui/QtTime.h"
#include "ui/TfmInternational.h"
#include "ui/TfmMain.h"
#include "ui/TfmWaitRas.h"

#include <QApplication>
#include <QtTest>

using namespace qv;

namespace {

struct TWorld
{
    TSystemClock Clock;
    TQtTimerService Timers;
    TScriptedPrompter Prompter;
    TSimFileSystem Files;
    TSimSystem System;
    TMemoryRegistry Store;
    TRegistry Registry{Store};
    TAppEnvironment Env;
    TServices Services{Clock, Timers, Prompter, Files, System, Registry, Env};
    TSimDialUp Sim{Clock, Timers};
    std::unique_ptr<TDataModule> Data;
    TWaitRasView View;
    std::unique_ptr<TWaitRasController> Dial;
    explicit TWorld(QWidget* owner = nullptr) : View(owner)
    {
        Env.AppPath = "/data/";
        Sim.AddDemoEntries();
        Data = std::make_unique<TDataModule>(Services, nullptr, &Sim);
        Data->LoadAll();
        Data->Settings.SetInternationalPrefix("");
        Dial = std::make_unique<TWaitRasController>(Services, *Data, View);
        View.SetController(Dial.get());
        Data->StartMonitoring();
    }
};

} // namespace

class TestDialWindow : public QObject
{
    Q_OBJECT
private slots:
    void dialWindowIsOnTheScreenBesideTheStrip()
    {
        TMemoryRegistry store;
        TRegistry registry(store);
        TfmMain strip;
        strip.RememberPosition(registry); // the default position
        strip.show();
        TWorld w(&strip);
        w.Data->Status.Dial("Provider Uno", 60000);
        TfmWaitRas* form = w.View.Form();
        QVERIFY(form && form->isVisible());
        const QRect screen = strip.screen()->availableGeometry();
        QVERIFY2(screen.contains(form->frameGeometry()), "the dial window leaves the screen");
        QVERIFY(!form->frameGeometry().intersects(strip.frameGeometry()));
        // Wherever the strip is: in a corner, at an edge.
        for (const QPoint at : {QPoint(0, 0), QPoint(screen.right() - strip.width(), screen.bottom() - strip.height()),
                                QPoint(screen.center().x(), 0)}) {
            const QRect owner(at, strip.frameGeometry().size());
            const QRect placed(PlaceBeside(owner, form->frameGeometry().size(), screen), form->frameGeometry().size());
            QVERIFY(screen.contains(placed));
            QVERIFY(!placed.intersects(owner));
        }
    }

    void busyLineLeavesTheWindowWaitingForTheRedial()
    {
        TWorld w;
        w.Sim.PhoneBook["Provider Uno"].Outcome = TSimOutcome::Busy;
        w.Data->Settings.Entrys().EntryFor("Provider Uno", keRAS).SetRetryTime(30);
        w.Data->Status.Dial("Provider Uno", 100);
        TfmWaitRas* form = w.View.Form();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Connessione a Provider Uno"));
        QCOMPARE(form->btAnnulla->text(), QStringLiteral("&Annulla"));
        QVERIFY(!form->btRiprova->isVisible());
        QVERIFY(!form->cbPhoneBook->isEnabled());
        QCOMPARE(form->cbPhoneBook->count(), 3);
        QCOMPARE(form->cbPhoneBook->currentText(), QStringLiteral("Provider Uno"));
        QVERIFY(!form->cbPhoneBook->itemIcon(0).isNull());
        QVERIFY(form->Animation->Running());
        QCOMPARE(form->Memo->toPlainText(), QStringLiteral("Connessione a Provider Uno in corso..."));

        QTRY_COMPARE_WITH_TIMEOUT(form->btAnnulla->text(), QStringLiteral("&Chiudi"), 8000);
        QVERIFY(form->btRiprova->isVisible());
        QVERIFY(form->cbPhoneBook->isEnabled());
        QVERIFY(!form->Animation->Running());
        QVERIFY(form->Memo->toPlainText().contains(QStringLiteral("Errore: La linea è occupata.")));
        QTRY_VERIFY_WITH_TIMEOUT(form->StatusText().startsWith(QStringLiteral("Quorvanta al prossimo tentativo [1] 00:")),
                                 2000);
        // The status line is cut to the bar's width; the hint keeps the whole text.
        form->resize(140, form->height());
        QApplication::processEvents();
        form->SetStatusText(QStringLiteral("Quorvanta al prossimo tentativo [1] 00:29 con una riga lunghissima"));
        QVERIFY(form->lbConnessione->text().endsWith(QStringLiteral("...")));
        QCOMPARE(form->lbConnessione->toolTip(), form->StatusText());

        // Close: the window goes and is released a moment later.
        form->btAnnulla->click();
        QVERIFY(!w.Dial->IsDialWindowOpen());
        QPointer<TfmWaitRas> gone(form);
        QTRY_VERIFY(gone.isNull());
        QVERIFY(!w.Dial->TimerRecall().Enabled());
    }

    void credentialsBoxRefusesAnEmptyUser()
    {
        TWorld w;
        w.Sim.PhoneBook["Provider Due"].Credentials = {"", "", false};
        int boxes = 0;
        // Answers the box when it opens: first OK with no user, then a user and a saved password.
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<TfmCredentials*>(QApplication::activeModalWidget());
            if (!box)
                return;
            ++boxes;
            QCOMPARE(box->windowTitle(), QStringLiteral("Connessione a: Provider Due"));
            box->btOk->click();
            box->edUser->setText(QStringLiteral("anna"));
            box->edPassword->setText(QStringLiteral("segreta"));
            box->cbSave->setChecked(true);
            box->btOk->click();
        });
        poll.start();
        w.Data->Status.Dial("Provider Due", 50);
        QTRY_COMPARE_WITH_TIMEOUT(boxes, 1, 4000);
        poll.stop();
        QCOMPARE(w.Prompter.Shown.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(w.Prompter.Shown[0].Text), QStringLiteral("Manca il nome utente!"));
        QVERIFY(w.Sim.PhoneBook["Provider Due"].Credentials.PasswordSaved);
        QCOMPARE(QString::fromStdString(w.Sim.PhoneBook["Provider Due"].Credentials.User), QStringLiteral("anna"));
        QTRY_VERIFY_WITH_TIMEOUT(w.Data->MtxStatus.State() == TMtxStateMatrixStatus::RasConnected, 8000);
    }

    void warningAcceptsOnlyADigitPrefix()
    {
        TWorld w;
        w.Data->Settings.SetInternationalPrefix("00");
        TInternationalWarning warning(w.Services, w.Data->Settings, "", "Servizio Premium", "00882164466771");
        TfmInternational dialog(warning);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Quorvanta"));
        QCOMPARE(dialog.edPrefisso->text(), QStringLiteral("00"));
        dialog.show();
        QVERIFY(dialog.lbTesto->text().contains(QStringLiteral("la connessione «Servizio Premium» di pppd")));
        dialog.edPrefisso->setText(QStringLiteral("zero"));
        dialog.btOk->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(QString::fromStdString(w.Prompter.Shown.back().Text), QStringLiteral("Il prefisso inserito non è valido"));
        dialog.edPrefisso->setText(QStringLiteral("0039"));
        dialog.btOk->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(QString::fromStdString(w.Data->Settings.InternationalPrefix()), QStringLiteral("0039"));
    }
};

QTEST_MAIN(TestDialWindow)
#include "TestDialWindow.moc"
