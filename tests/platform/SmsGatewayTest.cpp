// Web SMS gateways against a loopback server (cpp-httplib) playing a gateway site: the template
// filled from the message (number split, text encoding), the success text, the login dialogue, the
// failures; and the command line sending through it.
#include "CliRun.h"
#include "TestSupport.h"
#include "platform/linux/CurlHttp.h"
#include "sms/Gateways.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

struct TSite : testing::Test
{
    httplib::Server Server;
    int Port = 0;
    std::thread Thread;
    std::mutex M;
    std::vector<std::pair<std::string, std::string>> Posts; // path, body
    std::string Answer = "Messaggio inviato correttamente";
    std::string LoginAnswer = "Benvenuto";
    TTestContext Ctx;
    TCurlHttpTransport Transport;
    TSettings Settings{Ctx.Services};
    TSmsData Sms{Ctx.Services};
    TPhoneBookData Book{Ctx.Services, Sms};
    std::unique_ptr<TGateWayData> Gateways = std::make_unique<TGateWayData>(Ctx.Services, Transport, Settings, Sms);
    std::vector<std::pair<bool, TSmsMsgItem*>> Results;

    TSite()
    {
        Server.Post(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(M);
            Posts.emplace_back(req.path, req.body);
            res.set_content(req.path == "/login.asp" ? LoginAnswer : Answer, "text/html");
        });
        Port = Server.bind_to_any_port("127.0.0.1");
        Thread = std::thread([this] { Server.listen_after_bind(); });
        for (int i = 0; i < 200 && !Server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Sms.OnSendResult = [this](bool ok, TSmsMsgItem& m) { Results.emplace_back(ok, &m); };
    }
    ~TSite() override
    {
        Gateways.reset();
        Server.stop();
        Thread.join();
    }
    TGateWayItem& Gateway(const std::string& success)
    {
        TGateWayItem& g = Gateways->Add("Prova");
        g.SetHostAddress("127.0.0.1");
        g.SetPort(Port);
        g.SetCommandSend("/invia.asp?pi=<PrefixInt>&pl=<PrefixLoc>&num=<Number>&testo=<Msg>&u=<UserName>");
        g.SetSuccessSend(success);
        return g;
    }
    TSmsMsgItem& Message(const std::string& number, const std::string& text, int gateway = 0)
    {
        TSmsNumbersItem& c = Book.AddContact("", "", number, "Anna " + number, "", "");
        TSmsMsgItem& m = Sms.FindOrAddMessage(c, text);
        m.SetG(gateway);
        return m;
    }
    void Wait(std::size_t n)
    {
        for (int i = 0; i < 1000 && Results.size() < n; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            Ctx.Time.RunPosted();
        }
    }
};

} // namespace

TEST_F(TSite, TheTemplateFilledAndTheSuccessText)
{
    Gateway("inviato correttamente");
    TSmsMsgItem& twelve = Message("393381234567", "Ciao a tutti & = % + € è");
    Gateways->SendSms(twelve);
    TSmsMsgItem& ten = Message("3381234567", "x");
    ten.SetI("41");
    Gateways->SendSms(ten);
    Wait(2);
    ASSERT_EQ(Posts.size(), 2u);
    EXPECT_EQ(Posts[0].first, "/invia.asp");
    // The two requests run side by side: either may arrive first.
    std::vector<std::string> bodies{Posts[0].second, Posts[1].second};
    std::sort(bodies.begin(), bodies.end());
    // 12 digits beginning with 39: 39, 338 and the rest; the text encoded on its Windows code page.
    EXPECT_EQ(bodies[0], "pi=39&pl=338&num=1234567&testo=Ciao+a+tutti+%26+%3D+%25+%2B+%80+\xE8&u=");
    // 10 characters: the number whole, the prefixes as they were.
    EXPECT_EQ(bodies[1], "pi=41&pl=&num=3381234567&testo=x&u=");
    ASSERT_EQ(Results.size(), 2u);
    EXPECT_TRUE(Results[0].first);
    EXPECT_EQ(twelve.K(), ssSent);
    EXPECT_EQ(twelve.S(), 1);
    EXPECT_EQ(twelve.ResultHTTP(), "Messaggio inviato correttamente\r\n");
    EXPECT_GT(twelve.L(), 0);

    // An answer without the success text fails; an empty success text takes any answer.
    Answer = "Errore: numero non valido";
    Gateways->SendSms(twelve);
    Wait(3);
    EXPECT_FALSE(Results.back().first);
    EXPECT_EQ(twelve.E(), "Risposta http errata: stringa di invio con successo non trovata! [inviato correttamente]");
    Gateways->GateWays()[0].SetSuccessSend("");
    Gateways->SendSms(twelve);
    Wait(4);
    EXPECT_TRUE(Results.back().first);
    EXPECT_EQ(twelve.S(), 2);

    // A gateway position equal to the count fails at once.
    TSmsMsgItem& lost = Message("3331111111", "y", 1);
    Gateways->SendSms(lost);
    EXPECT_EQ(lost.K(), ssError);
    EXPECT_EQ(lost.E(), "L'indice GateWay 1 non esiste!");
}

