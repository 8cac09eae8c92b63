// The command-line tool's money: absurd values refused with the field and its range, a date alone
// as the end of a range covers its whole day, and durations on daylight-saving nights are real.
#include "TestSupport.h"
#include "CliRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace qv;
using namespace qv::test;

namespace {

// The folder's tariffs exported, one value of the first changed, written back as a file to import.
std::string TariffFileWith(TTempDir& dir, const std::string& field, const nlohmann::json& value)
{
    const std::string exported = dir / "export.json";
    Cli({"--data-dir", dir.Path, "tariffs", "export", exported});
    auto j = nlohmann::json::parse(ReadFile(exported));
    j["tariffs"][0]["Tipo"] = "ttScatti";
    j["tariffs"][0]["Nome"] = "Prova";
    j["tariffs"][0][field] = value;
    const std::string path = dir / ("import-" + field + ".json");
    WriteFile(path, j.dump());
    return path;
}

} // namespace

TEST(CliMoney, AbsurdValuesAreRefusedWithTheFieldAndNothingIsImported)
{
    TTempDir dir;
    struct TCase
    {
        const char* Field;
        nlohmann::json Value;
        const char* Why;
    };
    for (const TCase& c : {TCase{"ScattiIntera", 1e-20, "da 1 a 86.400 secondi"},
                           TCase{"CostoFissoPunta", -127, "da 0 a 1.000.000 lire"},
                           TCase{"TatIntera1", 1e308, "da 0 a 1.000.000 lire"},
                           TCase{"ScattiAllaRisposta", 2147483647, "da 0 a 1000"}}) {
        const TRun r = Cli({"--data-dir", dir.Path, "tariffs", "import", TariffFileWith(dir, c.Field, c.Value)});
        EXPECT_EQ(r.Code, 1) << c.Field;
        EXPECT_NE(r.Err.find(std::string("campo «") + c.Field + "»"), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find(c.Why), std::string::npos) << r.Err;
        const TRun list = Cli({"--data-dir", dir.Path, "tariffs", "list"});
        EXPECT_EQ(list.Out.find("Telecom - Prova"), std::string::npos) << c.Field;
    }
    // A sound one goes in, and its price is valid JSON.
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "tariffs", "import", TariffFileWith(dir, "ScattiIntera", 60)}).Code, 0);
    const TRun price = Cli({"--data-dir", dir.Path, "price", "--tariff", "Telecom - Prova", "--from",
                            "2026-12-09 10:00:00", "--to", "2026-12-09 10:10:00", "--json"});
    ASSERT_EQ(price.Code, 0) << price.Err;
    EXPECT_TRUE(nlohmann::json::accept(price.Out)) << price.Out;

    for (const char* cost : {"-500", "1e308", "1e10"}) {
        const TRun r = Cli({"--data-dir", dir.Path, "log", "add", "--from", "2026-12-08 10:00:00", "--to",
                            "2026-12-08 10:01:00", "--cost", cost});
        EXPECT_EQ(r.Code, 1) << cost;
        EXPECT_NE(r.Err.find("Costo non valido"), std::string::npos) << r.Err;
    }
    // An import with a line of negative pulses or lire is refused whole, and says so in its status.
    WriteFile(dir / "log.txt", "09/12/2026 10:00:00\t09/12/2026 10:10:00\t3\t381\tUno\n"
                               "09/12/2026 11:00:00\t09/12/2026 11:10:00\t-3\t381\tDue\n"
                               "09/12/2026 12:00:00\t09/12/2026 12:10:00\t3\t-381\tTre\n"
                               "09/12/2026 13:00:00\t09/12/2026 13:10:00\t3\t381\tQuattro\n"
                               "09/12/2026 14:00:00\t09/12/2026 14:10:00\t3\t381\tCinque\n");
    const TRun imported = Cli({"--data-dir", dir.Path, "log", "import", dir / "log.txt"});
    EXPECT_EQ(imported.Code, 1) << imported.Out;
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"}).Out, "");
}

TEST(CliMoney, ADateAloneEndsARangeWithItsWholeDay)
{
    TTempDir dir;
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "log", "add", "--from", "2026-04-30 18:00:00", "--to", "2026-04-30 18:30:00",
                   "--pulses", "4", "--cost", "900", "--entry", "Ultimo giorno"})
                  .Code,
              0);
    const TRun summary =
        Cli({"--data-dir", dir.Path, "log", "summary", "--by", "day", "--from", "2026-04-01", "--to", "2026-04-30"});
    EXPECT_NE(summary.Out.find("30/04/2026\t1\t4"), std::string::npos) << summary.Out;
    const TRun repricing =
        Cli({"--data-dir", dir.Path, "repricing", "--from", "2026-04-01", "--to", "2026-04-30", "--json"});
    ASSERT_EQ(repricing.Code, 0) << repricing.Err;
    EXPECT_EQ(nlohmann::json::parse(repricing.Out)["connections"], 1);
    const TRun chart = Cli({"--data-dir", dir.Path, "stats", "chart", "--measure", "lire", "--group", "giorni", "--from",
                            "2026-04-01", "--to", "2026-04-30", "--json"});
    ASSERT_EQ(chart.Code, 0) << chart.Err;
    EXPECT_NE(chart.Out.find("900"), std::string::npos) << chart.Out;
}

// The test entry point sets TZ=Europe/Rome.
TEST(CliMoney, DaylightSavingNightsHaveTheirRealDurationAndTheSkippedHourIsRefused)
{
    TTempDir dir;
    const auto duration = [&](const char* from, const char* to) {
        const TRun r = Cli({"--data-dir", dir.Path, "price", "--tariff", "Telecom - TAT Urbana", "--from", from, "--to", to});
        const auto at = r.Out.find("Durata: ");
        return at == std::string::npos ? r.Err : r.Out.substr(at, r.Out.find('\n', at) - at);
    };
    EXPECT_EQ(duration("2026-03-29 01:30:00", "2026-03-29 03:30:00"), "Durata: 1 h 0 min 0 sec");
    EXPECT_EQ(duration("2026-10-25 01:30:00", "2026-10-25 03:30:00"), "Durata: 3 h 0 min 0 sec");
    EXPECT_EQ(duration("2026-12-09 01:30:00", "2026-12-09 03:30:00"), "Durata: 2 h 0 min 0 sec");
    const TRun skipped = Cli({"--data-dir", dir.Path, "price", "--tariff", "Telecom - TAT Urbana", "--from",
                              "2026-03-29 02:30:00", "--to", "2026-03-29 03:30:00"});
    EXPECT_EQ(skipped.Code, 1);
    EXPECT_NE(skipped.Err.find("non esiste: 2026-03-29 02:30:00"), std::string::npos) << skipped.Err;
    // The log and its statistics count the same real hour.
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "log", "add", "--from", "2026-03-29 01:30:00", "--to", "2026-03-29 03:30:00",
                   "--entry", "Notte"})
                  .Code,
              0);
    const TRun summary = Cli({"--data-dir", dir.Path, "log", "summary", "--by", "entry"});
    EXPECT_NE(summary.Out.find("Notte\t1\t0\t1 h"), std::string::npos) << summary.Out;
}
