// A damaged connection log: every item that can be read whole is kept, before and after the damage,
// and the damaged copy is never written over.
#include "TestSupport.h"
#include "core/Dump.h"
#include "tariffs/Connections.h"

#include <gtest/gtest.h>

#include <set>

using namespace qv;
using namespace qv::test;

namespace {

// Ten connections of a day, each with every property written.
TBytes TenConnections(TServices& services, std::vector<std::size_t>* itemStarts = nullptr)
{
    TDataUnits log(services);
    for (int i = 0; i < 10; ++i) {
        TConnectionData c;
        c.Start = 46000 + i / 24.0;
        c.End = c.Start + (i + 1) * 60 / 86400.0;
        c.Pulses = i * 7;
        c.Cost = 127.5 * (i + 1);
        c.Entry = "Voce " + std::to_string(i);
        c.Ip = "10.0.0." + std::to_string(i);
        c.Speed = 56000;
        c.Sent = 1000u * static_cast<std::uint32_t>(i);
        c.Received = 3000u * static_cast<std::uint32_t>(i);
        log.AddSimple(c.Pulses, c.Entry, c.Cost, c.End, c.Start).SetZ(c.Ip);
    }
    const TBytes bytes = log.WriteToBytes();
    log.SetModified(false);
    if (itemStarts) {
        // Each item opens with the list tag and the start date's name "I".
        for (std::size_t p = 0; p + 2 < bytes.size(); ++p)
            if (bytes[p] == 1 && bytes[p + 1] == 1 && bytes[p + 2] == 'I')
                itemStarts->push_back(p);
    }
    return bytes;
}

std::set<std::string> Entries(const TDataUnits& log)
{
    std::set<std::string> names;
    for (const auto& u : log.Units())
        names.insert(u->N());
    return names;
}

} // namespace

// One letter of a property name, a tag, a length: the items after the damage stay in the log.
TEST(LogRescue, ItemsAfterADamagedOneAreKept)
{
    TTestContext ctx;
    std::vector<std::size_t> starts;
    const TBytes good = TenConnections(ctx.Services, &starts);
    ASSERT_EQ(starts.size(), 10u);
    struct TCase
    {
        const char* What;
        std::size_t Offset; // from the start of the 5th item
        std::uint8_t Byte;
    };
    for (const TCase c : {TCase{"name letter", 2, 'J'}, TCase{"value tag", 3, 0x63}, TCase{"list tag", 0, 0x44},
                          TCase{"name length", 14, 0x7F}}) {
        TBytes bad = good;
        bad[starts[4] + c.Offset] = c.Byte;
        TDataUnits log(ctx.Services);
        EXPECT_THROW(log.ReadFromBytes(bad), EReadError) << c.What;
        const TSalvageReport report = log.ReadFromBytesSalvaging(bad);
        EXPECT_TRUE(report.Damaged()) << c.What;
        EXPECT_EQ(report.DroppedItems, 1u) << c.What;
        EXPECT_EQ(report.KeptItems, 5u) << c.What;
        std::set<std::string> expected;
        for (int i = 0; i < 10; ++i)
            if (i != 4)
                expected.insert("Voce " + std::to_string(i));
        EXPECT_EQ(Entries(log), expected) << c.What;
        EXPECT_DOUBLE_EQ(log.Units()[4].L(), 127.5 * 6) << c.What;
    }
}

