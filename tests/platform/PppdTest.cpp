// The pppd dial-up service against a temporary tree and a fake pppd.
#include "TestSupport.h"
#include "core/VirtualTime.h"
#include "platform/linux/PppdDialUp.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace fs = std::filesystem;

namespace {

struct TPppdTree : testing::Test
{
    TTempDir Tree;
    VirtualTime Time;
    std::map<std::string, std::string> Addresses;
    std::unique_ptr<TPppdDialUp> Ppp;
    TPppdTree()
    {
        fs::create_directories(Tree / "etc/ppp/peers");
        fs::create_directories(Tree / "etc/chatscripts");
        fs::create_directories(Tree / "run");
        fs::create_directories(Tree / "proc");
        fs::create_directories(Tree / "sys/class/net");
        WriteFile(Tree / "etc/ppp/peers/tiscali",
                  "# Tiscali\nuser \"mario@tiscali.it\"\nconnect \"/usr/sbin/chat -v -f /etc/chatscripts/tiscali -T "
                  "0702002\"\n/dev/ttyS0\n115200\n");
        WriteFile(Tree / "etc/ppp/peers/libero", "user libero\nconnect '/usr/sbin/chat -v -f /etc/chatscripts/libero'\n");
        WriteFile(Tree / "etc/chatscripts/libero", "ABORT BUSY\n'' ATZ\nOK ATDT 7020 0700\nCONNECT ''\n");
        WriteFile(Tree / "etc/ppp/peers/dsl-provider", "plugin rp-pppoe.so eth0\nuser \"x\"\n");
        WriteFile(Tree / "etc/ppp/peers/.hidden", "");
        WriteFile(Tree / "etc/ppp/pap-secrets", "# client server secret\n\"mario@tiscali.it\" * \"pippo\"\n");
        WriteFile(Tree / "etc/ppp/chap-secrets", "libero * \"\"\n");
        Ppp = std::make_unique<TPppdDialUp>(Time, Tree.Path, "pppd", Tree / "proc");
        Ppp->AddressOf = [this](const std::string& i) { return Addresses[i]; };
    }
    // A pppd process as /proc shows it.
    void Process(int pid, const std::string& entry)
    {
        fs::create_directories(Tree / ("proc/" + std::to_string(pid)));
        WriteFile(Tree / ("proc/" + std::to_string(pid) + "/cmdline"),
                  std::string("/usr/sbin/pppd\0call\0", 20) + entry + std::string("\0nodetach\0", 10));
    }
    void Interface(int pid, const std::string& iface, bool up)
    {
        WriteFile(Tree / ("run/" + iface + ".pid"), std::to_string(pid) + "\n");
        fs::create_directories(Tree / ("sys/class/net/" + iface + "/statistics"));
        WriteFile(Tree / ("sys/class/net/" + iface + "/flags"), up ? "0x10d1\n" : "0x1090\n");
    }
    int State(std::int64_t handle)
    {
        int state = -1;
        return Ppp->ConnectStatus(handle, state) == 0 ? state : -Ppp->ConnectStatus(handle, state);
    }
};

} // namespace

TEST_F(TPppdTree, PhoneBookNumbersAndCredentials)
{
    std::vector<std::string> names;
    ASSERT_EQ(Ppp->Entries(names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"dsl-provider", "libero", "tiscali"}));
    TRasEntryProperties p;
    ASSERT_EQ(Ppp->EntryProperties("tiscali", p), 0);
    EXPECT_EQ(p.LocalNumber, "0702002");
    ASSERT_EQ(Ppp->EntryProperties("libero", p), 0);
    EXPECT_EQ(p.LocalNumber, "70200700");
    ASSERT_EQ(Ppp->EntryProperties("dsl-provider", p), 0);
    EXPECT_EQ(p.LocalNumber, "");
    EXPECT_NE(Ppp->EntryProperties("nessuno", p), 0);
    TRasCredentials c;
    ASSERT_EQ(Ppp->GetCredentials("tiscali", c), 0);
    EXPECT_EQ(c.User, "mario@tiscali.it");
    EXPECT_EQ(c.Password, "pippo");
    EXPECT_TRUE(c.PasswordSaved);
    ASSERT_EQ(Ppp->GetCredentials("libero", c), 0);
    EXPECT_FALSE(c.PasswordSaved);
    Ppp->SetCredentials("tiscali", "mario@tiscali.it", "", true);
    Ppp->GetCredentials("tiscali", c);
    EXPECT_FALSE(c.PasswordSaved);
    Ppp->SetCredentials("tiscali", "mario@tiscali.it", "nuova", false);
    Ppp->GetCredentials("tiscali", c);
    EXPECT_EQ(c.Password, "nuova");
    EXPECT_NE(ReadFile(Tree / "etc/ppp/pap-secrets").find("# client server secret"), std::string::npos);
}

