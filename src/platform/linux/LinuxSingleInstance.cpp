#include "platform/linux/LinuxSingleInstance.h"

#include "core/Errors.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace qv {

namespace {

bool FillAddress(sockaddr_un& addr, const std::string& path)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

TLinuxSingleInstance::TLinuxSingleInstance(TimerService& timers, std::string folder, std::string name)
    : FTimers(timers)
{
    if (folder.empty())
        folder = DefaultFolder();
    const std::string base = folder + "/instance-" + name;
    FLockPath = base + ".lock";
    FSocketPath = base + ".sock";
}

TLinuxSingleInstance::~TLinuxSingleInstance()
{
    FStopping = true;
    if (FWake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(FWake[1], &byte, 1);
    }
    if (FListener.joinable())
        FListener.join();
    for (int fd : FWake)
        if (fd >= 0)
            ::close(fd);
    if (FListenFd >= 0) {
        ::close(FListenFd);
        ::unlink(FSocketPath.c_str());
    }
    if (FLockFd >= 0)
        ::close(FLockFd);
}

std::string TLinuxSingleInstance::DefaultFolder()
{
    const auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v ? std::string(v) : std::string();
    };
    std::string base = env("XDG_RUNTIME_DIR");
    if (base.empty())
        base = !env("XDG_CACHE_HOME").empty() ? env("XDG_CACHE_HOME") : env("HOME") + "/.cache";
    std::error_code ec;
    std::filesystem::create_directories(base, ec);
    const std::string folder = base + "/quorvanta";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw EQvError("Impossibile creare la cartella " + folder + ": " + std::strerror(errno));
    // Never a folder someone else made or points to: the lock and the socket must be the user's.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        throw EQvError("La cartella " + folder + " non è una cartella privata dell'utente");
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        throw EQvError("Impossibile rendere privata la cartella " + folder + ": " + std::strerror(errno));
    return folder;
}

bool TLinuxSingleInstance::Lock()
{
    if (FLockFd >= 0)
        return true;
    const int fd = ::open(FLockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw EQvError("Impossibile aprire il file di blocco " + FLockPath + ": " + std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    FLockFd = fd;
    const std::string text = Holder + " " + std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, text.data(), text.size(), 0);
    }
    return true;
}

std::string TLinuxSingleInstance::HolderText() const
{
    const int fd = ::open(FLockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    char buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    std::string text = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool TLinuxSingleInstance::Acquire()
{
    if (!Lock())
        return false;
    // We hold the lock: any socket left there belongs to a process that is gone.
    ::unlink(FSocketPath.c_str());
    sockaddr_un addr{};
    if (!FillAddress(addr, FSocketPath))
        return true;
    FListenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FListenFd < 0)
        return true;
    if (::bind(FListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(FListenFd, 8) != 0) {
        ::close(FListenFd);
        FListenFd = -1;
        return true;
    }
    ::chmod(FSocketPath.c_str(), 0600);
    if (::pipe2(FWake, O_CLOEXEC) != 0)
        FWake[0] = FWake[1] = -1;
    FListener = std::thread([this] { Listen(); });
    return true;
}

void TLinuxSingleInstance::Listen()
{
    // Sleeps until a later start connects or the program ends: no waking up to look.
    while (!FStopping) {
        pollfd p[2] = {{FListenFd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
        const int ready = ::poll(p, FWake[0] >= 0 ? 2 : 1, FWake[0] >= 0 ? -1 : 200);
        if (ready <= 0 || FStopping || !(p[0].revents & POLLIN))
            continue;
        const int client = ::accept4(FListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::int32_t message[2] = {0, 0};
        std::size_t got = 0;
        auto* bytes = reinterpret_cast<char*>(message);
        pollfd c{client, POLLIN, 0};
        while (got < sizeof message && ::poll(&c, 1, 1000) > 0) {
            const ssize_t n = ::read(client, bytes + got, sizeof message - got);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        ::close(client);
        if (got != sizeof message)
            continue;
        const int w = message[0];
        const int l = message[1];
        FTimers.Post([this, w, l] {
            if (OnMessage)
                OnMessage(w, l);
        });
    }
}

bool TLinuxSingleInstance::SendToRunning(int wParam, int lParam)
{
    sockaddr_un addr{};
    if (!FillAddress(addr, FSocketPath))
        return false;
    // The first instance takes its lock a moment before it listens: retry briefly.
    for (int attempt = 0; attempt < 40; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            const std::int32_t message[2] = {wParam, lParam};
            const bool ok = ::write(fd, message, sizeof message) == static_cast<ssize_t>(sizeof message);
            ::close(fd);
            return ok;
        }
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace qv
