#pragma once
// Runs a program without a shell: its standard input fed from a string, its standard output and
// error read together, within a time limit.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qv {

struct TProgramRun
{
    bool Started = false;
    int ExitCode = -1;   // -1 when it did not exit by itself
    bool TimedOut = false;
    std::string Output;  // standard output, then standard error as they came (at most 1 MB)
};

// args[0] is looked for through PATH unless it holds a "/". timeoutMs < 0: no limit; on the limit
// the program is killed. onStart/onEnd, when given, see its pid (so another thread can end it).
TProgramRun RunProgram(const std::vector<std::string>& args, const std::string& input = {}, int timeoutMs = -1,
                       bool withErrors = true, const std::function<void(pid_t)>& onStart = {},
                       const std::function<void(pid_t)>& onEnd = {});

} // namespace qv
