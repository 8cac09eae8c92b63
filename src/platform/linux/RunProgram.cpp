#include "platform/linux/RunProgram.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
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
    // The input is small (a message); a program that does not read it gets it closed.
    const auto sigpipe = std::signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    while (written < input.size()) {
        const ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    std::signal(SIGPIPE, sigpipe);
    ::close(in[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    char buf[4096];
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                run.TimedOut = true;
                ::kill(pid, SIGKILL);
                break;
            }
            wait = static_cast<int>(left.count());
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            continue;
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        if (run.Output.size() < (1u << 20))
            run.Output.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (onEnd)
        onEnd(pid);
    if (!run.TimedOut && WIFEXITED(status))
        run.ExitCode = WEXITSTATUS(status);
    return run;
}

} // namespace qv
