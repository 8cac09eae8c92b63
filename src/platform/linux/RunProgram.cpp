#include "platform/linux/RunProgram.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qv {

TProgramRun RunProgram(const std::vector<std::string>& args, const std::string& input, int timeoutMs, bool withErrors,
                       const std::function<void(pid_t)>& onStart, const std::function<void(pid_t)>& onEnd)
{
    TProgramRun run;
    int in[2], out[2];
    if (args.empty() || ::pipe2(in, O_CLOEXEC) != 0)
        return run;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (withErrors)
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        return run;
    }
    run.Started = true;
    if (onStart)
        onStart(pid);
    // Input and output at once, within the time limit: a program may answer before it has read
    // everything, and one that stops reading has its input closed (EPIPE, no SIGPIPE: the signal
    // is blocked on this thread only while writing, never switched for the whole process).
    ::fcntl(in[1], F_SETFL, ::fcntl(in[1], F_GETFL) | O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    const auto left = [&]() -> int {
        if (timeoutMs < 0)
            return -1;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return ms.count() <= 0 ? 0 : static_cast<int>(ms.count());
    };
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    int outFd = out[0];
    char buf[4096];
    while (outFd >= 0 || inFd >= 0) {
        const int wait = left();
        if (wait == 0) {
            run.TimedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd p[2] = {{outFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        const int ready = ::poll(p, 2, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        if (outFd >= 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = ::read(outFd, buf, sizeof buf);
            if (n > 0) {
                if (run.Output.size() < (1u << 20))
                    run.Output.append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(outFd);
                outFd = -1;
            }
        }
        if (inFd >= 0 && (p[1].revents & (POLLOUT | POLLHUP | POLLERR))) {
            sigset_t pipeSet, old;
            sigemptyset(&pipeSet);
            sigaddset(&pipeSet, SIGPIPE);
            ::pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
            const ssize_t n = ::write(inFd, input.data() + written, input.size() - written);
            const int error = errno;
            if (n < 0 && error == EPIPE) {
                // The SIGPIPE this write raised is taken here, so it never reaches the process.
                const timespec none{0, 0};
                ::sigtimedwait(&pipeSet, nullptr, &none);
            }
            ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if ((n < 0 && error != EAGAIN && error != EINTR) || written >= input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0)
        ::close(inFd);
    if (outFd >= 0)
        ::close(outFd);
    // The limit holds after the output closed too: a program may close it and go on.
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, run.TimedOut || timeoutMs < 0 ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (done == 0) {
            if (left() == 0) {
                run.TimedOut = true;
                ::kill(pid, SIGKILL);
                continue;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (onEnd)
        onEnd(pid);
    if (!run.TimedOut && WIFEXITED(status))
        run.ExitCode = WEXITSTATUS(status);
    return run;
}

} // namespace qv
