// Interface byte counters from sysfs: the real kernel's counters of the loopback interface move
// with loopback traffic; a tree of our own checks resets and names that are not interfaces.
#include "TestSupport.h"
#include "platform/linux/SysNetCounters.h"
#include "tariffs/DataPlans.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

TEST(SysNetCounters, TheLoopbackCountersMoveWithLoopbackTraffic)
{
    TSysNetCounters counters;
    const auto before = counters.Read("lo");
    if (!before)
        GTEST_SKIP() << "this machine has no /sys/class/net/lo/statistics";
    // 64 datagrams of 1000 bytes to ourselves.
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(s, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ASSERT_EQ(::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len), 0);
    const std::string payload(1000, 'q');
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(::sendto(s, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a), 1000);
    ::close(s);
    const auto after = counters.Read("lo");
    ASSERT_TRUE(after);
    EXPECT_GE(after->Sent - before->Sent, 64000u);
    EXPECT_GE(after->Received - before->Received, 64000u);
    // Through the plans' delta: what the traffic added, at least.
    TCounterDelta delta;
    delta.Take(before->Received);
    EXPECT_GE(delta.Take(after->Received), 64000u);
}

TEST(SysNetCounters, ATreeOfOurOwnResetsAndNamesThatAreNotInterfaces)
{
    TTempDir root;
    std::filesystem::create_directories(root / "wwan0/statistics");
    WriteFile(root / "wwan0/statistics/rx_bytes", "123456789012\n");
    WriteFile(root / "wwan0/statistics/tx_bytes", "42\n");
    TSysNetCounters counters(root.Path);
    const auto bytes = counters.Read("wwan0");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->Received, 123456789012u);
    EXPECT_EQ(bytes->Sent, 42u);
    EXPECT_FALSE(counters.Read("wwan1"));
    EXPECT_FALSE(counters.Read("../wwan0"));
    EXPECT_FALSE(counters.Read(".."));
    WriteFile(root / "wwan0/statistics/tx_bytes", "not a number\n");
    EXPECT_FALSE(counters.Read("wwan0"));
}
