// The pppd adapter as a real system runs it: Debian's chat against a modem on a pseudo-terminal,
// started by a fake pppd that runs the connect script as pppd does and ends with pppd's statuses;
// credentials, hang-up, the secrets files and what outlives the program.
#include "TestSupport.h"
#include "core/Strings.h"
#include "core/VirtualTime.h"
#include "detection/RasControl.h"
#include "platform/linux/PppSecrets.h"
#include "platform/linux/PppdDialUp.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace fs = std::filesystem;

namespace {

// pppd as far as the adapter can tell: it reads its peer file (and the options pipe it is given),
// runs the connect script on the line with its errors in its own output, ends with 8 when the
// script fails, else brings the link up and waits for SIGTERM (status 5). A peer named "auth"
// fails our authentication (19), "peerauth" the peer's (11), "persist" loses its link and waits.
constexpr const char* FakePppd = R"SH(#!/bin/sh
tree=$(dirname "$0")
peer=$2
echo "$@" > "$tree/args-$$"
shift 3
while [ $# -gt 1 ]; do
  if [ "$1" = file ]; then cat "$2" > "$tree/options-$$"; fi
  shift
done
dev=$(grep '^/dev/' "$tree/etc/ppp/peers/$peer")
script=$(sed -n 's/^connect "\(.*\)"$/\1/p' "$tree/etc/ppp/peers/$peer")
if [ -n "$script" ]; then
  sh -c "$script" < "$dev" > "$dev" || { echo "Connect script failed"; exit 8; }
fi
echo "Serial connection established."
case "$peer" in
auth) echo "PAP authentication failed"; exit 19;;
peerauth) echo "peer refused to authenticate: remote would not authenticate"; exit 11;;
esac
echo "Using interface ppp0"
echo $$ > "$tree/run/ppp0.pid"
echo "Connect: ppp0 <--> $dev"
echo "PAP authentication succeeded"
echo "local  IP address 151.24.3.7"
if [ "$peer" = persist ]; then sleep 0.3; echo "Modem hangup"; echo "Connection terminated."; fi
trap 'echo "Terminating on signal 15"; exit 5' TERM
while :; do sleep 0.05; done
)SH";

constexpr const char* ChatScript = "ABORT BUSY\nABORT 'NO CARRIER'\nABORT 'NO DIALTONE'\nABORT 'NO ANSWER'\n"
                                   "'' ATZ\nOK ATDT0702002\nCONNECT ''\n";

pid_t Spawn(const std::vector<std::string>& args, const std::string& out = "")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!out.empty())
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A name of its own for each test's pppd: the adapter scans every process of the system, and a
// hang-up of all connections must not reach the pppd of a test running beside this one.
std::string UniquePppdName()
{
    static int count = 0;
    return "pppd-" + std::to_string(::getpid()) + "-" + std::to_string(++count);
}

