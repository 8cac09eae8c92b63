// Test entry point: fixes the environment every test relies on, whatever ctest passes.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// SDL keeps a few bytes of its own after it quits; they are not the program's to free. sdbus-c++
// does not free the sd_bus it made when the bus at the address given does not answer (the tests'
// NetworkManager watch is pointed at such an address so that it never reaches the system bus).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libSDL2\nleak:sd_bus_new\n";
}
#endif

int main(int argc, char** argv)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "Europe/Rome", 1);
    // The program's NetworkManager watch never reaches the system bus from a test; a test that
    // wants NetworkManager gives the address of its own bus.
    ::setenv("QUORVANTA_NM_BUS", "unix:path=/nonexistent/quorvanta-tests-no-bus", 0);
#ifdef QV_MODULE_DIR
    // The modules of this build, wherever the test binary lies.
    ::setenv("QUORVANTA_MODULE_DIR", QV_MODULE_DIR, 1);
#endif
    // A runtime folder of this run's own: the single-instance lock of the tests never meets a
    // program the user runs, nor another test binary running beside this one.
    // It goes when the run ends: every test runs as a process of its own, and thousands of empty
    // folders were left in the temporary directory.
    std::string runtime = (std::filesystem::temp_directory_path() / "qv-runtime-XXXXXX").string();
    const bool ownRuntime = ::mkdtemp(runtime.data()) != nullptr;
    if (ownRuntime)
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (ownRuntime) {
        std::error_code ignored;
        std::filesystem::remove_all(runtime, ignored);
    }
    return result;
}