TEST_F(TSite, OneLoginForTwoMessagesAndAFailedLoginFailsBoth)
{
    TGateWayItem& g = Gateway("inviato");
    g.SetKind(gkLogin);
    g.SetCommandRegistration("/login.asp?user=<UserName>&pwd=<Password>");
    g.SetSuccessRegistration("Benvenuto");
    Gateways->SetCredentials(g, "mario", "segreta");
    EXPECT_EQ(Settings.GateWayCredentials()[0].UserName(), "mario");
    EXPECT_FALSE(g.Logged());
    Gateways->SendSms(Message("3381111111", "uno"));
    Gateways->SendSms(Message("3382222222", "due"));
    Wait(2);
    ASSERT_EQ(Posts.size(), 3u);
    EXPECT_EQ(Posts[0].first, "/login.asp");
    EXPECT_EQ(Posts[0].second, "user=mario&pwd=segreta");
    std::vector<std::string> sends{Posts[1].second, Posts[2].second};
    std::sort(sends.begin(), sends.end());
    EXPECT_NE(sends[0].find("num=3381111111&testo=uno&u=mario"), std::string::npos) << sends[0];
    EXPECT_NE(sends[1].find("num=3382222222&testo=due"), std::string::npos) << sends[1];
    EXPECT_TRUE(g.Logged());
    EXPECT_TRUE(Results[0].first && Results[1].first);

    // The next connection logs in again; a wrong answer to the login fails both waiting messages.
    Gateways->ResetLogins();
    EXPECT_FALSE(g.Logged());
    LoginAnswer = "Password errata";
    Gateways->SendSms(Message("3383333333", "tre"));
    Gateways->SendSms(Message("3384444444", "quattro"));
    Wait(4);
    ASSERT_EQ(Results.size(), 4u);
    EXPECT_FALSE(Results[2].first);
    EXPECT_FALSE(Results[3].first);
    EXPECT_EQ(Results[3].second->E(), "Risposta http errata: stringa di registrazione con successo non trovata! "
                                      "[Benvenuto]. \rControllare le credenziali specificate");
    EXPECT_FALSE(g.Logged());
    EXPECT_EQ(Posts.size(), 4u); // one more login, no send
}

