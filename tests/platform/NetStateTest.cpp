// Whether the computer is on line: NetworkManager (python3-dbusmock's template on a private bus) and
// the default route of /proc/net/route.
#include "ChildProcess.h"
#include "TestSupport.h"
#include "platform/linux/NetState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace qv;
using namespace qv::test;

TEST(NetState, TheDefaultRouteOfTheRoutingTable)
{
    const std::string heading = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    EXPECT_TRUE(DefaultRouteIn(heading + "ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n"));
    EXPECT_TRUE(DefaultRouteIn(heading + "eth0\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
                                         "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"));
    EXPECT_FALSE(DefaultRouteIn(heading + "eth0\t0000A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"));
    EXPECT_FALSE(DefaultRouteIn(heading + "eth0\t00000000\t0100A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n")); // not up
    EXPECT_FALSE(DefaultRouteIn(""));
}

TEST(NetState, NetworkManagersAnswer)
{
    TTempDir dir;
    TChild bus({"dbus-daemon", "--session", "--nofork", "--print-address=1", "--address=unix:dir=" + dir.Path});
    const std::string address = bus.ReadLine();
    ASSERT_FALSE(address.empty());
    EXPECT_EQ(NetworkManagerOnline(address), std::nullopt); // not running
    const auto withParameters = [&](const std::string& parameters) {
        TChild mock({"/usr/bin/python3", "-m", "dbusmock", "--template", "networkmanager", "--parameters", parameters},
                    {"DBUS_SYSTEM_BUS_ADDRESS=" + address});
        std::optional<bool> answer;
        for (int i = 0; i < 200 && !answer; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            answer = NetworkManagerOnline(address);
        }
        return answer;
    };
    EXPECT_EQ(withParameters(R"({"Connectivity": 4})"), std::optional<bool>(true));
    EXPECT_EQ(withParameters(R"({"Connectivity": 1})"), std::optional<bool>(false));
    // Connectivity not checked: "connected globally" counts.
    EXPECT_EQ(withParameters(R"({"Connectivity": 0, "State": 70})"), std::optional<bool>(true));
    EXPECT_EQ(withParameters(R"({"Connectivity": 0, "State": 20})"), std::optional<bool>(false));
}
