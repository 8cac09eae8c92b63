#include "platform/linux/PppdDialUp.h"

#include "core/Strings.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {

namespace fs = std::filesystem;

namespace {

// How pppd's ends become the error codes the program reacts to. pppd's exit status (pppd(8)):
//   6, 7 serial port locked or not openable     -> 633 device not available (never reached the line)
//   8 connect script failed: the chat output tells BUSY -> 676, NO DIALTONE -> 680,
//     NO ANSWER / NO CARRIER / timeout -> 678 no answer
//   19 we failed to authenticate, 11 peer refused  -> 691 authentication
//   10 PPP negotiation failed                      -> 734 link control ended
//   15 peer stopped answering, 16 modem hung up    -> 629 line dropped by the remote end
//   1..4, 9, 17, 18 and any other failure          -> 797 failure to start the connection
//   5 (ended by a signal: our own hang-up), 0, 12, 13 -> 0 (a normal end)
// A pppd that cannot be started at all gives 797 at once.
struct TCodeText
{
    int Code;
    const char* Text;
};
constexpr TCodeText Texts[] = {
    {629, "La connessione è stata chiusa dal computer remoto (linea caduta)."},
    {633, "La porta seriale o il modem sono già in uso o non disponibili."},
    {676, "La linea è occupata."},
    {678, "Il numero chiamato non risponde."},
    {680, "Manca il segnale di linea."},
    {691, "Accesso negato: nome utente o password non validi."},
    {734, "La negoziazione del protocollo PPP non è riuscita."},
    {797, "Impossibile avviare la connessione: pppd non è partito o si è fermato per un errore."},
};

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Splits an options line as pppd does: blanks separate, quotes group.
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::string cur;
    char quote = 0;
    bool any = false;
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                cur += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            any = true;
        } else if (c == ' ' || c == '\t') {
            if (any || !cur.empty())
                words.push_back(cur);
            cur.clear();
            any = false;
        } else if (c == '#') {
            break;
        } else {
            cur += c;
        }
    }
    if (any || !cur.empty())
        words.push_back(cur);
    return words;
}

std::string NumberAfterDial(const std::string& text)
{
    for (const char* cmd : {"ATDT", "ATDP", "atdt", "atdp", "ATD", "atd"}) {
        const auto pos = text.find(cmd);
        if (pos == std::string::npos)
            continue;
        std::string number;
        for (std::size_t i = pos + std::char_traits<char>::length(cmd); i < text.size(); ++i) {
            const char c = text[i];
            if ((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+' || c == ',')
                number += c;
            else if (c != ' ' && c != '-')
                break;
        }
        if (!number.empty())
            return number;
    }
    return {};
}

bool ProcessAlive(const std::string& procDir)
{
    return fs::exists(procDir);
}

} // namespace

TPppdDialUp::TPppdDialUp(TimerService& timers, std::string root, std::string pppdProgram, std::string procRoot)
    : FTimers(timers), FRoot(std::move(root)), FPppd(std::move(pppdProgram)), FProc(std::move(procRoot))
{
    AddressOf = [](const std::string& iface) {
        std::string address;
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0)
            return address;
        for (ifaddrs* a = list; a; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || iface != a->ifa_name)
                continue;
            char buf[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            if (::inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf))
                address = buf;
            break;
        }
        ::freeifaddrs(list);
        return address;
    };
}

TPppdDialUp::~TPppdDialUp()
{
    *FAlive = false;
    std::lock_guard lock(FMutex);
    for (auto& [pid, child] : FChildren) {
        child->HungUp = true;
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        if (child->Reader.joinable())
            child->Reader.join();
    }
}

int TPppdDialUp::Entries(std::vector<std::string>& names)
{
    names.clear();
    std::error_code ec;
    for (fs::directory_iterator it(Path("/etc/ppp/peers"), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && !name.empty() && name[0] != '.' && name.back() != '~')
            names.push_back(name);
    }
    if (ec && ec != std::errc::no_such_file_or_directory)
        return 1;
    std::sort(names.begin(), names.end());
    return 0;
}