// Every byte of one item damaged in turn, in three ways, for the first, a middle and the last item:
// the rescue keeps the nine other items, and it never writes over the damaged copy set aside.
TEST(LogRescue, FaultInjectionOverEveryByteOfOneItem)
{
    TTestContext ctx;
    std::vector<std::size_t> starts;
    const TBytes good = TenConnections(ctx.Services, &starts);
    starts.push_back(good.size() - 3); // the last item ends before the three closing zeros
    int positions = 0;
    for (const int damaged : {0, 4, 9}) {
        const std::size_t from = starts[static_cast<std::size_t>(damaged)];
        const std::size_t to = starts[static_cast<std::size_t>(damaged) + 1];
        for (std::size_t p = from; p < to; ++p) {
            for (const int kind : {0, 1, 2}) {
                TBytes bad = good;
                bad[p] = kind == 0   ? static_cast<std::uint8_t>(~bad[p])
                         : kind == 1 ? static_cast<std::uint8_t>(bad[p] + 1)
                                     : std::uint8_t{0};
                if (bad[p] == good[p])
                    continue;
                TTestContext run;
                run.Files.Files["/data/Connections.dat"] = bad;
                run.Files.Files["/data/Connections.dat@error"] = {'o', 'l', 'd'};
                run.Prompter.SetNextAnswer(TModalResult::mrYes);
                {
                    TDataUnits log(run.Services);
                    try {
                        log.SetFileName("Connections.dat");
                    } catch (const EHaltRequested&) {
                    }
                }
                const std::string where =
                    "item " + std::to_string(damaged) + ", byte " + std::to_string(p - from) + ", kind " + std::to_string(kind);
                TDataUnits saved(run.Services);
                saved.ReadFromBytes(run.Files.Files["/data/Connections.dat"]);
                const std::set<std::string> names = Entries(saved);
                for (int i = 0; i < 10; ++i) {
                    if (i != damaged) {
                        EXPECT_TRUE(names.count("Voce " + std::to_string(i))) << i << " missing; " << where;
                    }
                }
                EXPECT_LE(saved.Units().Count(), 10u) << where;
                if (run.Files.Exists("/data/Connections.dat@error1")) {
                    // Moved aside, the earlier damaged copy kept under the next name.
                    EXPECT_EQ(run.Files.Files["/data/Connections.dat@error"], bad) << where;
                    EXPECT_EQ(run.Files.Text("/data/Connections.dat@error1"), "old");
                } else {
                    // A damage the reader cannot notice (a digit of a number): nothing moved or written.
                    EXPECT_EQ(run.Files.Files["/data/Connections.dat"], bad) << where;
                    EXPECT_EQ(run.Files.Text("/data/Connections.dat@error"), "old");
                }
                ++positions;
            }
        }
    }
    EXPECT_GE(positions, 600);
}

// A command that writes (the rescue policy) does what "Sì" does without asking and goes on; a command
// that only reads uses what can be read and changes no file.
TEST(LogRescue, PoliciesOfTheCommandLine)
{
    TTestContext ctx;
    std::vector<std::size_t> starts;
    TBytes bad = TenConnections(ctx.Services, &starts);
    bad[starts[4] + 2] = 'J';

    TTestContext write;
    write.Files.Files["/data/Connections.dat"] = bad;
    TDataUnits rescued(write.Services);
    rescued.RescuePolicy = TRescuePolicy::rpRescue;
    rescued.SetFileName("Connections.dat");
    EXPECT_TRUE(write.System.Halts.empty());
    EXPECT_EQ(rescued.Units().Count(), 9u);
    EXPECT_EQ(write.Files.Files["/data/Connections.dat@error"], bad);
    ASSERT_EQ(write.Prompter.Shown.size(), 1u);
    EXPECT_EQ(write.Prompter.Shown[0].Kind, TMsgKind::Warning);
    EXPECT_NE(write.Prompter.Shown[0].Text.find("spostato in Connections.dat@error"), std::string::npos);
    TDataUnits reread(write.Services);
    reread.ReadFromBytes(write.Files.Files["/data/Connections.dat"]);
    EXPECT_EQ(reread.Units().Count(), 9u);

    TTestContext read;
    read.Files.Files["/data/Connections.dat"] = bad;
    read.Files.FailRenames = true;
    TDataUnits used(read.Services);
    used.RescuePolicy = TRescuePolicy::rpReadOnly;
    used.SetFileName("Connections.dat");
    EXPECT_TRUE(read.System.Halts.empty());
    EXPECT_EQ(used.Units().Count(), 9u);
    EXPECT_EQ(read.Files.Files["/data/Connections.dat"], bad);
    EXPECT_EQ(read.Files.Writes, 0);
}

// The dump of a damaged file shows what was understood and says where it stopped.
TEST(LogRescue, TruncatedFileKeepsWholeItemsAndSaysWhereItStopped)
{
    TTestContext ctx;
    std::vector<std::size_t> starts;
    const TBytes good = TenConnections(ctx.Services, &starts);
    const TBytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(starts[7] + 5));
    TDataUnits log(ctx.Services);
    const TSalvageReport report = log.ReadFromBytesSalvaging(cut);
    EXPECT_EQ(log.Units().Count(), 7u);
    EXPECT_TRUE(report.Stopped);
    const std::vector<std::string> lines = report.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("posizione"), std::string::npos);
    EXPECT_NE(lines.back().find("non è leggibile"), std::string::npos);
    EXPECT_NE(DumpObject(log, "TDataUnits").find("Units.Count = 7"), std::string::npos);
}
