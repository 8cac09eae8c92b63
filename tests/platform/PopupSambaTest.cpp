// Popup messages through Samba: a real smbd started by the test on the loopback with a private
// configuration, its own port and folders, and a message command that writes each message to a
// file. Without smbd (or where it cannot listen) only the transport's parsing tests below run.
#include "ChildProcess.h"
#include "CliRun.h"
#include "TestSupport.h"
#include "messenger/Messenger.h"
#include "platform/linux/SmbPopupTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool Listening(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

struct TSambaServer : testing::Test
{
    TTempDir Dir;
    int Port = FreePort();
    std::unique_ptr<TChild> Smbd;
    std::string Messages = Dir / "msgs";

    void SetUp() override
    {
        if (!std::filesystem::exists("/usr/sbin/smbd"))
            GTEST_SKIP() << "smbd is not installed (make deps installs samba)";
        for (const char* d : {"run", "lock", "state", "cache", "private", "msgs"})
            std::filesystem::create_directories(Dir / d);
        // The message command runs as the guest account.
        std::filesystem::permissions(Messages, std::filesystem::perms::all);
        std::filesystem::permissions(Dir.Path, std::filesystem::perms::all);
        WriteFile(Dir / "smb.conf",
                  "[global]\n"
                  "  netbios name = QVTEST\n  workgroup = QVWG\n  server role = standalone server\n"
                  "  smb ports = " + std::to_string(Port) + "\n"
                  "  interfaces = 127.0.0.1\n  bind interfaces only = yes\n  disable netbios = yes\n"
                  "  pid directory = " + Dir / "run" + "\n  lock directory = " + Dir / "lock" + "\n"
                  "  state directory = " + Dir / "state" + "\n  cache directory = " + Dir / "cache" + "\n"
                  "  private dir = " + Dir / "private" + "\n  ncalrpc dir = " + Dir / "ncalrpc" + "\n"
                  "  log file = " + Dir / "log.%m" + "\n  load printers = no\n  printcap name = /dev/null\n"
                  // The server's character sets are a stock Samba's (dos charset CP850).
                  "  server min protocol = NT1\n"
                  "  message command = /bin/sh -c '/bin/cat %s > $(/bin/mktemp " + Messages +
                      "/msg-XXXXXX); /bin/rm %s' &\n");
        Smbd = std::make_unique<TChild>(std::vector<std::string>{"/usr/sbin/smbd", "--foreground",
                                                                 "-s", Dir / "smb.conf"});
        for (int i = 0; i < 200 && !Listening(Port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        if (!Listening(Port))
            GTEST_SKIP() << "smbd cannot listen here (it may need root); the parsing tests still run";
    }
    // The messages that arrived, once the given number is there (or after 10 s).
    std::vector<std::string> Arrived(std::size_t count)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < 400; ++i) {
            texts.clear();
            for (const auto& f : std::filesystem::directory_iterator(Messages))
                if (f.file_size() > 0)
                    texts.push_back(ReadFile(f.path().string()));
            if (texts.size() >= count)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return texts;
    }
    std::string To(const std::string& name) const { return name + "@127.0.0.1:" + std::to_string(Port); }
};

} // namespace

TEST(SmbPopup, RecipientsStatusesAndNameLookups)
{
    const TPopupRecipient plain = ParsePopupRecipient(" ALICE ");
    EXPECT_EQ(plain.Name, "ALICE");
    EXPECT_EQ(plain.Address, "");
    const TPopupRecipient full = ParsePopupRecipient("Bob@192.168.1.20:1139");
    EXPECT_EQ(full.Name, "Bob");
    EXPECT_EQ(full.Address, "192.168.1.20");
    EXPECT_EQ(full.Port, 1139);
    EXPECT_EQ(ParsePopupRecipient("pc@fe80::1").Address, "fe80::1"); // an IPv6 address keeps its colons
    EXPECT_EQ(SmbStatus(0, "Type your message, ending it with a Control-D\n"), 0);
    EXPECT_EQ(SmbStatus(1, "Connection to BOB failed. Error NT_STATUS_CONNECTION_REFUSED\n"), 2136);
    EXPECT_EQ(SmbStatus(1, "session setup failed: NT_STATUS_ACCESS_DENIED"), 5);
    EXPECT_EQ(SmbStatus(1, "name_query failed to find name X"), 2273);
    EXPECT_EQ(SmbStatus(1, "protocol negotiation failed: NT_STATUS_NOT_SUPPORTED"), 50);
    EXPECT_EQ(NmbAddress("querying ALICE on 192.168.1.255\n192.168.1.20 ALICE<00>\n"), "192.168.1.20");
    EXPECT_EQ(NmbAddress("name_query failed to find name ALICE\n"), "");
    TSmbPopupTransport none({"/nonexistent"});
    EXPECT_FALSE(none.Available());
}

