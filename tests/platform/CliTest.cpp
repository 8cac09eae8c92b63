// The command-line tool as a user runs it.
#include "TestSupport.h"
#include "cli/Cli.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace qv;
using namespace qv::test;

namespace {
int RunTool(std::vector<std::string> args, std::string& out, std::string& err)
{
    std::ostringstream o, e;
    const int rc = RunCli(std::move(args), o, e);
    out = o.str();
    err = e.str();
    return rc;
}
} // namespace

TEST(Cli, UsageAndErrors)
{
    std::string out, err;
    EXPECT_EQ(RunTool({}, out, err), 2);
    EXPECT_NE(err.find("Uso: quorvanta-cli"), std::string::npos);
    EXPECT_EQ(RunTool({"version"}, out, err), 0);
    EXPECT_EQ(out.rfind("Quorvanta 1.0.0.", 0), 0u);
    TTempDir dir;
    EXPECT_EQ(RunTool({"--data-dir", dir.Path, "dump", dir / "missing.dat"}, out, err), 1);
    EXPECT_EQ(err.rfind("Errore: ", 0), 0u);
    WriteFile(dir / "garbage.dat", "not a data file");
    EXPECT_EQ(RunTool({"dump", dir / "garbage.dat"}, out, err), 1);
    EXPECT_NE(err.find("Formato del file non valido"), std::string::npos);
    WriteFile(dir / "alien.dat", std::string("TPF0\x06TAlien\x00\x00\x00", 14));
    EXPECT_EQ(RunTool({"dump", dir / "alien.dat"}, out, err), 1);
    EXPECT_NE(err.find("Classe di dati sconosciuta: TAlien"), std::string::npos);
}
