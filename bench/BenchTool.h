#pragma once
// The command-line tool run as a user runs it, for the whole-process benchmarks.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace qv::test {

// Runs the command-line tool as a user does; false when it could not start or failed.
inline bool RunTool(std::vector<const char*> args)
{
    args.insert(args.begin(), QV_CLI_PATH);
    args.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    ::posix_spawn_file_actions_init(&quiet);
    ::posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, QV_CLI_PATH, &quiet, nullptr, const_cast<char* const*>(args.data()), environ);
    ::posix_spawn_file_actions_destroy(&quiet);
    if (rc != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace qv::test
