// The SMS window offscreen against a gateway on loopback: a message composed to a group of two
// contacts reaches the site twice and both show under "Inviati" sent once; the properties show the
// gateway's answer and write it for the browser; the contact dialog's question about a leading
// zero; the settings page adds a gateway through its editor and imports a dropped file.
#include "QtServices.h"
#include "app/DataModule.h"
#include "core/Strings.h"
#include "platform/linux/CurlHttp.h"
#include "ui/SettingsPagesUi.h"
#include "ui/TfmContatto.h"
#include "ui/TfmGateway.h"
#include "ui/TfmSms.h"
#include "ui/TfmSmsCompose.h"

#include <QTemporaryDir>
#include <QtTest>
#include <httplib.h>
#include <mutex>
#include <fstream>
#include <thread>

using namespace qv;

namespace {

// A web SMS site on loopback: every POST is recorded and answered "Messaggio inviato".
struct TSite
{
    TSite()
    {
        Server.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(M);
            Bodies.push_back(req.body);
            res.set_content("<html><body>Messaggio inviato</body></html>", "text/html");
        });
        Port = Server.bind_to_any_port("127.0.0.1");
        Thread = std::thread([this] { Server.listen_after_bind(); });
        for (int i = 0; i < 200 && !Server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~TSite()
    {
        Server.stop();
        Thread.join();
    }
    std::vector<std::string> Seen()
    {
        std::lock_guard lock(M);
        return Bodies;
    }
    httplib::Server Server;
    int Port = 0;
    std::thread Thread;
    std::mutex M;
    std::vector<std::string> Bodies;
};

struct TProgram : qv::test::TQtServices
{
    explicit TProgram(const QString& folder) : TQtServices(folder)
    {
        data = std::make_unique<TDataModule>(services, nullptr, nullptr, nullptr, nullptr, nullptr, &http);
        data->LoadAll();
        data->Status.SetProfile(&data->Settings.Profiles()[0]);
    }
    ~TProgram() { data->SaveAllModified(); }
    // The hooks the program gives the window: on line, sends at once.
    TSmsHooks Hooks()
    {
        TSmsHooks h;
        h.PlaySound = [this](const std::string& s) { sounds.push_back(s); };
        h.IsOnlineOrAsk = [](bool) { return true; };
        h.SendNow = [this](TSmsMsgItem& m, bool) {
            m.SetK(ssToSend);
            data->GateWays.SendSms(m);
        };
        h.Profile = [this] { return data->Status.Profile(); };
        h.OpenFile = [this](const std::string& f) { opened.push_back(f); };
        return h;
    }
    TCurlHttpTransport http;
    std::unique_ptr<TDataModule> data;
    std::vector<std::string> sounds, opened;
};

} // namespace

class TestSms : public QObject
{
    Q_OBJECT
private slots:
    void composeToAGroupThroughALoopbackGateway()
    {
        QTemporaryDir dir;
        TSite site;
        TProgram p(dir.path());
        TGateWayItem& g = p.data->GateWays.Add("Locale");
        g.SetHostAddress("127.0.0.1");
        g.SetPort(site.Port);
        g.SetCommandSend("send.php?n=<PrefixLoc><Number>&t=<Msg>");
        g.SetSuccessSend("inviato");
        p.data->PhoneBook.AddContact("39", "338", "1111111", "anna", "Casa", "");
        p.data->PhoneBook.AddContact("39", "347", "2222222", "bruno", "Casa", "");
        p.data->PhoneBook.AddContact("39", "333", "3333333", "carla", "", "");

        TfmSms w(p.services, *p.data, p.Hooks());
        w.AnswerFolder = dir.path();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.GroupItem(QStringLiteral("Amichetti")) != nullptr);
        QCOMPARE(w.FolderItem(TSmsFolder::ToSend)->text(0), QStringLiteral("Da inviare [0]"));
        w.tvRubrica->setCurrentItem(w.GroupItem(QStringLiteral("Casa")));