TEST_F(TPppdTree, AWrapperThatBecomesPppdLateIsListed)
{
    fs::create_directories(Tree / "proc/4242");
    WriteFile(Tree / "proc/4242/cmdline", std::string("/bin/sh\0/usr/local/bin/connetti\0", 32));
    std::vector<TRasConnection> found;
    for (int scan = 0; scan < 25; ++scan) {
        ASSERT_EQ(Ppp->Connections(found), 0);
        EXPECT_TRUE(found.empty());
    }
    Process(4242, "tiscali"); // the wrapper runs "exec pppd call tiscali"
    int scans = 0;
    do {
        ASSERT_EQ(Ppp->Connections(found), 0);
        ++scans;
    } while (found.empty() && scans < 30);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Entry, "tiscali");
    EXPECT_LE(scans, 10);
}

TEST_F(TPppdTree, CredentialsFollowThePeersServerName)
{
    // One user at two providers, told apart by their "remotename"; the secrets file is a link.
    WriteFile(Tree / "etc/ppp/peers/isp1", "user mario\nremotename isp1\n");
    WriteFile(Tree / "etc/ppp/peers/isp2", "user mario\nremotename isp2\n");
    WriteFile(Tree / "etc/ppp/real-pap-secrets", "\"mario\" isp1 \"uno\"\nmario isp2 due\n");
    fs::remove(Tree / "etc/ppp/pap-secrets");
    fs::create_symlink(Tree / "etc/ppp/real-pap-secrets", Tree / "etc/ppp/pap-secrets");
    TRasCredentials c;
    ASSERT_EQ(Ppp->GetCredentials("isp2", c), 0);
    EXPECT_EQ(c.Password, "due");
    ASSERT_EQ(Ppp->SetCredentials("isp1", "mario", "nuova", false), 0);
    EXPECT_EQ(ReadFile(Tree / "etc/ppp/real-pap-secrets"), "\"mario\" isp1 \"nuova\"\nmario isp2 due\n");
    EXPECT_TRUE(fs::is_symlink(Tree / "etc/ppp/pap-secrets"));
    // Forgetting isp1's password after a refused login leaves isp2's.
    ASSERT_EQ(Ppp->SetCredentials("isp1", "mario", "", true), 0);
    Ppp->GetCredentials("isp2", c);
    EXPECT_EQ(c.Password, "due");
    Ppp->GetCredentials("isp1", c);
    EXPECT_FALSE(c.PasswordSaved);
}

TEST_F(TPppdTree, ClassificationThroughAWholeConnection)
{
    std::vector<TRasConnection> list;
    ASSERT_EQ(Ppp->Connections(list), 0);
    EXPECT_TRUE(list.empty()); // off line
    Process(4242, "tiscali");
    ASSERT_EQ(Ppp->Connections(list), 0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Entry, "tiscali");
    EXPECT_EQ(State(4242), 2); // pppd without its interface: dialling
    Interface(4242, "ppp0", false);
    EXPECT_EQ(State(4242), 5); // interface not up yet: connecting
    Interface(4242, "ppp0", true);
    EXPECT_EQ(State(4242), 5); // up but no address yet
    Addresses["ppp0"] = "151.24.3.7";
    EXPECT_EQ(State(4242), RASCS_Connected);
    std::string address;
    EXPECT_EQ(Ppp->ProjectionAddress(4242, address), 0);
    EXPECT_EQ(address, "151.24.3.7");
    WriteFile(Tree / "sys/class/net/ppp0/statistics/tx_bytes", "1200\n");
    WriteFile(Tree / "sys/class/net/ppp0/statistics/rx_bytes", "56000\n");
    const auto counts = Ppp->ByteCounts(4242);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->Sent, 1200u);
    EXPECT_EQ(counts->Received, 56000u);
    // A second pppd: the older one is listed first and decides.
    Process(5000, "libero");
    ASSERT_EQ(Ppp->Connections(list), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].Entry, "tiscali");
    EXPECT_EQ(list[0].Device, "ppp0");
    // A pppd started from an options file names its link in /run/ppp-LINKNAME.pid.
    fs::create_directories(Tree / "proc/6000");
    WriteFile(Tree / "proc/6000/cmdline", std::string("pppd\0file\0/etc/ppp/options.dsl\0", 31));
    WriteFile(Tree / "run/ppp-dsl-provider.pid", "6000\n");
    ASSERT_EQ(Ppp->Connections(list), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].Entry, "dsl-provider");
    fs::remove_all(Tree / "proc/4242");
    EXPECT_EQ(-State(4242), ERROR_INVALID_HANDLE); // gone: off line
}

