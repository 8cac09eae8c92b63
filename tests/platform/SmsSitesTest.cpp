// Web SMS gateways against loopback sites that behave as today's do: https with a certificate of a
// test authority, a login session kept in a cookie, a form answered with a redirect, an error page,
// a slow login; and the state of a message recorded before its request goes out. Requests are
// counted at the server: no message may arrive twice.
#include "ChildProcess.h"
#include "TestSupport.h"
#include "platform/linux/CurlHttp.h"
#include "sms/Gateways.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

// Runs a program to its end.
void RunToEnd(std::vector<std::string> args)
{
    TChild child(std::move(args));
    while (!child.ReadLine().empty()) {
    }
}

// A site on the loopback: a plain or an https server, each request counted by path.
struct TLoopSite
{
    std::unique_ptr<httplib::Server> Server;
    int Port = 0;
    std::thread Thread;
    std::mutex M;
    std::vector<std::pair<std::string, std::string>> Requests; // path, body
    std::atomic<int> Running{0}, MostAtOnce{0};

    explicit TLoopSite(std::unique_ptr<httplib::Server> server) : Server(std::move(server)) {}
    void Start()
    {
        Port = Server->bind_to_any_port("127.0.0.1");
        Thread = std::thread([this] { Server->listen_after_bind(); });
        for (int i = 0; i < 400 && !Server->is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~TLoopSite()
    {
        Server->stop();
        if (Thread.joinable())
            Thread.join();
    }
    void Count(const httplib::Request& req)
    {
        std::lock_guard lock(M);
        Requests.emplace_back(req.path, req.body);
    }
    std::size_t CountOf(const std::string& path)
    {
        std::lock_guard lock(M);
        return static_cast<std::size_t>(
            std::count_if(Requests.begin(), Requests.end(), [&](const auto& r) { return r.first == path; }));
    }
};

struct TSites : testing::Test
{
    TTempDir Dir;
    TTestContext Ctx;
    TCurlHttpTransport Transport;
    TSettings Settings{Ctx.Services};
    TSmsData Sms{Ctx.Services};
    TPhoneBookData Book{Ctx.Services, Sms};
    std::unique_ptr<TGateWayData> Gateways = std::make_unique<TGateWayData>(Ctx.Services, Transport, Settings, Sms);
    std::vector<std::pair<bool, TSmsMsgItem*>> Results;

    TSites()
    {
        Transport.TimeoutMs = 5000;
        Sms.OnSendResult = [this](bool ok, TSmsMsgItem& m) { Results.emplace_back(ok, &m); };
    }
    ~TSites() override { Gateways.reset(); }
    TGateWayItem& Gateway(const std::string& host, int port, const std::string& success = "inviato")
    {
        TGateWayItem& g = Gateways->Add("Sito " + std::to_string(Gateways->GateWays().Count()));
        g.SetHostAddress(host);
        g.SetPort(port);
        g.SetCommandSend("/invia.asp?num=<Number>&testo=<Msg>");
        g.SetSuccessSend(success);
        return g;
    }
    TSmsMsgItem& Message(const std::string& number, const std::string& text, int gateway = 0)
    {
        TSmsNumbersItem& c = Book.AddContact("", "", number, "Anna " + number, "", "");
        TSmsMsgItem& m = Sms.FindOrAddMessage(c, text);
        m.SetG(gateway);
        m.SetK(ssToSend);
        return m;
    }
    void Wait(std::size_t n)
    {
        for (int i = 0; i < 2000 && Results.size() < n; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            Ctx.Time.RunPosted();
        }
    }
};

} // namespace

TEST_F(TSites, HttpsIsVerifiedAgainstTheAuthoritiesAndUsedOnceTrusted)
{
    // A test authority and a certificate it signs for the loopback.
    const std::string d = Dir.Path + "/";
    WriteFile(d + "ext.cnf", "subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
    RunToEnd({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "ca.key", "-out", d + "ca.pem",
         "-days", "2", "-subj", "/CN=Quorvanta Test CA"});
    RunToEnd({"openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "site.key", "-out", d + "site.csr", "-subj",
         "/CN=localhost"});
    RunToEnd({"openssl", "x509", "-req", "-in", d + "site.csr", "-CA", d + "ca.pem", "-CAkey", d + "ca.key",
         "-CAcreateserial", "-out", d + "site.pem", "-days", "2", "-extfile", d + "ext.cnf"});
    ASSERT_TRUE(std::filesystem::exists(d + "site.pem"));
    TLoopSite site(std::make_unique<httplib::SSLServer>((d + "site.pem").c_str(), (d + "site.key").c_str()));
    site.Server->Post("/invia.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.set_content("Messaggio inviato", "text/html");
    });
    site.Start();
    ASSERT_GT(site.Port, 0);

    // As a user pastes it: the scheme in the host.
    TGateWayItem& g = Gateway("https://localhost", site.Port);
    TSmsMsgItem& m = Message("3381234567", "Ciao");
    Gateways->SendSms(m);
    Wait(1);
    ASSERT_EQ(Results.size(), 1u);
    EXPECT_EQ(m.K(), ssError);
    EXPECT_EQ(m.E(), "Richiesta HTTP a https://localhost fallita: il certificato del sito non è attendibile");
    EXPECT_EQ(site.CountOf("/invia.asp"), 0u);

    Transport.CaFile = d + "ca.pem"; // the test's authority, trusted by this transport only
    g.Html()->CloseConnection();
    Gateways->SendSms(m);
    Wait(2);
    EXPECT_EQ(m.K(), ssSent) << m.E();
    EXPECT_EQ(site.CountOf("/invia.asp"), 1u);
}

TEST_F(TSites, ALoginSessionInACookieCarriesTheSendsAndEndsWithTheDialogue)
{
    TLoopSite site(std::make_unique<httplib::Server>());
    std::atomic<int> sessions{0};
    site.Server->Post("/login.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.set_header("Set-Cookie", "sessione=s" + std::to_string(++sessions) + "; Path=/; HttpOnly");
        res.set_content("Benvenuto", "text/html");
    });
    site.Server->Post("/invia.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        const bool session = req.get_header_value("Cookie").find("sessione=s") != std::string::npos;
        res.set_content(session ? "Messaggio inviato" : "Sessione scaduta", "text/html");
    });
    site.Start();
    TGateWayItem& g = Gateway("127.0.0.1", site.Port);
    g.SetKind(gkLogin);
    g.SetCommandRegistration("/login.asp?user=<UserName>&pwd=<Password>");
    g.SetSuccessRegistration("Benvenuto");
    // A password with the characters a form gives meaning to arrives whole.
    Gateways->SetCredentials(g, "mario", "a&b+c%d e");
    TSmsMsgItem& one = Message("3381111111", "uno");
    TSmsMsgItem& two = Message("3382222222", "due");
    Gateways->SendSms(one);
    Gateways->SendSms(two);
    Wait(2);
    EXPECT_EQ(one.K(), ssSent) << one.E();
    EXPECT_EQ(two.K(), ssSent) << two.E();
    EXPECT_EQ(site.Requests.at(0).second, "user=mario&pwd=a%26b%2Bc%25d+e");
    EXPECT_EQ(site.CountOf("/login.asp"), 1u);
    // A new dialogue logs in again, with a session of its own.
    Gateways->ResetLogins();
    Gateways->SendSms(Message("3383333333", "tre"));
    Wait(3);
    EXPECT_TRUE(Results.back().first);
    EXPECT_EQ(site.CountOf("/login.asp"), 2u);
    EXPECT_EQ(sessions.load(), 2);
}

