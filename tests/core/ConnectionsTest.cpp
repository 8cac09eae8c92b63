// The connection log: order, immediate save, totals, text export and import.
#include "TestSupport.h"
#include "core/DateTime.h"
#include "core/Functions.h"
#include "tariffs/Connections.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

TConnectionData Conn(double start, int minutes, int pulses, double cost, const std::string& entry)
{
    TConnectionData c;
    c.Start = start;
    c.End = start + minutes * 60 * OneSecond;
    c.Pulses = pulses;
    c.Cost = cost;
    c.Entry = entry;
    return c;
}

} // namespace

TEST(ConnectionLog, KeptInStartOrderAndSavedAtOnce)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    log.SetFileName("Connections.dat");
    log.AddConnection(Conn(EncodeDate(2026, 12, 8) + 0.5, 10, 1, 100, "B"));
    log.AddConnection(Conn(EncodeDate(2026, 12, 7) + 0.5, 10, 1, 100, "A"));
    log.AddConnection(Conn(EncodeDate(2026, 12, 8) + 0.5, 5, 1, 100, "C")); // same start: goes before
    TDataUnits onDisk(ctx.Services);
    onDisk.ReadFromBytes(ctx.Files.Files["/data/Connections.dat"]);
    ASSERT_EQ(onDisk.Units().Count(), 3u);
    EXPECT_EQ(onDisk.Units()[0].N(), "A");
    EXPECT_EQ(onDisk.Units()[1].N(), "B");
    EXPECT_EQ(onDisk.Units()[2].N(), "C"); // same start as the last one: appended
    // Among later connections, one with the same start as a logged one goes before it.
    log.AddConnection(Conn(EncodeDate(2026, 12, 7) + 0.5, 1, 1, 1, "D"));
    EXPECT_EQ(log.Units()[0].N(), "D");
    EXPECT_EQ(log.Units()[1].N(), "A");
    EXPECT_FALSE(log.Modified());
    log.DeleteItem(0);
    EXPECT_EQ(log.Units().Count(), 3u);
    EXPECT_TRUE(log.Modified());
}

TEST(ConnectionLog, EuroFollowsLire)
{
    TDataUnitsItem item(nullptr);
    item.SetL(1936.27);
    EXPECT_EQ(item.E(), 1.0);
    item.SetE(5); // a stored value is ignored
    EXPECT_EQ(item.E(), 1.0);
}

TEST(ConnectionLog, SumsByDayMonthYearAndEntry)
{
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    const double d = EncodeDate(2000, 1, 10);
    log.AddConnection(Conn(d + 0.40, 10, 2, 300, "Tiscali"));
    log.AddConnection(Conn(d + 0.60, 20, 3, 500, "TISCALI"));
    log.AddConnection(Conn(EncodeDate(2000, 1, 25) + 0.5, 1, 1, 10, "Libero"));
    log.AddConnection(Conn(EncodeDate(2001, 1, 3) + 0.5, 2, 1, 20, "Tiscali"));
    TDataUnitsItems items(nullptr);
    std::vector<int> counts;
    log.SumByDay(items, 0, 1e9, &counts);
    ASSERT_EQ(items.Count(), 3u);
    EXPECT_EQ(items[0].S(), 5);
    EXPECT_EQ(items[0].L(), 800);
    EXPECT_EQ(DurationToSeconds(items[0].Duration()), 30 * 60);
    EXPECT_EQ(counts, (std::vector<int>{2, 1, 1}));
    log.SumByMonth(items, 0, 1e9);
    ASSERT_EQ(items.Count(), 2u); // January 2000 and January 2001, nothing between
    EXPECT_EQ(items[0].S(), 6);
    log.SumByYear(items, 0, 1e9, &counts);
    EXPECT_EQ(counts, (std::vector<int>{3, 1}));
    log.SumByEntry(items, 0, 1e9, &counts);
    ASSERT_EQ(items.Count(), 2u);
    EXPECT_EQ(items[0].N(), "Tiscali");
    EXPECT_EQ(counts, (std::vector<int>{3, 1}));
    EXPECT_EQ(items[0].L(), 820);
    // A range: the scan stops at the first connection after its end.
    EXPECT_TRUE(log.SumByDay(items, EncodeDate(2000, 1, 20), EncodeDate(2000, 12, 31)));
    EXPECT_EQ(items.Count(), 1u);
    EXPECT_TRUE(log.SelectRange(items, -1, EncodeDate(2000, 1, 11)));
    EXPECT_EQ(items.Count(), 2u);
    EXPECT_FALSE(log.SelectRange(items, EncodeDate(2000, 1, 11), 1e9));
    EXPECT_EQ(items.Count(), 2u);
}

TEST(ConnectionLog, TodayText)
{
    TTestContext ctx(EncodeDate(2026, 12, 8) + 0.9);
    TDataUnits log(ctx.Services);
    EXPECT_EQ(log.TodayText(), "");
    log.AddConnection(Conn(EncodeDate(2026, 12, 8) + 0.5, 61, 1, 1234.9, "A"));
    log.AddConnection(Conn(EncodeDate(2026, 12, 7) + 0.5, 5, 1, 99, "A"));
    EXPECT_EQ(log.TodayText(), "Durata: 1 h 1 min 0 sec - Spesa: 1.235");
}

