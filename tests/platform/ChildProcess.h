#pragma once
// A child process of a test, started without a shell; its standard output is readable.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace qv::test {

// A child process started without a shell; its standard output readable through Out.
struct TChild
{
    TChild(std::vector<std::string> args, const std::vector<std::string>& env = {})
    {
        int pipeFd[2];
        if (::pipe2(pipeFd, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e)
            envStrings.emplace_back(*e);
        envStrings.insert(envStrings.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (auto& e : envStrings)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (::posix_spawnp(&Pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFd[1]);
        Out = pipeFd[0];
    }
    ~TChild()
    {
        if (Pid > 0) {
            ::kill(Pid, SIGTERM);
            ::waitpid(Pid, nullptr, 0);
        }
        if (Out >= 0)
            ::close(Out);
    }
    std::string ReadLine()
    {
        std::string line;
        char c;
        while (::read(Out, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    pid_t Pid = -1;
    int Out = -1;
};

} // namespace qv::test