int TPppdDialUp::Connections(std::vector<TRasConnection>& connections)
{
    connections.clear();
    std::error_code ec;
    fs::directory_iterator it(FProc, ec);
    if (ec)
        return 1;
    std::vector<std::pair<std::int64_t, std::string>> found;
    std::map<std::int64_t, int> others;
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        const std::string pidText = it->path().filename().string();
        if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::int64_t pid = std::stoll(pidText);
        const auto known = FOthers.find(pid);
        if (known != FOthers.end() && known->second >= 10) {
            others.emplace(pid, known->second);
            continue;
        }
        const std::string cmdline = ReadText(it->path().string() + "/cmdline");
        const std::vector<std::string> argv = Split(cmdline, '\0');
        // pppd itself, or a pppd script run by its interpreter.
        const bool isPppd = (!argv.empty() && fs::path(argv[0]).filename() == "pppd") ||
                            (argv.size() > 1 && fs::path(argv[1]).filename() == "pppd");
        if (!isPppd) {
            others.emplace(pid, known == FOthers.end() ? 1 : known->second + 1);
            continue;
        }
        std::string entry;
        for (std::size_t i = 0; i + 1 < argv.size(); ++i)
            if (argv[i] == "call")
                entry = argv[i + 1];
        if (entry.empty())
            entry = LinkNameOf(pid);
        found.emplace_back(pid, entry);
    }
    FOthers = std::move(others); // processes that ended are forgotten
    // The oldest pppd first: the program follows the first connection.
    std::sort(found.begin(), found.end());
    for (const auto& [pid, entry] : found) {
        TRasConnection c;
        c.Handle = pid;
        c.Entry = entry;
        c.Device = InterfaceOf(pid);
        connections.push_back(c);
    }
    return 0;
}

std::string TPppdDialUp::InterfaceOf(std::int64_t pid)
{
    // pppd writes /run/pppN.pid (and /run/ppp-LINKNAME.pid) once its interface exists.
    std::error_code ec;
    for (fs::directory_iterator it(Path("/run"), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("ppp", 0) != 0 || name.size() < 8 || name.substr(name.size() - 4) != ".pid" ||
            name.rfind("ppp-", 0) == 0)
            continue;
        if (Trim(ReadText(it->path().string())) == std::to_string(pid))
            return name.substr(0, name.size() - 4);
    }
    return {};
}

std::string TPppdDialUp::LinkNameOf(std::int64_t pid)
{
    // A pppd started without "call NAME" may still name its link: /run/ppp-LINKNAME.pid.
    std::error_code ec;
    for (fs::directory_iterator it(Path("/run"), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("ppp-", 0) == 0 && name.size() > 8 && name.substr(name.size() - 4) == ".pid" &&
            Trim(ReadText(it->path().string())) == std::to_string(pid))
            return name.substr(4, name.size() - 8);
    }
    return {};
}

int TPppdDialUp::ConnectStatus(std::int64_t handle, int& state)
{
    if (!ProcessAlive(FProc + "/" + std::to_string(handle)))
        return ERROR_INVALID_HANDLE;
    const std::string iface = InterfaceOf(handle);
    const std::string sys = Path("/sys/class/net/" + iface);
    if (iface.empty() || !fs::exists(sys)) {
        state = 2; // pppd runs without its interface: still dialling
        return 0;
    }
    const std::string flags = Trim(ReadText(sys + "/flags"));
    const long value = flags.empty() ? 0 : std::strtol(flags.c_str(), nullptr, 16);
    const bool up = (value & 1) != 0;
    state = up && !AddressOf(iface).empty() ? RASCS_Connected : 5; // 5: authenticating, connecting
    return 0;
}

std::string TPppdDialUp::PhoneNumberOfPeer(const std::string& entry)
{
    const std::string peer = ReadText(Path("/etc/ppp/peers/" + entry));
    for (const std::string& raw : Split(peer, '\n')) {
        const std::vector<std::string> w = Words(Trim(raw));
        if (w.size() < 2 || w[0] != "connect")
            continue;
        const std::vector<std::string> command = Words(w[1]);
        for (std::size_t i = 0; i + 1 < command.size(); ++i)
            if (command[i] == "-T")
                return command[i + 1];
        for (std::size_t i = 0; i + 1 < command.size(); ++i)
            if (command[i] == "-f") {
                const std::string number = NumberAfterDial(ReadText(Path(command[i + 1])));
                if (!number.empty())
                    return number;
            }
        return NumberAfterDial(w[1]);
    }
    return {};
}

int TPppdDialUp::EntryProperties(const std::string& entry, TRasEntryProperties& properties)
{
    if (!fs::exists(Path("/etc/ppp/peers/" + entry)))
        return 623;
    properties = {};
    properties.LocalNumber = PhoneNumberOfPeer(entry);
    return 0;
}