TEST(ConnectionLog, ExportThenImportReproducesTheLog)
{
    TTempDir dir;
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    log.AddConnection(Conn(EncodeDate(2026, 12, 8) + EncodeTime(10, 30, 15, 0), 10, 2, 1936.27, "Perché no"));
    log.AddConnection(Conn(EncodeDate(2026, 12, 9) + EncodeTime(23, 0, 0, 0), 90, 0, 0, ""));
    ASSERT_TRUE(log.ExportText(log.Units(), dir / "log.txt"));
    EXPECT_EQ(ctx.Prompter.Shown.back().Text, "I dati di connessione sono stati esportati con successo in " + (dir / "log.txt"));
    const std::string text = ReadFile(dir / "log.txt");
    SCOPED_TRACE(text);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "Inizio\t\t\tFine\t\t\tScatti\tLire\tEuro\tConnessione");
    EXPECT_NE(text.find("08/12/2026 10:30:15\t08/12/2026 10:40:15\t2\t1936,27\t1,000\tPerch\xE9 no\r\n"),
              std::string::npos);
    TDataUnits copy(ctx.Services);
    ASSERT_TRUE(copy.ImportText(dir / "log.txt"));
    EXPECT_EQ(ctx.Prompter.Shown.back().Text, "Importate ben 2 connessioni!");
    ASSERT_EQ(copy.Units().Count(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(DurationToSeconds(copy.Units()[i].I()), DurationToSeconds(log.Units()[i].I()));
        EXPECT_EQ(DurationToSeconds(copy.Units()[i].F()), DurationToSeconds(log.Units()[i].F()));
        EXPECT_EQ(copy.Units()[i].S(), log.Units()[i].S());
        EXPECT_EQ(copy.Units()[i].L(), log.Units()[i].L());
        EXPECT_EQ(copy.Units()[i].N(), log.Units()[i].N());
    }
}

TEST(ConnectionLog, ImportCountsBadLinesAndSavesWhenMostAreGood)
{
    TTempDir dir;
    TTestContext ctx;
    WriteFile(dir / "in.txt", "Inizio\t\t\tFine\t\t\tScatti\tLire\tEuro\tConnessione\r\n"
                              "01/02/2003 10:00:00\t01/02/2003 10:05:00\t1\t127,5\t0,066\tTiscali\tcon tab\r\n"
                              "02/02/2003 10:00:00\t02/02/2003 10:05:00\t2\t255\tLibero\r\n"
                              "03/02/2003 10:00:00\t03/02/2003 10:05:00\t3\t10.5\r\n"
                              "31/02/2003 10:00:00\t03/02/2003 10:05:00\tx\t10\tBad\r\n");
    TDataUnits log(ctx.Services);
    log.SetFileName("Connections.dat");
    const int writes = ctx.Files.Writes;
    EXPECT_TRUE(log.ImportText(dir / "in.txt"));
    EXPECT_EQ(ctx.Prompter.Shown.back().Kind, TMsgKind::Error);
    EXPECT_EQ(ctx.Prompter.Shown.back().Text, "Non è stato possibile importare ben 1 connessioni su 3!");
    ASSERT_EQ(log.Units().Count(), 3u);
    EXPECT_EQ(log.Units()[0].N(), "Tiscali\tcon tab");
    EXPECT_EQ(log.Units()[0].L(), 127.5);
    EXPECT_EQ(log.Units()[1].N(), "Libero");
    EXPECT_EQ(log.Units()[2].L(), 10.5);
    EXPECT_EQ(ctx.Files.Writes, writes + 1);
}

TEST(ConnectionLog, ImportIsAllOrNothingAndRefusesNonsense)
{
    TTempDir dir;
    TTestContext ctx;
    TDataUnits log(ctx.Services);
    log.SetFileName("Connections.dat");
    const TBytes before = ctx.Files.Files["/data/Connections.dat"];
    // One good line against an end before its start, a "nan" and an "inf" amount.
    WriteFile(dir / "bad.txt", "\xEF\xBB\xBF" "01/02/2003 10:00:00\t01/02/2003 10:05:00\t1\t127,5\tTiscali\r\n"
                               "02/02/2003 10:00:00\t01/02/2003 10:05:00\t2\t255\tIndietro\r\n"
                               "03/02/2003 10:00:00\t03/02/2003 10:05:00\t3\tnan\tNan\r\n"
                               "04/02/2003 10:00:00\t04/02/2003 10:05:00\t3\tinf\tInf\r\n");
    EXPECT_FALSE(log.ImportText(dir / "bad.txt"));
    EXPECT_EQ(ctx.Prompter.Shown.back().Text, "Non è stato possibile importare ben 3 connessioni su 1!");
    EXPECT_EQ(log.Units().Count(), 0u); // nothing stays in memory for the next automatic save
    EXPECT_FALSE(log.Modified());
    ctx.Time.Advance(20000);
    EXPECT_EQ(ctx.Files.Files["/data/Connections.dat"], before);

    // The byte-order mark of the first line does not cost it.
    WriteFile(dir / "bom.txt", "\xEF\xBB\xBF" "01/02/2003 10:00:00\t01/02/2003 10:05:00\t1\t127,5\tTiscali\r\n");
    EXPECT_TRUE(log.ImportText(dir / "bom.txt"));
    ASSERT_EQ(log.Units().Count(), 1u);
    EXPECT_EQ(log.Units()[0].N(), "Tiscali");
}
