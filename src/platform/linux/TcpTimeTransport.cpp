#include "platform/linux/TcpTimeTransport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv {

namespace {

using TClock = std::chrono::steady_clock;

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

TTcpTimeTransport::TTcpTimeTransport(TimerService& timers) : FTimers(timers)
{
    if (::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0)
        FWake[0] = FWake[1] = -1;
    FThread = std::thread([this] { Run(); });
}

TTcpTimeTransport::~TTcpTimeTransport()
{
    // Reports still queued on the main loop find the events gone and do nothing.
    *FEvents = {};
    Push({TCommand::Quit, 0, {}, 0});
    if (FThread.joinable())
        FThread.join();
    CloseFd(FWake[0]);
    CloseFd(FWake[1]);
}

void TTcpTimeTransport::SetEvents(TEvents events)
{
    *FEvents = std::move(events);
}

void TTcpTimeTransport::Open(int check, const std::string& host, int port)
{
    Push({TCommand::Open, check, host, port});
}

void TTcpTimeTransport::Close()
{
    Push({TCommand::Close, 0, {}, 0});
}

void TTcpTimeTransport::Push(TCommand c)
{
    {
        std::lock_guard lock(FMutex);
        FCommands.push_back(std::move(c));
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(FWake[1], &byte, 1);
}

void TTcpTimeTransport::Post(std::function<void(const TEvents&)> call)
{
    // The events object is read on the main thread only, when the posted call runs.
    std::weak_ptr<TEvents> events = FEvents;
    FTimers.Post([events, call = std::move(call)] {
        if (const auto e = events.lock())
            call(*e);
    });
}

void TTcpTimeTransport::Run()
{
    int sock = -1;
    int check = 0;
    bool connected = false;
    std::vector<std::uint8_t> answer;
    std::vector<addrinfo*> candidates;
    addrinfo* resolved = nullptr;
    std::size_t next = 0;
    TClock::time_point quietSince{};
    const auto reset = [&] {
        CloseFd(sock);
        connected = false;
        answer.clear();
        candidates.clear();
        if (resolved)
            ::freeaddrinfo(resolved);
        resolved = nullptr;
        next = 0;
    };
    const auto fail = [&](const std::string& why) {
        const int c = check;
        reset();
        Post([c, why](const TEvents& e) {
            if (e.Failed)
                e.Failed(c, why);
        });
    };
    // Starts a connection to the next address; false when none is left.
    const auto tryNext = [&]() -> bool {
        CloseFd(sock);
        while (next < candidates.size()) {
            const addrinfo* a = candidates[next++];
            sock = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
            if (sock < 0)
                continue;
            if (::connect(sock, a->ai_addr, a->ai_addrlen) == 0 || errno == EINPROGRESS)
                return true;
            CloseFd(sock);
        }
        return false;
    };
    const auto deliver = [&] {
        const int c = check;
        const std::vector<std::uint8_t> bytes = answer;
        reset();
        Post([c, bytes](const TEvents& e) {
            if (e.Answer)
                e.Answer(c, bytes);
        });
    };

    for (;;) {
        pollfd fds[2] = {{FWake[0], POLLIN, 0}, {sock, static_cast<short>(connected ? POLLIN : POLLOUT), 0}};
        int timeout = -1;
        if (connected && answer.size() == 4)
            timeout = std::max<int>(0, QuietMs - static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                    TClock::now() - quietSince)
                                                                    .count()));
        const int ready = ::poll(fds, sock >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(FWake[0], drain, sizeof drain) > 0) {
            }
            std::deque<TCommand> commands;
            {
                std::lock_guard lock(FMutex);
                commands.swap(FCommands);
            }
            bool quit = false;
            for (TCommand& c : commands) {
                if (c.Kind == TCommand::Quit) {
                    quit = true;
                    break;
                }
                reset();
                if (c.Kind != TCommand::Open)
                    continue;
                check = c.Check;
                addrinfo hints{};
                hints.ai_family = AF_UNSPEC;
                hints.ai_socktype = SOCK_STREAM;
                const std::string port = std::to_string(c.Port);
                const int rc = ::getaddrinfo(c.Host.c_str(), port.c_str(), &hints, &resolved);
                if (rc != 0) {
                    resolved = nullptr;
                    fail(::gai_strerror(rc));
                    continue;
                }
                for (addrinfo* a = resolved; a; a = a->ai_next)
                    candidates.push_back(a);
                if (!tryNext())
                    fail(std::strerror(errno));
            }
            if (quit)
                break;
            continue;
        }
        if (sock < 0)
            continue;
        if (!connected && fds[1].revents) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &len);
            if (error != 0 || (fds[1].revents & (POLLERR | POLLHUP))) {
                if (!tryNext())
                    fail(std::strerror(error ? error : ECONNREFUSED));
                continue;
            }
            connected = true;
            const int c = check;
            Post([c](const TEvents& e) {
                if (e.Connected)
                    e.Connected(c);
            });
            continue;
        }
        if (connected && fds[1].revents) {
            std::uint8_t buf[512];
            const ssize_t n = ::recv(sock, buf, sizeof buf, 0);
            if (n > 0) {
                // More than a protocol answer is kept only up to a bound: it is refused anyway.
                if (answer.size() < 4096)
                    answer.insert(answer.end(), buf, buf + n);
                quietSince = TClock::now();
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                if (n == 0)
                    deliver(); // the server closed: the answer is whole
                else
                    fail(std::strerror(errno));
            }
            continue;
        }
        if (connected && ready == 0 && answer.size() == 4)
            deliver();
    }
    reset();
}

} // namespace qv