TEST_F(TSites, RedirectsToTheSameSiteAreFollowedAndErrorPagesFail)
{
    TLoopSite other(std::make_unique<httplib::Server>());
    other.Server->Get("/.*", [&](const httplib::Request& req, httplib::Response& res) {
        other.Count(req);
        res.set_content("Messaggio inviato", "text/html");
    });
    other.Start();
    TLoopSite site(std::make_unique<httplib::Server>());
    site.Server->Post("/invia.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.set_redirect("/esito.asp?ok=1", 302);
    });
    site.Server->Get("/esito.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.set_content("Messaggio inviato", "text/html");
    });
    site.Server->Post("/altrove.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.set_redirect("http://localhost:" + std::to_string(other.Port) + "/esito.asp", 302);
    });
    site.Server->Post("/guasto.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.status = 500;
        res.set_content("Errore interno. Messaggio inviato? No.", "text/html"); // holds the success text
    });
    site.Start();
    Gateway("127.0.0.1", site.Port);
    TSmsMsgItem& followed = Message("3381111111", "segue");
    Gateways->SendSms(followed);
    Wait(1);
    EXPECT_EQ(followed.K(), ssSent) << followed.E();
    EXPECT_EQ(site.CountOf("/esito.asp"), 1u);

    TGateWayItem& away = Gateway("127.0.0.1", site.Port);
    away.SetCommandSend("/altrove.asp?num=<Number>&testo=<Msg>");
    TSmsMsgItem& elsewhere = Message("3382222222", "altrove", 1);
    Gateways->SendSms(elsewhere);
    Wait(2);
    EXPECT_EQ(elsewhere.K(), ssError);
    EXPECT_NE(elsewhere.E().find("il sito rimanda a un altro indirizzo"), std::string::npos) << elsewhere.E();
    EXPECT_EQ(other.Requests.size(), 0u);

    TGateWayItem& broken = Gateway("127.0.0.1", site.Port);
    broken.SetCommandSend("/guasto.asp?num=<Number>&testo=<Msg>");
    TSmsMsgItem& failed = Message("3383333333", "guasto", 2);
    Gateways->SendSms(failed);
    Wait(3);
    EXPECT_EQ(failed.K(), ssError);
    EXPECT_EQ(failed.E(), "Il sito 127.0.0.1 ha risposto con l'errore HTTP 500");
}

