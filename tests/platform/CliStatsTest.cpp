// The statistics and reports of the command-line tool: the tree and the chart as scripts read
// them, and the two reports as PDF files read back with pdftotext.
#include "CliRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

using namespace qv;
using namespace qv::test;

namespace {

void AddLog(const std::string& dir, const std::string& from, const std::string& to, int pulses, int cost,
            const std::string& entry)
{
    const TRun r = Cli({"--data-dir", dir, "log", "add", "--from", from, "--to", to, "--pulses", std::to_string(pulses),
                        "--cost", std::to_string(cost), "--entry", entry});
    ASSERT_EQ(r.Code, 0) << r.Err;
}

std::string PdfText(const std::string& file)
{
    std::string text;
    FILE* p = popen(("pdftotext -layout '" + file + "' - 2>/dev/null").c_str(), "r");
    if (!p)
        return text;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    pclose(p);
    return text;
}

} // namespace

TEST(CliStats, AnEmptyLogHasTheRootAndTheSilverNessunaBar)
{
    TTempDir dir;
    const TRun tree = Cli({"--data-dir", dir.Path, "stats", "tree", "--json"});
    ASSERT_EQ(tree.Code, 0) << tree.Err;
    const auto nodes = nlohmann::json::parse(tree.Out)["nodes"];
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]["text"], "Connessioni");
    EXPECT_EQ(nodes[0]["pulses"], 0);
    const TRun chart = Cli({"--data-dir", dir.Path, "stats", "chart", "--measure", "scatti", "--group", "anni", "--json"});
    ASSERT_EQ(chart.Code, 0) << chart.Err;
    const auto c = nlohmann::json::parse(chart.Out);
    EXPECT_EQ(c["title"], "Scatti del collegamento per anno");
    ASSERT_EQ(c["points"].size(), 1u);
    EXPECT_EQ(c["points"][0]["label"], "nessuna");
    EXPECT_EQ(c["points"][0]["color"], "#C0C0C0");
    EXPECT_EQ(c["totals"][4], "Scatti 0");
}

TEST(CliStats, TreeChartAndBothReports)
{
    TTempDir dir;
    AddLog(dir.Path, "2025-03-10 10:00:00", "2025-03-10 10:10:00", 4, 1200, "Provider Uno");
    AddLog(dir.Path, "2026-03-02 09:00:00", "2026-03-02 09:20:00", 7, 2500, "provider uno");
    AddLog(dir.Path, "2026-03-02 21:00:00", "2026-03-02 21:10:00", 2, 300, "");

    const TRun tree = Cli({"--data-dir", dir.Path, "stats", "tree", "--json"});
    ASSERT_EQ(tree.Code, 0) << tree.Err;
    const auto nodes = nlohmann::json::parse(tree.Out)["nodes"];
    // Depth first: root, 2025, marzo, 10, 2026, marzo, 2.
    ASSERT_EQ(nodes.size(), 7u);
    EXPECT_EQ(nodes[0]["lire"], 4000);
    EXPECT_EQ(nodes[4]["description"], "Connessioni dell'anno 2026");
    EXPECT_EQ(nodes[4]["rangeEnd"], "2027-01-01 00:00:00");
    EXPECT_EQ(nodes[6]["text"], "2 (lunedì)");
    EXPECT_EQ(nodes[6]["connections"], 2);
    EXPECT_EQ(nodes[6]["time"], "30 min 0 sec");

    const TRun months = Cli({"--data-dir", dir.Path, "stats", "chart", "--measure", "lire", "--group", "mesi", "--from",
                             "2025-01-01", "--to", "2026-12-31", "--json"});
    ASSERT_EQ(months.Code, 0) << months.Err;
    const auto m = nlohmann::json::parse(months.Out);
    ASSERT_EQ(m["points"].size(), 2u); // two Marches of two years
    EXPECT_EQ(m["points"][0]["label"], "marzo 2025");
    EXPECT_EQ(m["points"][0]["color"], "#0000FF");
    EXPECT_EQ(m["points"][1]["mark"], "2.800");
    EXPECT_EQ(m["totals"][0], "Periodo dal 1 gennaio 2025 al 31 dicembre 2026");

    const TRun kinds = Cli({"--data-dir", dir.Path, "stats", "chart", "--measure", "tempo", "--group", "tipi"});
    ASSERT_EQ(kinds.Code, 0) << kinds.Err;
    EXPECT_NE(kinds.Out.find("  Provider Uno  30 min 0 sec\n"), std::string::npos) << kinds.Out;
    EXPECT_NE(kinds.Out.find("  <sconosciuta>  10 min 0 sec\n"), std::string::npos);

    const TRun bad = Cli({"--data-dir", dir.Path, "stats", "chart", "--measure", "pesi", "--group", "mesi"});
    EXPECT_EQ(bad.Code, 1);
    EXPECT_NE(bad.Err.find("Misura sconosciuta: pesi"), std::string::npos);

    // The details of the root: level rows only; of a day with --connections: its connections.
    const TRun details = Cli({"--data-dir", dir.Path, "report", "details", "--pdf", dir / "d.pdf"});
    ASSERT_EQ(details.Code, 0) << details.Err;
    const std::string d = PdfText(dir / "d.pdf");
    ASSERT_FALSE(d.empty()) << "pdftotext is missing: make deps installs poppler-utils";
    EXPECT_NE(d.find("Dettagli delle connessioni"), std::string::npos) << d;
    EXPECT_NE(d.find("Pagina 1"), std::string::npos);
    EXPECT_NE(d.find("Tutte le connessioni"), std::string::npos);
    EXPECT_NE(d.find("Connessioni del mese di marzo 2025"), std::string::npos);
    EXPECT_NE(d.find("Connessioni del giorno lunedì 2 marzo 2026"), std::string::npos);
    EXPECT_EQ(d.find("[Provider"), std::string::npos);
    const TRun day = Cli({"--data-dir", dir.Path, "report", "details", "--node", "2026-03-02", "--connections", "--pdf",
                          dir / "g.pdf"});
    ASSERT_EQ(day.Code, 0) << day.Err;
    const std::string g = PdfText(dir / "g.pdf");
    EXPECT_NE(g.find("[provider uno] 2 mar 2026 dalle 9:00:00 alle 9:20:00"), std::string::npos) << g;
    EXPECT_EQ(g.find("Provider Uno"), std::string::npos);
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "report", "details", "--node", "2024", "--pdf", dir / "x.pdf"}).Code, 1);

    const TRun chart = Cli({"--data-dir", dir.Path, "report", "chart", "--measure", "euro", "--group", "giorni",
                            "--from", "2025-01-01", "--to", "2026-12-31", "--pdf", dir / "c.pdf"});
    ASSERT_EQ(chart.Code, 0) << chart.Err;
    EXPECT_EQ(chart.Out, dir / "c.pdf" + ": 1 pagina\n");
    const std::string c = PdfText(dir / "c.pdf");
    EXPECT_NE(c.find("Costo in €uro per giorno"), std::string::npos) << c;
    EXPECT_NE(c.find("Intervallo di osservazione: Periodo dal 1 gennaio 2025 al 31 dicembre 2026"), std::string::npos);
    EXPECT_NE(c.find("lun 2 mar 2026"), std::string::npos);
}