        w.Compose([](TfmSmsCompose& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Componi il messaggio"));
            QCOMPARE(d.cbGateway->currentText(), QStringLiteral("Locale"));
            QCOMPARE(d.gbDestinatari->title(), QStringLiteral("Destinatari [2]"));
            QCOMPARE(d.tvDestinatari->topLevelItem(0)->checkState(0), Qt::Checked);
            // One contact dropped: the group shows the mixed mark.
            d.tvDestinatari->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
            QCOMPARE(d.tvDestinatari->topLevelItem(0)->checkState(0), Qt::PartiallyChecked);
            QCOMPARE(d.gbDestinatari->title(), QStringLiteral("Destinatari [1]"));
            d.tvDestinatari->topLevelItem(0)->setCheckState(0, Qt::Checked);
            QCOMPARE(d.gbDestinatari->title(), QStringLiteral("Destinatari [2]"));
            d.edTesto->setPlainText(QStringLiteral("Ci vediamo alle 8 & porta il caffè"));
            QCOMPARE(d.lbCaratteri->text(), QStringLiteral("Caratteri a disposizione 126"));
            QVERIFY(d.btInvia->isEnabled());
            d.btInvia->click();
        });
        QCOMPARE(p.data->SmsData.SmsMsg().Count(), std::size_t(2));
        QTRY_COMPARE_WITH_TIMEOUT(p.data->SmsData.CountSending(), 0, 10000);
        for (const auto& m : p.data->SmsData.SmsMsg()) {
            QCOMPARE(m->K(), ssSent);
            QCOMPARE(m->S(), 1);
        }
        const std::vector<std::string> seen = site.Seen();
        QCOMPARE(seen.size(), std::size_t(2));
        QVERIFY(std::find(seen.begin(), seen.end(), "n=3381111111&t=Ci+vediamo+alle+8+%26+porta+il+caff\xE8") !=
                seen.end());
        QCOMPARE(p.data->Status.Profile()->LastGateway(), 0);

        w.Refresh();
        QTreeWidgetItem* sent = w.FolderItem(TSmsFolder::Sent);
        w.tvRubrica->setCurrentItem(sent);
        QCOMPARE(w.lvMessaggi->topLevelItemCount(), 2);
        QCOMPARE(w.lvMessaggi->topLevelItem(0)->text(4), QStringLiteral("1"));
        QCOMPARE(w.lvMessaggi->topLevelItem(0)->text(0), QStringLiteral("anna"));

        // The properties: the answer, no error page, the answer written for the browser and removed.
        w.lvMessaggi->topLevelItem(0)->setSelected(true);
        QString written;
        w.ShowProperties(w.SelectedMessages().front(), [&written](TfmSmsProperties& d) {
            QVERIFY(d.edRisposta->toPlainText().contains(QStringLiteral("Messaggio inviato")));
            QCOMPARE(d.Pages->count(), 2);
            d.btTraduci->click();
            d.reject();
        });
        QCOMPARE(p.opened.size(), std::size_t(1));
        written = QString::fromStdString(p.opened[0]);
        QVERIFY(written.startsWith(dir.path() + QStringLiteral("/@")));
        QVERIFY(written.endsWith(QStringLiteral("ResultSms.htm")));
        QVERIFY(!QFile::exists(written));