TEST_F(TSites, APasswordTypedInATextStaysTextAndABadGatewayFailsOnlyItsMessage)
{
    TLoopSite site(std::make_unique<httplib::Server>());
    std::atomic<int> atOnce{0}, most{0};
    site.Server->Post("/invia.asp", [&](const httplib::Request& req, httplib::Response& res) {
        const int now = ++atOnce;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        site.Count(req);
        --atOnce;
        res.set_content("Messaggio inviato", "text/html");
    });
    site.Start();
    TGateWayItem& g = Gateway("127.0.0.1", site.Port);
    g.SetCommandSend("/invia.asp?num=<Number>&testo=<Msg>&u=<UserName>&p=<Password>");
    Gateways->SetCredentials(g, "mario", "segreta");
    TGateWayItem& bad = Gateway("", site.Port); // no host
    (void)bad;
    TSmsMsgItem& typed = Message("3381111111", "la mia <Password> e <UserName>");
    TSmsMsgItem& lost = Message("3382222222", "al sito senza host", 1);
    TSmsMsgItem& after = Message("3383333333", "dopo");
    TSmsMsgItem& empty = Message("3384444444", "   ");
    Sms.SendQueued();
    Wait(4);
    EXPECT_EQ(typed.K(), ssSent);
    EXPECT_EQ(after.K(), ssSent);
    EXPECT_EQ(lost.K(), ssError);
    EXPECT_EQ(lost.E(), "Il GateWay Sito 1 non è valido: manca l'host");
    EXPECT_EQ(empty.K(), ssError);
    EXPECT_EQ(empty.E(), "Il messaggio è vuoto");
    ASSERT_EQ(site.Requests.size(), 2u);
    std::string body;
    for (const auto& r : site.Requests)
        if (r.second.find("num=3381111111") != std::string::npos)
            body = r.second;
    EXPECT_EQ(body, "num=3381111111&testo=la+mia+<Password>+e+<UserName>&u=mario&p=segreta");

    // Many messages at once: a few connections, the others wait their turn.
    for (int i = 0; i < 16; ++i)
        Message("33900000" + std::to_string(10 + i), "molti");
    Sms.SendQueued();
    Wait(20);
    EXPECT_EQ(site.Requests.size(), 18u);
    EXPECT_LE(most.load(), THTMLControl::MaxParallel);
}

