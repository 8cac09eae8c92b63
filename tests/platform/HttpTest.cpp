// The HTTP client on libcurl against a loopback server (cpp-httplib) started by the test: what a
// POST and a GET send, the referrer and the kept connection, the response's line ends, and every
// failure reported once through OnError.
#include "TestSupport.h"
#include "platform/linux/CurlHttp.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <mutex>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

struct TSeen
{
    std::string Method, Path, Body, ContentType, Referrer, Peer;
};

struct THttp : testing::Test
{
    httplib::Server Server;
    int Port = 0;
    std::thread Thread;
    std::mutex M;
    std::vector<TSeen> Seen;
    TTestContext Ctx;
    TCurlHttpTransport Transport;
    std::unique_ptr<THTMLControl> Html = std::make_unique<THTMLControl>(Ctx.Services, Transport);
    std::vector<std::pair<const void*, std::string>> Results, Errors;

    THttp()
    {
        const auto record = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(M);
            Seen.push_back({req.method, req.target, req.body, req.get_header_value("Content-Type"),
                            req.get_header_value("Referer"), req.remote_addr + ":" + std::to_string(req.remote_port)});
            res.set_content("riga uno\nriga due\n\nOK", "text/plain");
        };
        Server.Post(R"(/.*)", record);
        Server.Get(R"(/vuoto)", [](const httplib::Request&, httplib::Response& res) { res.set_content("", "text/plain"); });
        Server.Get(R"(/lento)", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            res.set_content("tardi", "text/plain");
        });
        Server.Get(R"(/enorme)", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(1500000, 'x'), "text/plain");
        });
        Server.Get(R"(/.*)", record);
        Port = Server.bind_to_any_port("127.0.0.1");
        Thread = std::thread([this] { Server.listen_after_bind(); });
        for (int i = 0; i < 200 && !Server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Html->SetHost("127.0.0.1");
        Html->SetPort(Port);
        Html->OnResult = [this](const void* s, const std::string& t) { Results.emplace_back(s, t); };
        Html->OnError = [this](const void* s, const std::string& t) { Errors.emplace_back(s, t); };
    }
    ~THttp() override
    {
        Html.reset();
        Server.stop();
        Thread.join();
    }
    // Lets the workers' events in until n have come (or 10 s pass).
    void Wait(std::size_t n)
    {
        for (int i = 0; i < 1000 && Results.size() + Errors.size() < n; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Ctx.Time.RunPosted();
        }
    }
};

} // namespace

TEST_F(THttp, PostAndGetSendWhatTheyShouldAndTheConnectionIsKept)
{
    int first = 1, second = 2, third = 3;
    Html->ReferenceURL = "http://gateway.example.org/invio.asp";
    Html->PostRequest("/invia.asp?numero=3331234567&testo=ciao%20a+tutti", &first);
    Wait(1);
    Html->PostRequest("/solo/percorso", &second);
    Wait(2);
    Html->GetRequest("/versione.txt?v=1", &third);
    Wait(3);
    ASSERT_EQ(Errors.size(), 0u) << Errors[0].second;
    ASSERT_EQ(Seen.size(), 3u);
    EXPECT_EQ(Seen[0].Method, "POST");
    EXPECT_EQ(Seen[0].Path, "/invia.asp");
    EXPECT_EQ(Seen[0].Body, "numero=3331234567&testo=ciao%20a+tutti");
    EXPECT_EQ(Seen[0].ContentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(Seen[0].Referrer, "http://gateway.example.org/invio.asp");
    // A command without "?" is the path and the body.
    EXPECT_EQ(Seen[1].Path, "/solo/percorso");
    EXPECT_EQ(Seen[1].Body, "/solo/percorso");
    EXPECT_EQ(Seen[2].Method, "GET");
    EXPECT_EQ(Seen[2].Path, "/versione.txt?v=1");
    EXPECT_EQ(Seen[2].Body, "");
    EXPECT_EQ(Seen[2].ContentType, "application/x-www-form-urlencoded");
    // The same connection for all three.
    EXPECT_EQ(Seen[0].Peer, Seen[1].Peer);
    EXPECT_EQ(Seen[1].Peer, Seen[2].Peer);
    // Each result with its sender, LF-only lines back with CR LF.
    ASSERT_EQ(Results.size(), 3u);
    EXPECT_EQ(Results[0].first, &first);
    EXPECT_EQ(Results[0].second, "riga uno\r\nriga due\r\n\r\nOK\r\n");

    // Another host name for the same server connects anew; the same host again does not.
    Html->SetHost("127.0.0.1");
    EXPECT_TRUE(Html->Connected());
    Html->SetHost("localhost");
    EXPECT_FALSE(Html->Connected());
    Html->PostRequest("/a?b", &first);
    Wait(4);
    ASSERT_EQ(Seen.size(), 4u);
    EXPECT_NE(Seen[3].Peer, Seen[2].Peer);
}

TEST_F(THttp, EmptyBodiesEmptyHostsAndThePort)
{
    int s = 0;
    Html->GetRequest("/vuoto", &s);
    Wait(1);
    ASSERT_EQ(Results.size(), 1u);
    EXPECT_EQ(Results[0].second, "");

    THTMLControl none(Ctx.Services, Transport);
    EXPECT_EQ(none.Port(), 80);
    std::vector<std::string> errors;
    const void* from = nullptr;
    none.OnError = [&](const void* sender, const std::string& t) {
        from = sender;
        errors.push_back(t);
    };
    try {
        none.PostRequest("/x?y", &s);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile connettersi: nessun host specificato");
    }
    none.GetRequest("/x", &s);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Fallita la GetRequest Impossibile connettersi: nessun host specificato");
    EXPECT_EQ(from, &none);
    none.SetHost("127.0.0.1");
    none.SetPort(70000);
    EXPECT_THROW(none.PostRequest("/x", &s), EQvError);
}

TEST_F(THttp, ARefusedConnectionATimeoutAndATooLongBodyEachGiveOneError)
{
    Transport.TimeoutMs = 500;
    int slow = 1, big = 2, refused = 3;
    Html->GetRequest("/lento", &slow);
    Html->GetRequest("/enorme", &big);
    Wait(2);
    THTMLControl other(Ctx.Services, Transport);
    other.SetHost("127.0.0.1");
    other.SetPort(1); // nothing listens there
    other.OnError = [this](const void* s, const std::string& t) { Errors.emplace_back(s, t); };
    other.GetRequest("/", &refused);
    Wait(3);
    ASSERT_EQ(Errors.size(), 3u);
    EXPECT_TRUE(Results.empty());
    for (const auto& [sender, text] : Errors) {
        if (sender == &big)
            EXPECT_EQ(text, "Richiesta HTTP a 127.0.0.1 fallita: la risposta del sito è troppo grande (oltre 1024 kB)");
        else if (sender == &slow)
            EXPECT_EQ(text.rfind("Richiesta HTTP a 127.0.0.1 fallita: nessuna risposta dal sito entro ", 0), 0u) << text;
        else
            EXPECT_EQ(text, "Richiesta HTTP a 127.0.0.1 fallita: connessione rifiutata da 127.0.0.1:1");
    }
}

TEST(HttpText, LinesComeBackWithCrLf)
{
    EXPECT_EQ(THTMLControl::WithCrLf(""), "");
    EXPECT_EQ(THTMLControl::WithCrLf("a"), "a\r\n");
    EXPECT_EQ(THTMLControl::WithCrLf("a\r\nb\rc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(THTMLControl::WithCrLf("\n\n"), "\r\n\r\n");
}
