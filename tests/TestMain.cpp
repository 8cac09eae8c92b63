// Test entry point: fixes the environment every test relies on, whatever ctest passes.
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "Europe/Rome", 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
