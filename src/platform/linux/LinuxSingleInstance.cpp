#include "platform/linux/LinuxSingleInstance.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
    const std::string base = folder + "/Quorvanta-" + std::to_string(::getuid()) + "-" + name;
    FLockPath = base + ".lock";
    FSocketPath = base + ".sock";
}

TLinuxSingleInstance::~TLinuxSingleInstance()
{
    FStopping = true;
    if (FListenFd >= 0)
        ::shutdown(FListenFd, SHUT_RDWR);
    if (FListener.joinable())
        FListener.join();
    if (FListenFd >= 0) {
        ::close(FListenFd);
        ::unlink(FSocketPath.c_str());
    }
    if (FLockFd >= 0)
        ::close(FLockFd);
}

std::string TLinuxSingleInstance::DefaultFolder()
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    return dir && *dir ? dir : "/tmp";
}

bool TLinuxSingleInstance::Acquire()
{
    FLockFd = ::open(FLockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FLockFd < 0)
        return true; // no lock possible: better two instances than none
    if (::flock(FLockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(FLockFd);
        FLockFd = -1;
        return false;
    }
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
    FListener = std::thread([this] { Listen(); });
    return true;
}

void TLinuxSingleInstance::Listen()
{
    while (!FStopping) {
        pollfd p{FListenFd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 200);
        if (ready <= 0 || FStopping)
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