struct TRealChat : testing::Test
{
    TTempDir Tree;
    std::string PppdName = UniquePppdName();
    TTestContext Ctx;
    std::unique_ptr<TPppdDialUp> Ppp;
    std::vector<std::pair<int, int>> Progress;
    std::vector<pid_t> Modems;
    std::vector<std::int64_t> Dialled;
    TRealChat()
    {
        fs::create_directories(Tree / "etc/ppp/peers");
        fs::create_directories(Tree / "etc/chatscripts");
        fs::create_directories(Tree / "run");
        fs::create_directories(Tree / "q");
        ::chmod((Tree / "q").c_str(), 0700);
        WriteFile(Tree / PppdName, FakePppd);
        ::chmod((Tree / PppdName).c_str(), 0755);
        WriteFile(Tree / "etc/chatscripts/provider", ChatScript);
        Ppp = NewAdapter();
    }
    ~TRealChat() override
    {
        Ppp.reset();
        for (std::int64_t pid : Dialled) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
            ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
        }
        for (pid_t m : Modems) {
            ::kill(m, SIGKILL);
            ::waitpid(m, nullptr, 0);
        }
    }
    std::unique_ptr<TPppdDialUp> NewAdapter()
    {
        auto p = std::make_unique<TPppdDialUp>(Ctx.Time, Tree.Path, Tree / PppdName, "/proc");
        p->RuntimeFolder = Tree / "q";
        p->AddressOf = [](const std::string& i) { return i == "ppp0" ? std::string("151.24.3.7") : std::string(); };
        p->SystemLogOfChat = nullptr;
        return p;
    }
    // A modem that gives this answer to the dial command, and a Debian-style peer on its line.
    void Peer(const std::string& name, const std::string& answer, const std::string& chat = "/usr/sbin/chat -v -s",
              const std::string& extra = "")
    {
        const std::string out = Tree / ("modem-" + name);
        Modems.push_back(Spawn({QV_FAKE_MODEM_PATH, answer, "20"}, out));
        std::string pty;
        for (int i = 0; i < 200 && (pty = Trim(ReadFile(out))).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_FALSE(pty.empty());
        WriteFile(Tree / ("etc/ppp/peers/" + name), "# " + name + "\n" + pty + "\n115200\nnoauth\n" + extra +
                                                          "connect \"" + chat + " -f " + (Tree / "etc/chatscripts/provider") +
                                                          "\"\nuser \"mario\"\n");
    }
    std::int64_t Dial(const std::string& peer, const std::string& user = "", const std::string& password = "")
    {
        std::int64_t handle = 0;
        EXPECT_EQ(Ppp->Dial(peer, user, password, [this](int s, int e) { Progress.emplace_back(s, e); }, handle), 0);
        Dialled.push_back(handle);
        return handle;
    }
    bool WaitFor(const std::function<bool()>& done, int ms = 8000)
    {
        for (int i = 0; i < ms / 10 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Ctx.Time.Advance(0);
        }
        return done();
    }
    int Error() const { return Progress.empty() ? 0 : Progress.back().second; }
    bool Reached(int step) const
    {
        return std::any_of(Progress.begin(), Progress.end(), [&](const auto& p) { return p.first == step && !p.second; });
    }
};

} // namespace

TEST_F(TRealChat, TheModemsAnswersBecomeTheirErrors)
{
    struct TCase
    {
        const char* Answer;
        int Code;
        const char* Text;
    };
    for (const TCase& c : {TCase{"BUSY", ERROR_LINE_BUSY, "La linea è occupata."},
                           TCase{"NO CARRIER", 678, "Il numero chiamato non risponde."},
                           TCase{"NO DIALTONE", 680, "Manca il segnale di linea."},
                           TCase{"NO ANSWER", 678, "Il numero chiamato non risponde."}}) {
        Progress.clear();
        const std::string peer = ReplaceAll(c.Answer, " ", "-");
        Peer(peer, c.Answer);
        // The error comes while the connection is still listed, so the state machine sees it first.
        bool listedAtError = false;
        std::vector<TRasConnection> list;
        std::int64_t handle = 0;
        ASSERT_EQ(Ppp->Dial(peer, "", "",
                            [&](int s, int e) {
                                Progress.emplace_back(s, e);
                                if (e != 0) {
                                    Ppp->Connections(list);
                                    listedAtError = std::any_of(list.begin(), list.end(),
                                                                [&](auto& l) { return l.Handle == handle; });
                                }
                            },
                            handle),
                  0);
        Dialled.push_back(handle);
        ASSERT_TRUE(WaitFor([&] { return Error() != 0; })) << c.Answer;
        EXPECT_EQ(Error(), c.Code) << c.Answer;
        EXPECT_EQ(Ppp->ErrorText(Error()), c.Text);
        EXPECT_TRUE(listedAtError) << c.Answer;
        // chat's echo ("expect (CONNECT)") is not the modem connecting.
        EXPECT_FALSE(Reached(3)) << c.Answer;
        ASSERT_TRUE(WaitFor([&] {
            Ppp->Connections(list);
            return std::none_of(list.begin(), list.end(), [&](auto& l) { return l.Handle == handle; });
        }));
    }
}

TEST_F(TRealChat, ABusyLineMakesTheMonitorRedial)
{
    Peer("busy", "BUSY");
    TRasControl ras(Ctx.Services, *Ppp);
    int busy = 0, errors = 0;
    ras.OnRasLineBusy = [&] { ++busy; };
    ras.OnRasError = [&](int code, int) { errors += code == ERROR_LINE_BUSY; };
    ras.Dial("busy", "", "");
    ASSERT_TRUE(WaitFor([&] { return busy > 0; })) << ReadFile(Tree / "q/pppd-busy.log") << " errors " << errors;
    EXPECT_EQ(errors, 1);
}