TEST(CliStats, RepricingRanksTheTariffsAndAFreshFolderReadsWithoutWarnings)
{
    TTempDir dir;
    const TRun empty = Cli({"--data-dir", dir.Path, "repricing", "--from", "2026-01-01", "--to", "2026-12-31"});
    ASSERT_EQ(empty.Code, 0) << empty.Err;
    EXPECT_EQ(empty.Err, ""); // the missing data files read as their defaults, silently
    EXPECT_EQ(empty.Out.rfind("0 connessioni dal 1 gennaio 2026 al 31 dicembre 2026, pagate £ 0\n", 0), 0u) << empty.Out;

    AddLog(dir.Path, "2026-03-02 09:00:00", "2026-03-02 10:00:00", 30, 9000, "Provider Uno");
    AddLog(dir.Path, "2026-04-02 21:00:00", "2026-04-02 21:30:00", 4, 1000, "Provider Uno");
    const TRun r = Cli({"--data-dir", dir.Path, "repricing", "--from", "2026-01-01", "--to", "2026-12-31", "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const auto j = nlohmann::json::parse(r.Out);
    EXPECT_EQ(j["connections"], 2);
    EXPECT_EQ(j["paid"], 10000);
    ASSERT_EQ(j["tariffs"].size(), 24u);
    for (std::size_t i = 1; i < j["tariffs"].size(); ++i)
        EXPECT_LE(j["tariffs"][i - 1]["total"].get<double>(), j["tariffs"][i]["total"].get<double>());
    EXPECT_DOUBLE_EQ(j["tariffs"][0]["saving"].get<double>(), 10000 - j["tariffs"][0]["total"].get<double>());
    // The same tariff priced alone over one connection agrees with price.
    const auto row = std::find_if(j["tariffs"].begin(), j["tariffs"].end(),
                                  [](const nlohmann::json& t) { return t["tariff"] == "Telecom - TAT Urbana"; });
    ASSERT_NE(row, j["tariffs"].end());
    const auto p1 = nlohmann::json::parse(Cli({"--data-dir", dir.Path, "price", "--tariff", "Telecom - TAT Urbana", "--from",
                                               "2026-03-02 09:00:00", "--to", "2026-03-02 10:00:00", "--json"})
                                              .Out);
    const auto p2 = nlohmann::json::parse(Cli({"--data-dir", dir.Path, "price", "--tariff", "Telecom - TAT Urbana", "--from",
                                               "2026-04-02 21:00:00", "--to", "2026-04-02 21:30:00", "--json"})
                                              .Out);
    EXPECT_NEAR((*row)["total"].get<double>(), p1["cost"].get<double>() + p2["cost"].get<double>(), 1e-6);
}