TEST(SmbPopup, TextsAreJudgedAsSmbclientReadsThem)
{
    TSmbPopupTransport t({"/nonexistent"});
    // CP850 holds the accented letters of Italian, not the euro sign or a check mark.
    EXPECT_EQ(t.Unsendable("Caffè, perché sì: Ë ñ ß"), "");
    EXPECT_EQ(t.Unsendable("Costa 5 € ✓ e 3 € ✓"), "€✓");
    EXPECT_EQ(SmbInput("a€b\r\nc\rd\ne", "CP850"), "a?b\nc\nd\ne");
    EXPECT_EQ(SmbInputBytes("è\nx"), 5u);
    // At the limit the text goes; one byte more and it is refused with the limit named.
    EXPECT_EQ(t.TooLong(std::string(1598, 'x')), "");
    EXPECT_EQ(t.TooLong(std::string(1596, 'x') + "\r\n"), "");
    EXPECT_NE(t.TooLong(std::string(1597, 'x') + "è").find("occupa 1599 byte e ne può occupare al massimo 1598"),
              std::string::npos);
    EXPECT_NE(t.TooLong(std::string(1597, 'x') + "\n"), "");
    EXPECT_EQ(t.Send("ALICE@127.0.0.1", std::string(3003, 'x')), 2123); // refused before anything runs
}

TEST_F(TSambaServer, AMessageArrivesWithItsTextAndSignature)
{
    auto transport = std::make_shared<TSmbPopupTransport>();
    transport->LookupOptions = {"-U", "127.0.0.1", "-R"}; // never a broadcast beyond the loopback
    ASSERT_TRUE(transport->Available());
    EXPECT_EQ(transport->Send(To("ALICE"), "Prova diretta è"), 0);

    TTestContext ctx;
    TMessenger messenger(ctx.Services, transport);
    ASSERT_TRUE(messenger.IsActive());
    messenger.OnAddSignature = [](std::string& s) { s += "\r\n-- Mario, perché no?"; };
    std::vector<std::string> errors;
    messenger.OnError = [&](const std::string& e) { errors.push_back(e); };
    TMsgData d;
    d.Dest = To("BOB");
    d.Msg = "Il pranzo è pronto";
    d.DataInvio = ctx.Time.Now();
    messenger.SendMsg(d);
    TMsgData missing = d;
    missing.Dest = "NESSUNO"; // looked up by name on the loopback only: not found
    messenger.SendMsg(missing);
    TMsgData refused = d;
    refused.Dest = "BOB@127.0.0.1:" + std::to_string(FreePort()); // nothing listens there
    messenger.SendMsg(refused);
    ctx.Time.Advance(1000);
    for (int i = 0; i < 1500 && messenger.CountByState(msSending) > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ctx.Time.RunPosted();
    }
    ASSERT_EQ(messenger.Msgs().Count(), 3u);
    EXPECT_EQ(messenger.Msgs()[0].Stato(), msSent);
    EXPECT_EQ(messenger.Msgs()[1].Stato(), msError);
    EXPECT_EQ(messenger.Msgs()[1].ErrorCode(), 2273);
    EXPECT_EQ(messenger.Msgs()[2].ErrorCode(), 2136);
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Impossibile inviare il messaggio a NESSUNO: Il nome dell'utente specificato non è stato trovato"),
              errors.end());

    const auto texts = Arrived(2);
    ASSERT_EQ(texts.size(), 2u);
    // One CR LF on the wire per line end, which smbd stores as LF.
    const bool both = (texts[0] == "Prova diretta è" && texts[1] == "Il pranzo è pronto\n-- Mario, perché no?") ||
                      (texts[1] == "Prova diretta è" && texts[0] == "Il pranzo è pronto\n-- Mario, perché no?");
    EXPECT_TRUE(both) << texts[0] << "\n---\n" << texts[1];
}

TEST_F(TSambaServer, LongTextsAndCharactersTheReceiverLacks)
{
    auto transport = std::make_shared<TSmbPopupTransport>();
    // The longest message arrives whole; a longer one is refused, never cut and called sent.
    EXPECT_EQ(transport->Send(To("ALICE"), std::string(1598, 'x')), 0);
    const TRun longer = Cli({"--data-dir", Dir / "data", "popup", "send", "--to", To("ALICE"), "--text", std::string(3003, 'y')});
    EXPECT_EQ(longer.Code, 1);
    EXPECT_NE(longer.Err.find("occupa 3003 byte e ne può occupare al massimo 1598"), std::string::npos) << longer.Err;
    // The euro sign is named and asked about; the command line sends it only when forced, as "?",
    // and the rest of the text keeps its accents.
    const TRun asked = Cli({"--data-dir", Dir / "data", "popup", "send", "--to", To("ALICE"), "--text", "Caffè 1 €"});
    EXPECT_EQ(asked.Code, 1);
    EXPECT_NE(asked.Err.find("Il destinatario non può ricevere questi caratteri: «€»"), std::string::npos) << asked.Err;
    const TRun forced =
        Cli({"--data-dir", Dir / "data", "popup", "send", "--to", To("ALICE"), "--text", "Caffè 1 €", "--force"});
    EXPECT_EQ(forced.Code, 0) << forced.Err;
    auto texts = Arrived(2);
    ASSERT_EQ(texts.size(), 2u);
    std::sort(texts.begin(), texts.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); });
    EXPECT_EQ(texts[0], "Caffè 1 ?");
    EXPECT_EQ(texts[1], std::string(1598, 'x'));
}

TEST_F(TSambaServer, TheCommandLineSendsAndWaits)
{
    const TRun r = Cli({"--data-dir", Dir / "data", "popup", "send", "--to", To("CARLA"), "--text", "Dalla riga di comando"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "Inviato a " + To("CARLA") + "\n");
    const auto texts = Arrived(1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Dalla riga di comando"), std::string::npos);
}
