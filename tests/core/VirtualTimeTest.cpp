// Virtual time: timers fire in due order without sleeping, restarts, coalesced late firings, posting.
#include "core/VirtualTime.h"

#include <gtest/gtest.h>
#include <thread>

using namespace qv;

TEST(VirtualTime, TimersFireInDueOrderAndCanRetimeThemselves)
{
    VirtualTime vt(45000.0, 0.0);
    std::vector<std::string> log;
    auto a = vt.CreateTimer("a", 1000);
    auto b = vt.CreateTimer("b", 1500);
    a->OnTimer = [&] { log.push_back("a" + std::to_string(vt.TickCount() - VirtualTime::TickOrigin)); };
    b->OnTimer = [&] {
        log.push_back("b" + std::to_string(vt.TickCount() - VirtualTime::TickOrigin));
        b->SetEnabled(false); // a one-shot disables itself
    };
    a->SetEnabled(true);
    b->SetEnabled(true);
    vt.Advance(3000);
    EXPECT_EQ(log, (std::vector<std::string>{"a1000", "b1500", "a2000", "a3000"}));
    EXPECT_DOUBLE_EQ(vt.Now(), 45000.0 + 3000.0 / 86400000.0);
}

TEST(VirtualTime, EnablingOrChangingIntervalRestartsTheCountdown)
{
    VirtualTime vt;
    int fired = 0;
    auto t = vt.CreateTimer("t", 10000);
    t->OnTimer = [&] { ++fired; };
    t->SetEnabled(true);
    vt.Advance(9000);
    t->SetInterval(5000); // restarts: next firing at 14000
    vt.Advance(4999);
    EXPECT_EQ(fired, 0);
    vt.Advance(1);
    EXPECT_EQ(fired, 1);
    t->SetEnabled(false);
    vt.Advance(100000);
    EXPECT_EQ(fired, 1);
}

TEST(VirtualTime, BlockedLoopCoalescesMissedFirings)
{
    VirtualTime vt;
    std::vector<std::int64_t> at;
    auto t = vt.CreateTimer("t", 1000);
    t->OnTimer = [&] { at.push_back(vt.TickCount() - VirtualTime::TickOrigin); };
    t->SetEnabled(true);
    vt.Skip(3500); // the main loop was blocked for 3.5 s
    vt.Advance(0);
    vt.Advance(1000);
    EXPECT_EQ(at, (std::vector<std::int64_t>{3500, 4500}));
}

TEST(VirtualTime, PostedCallsFromWorkersRunOnTheMainLoop)
{
    VirtualTime vt;
    int result = 0;
    std::thread worker([&] { vt.Post([&] { result = 42; }); });
    worker.join();
    EXPECT_EQ(result, 0);
    vt.Advance(0);
    EXPECT_EQ(result, 42);
}