TEST_F(TRealChat, APppdKilledFromOutsideIsADroppedLine)
{
    Peer("ok", "CONNECT 115200");
    const std::int64_t handle = Dial("ok");
    ASSERT_TRUE(WaitFor([&] { return Reached(21); })) << ReadFile(Tree / "q/pppd-ok.log");
    ASSERT_EQ(::kill(static_cast<pid_t>(handle), SIGKILL), 0);
    ASSERT_TRUE(WaitFor([&] { return Error() != 0; }));
    EXPECT_EQ(Error(), 629);
}

TEST_F(TRealChat, ConnectThenHangUpAndTheProgramLeavesTheLineUp)
{
    Peer("ok", "CONNECT 115200");
    const std::int64_t handle = Dial("ok");
    ASSERT_TRUE(WaitFor([&] { return Reached(21); })) << ReadFile(Tree / "q/pppd-ok.log");
    EXPECT_TRUE(Reached(2));
    EXPECT_TRUE(Reached(3)); // the modem's own CONNECT
    int state = 0;
    ASSERT_EQ(Ppp->ConnectStatus(handle, state), 0);
    EXPECT_EQ(state, RASCS_Connected);
    // The program ends (or the user answers No to hanging up): pppd goes on.
    Ppp.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(::kill(static_cast<pid_t>(handle), 0), 0);
    EXPECT_EQ(::waitpid(static_cast<pid_t>(handle), nullptr, WNOHANG), 0);
    // A new program finds it as a connection of another program and may hang it up.
    Ppp = NewAdapter();
    std::vector<TRasConnection> list;
    ASSERT_EQ(Ppp->Connections(list), 0);
    ASSERT_TRUE(std::any_of(list.begin(), list.end(), [&](auto& l) { return l.Handle == handle && l.Entry == "ok"; }));
    EXPECT_EQ(Ppp->HangUp(handle), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(static_cast<pid_t>(handle), &status, 0), handle);
    EXPECT_EQ(WEXITSTATUS(status), 5);
}

TEST_F(TRealChat, OurHangUpIsNoErrorAndReturnsAtOnce)
{
    Peer("ok", "CONNECT");
    const std::int64_t handle = Dial("ok");
    ASSERT_TRUE(WaitFor([&] { return Reached(21); }));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(Ppp->HangUp(handle), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    std::vector<TRasConnection> list;
    ASSERT_TRUE(WaitFor([&] {
        Ppp->Connections(list);
        return list.empty() || std::none_of(list.begin(), list.end(), [&](auto& l) { return l.Handle == handle; });
    }));
    for (const auto& [s, e] : Progress)
        EXPECT_EQ(e, 0);
    EXPECT_EQ(Ppp->HangUp(handle), ERROR_NO_CONNECTION); // a handle of an ended pppd is forgotten
}

TEST_F(TRealChat, AStockPeerLogsChatToTheSystemLog)
{
    // "chat -v" reports to the system log, not to pppd's output: the adapter asks the log.
    Peer("stock", "BUSY", "/usr/sbin/chat -v");
    Ppp->SystemLogOfChat = [](std::int64_t) { return std::string("abort on (BUSY)\nexpect (CONNECT)\nBUSY\n -- failed\nFailed (BUSY)\n"); };
    Dial("stock");
    ASSERT_TRUE(WaitFor([&] { return Error() != 0; }));
    EXPECT_EQ(Error(), ERROR_LINE_BUSY);
    // Without a readable system log the failure is told as no answer, never as busy.
    Progress.clear();
    Peer("stock2", "BUSY", "/usr/sbin/chat -v");
    Ppp->SystemLogOfChat = [](std::int64_t) { return std::string(); };
    Dial("stock2");
    ASSERT_TRUE(WaitFor([&] { return Error() != 0; }));
    EXPECT_EQ(Error(), 678);
}

TEST_F(TRealChat, TypedCredentialsReachPppdThroughAPipeOnly)
{
    Peer("ok", "CONNECT");
    const std::int64_t handle = Dial("ok", "mario@isp.it", "pa\"ss w\\ord");
    ASSERT_TRUE(WaitFor([&] { return Reached(21); }));
    const std::string args = ReadFile(Tree / ("args-" + std::to_string(handle)));
    // Never on the command line: a piece of the password with a blank, which no temporary file
    // name holds (a bare "pa" once matched the random name "dial-pa9AJ9").
    EXPECT_EQ(args.find("ss w"), std::string::npos) << args;
    EXPECT_NE(args.find("call ok nodetach file " + (Tree / "q/dial-")), std::string::npos) << args;
    const std::string options = ReadFile(Tree / ("options-" + std::to_string(handle)));
    EXPECT_EQ(options, "user \"mario@isp.it\"\npassword \"pa\\\"ss w\\\\ord\"\n");
    const auto words = SecretWords("password \"pa\\\"ss w\\\\ord\"");
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[1].Value, "pa\"ss w\\ord"); // read back by pppd's rules as typed
    for (const auto& e : fs::directory_iterator(Tree / "q"))
        EXPECT_EQ(e.path().filename().string().rfind("dial-", 0), std::string::npos) << "pipe left behind";
}