int TPppdDialUp::ProjectionAddress(std::int64_t handle, std::string& address)
{
    const std::string iface = InterfaceOf(handle);
    if (iface.empty())
        return 731;
    address = AddressOf(iface);
    return address.empty() ? 731 : 0;
}

std::string TPppdDialUp::PeerUser(const std::string& entry)
{
    for (const std::string& raw : Split(ReadText(Path("/etc/ppp/peers/" + entry)), '\n')) {
        const std::vector<std::string> w = Words(Trim(raw));
        if (w.size() >= 2 && w[0] == "user")
            return w[1];
    }
    return {};
}

int TPppdDialUp::GetCredentials(const std::string& entry, TRasCredentials& credentials)
{
    if (!fs::exists(Path("/etc/ppp/peers/" + entry)))
        return 623;
    credentials = {};
    credentials.User = PeerUser(entry);
    if (credentials.User.empty())
        return 0;
    for (const char* file : {"/etc/ppp/pap-secrets", "/etc/ppp/chap-secrets"}) {
        for (const std::string& raw : Split(ReadText(Path(file)), '\n')) {
            const std::vector<std::string> w = Words(Trim(raw));
            if (w.size() >= 3 && w[0] == credentials.User) {
                credentials.Password = w[2];
                credentials.PasswordSaved = !w[2].empty();
                return 0;
            }
        }
    }
    return 0;
}

int TPppdDialUp::SetCredentials(const std::string& entry, const std::string& user, const std::string& password,
                                bool clearPassword)
{
    if (!fs::exists(Path("/etc/ppp/peers/" + entry)) || user.empty())
        return 623;
    const std::string secret = clearPassword ? std::string() : password;
    const auto quote = [](const std::string& s) { return "\"" + ReplaceAll(s, "\"", "") + "\""; };
    // Rewrites the user's line in each secrets file that can be written; failures are silent.
    for (const char* file : {"/etc/ppp/pap-secrets", "/etc/ppp/chap-secrets"}) {
        const std::string path = Path(file);
        if (::access(path.c_str(), W_OK) != 0)
            continue;
        std::string out;
        bool replaced = false;
        for (const std::string& raw : Split(ReadText(path), '\n')) {
            const std::vector<std::string> w = Words(Trim(raw));
            if (w.size() >= 3 && w[0] == user) {
                if (!replaced)
                    out += quote(user) + " * " + quote(secret) + "\n";
                replaced = true;
            } else if (!raw.empty()) {
                out += raw + "\n";
            }
        }
        if (!replaced)
            out += quote(user) + " * " + quote(secret) + "\n";
        std::ofstream f(path, std::ios::trunc);
        f << out;
    }
    return 0;
}

int TPppdDialUp::StepOfLine(const std::string& line)
{
    const auto has = [&](const char* s) { return line.find(s) != std::string::npos; };
    if (has("local  IP address") || has("local IP address"))
        return 18;
    if (has("authentication succeeded"))
        return 14;
    if (has("Connect: ppp"))
        return 5;
    if (has("Using interface ppp"))
        return 4;
    if (has("Serial connection established") || has("CONNECT"))
        return 3;
    if (has("ATDT") || has("ATDP") || has("ATD") || has("Connect script") || has("send ("))
        return 2;
    return -1;
}

int TPppdDialUp::ErrorOfExit(int status, const std::string& output)
{
    switch (status) {
    case 0:
    case 5:
    case 12:
    case 13:
        return 0;
    case 6:
    case 7:
        return 633;
    case 8:
        if (output.find("BUSY") != std::string::npos)
            return ERROR_LINE_BUSY;
        if (output.find("NO DIALTONE") != std::string::npos || output.find("NO DIAL TONE") != std::string::npos)
            return 680;
        return 678;
    case 11:
    case 19:
        return ERROR_AUTHENTICATION_FAILURE;
    case 10:
        return 734;
    case 15:
    case 16:
        return 629;
    default:
        return 797;
    }
}

