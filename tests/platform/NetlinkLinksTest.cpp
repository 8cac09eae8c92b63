// The kernel's links and counters for real: a pair of virtual Ethernet interfaces made in a private
// network namespace (`unshare -rnm`, with a sysfs of that namespace), their coming up, their traffic
// counted for a plan through /sys/class/net and their going away, as the kernel reports them over
// netlink. The test runs itself again inside the namespace; where one may not be made (no user
// namespaces), it is skipped and says why.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "app/PlanMonitor.h"
#include "platform/linux/NetlinkLinks.h"
#include "platform/linux/SysNetCounters.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// What runs inside the namespace.
void InsideTheNamespace()
{
    TTestContext ctx{At(2026, 12, 10, 9, 0)};
    const auto until = [&ctx](auto condition) {
        for (int i = 0; i < 1000 && !condition(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ctx.Time.Advance(10);
        }
        return condition();
    };
    TNetlinkLinks watcher(ctx.Time);
    std::optional<TNetLinks> up;
    TDataModule data(ctx.Services);
    data.LoadAll();
    TDataPlan plan;
    plan.Name = "Satellite";
    plan.Interface = "va";
    plan.Allowance = 1000000;
    data.Plans.StorePlan(plan);
    TSysNetCounters counters;
    TPlanMonitor monitor(ctx.Services, data.Plans, counters);
    monitor.Start();
    watcher.Start([&](const TNetLinks& links) {
        up = links;
        monitor.SetLinks(links);
    });
    // The namespace's loopback is left out; nothing else exists yet.
    ASSERT_TRUE(until([&] { return up.has_value(); }));
    EXPECT_TRUE(up->empty());
    ASSERT_TRUE(Shell("ip link add va type veth peer name vb"));
    ASSERT_TRUE(Shell("ip link set va up && ip link set vb up"));
    ASSERT_TRUE(until([&] { return up->count("va") && up->count("vb"); }));
    EXPECT_EQ(up->at("va").ConnectionUuid, "");
    // 20 datagrams of 1000 bytes out of va to a neighbour that is vb: 1042 bytes each on the wire.
    ASSERT_TRUE(Shell("ip addr add 10.9.0.1/24 dev va && ip neigh add 10.9.0.3 lladdr "
                      "$(cat /sys/class/net/vb/address) dev va"));
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(s, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    ASSERT_EQ(::inet_pton(AF_INET, "10.9.0.3", &to.sin_addr), 1);
    const std::string payload(1000, 'q');
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(::sendto(s, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 1000);
    ::close(s);
    ctx.Time.Advance(TPlanMonitor::SampleMs);
    const std::uint64_t used = monitor.Usage().Used(plan, 0, 1e6);
    EXPECT_GE(used, 20u * 1042u);
    EXPECT_LT(used, 20u * 1042u + 4000u); // the kernel's own IPv6 neighbour traffic, at most
    // Down: the link leaves the set; deleted: its peer goes too.
    ASSERT_TRUE(Shell("ip link set va down"));
    ASSERT_TRUE(until([&] { return !up->count("va") && up->count("vb"); }));
    ASSERT_TRUE(Shell("ip link del va"));
    ASSERT_TRUE(until([&] { return up->empty(); }));
    watcher.Stop();
    monitor.Stop();
}

} // namespace

TEST(NetlinkLinks, AVethPairInAPrivateNamespace)
{
    if (std::getenv("QV_IN_NETNS")) {
        InsideTheNamespace();
        return;
    }
    if (!Shell("unshare -rnm sh -c 'mount -t sysfs sysfs /sys && ip link add qa type veth peer name qb' "
               ">/dev/null 2>&1"))
        GTEST_SKIP() << "no private network namespace may be made here (unshare -rnm with veth failed: "
                        "user namespaces disabled or ip missing); the kernel's links are not tried";
    TTempDir dir;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string out = dir / "inside.txt";
    const int status = std::system(("QV_IN_NETNS=1 unshare -rnm sh -c 'mount -t sysfs sysfs /sys && exec \"$0\" "
                                    "--gtest_filter=NetlinkLinks.AVethPairInAPrivateNamespace' '" +
                                    self + "' >'" + out + "' 2>&1")
                                       .c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(out);
    EXPECT_NE(ReadFile(out).find("[  PASSED  ] 1 test"), std::string::npos) << ReadFile(out);
}
