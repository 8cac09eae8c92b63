// The large libraries live in modules loaded at first use: the command-line tool starts without
// them, a command that needs one loads it, and a missing module is a failure of that use only.
#include "CliRun.h"
#include "platform/linux/Modules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace qv;
using namespace qv::test;

namespace {

// What a shell command printed (both streams) and its exit status.
std::pair<std::string, int> Shell(const std::string& command)
{
    std::string out;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return {"", -1};
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = ::pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

} // namespace

TEST(Modules, TheToolStartsWithoutTheLargeLibraries)
{
    const auto [needed, code] = Shell("ldd " + std::string(QV_CLI_PATH));
    ASSERT_EQ(code, 0) << needed;
    for (const char* library : {"libcurl", "libSDL2", "libsdbus-c++", "libsecret", "libsystemd", "libglib"})
        EXPECT_EQ(needed.find(library), std::string::npos) << library << " in\n" << needed;
}

TEST(Modules, ACommandLoadsOnlyWhatItUses)
{
    TTempDir dir;
    const std::string tool = std::string(QV_CLI_PATH) + " --data-dir " + dir.Path;
    ASSERT_EQ(Shell(tool + " log add --from '2026-12-08 10:00:00' --to '2026-12-08 10:10:00' --pulses 1 --cost 100 "
                           "--entry Prova").second, 0);
    // No module anywhere: the data commands do not miss them.
    const std::string noModules = "QUORVANTA_MODULE_DIR=" + dir.Path + "/nessuno ";
    const auto resave = Shell(noModules + tool + " resave " + (dir / "Connections.dat") + " " + (dir / "Copia.dat"));
    EXPECT_EQ(resave.second, 0) << resave.first;
    EXPECT_EQ(ReadFile(dir / "Copia.dat"), ReadFile(dir / "Connections.dat"));
    // A sound needs its module: without it the sound fails and says so, with it the sound plays.
    const auto silent = Shell("SDL_AUDIODRIVER=dummy " + noModules + tool + " sounds play Laser");
    EXPECT_NE(silent.second, 0);
    EXPECT_NE(silent.first.find("Errore durante la riproduzione"), std::string::npos) << silent.first;
    const auto played = Shell("SDL_AUDIODRIVER=dummy " + tool + " sounds play Laser");
    EXPECT_EQ(played.second, 0) << played.first;
}

TEST(Modules, AMissingModuleFailsItsUseWithTheReason)
{
    // ctest runs every test in a process of its own; run together, an earlier test may have loaded them.
    if (modules::Loaded("http") || modules::Loaded("dbus") || modules::Loaded("keyring"))
        GTEST_SKIP() << "modules already loaded by an earlier test of this process";
    TTestContext ctx;
    TTempDir dir;
    ::setenv("QUORVANTA_MODULE_DIR", dir.Path.c_str(), 1);
    const auto http = modules::HttpTransport();
    int code = 0;
    std::string text;
    EXPECT_EQ(http->Connect("127.0.0.1", 80, "", "", code, text), nullptr);
    EXPECT_EQ(code, -1);
    EXPECT_NE(text.find("Impossibile caricare il modulo «http»"), std::string::npos) << text;
    EXPECT_NE(text.find(dir.Path + "/libqv-http.so"), std::string::npos) << text;
    EXPECT_FALSE(modules::Loaded("http"));
    // The clock and the modem fail the same way, with the reason or the service's own code.
    EXPECT_NE(modules::ClockSetter()->ShiftClock(1000000).find("Impossibile caricare il modulo «dbus»"),
              std::string::npos);
    int devices = 5;
    const auto lines = modules::ModemLines(ctx.Time);
    EXPECT_EQ(lines->Initialize("Quorvanta", devices).Code, MMERR_NOSERVICE);
    EXPECT_EQ(devices, 0);
    EXPECT_EQ(modules::Keyring().Find("Casa", "mario"), std::nullopt);
    EXPECT_FALSE(modules::Keyring().Store("Casa", "mario", "segreta"));
    ::setenv("QUORVANTA_MODULE_DIR", QV_MODULE_DIR, 1);
}

TEST(Modules, TheModulesOfTheBuildLoadAndWork)
{
    // A loopback port nobody listens on: the transport comes from the module, the failure from libcurl.
    const auto http = modules::HttpTransport();
    int code = 0;
    std::string text;
    const auto connection = http->Connect("127.0.0.1", 9, "", "", code, text);
    EXPECT_NE(connection, nullptr) << text;
    EXPECT_TRUE(modules::Loaded("http"));
}