int TPppdDialUp::Dial(const std::string& entry, const std::string&, const std::string&,
                      std::function<void(int state, int error)> progress, std::int64_t& handle)
{
    Reap();
    int pipeFd[2];
    if (::pipe2(pipeFd, O_CLOEXEC) != 0)
        return 797;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        return 797;
    }
    if (pid == 0) {
        ::dup2(pipeFd[1], 1);
        ::dup2(pipeFd[1], 2);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        // No shell: the arguments go to pppd as a list.
        const char* argv[] = {FPppd.c_str(), "call", entry.c_str(), "nodetach", nullptr};
        ::execvp(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    handle = pid;
    auto child = std::make_unique<TChild>();
    TChild* raw = child.get();
    const int readFd = pipeFd[0];
    auto alive = FAlive;
    TimerService& timers = FTimers;
    timers.Post([progress] { progress(0, 0); }); // the port is being opened
    child->Reader = std::thread([readFd, pid, raw, alive, &timers, progress] {
        std::string output, line;
        char buf[1024];
        ssize_t n;
        int lastStep = 0;
        const auto post = [&](int state, int error) {
            if (*alive)
                timers.Post([progress, state, error] { progress(state, error); });
        };
        while ((n = ::read(readFd, buf, sizeof buf)) > 0) {
            output.append(buf, static_cast<std::size_t>(n));
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] != '\n') {
                    line += buf[i];
                    continue;
                }
                const int step = StepOfLine(line);
                if (step > lastStep) {
                    lastStep = step;
                    post(step, 0);
                    if (step == 18)
                        post(21, 0);
                }
                line.clear();
            }
        }
        ::close(readFd);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const int code = WIFEXITED(status) ? (WEXITSTATUS(status) == 127 ? 797 : ErrorOfExit(WEXITSTATUS(status), output))
                                           : 0;
        if (code != 0 && !raw->HungUp)
            post(0, code);
        raw->Done = true;
    });
    std::lock_guard lock(FMutex);
    FChildren[pid] = std::move(child);
    return 0;
}

void TPppdDialUp::Reap()
{
    // Joins the readers of pppd processes that have ended.
    std::lock_guard lock(FMutex);
    for (auto it = FChildren.begin(); it != FChildren.end();) {
        if (it->second->Done) {
            if (it->second->Reader.joinable())
                it->second->Reader.join();
            it = FChildren.erase(it);
        } else {
            ++it;
        }
    }
}

int TPppdDialUp::HangUp(std::int64_t handle)
{
    {
        std::lock_guard lock(FMutex);
        const auto it = FChildren.find(handle);
        if (it != FChildren.end())
            it->second->HungUp = true;
    }
    const std::string proc = FProc + "/" + std::to_string(handle);
    if (!ProcessAlive(proc))
        return ERROR_NO_CONNECTION;
    if (::kill(static_cast<pid_t>(handle), SIGTERM) != 0)
        return ERROR_NO_CONNECTION;
    // Bounded wait for pppd to end (it first takes the link down cleanly).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(HangUpWaitMs);
    while (ProcessAlive(proc) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // Our own child ends as a zombie until its reader reaps it; that counts as gone.
        const std::string stat = ReadText(proc + "/stat");
        if (stat.find(") Z") != std::string::npos)
            break;
    }
    return 0;
}

std::string TPppdDialUp::ErrorText(int code)
{
    for (const TCodeText& t : Texts)
        if (t.Code == code)
            return t.Text;
    return "Errore di connessione " + std::to_string(code);
}

std::optional<TByteCounts> TPppdDialUp::ByteCounts(std::int64_t handle)
{
    const std::string iface = InterfaceOf(handle);
    if (iface.empty())
        return std::nullopt;
    const std::string stats = Path("/sys/class/net/" + iface + "/statistics/");
    const std::string tx = Trim(ReadText(stats + "tx_bytes"));
    const std::string rx = Trim(ReadText(stats + "rx_bytes"));
    if (!tx.empty() && !rx.empty())
        return TByteCounts{static_cast<std::uint32_t>(std::stoull(tx)), static_cast<std::uint32_t>(std::stoull(rx))};
    // /proc/net/dev: "  ppp0: rxbytes rxpackets ... (8 fields) txbytes ..."
    for (const std::string& raw : Split(ReadText(Path("/proc/net/dev")), '\n')) {
        const auto colon = raw.find(':');
        if (colon == std::string::npos || Trim(raw.substr(0, colon)) != iface)
            continue;
        std::istringstream in(raw.substr(colon + 1));
        std::uint64_t v[9] = {};
        for (auto& x : v)
            in >> x;
        if (in)
            return TByteCounts{static_cast<std::uint32_t>(v[8]), static_cast<std::uint32_t>(v[0])};
    }
    return std::nullopt;
}

} // namespace qv