TEST_F(TSite, TheCommandLineAddsAGatewayAContactAndSends)
{
    TTempDir dir;
    const std::string d = dir.Path;
    ASSERT_EQ(Cli({"--data-dir", d, "sms", "gateways", "add", "--name", "Locale", "--host", "127.0.0.1", "--port",
                   std::to_string(Port), "--send", "/invia.asp?num=<Number>&testo=<Msg>", "--success", "inviato"})
                  .Code,
              0);
    ASSERT_EQ(Cli({"--data-dir", d, "sms", "contacts", "add", "--number", "3381234567", "--name", "Anna"}).Code, 0);
    const TRun sent = Cli({"--data-dir", d, "sms", "send", "--gateway", "Locale", "--to", "anna", "--text", "Ciao!"});
    EXPECT_EQ(sent.Code, 0) << sent.Err;
    EXPECT_EQ(sent.Out.rfind("inviato  Anna 0 3381234567  «Ciao!»", 0), 0u) << sent.Out;
    const TRun queued = Cli({"--data-dir", d, "sms", "send", "--gateway", "0", "--to", "3339998887", "--text", "Dopo",
                             "--queue"});
    EXPECT_EQ(queued.Code, 0) << queued.Err;
    EXPECT_EQ(Cli({"--data-dir", d, "sms", "queue"}).Out, "Messaggi da inviare: 1\n");
    Answer = "errore";
    const TRun failed = Cli({"--data-dir", d, "sms", "queue", "--send"});
    EXPECT_EQ(failed.Code, 1);
    EXPECT_NE(failed.Out.find("errore  0393339998887 0 3339998887  «Dopo»"), std::string::npos) << failed.Out;
    EXPECT_NE(failed.Out.find("stringa di invio con successo non trovata! [inviato]"), std::string::npos);
    const TRun list = Cli({"--data-dir", d, "sms", "gateways", "list"});
    EXPECT_EQ(list.Out, "0  Locale  127.0.0.1:" + std::to_string(Port) + "  max 160\n");
}

TEST_F(TSite, TheCommandLineTakesThePasswordFromAFileAndChecksWhatItIsGiven)
{
    TTempDir dir;
    const std::string d = dir.Path;
    const auto add = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"--data-dir", d, "sms", "gateways", "add", "--name", "Locale", "--host", "127.0.0.1",
                                      "--send", "/invia.asp?num=<Number>&testo=<Msg>", "--success", "inviato"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    };
    const TRun letters = add({"--port", "abc"});
    EXPECT_NE(letters.Code, 0);
    EXPECT_NE(letters.Err.find("Valore non valido per --port: abc"), std::string::npos) << letters.Err;
    EXPECT_NE(add({"--port", "70000"}).Err.find("la porta deve essere tra 1 e 65535"), std::string::npos);
    WriteFile(dir / "pw", "a&b c\n");
    const TRun added = add({"--port", std::to_string(Port), "--max", "12", "--login", "/login.asp?user=<UserName>&pwd=<Password>",
                            "--login-success", "Benvenuto", "--user", "mario", "--password-file", dir / "pw"});
    ASSERT_EQ(added.Code, 0) << added.Err;

    // A number written "+39..." is taken as in send; a prefix with a zero is refused as the window does.
    const TRun plus = Cli({"--data-dir", d, "sms", "contacts", "add", "--number", "+393381234567", "--name", "Anna"});
    EXPECT_EQ(plus.Code, 0) << plus.Err;
    EXPECT_EQ(Cli({"--data-dir", d, "sms", "contacts", "list"}).Out.find("Anna") != std::string::npos, true);
    const TRun zero = Cli({"--data-dir", d, "sms", "contacts", "add", "--number", "3381234567", "--int", "039"});
    EXPECT_NE(zero.Code, 0);
    EXPECT_NE(zero.Err.find("Il prefisso internazionale deve essere inserito senza zero!"), std::string::npos);

    // Characters the gateway cannot carry are named; forced, they go as "?". A cut is told.
    const TRun refused = Cli({"--data-dir", d, "sms", "send", "--gateway", "Locale", "--to", "anna", "--text", "ok ✓"});
    EXPECT_NE(refused.Code, 0);
    EXPECT_NE(refused.Err.find("Questi caratteri non possono essere inviati: «✓»"), std::string::npos) << refused.Err;
    const TRun forced = Cli({"--data-dir", d, "sms", "send", "--gateway", "Locale", "--to", "anna", "--text",
                             "ok ✓ e un testo lungo", "--force"});
    EXPECT_EQ(forced.Code, 0) << forced.Err;
    EXPECT_NE(forced.Err.find("Il testo supera i 12 caratteri del gateway Locale: è stato tagliato"), std::string::npos)
        << forced.Err;
    std::lock_guard lock(M);
    ASSERT_EQ(Posts.size(), 2u);
    EXPECT_EQ(Posts[0].second, "user=mario&pwd=a%26b+c");
    EXPECT_EQ(Posts[1].second, "num=1234567&testo=ok+%3F+e+un+te"); // the number without its prefixes
}