        // Deleting the sent list after its question.
        w.tvRubrica->setFocus();
        w.tvRubrica->setCurrentItem(w.FolderItem(TSmsFolder::Sent));
        p.prompter.SetNextAnswer(TModalResult::mrYes);
        w.acElimina->trigger();
        QCOMPARE(p.prompter.Shown.back().Text, std::string("Eliminare tutti i messaggi contenuti nella lista «Inviati»?"));
        QCOMPARE(p.data->SmsData.SmsMsg().Count(), std::size_t(0));
    }

    void aDroppedContactTextIsReadOnAWorkerAndImportedInOrder()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        p.data->PhoneBook.AddContact("39", "347", "1000000", "Mario", "", "");
        const std::string file = dir.filePath(QStringLiteral("rubrica.txt")).toStdString();
        {
            std::ofstream out(file, std::ios::binary);
            for (int i = 0; i < 50000; ++i)
                out << "Amico " << (i * 7919) % 50021 << "\t39\t338\t" << 1000000 + i << "\r\n";
        }
        TfmSms w(p.services, *p.data, p.Hooks());
        w.show();
        p.prompter.SetNextAnswer(TModalResult::mrYes);
        w.tvRubrica->OnFileDropped(QString::fromStdString(file));
        QCOMPARE(p.data->PhoneBook.SmsNumbers().Count(), std::size_t(50001));
        QCOMPARE(p.prompter.Shown.back().Text, "Importati ben 50000 amichetti dal file " + file);
        const auto& list = p.data->PhoneBook.SmsNumbers();
        for (std::size_t i = 1; i < list.Count(); ++i)
            QVERIFY(LowerCase(list[i - 1].N()) <= LowerCase(list[i].N()));
    }

    void theContactDialogAsksAboutALeadingZero()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TfmSms w(p.services, *p.data, p.Hooks());
        w.show();
        // With an empty phone book, composing opens the new-contact dialog.
        bool opened = false;
        w.EditContact(nullptr, [&p, &opened](TfmContatto& d) {
            opened = true;
            QVERIFY(!d.btOk->isEnabled());
            QCOMPARE(d.edPrefInt->text(), QStringLiteral("39"));
            d.edPrefLoc->setText(QStringLiteral("0338"));
            d.edNumero->setText(QStringLiteral("1234567"));
            d.edNome->setText(QStringLiteral("Dario"));
            QTest::keyClick(d.edNome, Qt::Key_End);
            QTest::keyClicks(d.edNome, QStringLiteral("!"));
            QVERIFY(d.btOk->isEnabled());
            p.prompter.SetNextAnswer(TModalResult::mrNo);
            d.btOk->click();
            QVERIFY(d.isVisible());
            QCOMPARE(p.prompter.Shown.back().Text,
                     std::string("I dati non sono corretti!\r\rIl prefisso locale deve essere inserito senza zero!\r\r"
                                 "Esempio: 338"));
            d.edPrefLoc->setText(QStringLiteral("338"));
            d.btOk->click();
        });
        QVERIFY(opened);
        QCOMPARE(p.data->PhoneBook.SmsNumbers().Count(), std::size_t(1));
        QCOMPARE(p.data->PhoneBook.SmsNumbers()[0].N(), std::string("Dario!"));
        QVERIFY(w.ContactItem(&p.data->PhoneBook.SmsNumbers()[0]) != nullptr);
    }

    void theSettingsPageEditsAndImportsGateways()
    {
        QTemporaryDir dir;
        TProgram p(dir.path());
        TpgSms page(p.services, *p.data);
        page.Load();
        QCOMPARE(page.lbGateways->count(), 0);
        page.OpenEditor(-1, [&p](TfmGateway& d) {
            QCOMPARE(d.seLunghezza->value(), 150);
            QCOMPARE(d.sePorta->value(), 80);
            QVERIFY(!d.Pages->isTabEnabled(1));
            d.edNome->setText(QStringLiteral("Conto"));
            d.cbTipo->setCurrentIndex(1);
            QVERIFY(d.Pages->isTabEnabled(1));
            d.btOk->click(); // host, user and password missing
            QVERIFY(d.isVisible());
            QVERIFY(p.prompter.Shown.back().Text.find("- Host") != std::string::npos);
            d.edHost->setText(QStringLiteral("sms.example.org"));
            d.edUtente->setText(QStringLiteral("mario"));
            d.edPassword->setText(QStringLiteral("segreta"));
            d.btOk->click();
        });
        QCOMPARE(page.lbGateways->count(), 1);
        QCOMPARE(p.data->GateWays.GateWays()[0].Kind(), gkLogin);

        const QString cfg = dir.filePath(QStringLiteral("settings.cfg"));
        QFile f(cfg);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Uno]\r\n#mode=HTTPPOST\r\n#address=uno.example\r\n#page=/s\r\nt=<text>\r\n");
        f.close();
        p.prompter.SetNextAnswer(TModalResult::mrYes); // import the file
        p.prompter.SetNextAnswer(TModalResult::mrNo);  // keep the gateways there are
        page.DropFile(cfg);
        QCOMPARE(p.prompter.Shown.back().Text, std::string("Importati ben 1 gateway SMS!"));
        QCOMPARE(page.lbGateways->count(), 2);
        QCOMPARE(page.lbGateways->item(1)->text(), QStringLiteral("Uno"));
    }
};

QTEST_MAIN(TestSms)
#include "TestSms.moc"
