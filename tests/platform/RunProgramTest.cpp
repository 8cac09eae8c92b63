// Programs run with their input fed and their output read at once, within a time limit.
#include "TestSupport.h"
#include "platform/linux/RunProgram.h"

#include <gtest/gtest.h>

#include <thread>

using namespace qv;

TEST(RunProgram, LargeInputsNeverStopTheCallerAndEchoesComeBackWhole)
{
    // Several at once, each with more than a pipe holds, to programs that never read it: the
    // process goes on (no SIGPIPE), whatever the other threads are doing.
    const std::string big(200 * 1024, 'x');
    std::vector<std::thread> threads;
    std::vector<TProgramRun> runs(4);
    for (std::size_t i = 0; i < runs.size(); ++i)
        threads.emplace_back([&, i] { runs[i] = RunProgram({"true"}, big, 5000); });
    for (auto& t : threads)
        t.join();
    for (const auto& r : runs) {
        EXPECT_TRUE(r.Started);
        EXPECT_EQ(r.ExitCode, 0);
    }
    // A program that answers while it reads: no deadlock on full pipes.
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += "riga " + std::to_string(i) + "\n";
    const TProgramRun echo = RunProgram({"cat"}, text, 10000);
    EXPECT_FALSE(echo.TimedOut);
    EXPECT_EQ(echo.ExitCode, 0);
    EXPECT_EQ(echo.Output, text);
}

TEST(RunProgram, TheTimeLimitHoldsAfterTheOutputCloses)
{
    const TProgramRun run = RunProgram({"sh", "-c", "exec >&- 2>&-; sleep 5"}, {}, 300);
    EXPECT_TRUE(run.Started);
    EXPECT_TRUE(run.TimedOut);
    EXPECT_EQ(run.ExitCode, -1);
    const TProgramRun quick = RunProgram({"sh", "-c", "echo fatto; exit 4"}, {}, 5000);
    EXPECT_FALSE(quick.TimedOut);
    EXPECT_EQ(quick.ExitCode, 4);
    EXPECT_EQ(quick.Output, "fatto\n");
}
