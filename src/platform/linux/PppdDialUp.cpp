#include "platform/linux/PppdDialUp.h"
#include "platform/linux/RunProgram.h"

#include "core/Strings.h"
#include "platform/linux/LinuxSingleInstance.h"
#include "platform/linux/PppSecrets.h"

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
#include <spawn.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qv {

namespace fs = std::filesystem;

namespace {

// How pppd's ends become the error codes the program reacts to. pppd's exit status (pppd(8)):
//   6, 7 serial port locked or not openable     -> 633 device not available (never reached the line)
//   8 connect script failed: chat's report tells BUSY -> 676, NO DIALTONE -> 680,
//     NO ANSWER / NO CARRIER / timeout / no report -> 678 no answer
//   19 we failed to authenticate                   -> 691 authentication (the saved password is wrong)
//   11 the peer failed to authenticate itself       -> 20002 (our password is not in question)
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
    {ERROR_DIALUP_NOT_INSTALLED, "pppd non è installato: installa il pacchetto ppp"},
    {ERROR_PEER_NOT_AUTHENTICATED, "Il server remoto non si è autenticato: la connessione è stata rifiutata."},
};

// The whole file, or nothing when it cannot be read to its end (a file missing counts as empty).
std::optional<std::string> ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        return fs::exists(path, ec) ? std::nullopt : std::optional<std::string>(std::string());
    }
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return ss.str();
}

// The file's text; empty when it is missing or cannot be read.
std::string ReadText(const std::string& path)
{
    return ReadWhole(path).value_or(std::string());
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

// Runs a program without a shell and returns what it printed (empty when it cannot run).
std::string OutputOf(const std::vector<std::string>& args)
{
    return RunProgram(args, {}, -1, false).Output;
}

// A log line without chat's "^M" marks and the blanks around it.
std::string CleanLine(std::string line)
{
    line = ReplaceAll(line, "^M", "");
    return Trim(line);
}

// A modem's result code that ends a dial, as a whole line.
const char* const FailureAnswers[] = {"BUSY", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE", "NO ANSWER", "VOICE",
                                      "DELAYED", "ERROR"};

bool IsLinkDown(const std::string& line)
{
    for (const char* s : {"Connection terminated", "Modem hangup", "Hangup (SIGHUP)", "Connect script failed",
                          "LCP terminated by peer", "No response to", "Serial link disconnected"})
        if (line.find(s) != std::string::npos)
            return true;
    return false;
}

} // namespace

TPppdDialUp::TPppdDialUp(TimerService& timers, std::string root, std::string pppdProgram, std::string procRoot)
    : FTimers(timers), FRoot(std::move(root)), FPppd(std::move(pppdProgram)),
      FName(fs::path(FPppd).filename().string()), FProc(std::move(procRoot))
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
    // Readable by members of "adm" or "systemd-journal" (and root); for others it is empty.
    SystemLogOfChat = [](std::int64_t since) {
        return OutputOf({"journalctl", "-q", "--no-pager", "-o", "cat", "SYSLOG_IDENTIFIER=chat",
                         "--since", "@" + std::to_string(since)});
    };
}

TPppdDialUp::~TPppdDialUp()
{
    // pppd goes on: the program only stops following it.
    FStopping = true;
    *FAlive = false;
    for (std::thread& t : FHelpers)
        if (t.joinable())
            t.join();
    std::map<std::int64_t, std::unique_ptr<TChild>> children;
    {
        std::lock_guard lock(FMutex);
        children.swap(FChildren);
    }
    for (auto& [pid, child] : children)
        if (child->Watcher.joinable())
            child->Watcher.join();
}

bool TPppdDialUp::PppdPresent() const
{
    std::error_code ec;
    if (FPppd.find('/') != std::string::npos)
        return fs::exists(FPppd, ec);
    for (const std::string& folder : PppdFolders)
        if (fs::exists(Path(folder + "/" + FPppd), ec))
            return true;
    return false;
}