TEST_F(TRealChat, OnlyOurOwnFailedAuthenticationForgetsThePassword)
{
    WriteFile(Tree / "etc/ppp/pap-secrets", "\"mario\" * \"segreta\"\n");
    ::chmod((Tree / "etc/ppp/pap-secrets").c_str(), 0600);
    TRasControl ras(Ctx.Services, *Ppp);
    int errors = 0;
    ras.OnRasError = [&](int, int) { ++errors; };
    Peer("peerauth", "CONNECT");
    ras.Dial("peerauth", "", "");
    ASSERT_TRUE(WaitFor([&] { return errors > 0; }));
    EXPECT_EQ(ras.LastError(), ERROR_PEER_NOT_AUTHENTICATED);
    EXPECT_TRUE(ras.GetEntryCredentials("peerauth").PasswordSaved); // the peer is at fault
    Peer("auth", "CONNECT");
    ras.Dial("auth", "", "");
    ASSERT_TRUE(WaitFor([&] { return errors > 1; }));
    EXPECT_EQ(ras.LastError(), ERROR_AUTHENTICATION_FAILURE);
    EXPECT_FALSE(ras.GetEntryCredentials("auth").PasswordSaved); // ours was wrong
}

TEST_F(TRealChat, PersistAndDemandLinksAreNotOnLineWhileDown)
{
    Peer("persist", "CONNECT", "/usr/sbin/chat -v -s", "persist\n");
    const std::int64_t handle = Dial("persist");
    ASSERT_TRUE(WaitFor([&] { return Reached(21); }));
    int state = -1;
    ASSERT_TRUE(WaitFor([&] {
        Ppp->ConnectStatus(handle, state);
        return state != RASCS_Connected;
    }));
    EXPECT_LE(state, 2); // the link is down and pppd waits to redial: dialling, not counting on line
    // A demand link waits for traffic without calling: nothing to count.
    const std::string lazyPppd = UniquePppdName();
    WriteFile(Tree / lazyPppd, "#!/bin/sh\ntrap 'exit 5' TERM\nwhile :; do sleep 0.05; done\n");
    ::chmod((Tree / lazyPppd).c_str(), 0755);
    WriteFile(Tree / "etc/ppp/peers/lazy", "demand\nconnect \"chat -f x\"\n");
    Ppp = std::make_unique<TPppdDialUp>(Ctx.Time, Tree.Path, Tree / lazyPppd, "/proc");
    Ppp->RuntimeFolder = Tree / "q";
    const std::int64_t lazy = Dial("lazy");
    ASSERT_EQ(Ppp->ConnectStatus(lazy, state), 0);
    EXPECT_EQ(state, RASCS_Disconnected);
}

TEST_F(TRealChat, PppdIsLookedForInTheSystemFoldersAndItsAbsenceIsSaid)
{
    fs::create_directories(Tree / "usr/sbin");
    WriteFile(Tree / "usr/sbin/pppd", FakePppd);
    ::chmod((Tree / "usr/sbin/pppd").c_str(), 0755);
    TPppdDialUp byName(Ctx.Time, Tree.Path, "pppd", "/proc");
    EXPECT_EQ(byName.PppdPath(), Tree / "usr/sbin/pppd"); // not through PATH
    WriteFile(Tree / "etc/ppp/peers/ok", "connect \"chat\"\n");
    std::int64_t handle = 0;
    // There but not runnable by this user (the group dip's alone): the user is told what to do.
    ::chmod((Tree / "usr/sbin/pppd").c_str(), 0644);
    EXPECT_EQ(byName.Dial("ok", "", "", [](int, int) {}, handle), ERROR_NOT_IN_DIP_GROUP);
    EXPECT_NE(byName.ErrorText(ERROR_NOT_IN_DIP_GROUP).find(" dip»"), std::string::npos);
    EXPECT_NE(byName.ErrorText(ERROR_NOT_IN_DIP_GROUP).find("pppd è installato"), std::string::npos);
    fs::remove(Tree / "usr/sbin/pppd");
    EXPECT_EQ(byName.PppdPath(), "");
    EXPECT_EQ(byName.Dial("ok", "", "", [](int, int) {}, handle), ERROR_DIALUP_NOT_INSTALLED);
    EXPECT_EQ(byName.ErrorText(ERROR_DIALUP_NOT_INSTALLED), "pppd non è installato: installa il pacchetto ppp");
}

