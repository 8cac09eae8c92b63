// NetworkManager's links through python3-dbusmock's NetworkManager template on a private bus: a
// metered mobile connection comes up on a modem (its traffic on the modem's IP interface), is
// counted for its plan by UUID, changes its Metered property, and is taken down by the plan's limit
// through DeactivateConnection. The changes are made as NetworkManager makes them (tests/data/
// nmdrive.py); nothing here touches the system bus.
#include "ChildProcess.h"
#include "TestSupport.h"
#include "app/PlanMonitor.h"
#include "app/DataModule.h"
#include "platform/linux/NmLinks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

struct TNetworkManager : testing::Test
{
    TTempDir Dir;
    std::unique_ptr<TChild> Bus;
    std::unique_ptr<TChild> Mock;
    std::string Address;
    TTestContext Ctx{At(2026, 12, 10, 9, 0)};

    void SetUp() override
    {
        Bus = std::make_unique<TChild>(std::vector<std::string>{"dbus-daemon", "--session", "--nofork",
                                                                "--print-address=1", "--address=unix:dir=" + Dir.Path});
        Address = Bus->ReadLine();
        ASSERT_FALSE(Address.empty());
    }
    void TearDown() override
    {
        Mock.reset();
        Bus.reset();
    }
    void StartMock()
    {
        Mock = std::make_unique<TChild>(
            std::vector<std::string>{"/usr/bin/python3", "-m", "dbusmock", "--template", "networkmanager"},
            std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + Address});
        TNetLinks links;
        for (int i = 0; i < 400 && !TNetworkManagerLinks::Read(Address, links); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::string Drive(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"/usr/bin/python3", DataFile("nmdrive.py"), Address});
        TChild drive(args);
        return drive.ReadLine();
    }
    // Lets the watcher's reports in until the condition holds (or 20 s pass).
    template <class TCondition> bool Until(TCondition condition)
    {
        for (int i = 0; i < 2000; ++i) {
            if (condition())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            Ctx.Time.Advance(10);
        }
        return condition();
    }
};

constexpr const char* Uuid = "5b1c2d3e-0000-4000-8000-00000000c0de";

} // namespace

TEST_F(TNetworkManager, AMeteredConnectionComingAndGoingOnItsModemsInterface)
{
    // NetworkManager not running: it does not answer, and a watcher reports no links.
    TNetLinks links;
    EXPECT_FALSE(TNetworkManagerLinks::Read(Address, links));
    TNetworkManagerLinks watcher(Ctx.Time, Address);
    std::vector<TNetLinks> reports;
    watcher.Start([&](const TNetLinks& l) { reports.push_back(l); });
    ASSERT_TRUE(Until([&] { return !reports.empty(); }));
    EXPECT_TRUE(reports.back().empty());

    // NetworkManager starts: the watcher sees its name come and reads (still nothing active).
    StartMock();
    ASSERT_TRUE(TNetworkManagerLinks::Read(Address, links));
    EXPECT_TRUE(links.empty());
    const std::string device = Drive({"add-device", "cdcwdm0", "cdc-wdm0", "wwan0"});
    ASSERT_EQ(device, "/org/freedesktop/NetworkManager/Devices/cdcwdm0");
    const std::string connection = Drive({"add-connection", "SIM Mobile", Uuid});
    ASSERT_FALSE(connection.empty());

    // Activated: the link is the modem's IP interface, named by the connection's UUID.
    const std::int64_t before = TNetworkManagerLinks::Readings();
    const std::string active = Drive({"activate", connection, device});
    ASSERT_FALSE(active.empty());
    ASSERT_TRUE(Until([&] { return !reports.back().empty(); }));
    ASSERT_EQ(reports.back().count("wwan0"), 1u);
    const TNetLink link = reports.back().at("wwan0");
    EXPECT_EQ(link.ConnectionUuid, Uuid);
    EXPECT_EQ(link.ConnectionName, "SIM Mobile");
    EXPECT_FALSE(link.Metered);
    EXPECT_EQ(link.Handle, active);
    EXPECT_GT(TNetworkManagerLinks::Readings(), before); // read because told, not polled

    // Metered set by NetworkManager (a standard PropertiesChanged of the device).
    Drive({"metered", device, "1"});
    ASSERT_TRUE(Until([&] { return !reports.back().empty() && reports.back().at("wwan0").Metered; }));

    // Nothing changes: the watcher sleeps, it does not poll the bus.
    const std::int64_t idle = TNetworkManagerLinks::Readings();
    for (int i = 0; i < 30; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Ctx.Time.Advance(10);
    }
    EXPECT_EQ(TNetworkManagerLinks::Readings(), idle);

    // Taken down through DeactivateConnection, as a plan's limit does: the link goes.
    EXPECT_TRUE(watcher.Disconnect(reports.back().at("wwan0")));
    ASSERT_TRUE(Until([&] { return reports.back().empty(); }));
    EXPECT_EQ(Drive({"active"}), "");
    // A link without NetworkManager's handle cannot be taken down by it.
    EXPECT_FALSE(watcher.Disconnect(TNetLink{"ppp0", {}, {}, false, {}}));

    // Up again, then NetworkManager goes away: its links go with it.
    Drive({"activate", connection, device});
    ASSERT_TRUE(Until([&] { return reports.back().count("wwan0") == 1; }));
    Mock.reset();
    ASSERT_TRUE(Until([&] { return reports.back().empty(); }));
    watcher.Stop();
}

TEST_F(TNetworkManager, APlanFollowsItsSimByUuidAndItsLimitTakesTheConnectionDown)
{
    StartMock();
    const std::string device = Drive({"add-device", "cdcwdm0", "cdc-wdm0", "wwan0"});
    const std::string connection = Drive({"add-connection", "SIM Mobile", Uuid});
    Drive({"activate", connection, device});

    TDataModule data(Ctx.Services);
    data.LoadAll();
    TDataPlan plan;
    plan.Name = "Mobile 1 GB";
    plan.ConnectionUuid = Uuid;
    plan.Allowance = 1000000000;
    plan.PricePerCycle = 9.99;
    plan.Limit = true;
    data.Plans.StorePlan(plan);
    TSimNetCounters counters;
    counters.Interfaces["wwan0"] = {5000, 1000};
    TPlanMonitor monitor(Ctx.Services, data.Plans, counters);
    TNetworkManagerLinks watcher(Ctx.Time, Address);
    TNetLinks up;
    watcher.Start([&](const TNetLinks& l) {
        up = l;
        monitor.SetLinks(l);
    });
    monitor.Start();
    ASSERT_TRUE(Until([&] { return up.count("wwan0") == 1; }));
    std::vector<TPlanAlert> alerts;
    monitor.OnAlert = [&](const TDataPlan& p, TPlanAlert a, const TPlanStatus&) {
        alerts.push_back(a);
        if (a == TPlanAlert::Limit)
            watcher.Disconnect(monitor.LinkOf(p));
    };
    // 1 GB and a little more through the modem: warning and limit in one reading, the link taken down.
    counters.Interfaces["wwan0"] = {5000 + 999000000, 1000 + 2000000};
    Ctx.Time.Advance(TPlanMonitor::SampleMs);
    EXPECT_EQ(monitor.Usage().Used(plan, 0, 1e9), 1001000000u);
    EXPECT_EQ(alerts, (std::vector<TPlanAlert>{TPlanAlert::Limit}));
    ASSERT_TRUE(Until([&] { return up.empty(); }));
    watcher.Stop();
    monitor.Stop();
}