TEST(PppdLines, StepsAndExitCodes)
{
    EXPECT_EQ(TPppdDialUp::StepOfLine("send (ATDT0702002^M)"), 2);
    EXPECT_EQ(TPppdDialUp::StepOfLine("Serial connection established."), 3);
    EXPECT_EQ(TPppdDialUp::StepOfLine("Using interface ppp0"), 4);
    EXPECT_EQ(TPppdDialUp::StepOfLine("Connect: ppp0 <--> /dev/ttyS0"), 5);
    EXPECT_EQ(TPppdDialUp::StepOfLine("PAP authentication succeeded"), 14);
    EXPECT_EQ(TPppdDialUp::StepOfLine("local  IP address 151.24.3.7"), 18);
    EXPECT_EQ(TPppdDialUp::StepOfLine("rcvd [LCP ConfReq id=0x1]"), -1);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(8, "expect (CONNECT)\nBUSY\n"), 676);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(8, "NO DIALTONE"), 680);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(8, "alarm"), 678);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(19, ""), 691);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(16, ""), 629);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(5, ""), 0);
    EXPECT_EQ(TPppdDialUp::ErrorOfExit(1, ""), 797);
}

namespace {

// A fake pppd: behaves by the peer name it is called with, writes its pid file like pppd.
struct TFakePppd : testing::Test
{
    TTempDir Tree;
    VirtualTime Time;
    std::unique_ptr<TPppdDialUp> Ppp;
    std::vector<std::pair<int, int>> Progress;
    TFakePppd()
    {
        fs::create_directories(Tree / "etc/ppp/peers");
        fs::create_directories(Tree / "run");
        for (const char* peer : {"ok", "busy", "auth"})
            WriteFile(Tree / ("etc/ppp/peers/" + std::string(peer)), "connect \"chat -T 0702002\"\n");
        WriteFile(Tree / "pppd", "#!/bin/sh\n"
                                 "echo \"send (ATDT0702002^M)\"\n"
                                 "case \"$2\" in\n"
                                 "busy) echo BUSY; exit 8;;\n"
                                 "auth) echo 'Serial connection established.'; echo 'PAP authentication failed'; exit 19;;\n"
                                 "esac\n"
                                 "echo 'Serial connection established.'\n"
                                 "echo 'Using interface ppp0'\n"
                                 "echo $$ > " + Tree.Path + "/run/ppp0.pid\n"
                                 "echo 'Connect: ppp0 <--> /dev/ttyS0'\n"
                                 "echo 'PAP authentication succeeded'\n"
                                 "echo 'local  IP address 151.24.3.7'\n"
                                 "trap 'exit 5' TERM\n"
                                 "while :; do sleep 0.05; done\n");
        ::chmod((Tree / "pppd").c_str(), 0755);
        Ppp = std::make_unique<TPppdDialUp>(Time, Tree.Path, Tree / "pppd");
        fs::create_directories(Tree / "q");
        Ppp->RuntimeFolder = Tree / "q";
    }
    std::int64_t Dial(const std::string& peer)
    {
        std::int64_t handle = 0;
        EXPECT_EQ(Ppp->Dial(peer, "u", "p", [this](int s, int e) { Progress.emplace_back(s, e); }, handle), 0);
        return handle;
    }
    // Runs the main loop until the condition holds (real time: the fake pppd is a real process).
    bool WaitFor(const std::function<bool()>& done)
    {
        for (int i = 0; i < 300 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Time.Advance(0);
        }
        return done();
    }
};

} // namespace