TEST_F(TRealChat, AStaleHandleSignalsNobody)
{
    // A process that is not pppd, under a handle the adapter never listed.
    const pid_t other = Spawn({"/bin/sleep", "30"});
    ASSERT_GT(other, 0);
    EXPECT_EQ(Ppp->HangUp(other), ERROR_NO_CONNECTION);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0); // still running
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
}

TEST(PppSecrets, EveryOtherLineAndFieldIsKept)
{
    TTempDir dir;
    const std::string path = dir / "pap-secrets";
    const std::string before = "# Secrets for authentication using PAP\n"
                               "# client\tserver\tsecret\t\t\tIP addresses\n"
                               "\n"
                               "\"mario\"\tisp\t\"vecchia\"\t10.0.0.1 10.0.0.2   # casa\n"
                               "anna * 'a#b\\\\c'\n"
                               "mario\tother\tseconda\n";
    WriteFile(path, before);
    ::chmod(path.c_str(), 0640);
    EXPECT_EQ(FindSecret(before, "anna", ""), std::optional<std::string>("a#b\\c")); // "#" inside a word is no comment
    const std::string after = ReplaceSecret(before, "mario", "isp", "nu\"ova");
    EXPECT_EQ(after, "# Secrets for authentication using PAP\n"
                     "# client\tserver\tsecret\t\t\tIP addresses\n"
                     "\n"
                     "\"mario\"\tisp\t\"nu\\\"ova\"\t10.0.0.1 10.0.0.2   # casa\n"
                     "anna * 'a#b\\\\c'\n"
                     "mario\tother\tseconda\n"); // the line for another server stays
    EXPECT_EQ(FindSecret(after, "mario", "isp"), std::optional<std::string>("nu\"ova"));
    EXPECT_EQ(FindSecret(after, "mario", "other"), std::optional<std::string>("seconda"));
    EXPECT_EQ(FindSecret(after, "mario", ""), std::nullopt); // no line for any server
    EXPECT_EQ(ReplaceSecret("x * y", "nuovo", "", "p"), "x * y\n\"nuovo\" * \"p\"\n");
    ASSERT_EQ(WriteSecretsFile(path, after), "");
    EXPECT_EQ(ReadFile(path), after);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the file's own mode
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1); // no temporaries
}

TEST(PppSecrets, TheLinePppdTakesForClientAndServer)
{
    const std::string text = "* * \"tutti\"\n"
                             "* isp1 \"server\"\n"
                             "mario * \"cliente\"\n"
                             "\"mario\" isp1 \"uno\"\n"
                             "mario isp2 due\n"
                             "mario isp2 \"dopo\"\n";
    // Naming both beats naming the client, which beats naming the server; the first of equals wins.
    EXPECT_EQ(FindSecret(text, "mario", "isp1"), std::optional<std::string>("uno"));
    EXPECT_EQ(FindSecret(text, "mario", "isp2"), std::optional<std::string>("due"));
    EXPECT_EQ(FindSecret(text, "mario", "isp3"), std::optional<std::string>("cliente"));
    EXPECT_EQ(FindSecret(text, "anna", "isp1"), std::optional<std::string>("server"));
    EXPECT_EQ(FindSecret(text, "anna", ""), std::optional<std::string>("tutti"));
    EXPECT_EQ(FindSecret("mario isp1 uno\n", "mario", ""), std::nullopt);
    // Only the line pppd takes changes; a line for every client is never rewritten for one user.
    EXPECT_EQ(ReplaceSecret(text, "mario", "isp2", "nuova"),
              "* * \"tutti\"\n* isp1 \"server\"\nmario * \"cliente\"\n\"mario\" isp1 \"uno\"\n"
              "mario isp2 \"nuova\"\nmario isp2 \"dopo\"\n");
    EXPECT_EQ(ReplaceSecret("* * \"tutti\"", "anna", "isp1", ""), "* * \"tutti\"\n\"anna\" \"isp1\" \"\"\n");
}
