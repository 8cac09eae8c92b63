// The check for news and new releases through the HTTP client, on a fake transport: a new
// announcement opens the about box, a newer build is told, a user-started check always answers.
#include "TestSupport.h"
#include "app/About.h"
#include "app/AnnounceCheck.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

struct TFakeServer : IHttpTransport, IHttpConnection
{
    std::shared_ptr<IHttpConnection> Connect(const std::string& host, int port, const std::string&, const std::string&,
                                             int&, std::string&) override
    {
        std::lock_guard lock(M);
        Host = host + ":" + std::to_string(port);
        return std::shared_ptr<IHttpConnection>(this, [](IHttpConnection*) {});
    }
    THttpResponse Perform(const THttpRequest& request, const std::atomic<bool>&) override
    {
        std::lock_guard lock(M);
        Asked.push_back(request.Path);
        THttpResponse r;
        const auto it = Files.find(request.Path);
        if (it == Files.end()) {
            r.Code = 7;
            r.ErrorText = "Couldn't connect to server";
            return r;
        }
        r.Ok = true;
        r.Body = it->second;
        return r;
    }
    std::mutex M;
    std::string Host;
    std::map<std::string, std::string> Files;
    std::vector<std::string> Asked;
};

struct TAnnounce : testing::Test
{
    TTestContext Ctx;
    TFakeServer Server;
    std::unique_ptr<TDataModule> Data;
    std::unique_ptr<THTMLControl> Html;
    std::unique_ptr<TAnnounceCheck> Check;
    std::vector<std::string> Balloons;
    int AboutOpened = 0;
    TAnnounce()
    {
        Data = std::make_unique<TDataModule>(Ctx.Services);
        Data->LoadAll();
        Html = std::make_unique<THTMLControl>(Ctx.Services, Server);
        Check = std::make_unique<TAnnounceCheck>(Ctx.Services, *Data, *Html);
        Check->ShowBalloon = [this](const std::string& t) { Balloons.push_back(t); };
        Check->OpenAbout = [this] { ++AboutOpened; };
    }
    void Settle()
    {
        for (int i = 0; i < 500 && Check->Running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            Ctx.Time.RunPosted();
        }
    }
};

} // namespace

TEST_F(TAnnounce, NoAddressNoRequest)
{
    Check->Start(false);
    EXPECT_FALSE(Check->Running());
    EXPECT_TRUE(Balloons.empty());
    EXPECT_TRUE(Server.Asked.empty());
    Check->Start(true);
    ASSERT_EQ(Balloons.size(), 1u);
    EXPECT_EQ(Balloons[0].rfind("Impossibile controllare la presenza di nuove versioni! \r", 0), 0u);
}

TEST_F(TAnnounce, ANewAnnouncementOpensTheAboutBoxOnce)
{
    Ctx.Registry.RegWriteString(TAnnounceCheck::Section, TAnnounceCheck::AddressValue, "novita.example.org:8080/qv/");
    Server.Files["/qv/annuncio.txt"] = "  Quorvanta 1.1: arrivano le skin!\n";
    Server.Files["/qv/versione.txt"] = "1.0.0.5"; // older than this build (7)
    Check->Start(false);
    EXPECT_EQ(Balloons.front(), "Controllo presenza di nuove versioni di Quorvanta in corso...");
    Settle();
    EXPECT_EQ(Server.Host, "novita.example.org:8080");
    EXPECT_EQ(AboutOpened, 1);
    EXPECT_TRUE(Data->QuestionPending);
    EXPECT_EQ(Data->Settings.LastAnnounce(), "Quorvanta 1.1: arrivano le skin!");
    EXPECT_EQ(Server.Asked, (std::vector<std::string>{"/qv/annuncio.txt"}));
    // Seen already: the version is asked; an older build is told only to a user who asked.
    Data->QuestionPending = false;
    Check->Start(false);
    Settle();
    EXPECT_EQ(AboutOpened, 1);
    EXPECT_EQ(Server.Asked.back(), "/qv/versione.txt");
    EXPECT_EQ(Balloons.back(), "Controllo presenza di nuove versioni di Quorvanta in corso...");
    Check->Start(true);
    Settle();
    EXPECT_EQ(Balloons.back(),
              "Peccato!!! Non è ancora disponibile una nuova versione di Quorvanta rispetto alla 1.0.0.5");
}

TEST_F(TAnnounce, ANewerBuildIsToldAndErrorsOnlyToTheUser)
{
    Ctx.Registry.RegWriteString(TAnnounceCheck::Section, TAnnounceCheck::AddressValue, "novita.example.org");
    Server.Files["/annuncio.txt"] = BuiltInAnnouncement;
    Server.Files["/versione.txt"] = "1.1.0.250\r\n";
    Check->Start(false);
    Settle();
    EXPECT_EQ(Balloons.back(), (*ProjectPage ? std::string("Su ") + ProjectPage + " è" : std::string("È")) +
                                   " disponibile la nuova versione 1.1.0.250");
    EXPECT_EQ(Server.Host, "novita.example.org:80");
    EXPECT_TRUE(TAnnounceCheck::IsNewer("2.8", 7));
    EXPECT_FALSE(TAnnounceCheck::IsNewer("2.8-beta", 1));
    EXPECT_FALSE(TAnnounceCheck::IsNewer("1.0.0.7", 7));

    Server.Files.clear();
    const std::size_t before = Balloons.size();
    Check->Start(false);
    Settle();
    EXPECT_EQ(Balloons.size(), before + 1); // only the "in corso" balloon
    Check->Start(true);
    Settle();
    EXPECT_EQ(Balloons.back(), "Impossibile controllare la presenza di nuove versioni! \rRichiesta HTTP a "
                               "novita.example.org fallita: Couldn't connect to server");
}