TEST_F(TSites, AMessageAcceptedJustBeforeAKillIsNeverSentAgain)
{
    TDiskContext disk;
    TSmsData stored(disk.Services);
    stored.SetFileName("SmsMsg.dat");
    TPhoneBookData book(disk.Services, stored);
    TGateWayData gateways(disk.Services, Transport, Settings, stored);
    TLoopSite site(std::make_unique<httplib::Server>());
    std::string atAccept;
    site.Server->Post("/invia.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        // The file as a kill at this moment would leave it.
        atAccept = ReadFile(disk.Dir.Path + "/SmsMsg.dat");
        res.set_content("Messaggio inviato", "text/html");
    });
    site.Start();
    TGateWayItem& g = gateways.Add("Locale");
    g.SetHostAddress("127.0.0.1");
    g.SetPort(site.Port);
    g.SetCommandSend("/invia.asp?num=<Number>&testo=<Msg>");
    TSmsNumbersItem& c = book.AddContact("", "", "3381234567", "Anna", "", "");
    TSmsMsgItem& m = stored.FindOrAddMessage(c, "una volta sola");
    m.SetK(ssToSend);
    bool done = false;
    stored.OnSendResult = [&](bool, TSmsMsgItem&) { done = true; };
    stored.SendQueued();
    for (int i = 0; i < 1000 && !done; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        disk.Time.RunPosted();
    }
    ASSERT_TRUE(done);
    ASSERT_FALSE(atAccept.empty());

    // The next start finds the message that was on its way: broken off, never queued again.
    TDiskContext next;
    WriteFile(next.Dir.Path + "/SmsMsg.dat", atAccept);
    TSmsData restarted(next.Services);
    restarted.SetFileName("SmsMsg.dat");
    restarted.Load();
    ASSERT_EQ(restarted.SmsMsg().Count(), 1u);
    EXPECT_EQ(restarted.SmsMsg()[0].K(), ssError);
    EXPECT_EQ(restarted.SmsMsg()[0].E(), "Procedura di invio interrotta bruscamente!");
    EXPECT_EQ(restarted.CountToSend(), 0);
    EXPECT_EQ(site.CountOf("/invia.asp"), 1u);
}

TEST_F(TSites, AFailedLoginFailsEveryWaitingMessageAtOnceAndNoneIsSentTwice)
{
    TLoopSite site(std::make_unique<httplib::Server>());
    std::atomic<bool> slowLogin{true};
    site.Server->Post("/login.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        if (slowLogin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        res.set_content("Benvenuto", "text/html");
    });
    site.Server->Post("/invia.asp", [&](const httplib::Request& req, httplib::Response& res) {
        site.Count(req);
        res.set_content("Messaggio inviato", "text/html");
    });
    site.Start();
    Transport.TimeoutMs = 500; // the login times out: a failure at the network level
    TGateWayItem& g = Gateway("127.0.0.1", site.Port);
    g.SetKind(gkLogin);
    g.SetCommandRegistration("/login.asp?user=<UserName>&pwd=<Password>");
    g.SetSuccessRegistration("Benvenuto");
    Gateways->SetCredentials(g, "mario", "segreta");
    TSmsMsgItem& first = Message("3381111111", "primo");
    TSmsMsgItem& second = Message("3382222222", "secondo");
    Gateways->SendSms(first);
    Gateways->SendSms(second);
    Wait(2);
    ASSERT_EQ(Results.size(), 2u);
    EXPECT_EQ(first.K(), ssError);
    EXPECT_EQ(second.K(), ssError);
    EXPECT_NE(second.E().find("nessuna risposta dal sito"), std::string::npos) << second.E();
    EXPECT_TRUE(g.Waiting.empty());

    // The failed message deleted, another sent and the first failed one sent again: each once.
    slowLogin = false;
    Transport.TimeoutMs = 5000;
    g.Html()->CloseConnection();
    Sms.DeleteMessage(first);
    TSmsMsgItem& third = Message("3383333333", "terzo");
    Gateways->SendSms(third);
    Gateways->SendSms(second);
    Wait(4);
    EXPECT_EQ(third.K(), ssSent) << third.E();
    EXPECT_EQ(second.K(), ssSent) << second.E();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Ctx.Time.RunPosted();
    EXPECT_EQ(site.CountOf("/invia.asp"), 2u);
    std::size_t primo = 0;
    for (const auto& r : site.Requests)
        primo += r.second.find("testo=primo") != std::string::npos ? 1 : 0;
    EXPECT_EQ(primo, 0u);
}