TEST_F(TFakePppd, DialThatSucceedsThenHangUp)
{
    const std::int64_t pid = Dial("ok");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return !Progress.empty() && Progress.back().first == 21; }));
    std::vector<int> steps;
    for (const auto& [s, e] : Progress) {
        EXPECT_EQ(e, 0);
        steps.push_back(s);
    }
    EXPECT_EQ(steps, (std::vector<int>{0, 2, 3, 4, 5, 14, 18, 21}));
    std::vector<TRasConnection> list;
    ASSERT_EQ(Ppp->Connections(list), 0);
    bool seen = false;
    for (const auto& c : list)
        seen = seen || (c.Handle == pid && c.Entry == "ok" && c.Device == "ppp0");
    EXPECT_TRUE(seen);
    EXPECT_EQ(Ppp->HangUp(pid), 0);
    Time.Advance(0);
    EXPECT_EQ(Progress.back().second, 0); // our own hang-up is not an error
}

TEST_F(TFakePppd, BusyLineAndFailedAuthentication)
{
    Dial("busy");
    ASSERT_TRUE(WaitFor([&] { return !Progress.empty() && Progress.back().second != 0; }));
    EXPECT_EQ(Progress.back().second, ERROR_LINE_BUSY);
    Progress.clear();
    Dial("auth");
    ASSERT_TRUE(WaitFor([&] { return !Progress.empty() && Progress.back().second != 0; }));
    EXPECT_EQ(Progress.back().second, ERROR_AUTHENTICATION_FAILURE);
    EXPECT_EQ(Ppp->ErrorText(691), "Accesso negato: nome utente o password non validi.");
}

TEST_F(TFakePppd, MissingPppdFailsToStart)
{
    Ppp = std::make_unique<TPppdDialUp>(Time, Tree.Path, Tree / "no-such-pppd");
    std::int64_t handle = 0;
    EXPECT_EQ(Ppp->Dial("ok", "", "", [](int, int) {}, handle), ERROR_DIALUP_NOT_INSTALLED);
}

TEST_F(TPppdTree, SavedPasswordGoesToTheKeyringElseTheSecretsFilesElseIsRefused)
{
    std::map<std::string, std::string> kept;
    Ppp->Keyring.Find = [&](const std::string& e, const std::string& u) -> std::optional<std::string> {
        const auto it = kept.find(e + "/" + u);
        return it == kept.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    Ppp->Keyring.Store = [&](const std::string& e, const std::string& u, const std::string& p) {
        kept[e + "/" + u] = p;
        return true;
    };
    Ppp->Keyring.Forget = [&](const std::string& e, const std::string& u) { kept.erase(e + "/" + u); };
    const std::string secrets = ReadFile(Tree / "etc/ppp/pap-secrets");
    EXPECT_EQ(Ppp->SetCredentials("libero", "libero", "dal-portachiavi", false), 0);
    EXPECT_EQ(kept["libero/libero"], "dal-portachiavi");
    EXPECT_EQ(ReadFile(Tree / "etc/ppp/pap-secrets"), secrets); // the files are left alone
    TRasCredentials c;
    Ppp->GetCredentials("libero", c);
    EXPECT_TRUE(c.PasswordSaved);
    EXPECT_EQ(c.Password, "dal-portachiavi");
    EXPECT_EQ(Ppp->SetCredentials("libero", "libero", "", true), 0);
    EXPECT_TRUE(kept.empty());

    // No keyring and no secrets file to write: the password cannot be kept, and that is said.
    Ppp->Keyring = {};
    fs::remove(Tree / "etc/ppp/pap-secrets");
    fs::remove(Tree / "etc/ppp/chap-secrets");
    EXPECT_EQ(Ppp->SetCredentials("libero", "libero", "x", false), ERROR_CANNOT_SAVE_PASSWORD);
    EXPECT_NE(Ppp->ErrorText(ERROR_CANNOT_SAVE_PASSWORD).find("La password non può essere salvata"), std::string::npos);
}