std::string TPppdDialUp::PppdPath() const
{
    if (FPppd.find('/') != std::string::npos)
        return ::access(FPppd.c_str(), X_OK) == 0 ? FPppd : std::string();
    for (const std::string& folder : PppdFolders) {
        const std::string candidate = Path(folder + "/" + FPppd);
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::string TPppdDialUp::Runtime()
{
    if (RuntimeFolder.empty())
        RuntimeFolder = TLinuxSingleInstance::DefaultFolder();
    return RuntimeFolder;
}

int TPppdDialUp::Entries(std::vector<std::string>& names)
{
    names.clear();
    std::error_code ec;
    for (fs::directory_iterator it(Path("/etc/ppp/peers"), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !it->is_regular_file(ec))
            continue;
        names.push_back(name);
    }
    if (ec && ec != std::errc::no_such_file_or_directory)
        return 1;
    std::sort(names.begin(), names.end());
    return 0;
}

std::uint64_t TPppdDialUp::StartTimeOf(std::int64_t pid) const
{
    // Field 22 of /proc/PID/stat, after the command name in parentheses.
    const std::string stat = ReadText(FProc + "/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && in >> field; ++i)
        if (i == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    return 0;
}

bool TPppdDialUp::IsPppd(std::int64_t pid) const
{
    const std::vector<std::string> argv = Split(ReadText(FProc + "/" + std::to_string(pid) + "/cmdline"), '\0');
    return (!argv.empty() && fs::path(argv[0]).filename() == FName) ||
           (argv.size() > 1 && fs::path(argv[1]).filename() == FName);
}

TPppdDialUp::TChild* TPppdDialUp::Child(std::int64_t pid)
{
    const auto it = FChildren.find(pid);
    return it == FChildren.end() ? nullptr : it->second.get();
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
    std::map<std::int64_t, std::uint64_t> foreign;
    std::unique_lock lock(FMutex);
    // Dials that ended and whose end reached the program are forgotten, their watchers joined.
    for (auto c = FChildren.begin(); c != FChildren.end();) {
        if (c->second->Delivered) {
            auto child = std::move(c->second);
            c = FChildren.erase(c);
            lock.unlock();
            if (child->Watcher.joinable())
                child->Watcher.join();
            lock.lock();
        } else {
            found.emplace_back(c->first, c->second->Entry); // listed until its end has been told
            ++c;
        }
    }
    for (fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        const std::string pidText = it->path().filename().string();
        if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::int64_t pid = std::stoll(pidText);
        if (FChildren.count(pid))
            continue;
        // A process seen ten times as something else is looked at once every ten scans only: a
        // wrapper may still turn into pppd (exec) long after it started.
        const auto known = FOthers.find(pid);
        if (known != FOthers.end() && known->second >= 10 && known->second % 10 != 0) {
            others.emplace(pid, known->second + 1);
            continue;
        }
        const std::vector<std::string> argv = Split(ReadText(it->path().string() + "/cmdline"), '\0');
        // pppd itself, or a pppd script run by its interpreter.
        const bool isPppd = (!argv.empty() && fs::path(argv[0]).filename() == FName) ||
                            (argv.size() > 1 && fs::path(argv[1]).filename() == FName);
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
        const auto before = FForeign.find(pid);
        foreign[pid] = before != FForeign.end() ? before->second : StartTimeOf(pid);
        found.emplace_back(pid, entry);
    }
    FOthers = std::move(others); // processes that ended are forgotten
    FForeign = std::move(foreign);
    // The oldest pppd first: the program follows the first connection.
    std::sort(found.begin(), found.end());
    for (const auto& [pid, entry] : found) {
        TRasConnection c;
        c.Handle = pid;
        c.Entry = entry;
        const TChild* child = Child(pid);
        c.Device = child && !child->Interface.empty() ? child->Interface : InterfaceOf(pid);
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

std::string TPppdDialUp::InterfaceOfConnection(std::int64_t handle)
{
    {
        // Our own dial names its interface in its log.
        std::lock_guard lock(FMutex);
        if (const TChild* c = Child(handle); c && !c->Interface.empty())
            return c->Interface;
    }
    return InterfaceOf(handle);
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
    std::unique_lock lock(FMutex);
    if (const TChild* c = Child(handle)) {
        if (c->Delivered)
            return ERROR_INVALID_HANDLE;
        // On line only when pppd reports the link up and its interface has an address; a link down
        // with pppd waiting to redial (persist) is dialling; a demand link waiting for traffic is idle.
        if (c->LinkUp) {
            const std::string iface = c->Interface;
            lock.unlock();
            state = !iface.empty() && !AddressOf(iface).empty() ? RASCS_Connected : 18;
            return 0;
        }
        if (c->Attempting)
            state = c->Step;
        else
            state = c->Demand ? RASCS_Disconnected : 0;
        return 0;
    }
    lock.unlock();
    // Another program's pppd: only its interface tells. (A demand link whose interface waits for
    // traffic shows on line here: its log is not ours to read.)
    if (!fs::exists(FProc + "/" + std::to_string(handle)) || !IsPppd(handle))
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

bool TPppdDialUp::PeerHas(const std::string& entry, const std::string& option)
{
    for (const std::string& raw : Split(ReadText(Path("/etc/ppp/peers/" + entry)), '\n')) {
        const std::vector<std::string> w = Words(Trim(raw));
        if (!w.empty() && w[0] == option)
            return true;
    }
    return false;
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
    const std::string iface = InterfaceOfConnection(handle);
    if (iface.empty())
        return 731;
    address = AddressOf(iface);
    return address.empty() ? 731 : 0;
}

std::string TPppdDialUp::PeerOption(const std::string& entry, const std::string& option)
{
    for (const std::string& raw : Split(ReadText(Path("/etc/ppp/peers/" + entry)), '\n')) {
        const std::vector<std::string> w = Words(Trim(raw));
        if (w.size() >= 2 && w[0] == option)
            return w[1];
    }
    return {};
}

std::string TPppdDialUp::PeerUser(const std::string& entry)
{
    return PeerOption(entry, "user");
}

int TPppdDialUp::GetCredentials(const std::string& entry, TRasCredentials& credentials)
{
    if (!fs::exists(Path("/etc/ppp/peers/" + entry)))
        return 623;
    credentials = {};
    credentials.User = PeerUser(entry);
    if (credentials.User.empty())
        return 0;
    if (Keyring.Find)
        if (const auto kept = Keyring.Find(entry, credentials.User); kept && !kept->empty()) {
            credentials.Password = *kept;
            credentials.PasswordSaved = true;
            return 0;
        }
    // The secrets files are usually root's alone: an unreadable file just knows nothing. The line
    // is the one pppd takes for the peer's user and "remotename".
    const std::string server = PeerOption(entry, "remotename");
    for (const char* file : {"/etc/ppp/pap-secrets", "/etc/ppp/chap-secrets"})
        if (const auto secret = FindSecret(ReadText(Path(file)), credentials.User, server)) {
            credentials.Password = *secret;
            credentials.PasswordSaved = !secret->empty();
            return 0;
        }
    return 0;
}

int TPppdDialUp::SetCredentials(const std::string& entry, const std::string& user, const std::string& password,
                                bool clearPassword)
{
    if (!fs::exists(Path("/etc/ppp/peers/" + entry)) || user.empty())
        return 623;
    const std::string secret = clearPassword ? std::string() : password;
    if (Keyring.Forget && secret.empty())
        Keyring.Forget(entry, user);
    // The desktop's keyring first; the secrets files where they can be written.
    if (!secret.empty() && Keyring.Store && Keyring.Store(entry, user, secret))
        return 0;
    bool saved = false;
    const std::string server = PeerOption(entry, "remotename");
    for (const char* file : {"/etc/ppp/pap-secrets", "/etc/ppp/chap-secrets"}) {
        // A file that is a link is changed where it points.
        std::error_code ec;
        std::string path = Path(file);
        if (fs::is_symlink(path, ec))
            if (const auto target = fs::weakly_canonical(path, ec); !ec)
                path = target.string();
        if (::access(path.c_str(), W_OK) != 0)
            continue;
        // A file that cannot be read is never written: its other lines would be lost.
        const auto read = ReadWhole(path);
        if (!read)
            continue;
        const std::string& text = *read;
        if (secret.empty() && !FindSecret(text, user, server))
            continue; // nothing to forget here
        saved = WriteSecretsFile(path, ReplaceSecret(text, user, server, secret)).empty() || saved;
    }
    return saved || secret.empty() ? 0 : ERROR_CANNOT_SAVE_PASSWORD;
}

int TPppdDialUp::StepOfLine(const std::string& raw)
{
    const std::string line = CleanLine(raw);
    const auto has = [&](const char* s) { return line.find(s) != std::string::npos; };
    if (has("local  IP address") || has("local IP address"))
        return 18;
    if (has("authentication succeeded"))
        return 14;
    if (line.rfind("Connect: ppp", 0) == 0)
        return 5;
    if (line.rfind("Using interface ppp", 0) == 0)
        return 4;
    // The modem's own answer, as a line of its own: chat's "expect (CONNECT)" is not one.
    if (line == "Serial connection established." || line == "CONNECT" || line.rfind("CONNECT ", 0) == 0)
        return 3;
    if (line.rfind("send (ATD", 0) == 0 || line.rfind("send (atd", 0) == 0)
        return 2;
    return -1;
}

std::string TPppdDialUp::ChatFailure(const std::string& report)
{
    std::string answer;
    for (const std::string& raw : Split(report, '\n')) {
        const std::string line = CleanLine(raw);
        // "Failed (BUSY)" is chat's verdict; a result code alone on its line is the modem's answer
        // as chat echoes it. "abort on (BUSY)" is neither.
        if (line.rfind("Failed (", 0) == 0 && line.back() == ')')
            return line.substr(8, line.size() - 9);
        for (const char* a : FailureAnswers)
            if (line == a)
                answer = a;
    }
    return answer;
}

int TPppdDialUp::ErrorOfExit(int status, const std::string& report)
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
    case 8: {
        const std::string why = ChatFailure(report);
        if (why == "BUSY")
            return ERROR_LINE_BUSY;
        if (why == "NO DIALTONE" || why == "NO DIAL TONE")
            return 680;
        return 678;
    }
    case 19:
        return ERROR_AUTHENTICATION_FAILURE;
    case 11:
        return ERROR_PEER_NOT_AUTHENTICATED;
    case 10:
        return 734;
    case 15:
    case 16:
        return 629;
    default:
        return 797;
    }
}

void TPppdDialUp::SendCredentials(const std::string& fifo, const std::string& user, const std::string& password,
                                  std::int64_t pid)
{
    // pppd reads the pipe as an options file; the password never lies in a file or on a command line.
    std::string options;
    if (!user.empty())
        options += "user " + QuoteSecretWord(user) + "\n";
    if (!password.empty())
        options += "password " + QuoteSecretWord(password) + "\n";
    int fd = -1;
    for (int i = 0; i < 500 && fd < 0 && !FStopping; ++i) {
        fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (::kill(static_cast<pid_t>(pid), 0) != 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        [[maybe_unused]] const ssize_t n = ::write(fd, options.data(), options.size());
        ::close(fd);
    }
    std::fill(options.begin(), options.end(), '\0');
    ::unlink(fifo.c_str());
}

int TPppdDialUp::Dial(const std::string& entry, const std::string& user, const std::string& password,
                      std::function<void(int state, int error)> progress, std::int64_t& handle)
{
    const std::string program = PppdPath();
    // Debian's pppd may be run by root and the group dip only (mode 4754): there but not for us.
    if (program.empty())
        return PppdPresent() ? ERROR_NOT_IN_DIP_GROUP : ERROR_DIALUP_NOT_INSTALLED;
    if (!fs::exists(Path("/etc/ppp/peers/" + entry)))
        return 623;
    std::string folder;
    try {
        folder = Runtime();
    } catch (const std::exception&) {
        return 797;
    }
    std::string safe = entry;
    for (char& c : safe)
        if (c == '/' || c == '\0')
            c = '_';
    // pppd logs to its standard output (nodetach), and the connect script's errors go there too:
    // a file, not a pipe, so that pppd writes on after the program has gone.
    const std::string logPath = folder + "/pppd-" + safe + ".log";
    const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    const int readFd = logFd < 0 ? -1 : ::open(logPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (logFd < 0 || readFd < 0) {
        if (logFd >= 0)
            ::close(logFd);
        return 797;
    }
    std::vector<std::string> args{program, "call", entry, "nodetach"};
    std::string fifo;
    if (!user.empty() || !password.empty()) {
        fifo = folder + "/dial-XXXXXX";
        const int tmp = ::mkstemp(fifo.data());
        if (tmp >= 0) {
            ::close(tmp);
            ::unlink(fifo.c_str());
        }
        if (tmp < 0 || ::mkfifo(fifo.c_str(), 0600) != 0)
            fifo.clear();
        else {
            args.push_back("file");
            args.push_back(fifo);
        }
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, logFd, 1);
    posix_spawn_file_actions_adddup2(&actions, logFd, 2);
    // A session of its own: the terminal or desktop that goes does not take pppd with it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGHUP, SIGINT, SIGTERM, SIGCHLD})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(logFd);
    if (rc != 0) {
        ::close(readFd);
        if (!fifo.empty())
            ::unlink(fifo.c_str());
        return 797;
    }
    handle = pid;
    auto child = std::make_unique<TChild>();
    child->Pid = pid;
    child->Entry = entry;
    child->Demand = PeerHas(entry, "demand");
    child->Persist = PeerHas(entry, "persist");
    TChild* raw = child.get();
    {
        std::lock_guard lock(FMutex);
        FChildren[pid] = std::move(child);
    }
    if (!fifo.empty())
        FHelpers.emplace_back([this, fifo, user, password, pid] { SendCredentials(fifo, user, password, pid); });
    FTimers.Post([progress] { progress(0, 0); }); // the port is being opened
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    raw->Watcher = std::thread([this, raw, readFd, progress, now] { Watch(raw, readFd, progress, now); });
    return 0;
}

void TPppdDialUp::Watch(TChild* child, int logFd, std::function<void(int, int)> progress, std::int64_t startedAt)
{
    auto alive = FAlive;
    TimerService& timers = FTimers;
    // A call posted before the object went must not run into it afterwards.
    const auto post = [&](std::function<void()> fn) {
        if (*alive)
            timers.Post([alive, fn = std::move(fn)] {
                if (*alive)
                    fn();
            });
    };
    std::string partial;
    bool dialDone = false;
    const auto takeLine = [&](const std::string& raw) {
        const std::string line = CleanLine(raw);
        if (line.empty())
            return;
        std::lock_guard lock(FMutex);
        // Only the end of the log is kept: what a failure needs to tell its reason.
        child->Tail.push_back(line);
        if (child->Tail.size() > 64)
            child->Tail.pop_front();
        if (line.rfind("Using interface ", 0) == 0)
            child->Interface = Trim(line.substr(16));
        if (IsLinkDown(line)) {
            child->LinkUp = false;
            child->Attempting = false;
            child->Step = 0;
            return;
        }
        const int step = StepOfLine(line);
        if (step < 0)
            return;
        child->Attempting = true;
        if (step == 18)
            child->LinkUp = true;
        if (step <= child->Step)
            return;
        child->Step = step;
        // The dial window follows the first link only; later links (persist, demand) are the poll's.
        if (!dialDone) {
            post([progress, step] { progress(step, 0); });
            if (step == 18) {
                post([progress] { progress(21, 0); });
                dialDone = true;
            }
        }
    };
    const auto readLog = [&] {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(logFd, buf, sizeof buf)) > 0) {
            partial.append(buf, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = partial.find('\n')) != std::string::npos) {
                takeLine(partial.substr(0, nl));
                partial.erase(0, nl + 1);
            }
        }
    };
    int status = 0;
    bool reaped = false;
    while (!FStopping && *alive) {
        readLog();
        {
            std::lock_guard lock(FMutex);
            // Waited for under the lock, so a hang-up never signals a pid that was reaped and reused.
            if (::waitpid(static_cast<pid_t>(child->Pid), &status, WNOHANG) == child->Pid) {
                child->Reaped = reaped = true;
            }
        }
        if (reaped)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (reaped) {
        readLog();
        if (!partial.empty())
            takeLine(partial);
        std::string report;
        bool hungUp = false;
        {
            std::lock_guard lock(FMutex);
            for (const std::string& l : child->Tail)
                report += l + "\n";
            hungUp = child->HungUp;
        }
        const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        // Killed by a signal we did not send (an out-of-memory kill, another program): the line
        // dropped, as when pppd reports a hang-up (629).
        int code = exitCode == 127 ? 797 : exitCode < 0 ? 629 : ErrorOfExit(exitCode, report);
        // A stock peer runs "chat -v": its report is in the system log, not in pppd's output.
        if (exitCode == 8 && ChatFailure(report).empty() && SystemLogOfChat && !hungUp)
            code = ErrorOfExit(8, SystemLogOfChat(startedAt));
        // The error reaches the program before the connection disappears from the poll.
        post([this, child, progress, code, hungUp] {
            if (code != 0 && !hungUp)
                progress(0, code);
            std::lock_guard lock(FMutex);
            child->Delivered = true;
        });
    }
    ::close(logFd);
}

int TPppdDialUp::HangUp(std::int64_t handle)
{
    std::lock_guard lock(FMutex);
    if (TChild* c = Child(handle)) {
        // Our own child: until the watcher has waited for it, its pid cannot belong to anyone else.
        if (c->Reaped || c->Delivered)
            return ERROR_NO_CONNECTION;
        c->HungUp = true;
        return ::kill(static_cast<pid_t>(handle), SIGTERM) == 0 ? 0 : ERROR_NO_CONNECTION;
    }
    // Another program's pppd: only while the pid is still the pppd that was listed.
    const auto known = FForeign.find(handle);
    if (known == FForeign.end() || !IsPppd(handle) || StartTimeOf(handle) != known->second)
        return ERROR_NO_CONNECTION;
    return ::kill(static_cast<pid_t>(handle), SIGTERM) == 0 ? 0 : ERROR_NO_CONNECTION;
}

std::string TPppdDialUp::ErrorText(int code)
{
    return ErrorTextOf(code);
}

std::string TPppdDialUp::ErrorTextOf(int code)
{
    for (const TCodeText& t : Texts)
        if (t.Code == code)
            return t.Text;
    if (code == ERROR_NOT_IN_DIP_GROUP) {
        const passwd* pw = ::getpwuid(::geteuid());
        const std::string user = pw && pw->pw_name ? pw->pw_name : "UTENTE";
        return "pppd è installato, ma solo gli utenti del gruppo dip possono avviarlo: aggiungi " + user +
               " al gruppo con «sudo adduser " + user + " dip», poi esci dalla sessione e rientra.";
    }
    if (code == ERROR_CANNOT_SAVE_PASSWORD)
        return "La password non può essere salvata: nessun portachiavi del desktop e i file pap-secrets e "
               "chap-secrets non sono scrivibili.";
    return "Errore di connessione " + std::to_string(code);
}

std::optional<TByteCounts> TPppdDialUp::ByteCounts(std::int64_t handle)
{
    const std::string iface = InterfaceOfConnection(handle);
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
