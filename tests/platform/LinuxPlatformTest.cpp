// Linux adapters on temporary trees: atomic saves (also when killed mid-way), permissions,
// the single instance, system facts.
#include "TestSupport.h"
#include "core/Errors.h"
#include "core/VirtualTime.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxSingleInstance.h"
#include "platform/linux/LinuxSystem.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

namespace fs = std::filesystem;

TEST(LinuxFileSystem, AtomicWriteIsPrivateAndReplacesTheFile)
{
    TTempDir dir;
    TLinuxFileSystem files;
    const std::string path = dir / "Settings.dat";
    files.WriteAtomic(path, TBytes{1, 2, 3});
    files.WriteAtomic(path, TBytes{4, 5});
    EXPECT_EQ(files.ReadAll(path), (TBytes{4, 5}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1); // no temporaries left
    // A file of megabytes goes out in steps into space taken ahead: every byte in its place, the
    // size exactly the data's.
    TBytes large(2'600'000);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<std::uint8_t>(i % 251);
    files.WriteAtomic(path, large);
    EXPECT_EQ(fs::file_size(path), large.size());
    EXPECT_TRUE(files.ReadAll(path) == large);
}

TEST(LinuxFileSystem, SaveWritesThroughALinkAndClearsOldTemporaries)
{
    TTempDir dir;
    TLinuxFileSystem files;
    fs::create_directory(dir / "real");
    files.WriteAtomic(dir / "real/Connections.dat", TBytes{1});
    fs::create_symlink(dir / "real/Connections.dat", dir / "Connections.dat");
    files.WriteAtomic(dir / "Connections.dat", TBytes{2, 2});
    EXPECT_TRUE(fs::is_symlink(dir / "Connections.dat"));
    EXPECT_EQ(files.ReadAll(dir / "real/Connections.dat"), (TBytes{2, 2}));

    // A save cut short by a crash left its temporary file: an old one goes, a fresh one stays.
    WriteFile(dir / "real/.Connections.dat.ab12CD", "old");
    WriteFile(dir / "real/.Connections.dat.xy34EF", "in progress");
    fs::last_write_time(dir / "real/.Connections.dat.ab12CD", fs::file_time_type::clock::now() - std::chrono::hours(1));
    files.WriteAtomic(dir / "Connections.dat", TBytes{3});
    EXPECT_FALSE(fs::exists(dir / "real/.Connections.dat.ab12CD"));
    EXPECT_TRUE(fs::exists(dir / "real/.Connections.dat.xy34EF"));
}

TEST(LinuxFileSystem, ReadOnlyFileIsMadeWritable)
{
    TTempDir dir;
    TLinuxFileSystem files;
    const std::string path = dir / "Status.dat";
    WriteFile(path, "x");
    ::chmod(path.c_str(), 0444);
    files.MakeWritable(path);
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_THROW(files.MakeWritable(dir / "missing"), EQvError);
    EXPECT_THROW(files.ReadAll(dir / "missing"), EQvError);
}

TEST(LinuxFileSystem, FailedSaveLeavesTheOldFile)
{
    TTempDir dir;
    TLinuxFileSystem files;
    const std::string path = dir / "Status.dat";
    files.WriteAtomic(path, TBytes{7});
    // A child process whose files may not grow past 1000 bytes: the disk is "full" for it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            TLinuxFileSystem mine;
            mine.WriteAtomic(path, TBytes(5000, 1));
        } catch (const EQvError&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was not reported";
    EXPECT_EQ(files.ReadAll(path), TBytes{7});
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
}

TEST(LinuxFileSystem, KillDuringSaveLeavesOldOrNewNeverBroken)
{
    TTempDir dir;
    const std::string path = dir / "Connections.dat";
    const TBytes a(3'000'000, 'A');
    const TBytes b(2'000'000, 'B');
    TLinuxFileSystem files;
    files.WriteAtomic(path, a);
    for (int round = 0; round < 6; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TLinuxFileSystem mine;
            for (int i = 0;; ++i)
                mine.WriteAtomic(path, i % 2 ? a : b);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 37 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const TBytes now = files.ReadAll(path);
        EXPECT_TRUE(now == a || now == b) << "size " << now.size();
    }
}

TEST(LinuxFileSystem, PrivateFolderIsCreated)
{
    TTempDir dir;
    const std::string data = dir / "a/b/Quorvanta";
    EnsurePrivateFolder(data);
    struct stat st {};
    ASSERT_EQ(::stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(LinuxSingleInstance, SecondStartReachesTheFirst)
{
    TTempDir dir;
    VirtualTime time;
    TLinuxSingleInstance first(time, dir.Path);
    std::vector<std::pair<int, int>> received;
    first.OnMessage = [&](int w, int l) { received.emplace_back(w, l); };
    ASSERT_TRUE(first.Acquire());
    {
        TLinuxSingleInstance second(time, dir.Path);
        EXPECT_FALSE(second.Acquire());
        EXPECT_TRUE(second.SendToRunning(2, 0));
        TLinuxSingleInstance third(time, dir.Path);
        EXPECT_FALSE(third.Acquire());
        EXPECT_TRUE(third.SendToRunning(0, 0));
    }
    // The message arrives through the main loop.
    for (int i = 0; i < 100 && received.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        time.Advance(0);
    }
    EXPECT_EQ(received, (std::vector<std::pair<int, int>>{{2, 0}, {0, 0}}));
}

TEST(LinuxSingleInstance, LockIsFreedWhenTheFirstEnds)
{
    TTempDir dir;
    VirtualTime time;
    {
        TLinuxSingleInstance first(time, dir.Path);
        ASSERT_TRUE(first.Acquire());
    }
    TLinuxSingleInstance next(time, dir.Path);
    EXPECT_TRUE(next.Acquire());
    TLinuxSingleInstance nobody(time, dir.Path + "/none");
    EXPECT_FALSE(nobody.SendToRunning(2, 0));
}

TEST(LinuxSingleInstance, PrivateFolderAndNoStartWithoutALock)
{
    TTempDir home;
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("XDG_CACHE_HOME");
    ::setenv("HOME", home.Path.c_str(), 1);
    // Without a runtime folder: a private folder of the user's, never a guessable name in /tmp.
    const std::string folder = TLinuxSingleInstance::DefaultFolder();
    EXPECT_EQ(folder, home.Path + "/.cache/quorvanta");
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(folder.c_str(), 0755);
    TLinuxSingleInstance::DefaultFolder();
    ::stat(folder.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u); // made private again
    // A folder that is a link to someone else's is refused.
    std::filesystem::remove(folder);
    std::filesystem::create_directory_symlink("/tmp", folder);
    EXPECT_THROW(TLinuxSingleInstance::DefaultFolder(), EQvError);
    std::filesystem::remove(folder);
    ::setenv("HOME", oldHome.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    // A lock that cannot be opened stops the start instead of letting a second instance run.
    VirtualTime time;
    TLinuxSingleInstance nowhere(time, home.Path + "/missing");
    EXPECT_THROW(nowhere.Acquire(), EQvError);
}

TEST(LinuxSystem, FactsFromTheSystem)
{
    EXPECT_EQ(OsNameFromOsRelease("PRETTY_NAME=\"Debian GNU/Linux 12\"\nNAME=\"Debian GNU/Linux\"\nID=debian\n"),
              "Debian GNU/Linux");
    EXPECT_EQ(OsNameFromOsRelease("ID=x\n"), "Linux");
    const TOsVersion v = ParseKernelRelease("Linux", "6.1.0-18-amd64");
    EXPECT_EQ(v.Major, 6);
    EXPECT_EQ(v.Minor, 1);
    EXPECT_EQ(v.Build, "0-18-amd64");
    TTempDir dir;
    fs::create_directories(dir / "etc");
    WriteFile(dir / "etc/os-release", "NAME='Slackware'\n");
    EXPECT_EQ(TLinuxSystem(dir.Path).OsName(), "Slackware");
    EXPECT_EQ(TLinuxSystem(dir.Path).ComponentVersion("unknown-thing"), "???");
    std::string out;
    EXPECT_EQ(RunProgram({"sh", "-c", "echo ciao; exit 3"}, &out), 3);
    EXPECT_EQ(out, "ciao\n");
    EXPECT_EQ(RunProgram({"/nonexistent/program"}), -1);
    TSystemClock clock;
    EXPECT_GT(clock.UtcNow(), 46000.0); // after 2025
    EXPECT_LT(std::abs(clock.Now() - clock.UtcNow()), 1.0);
}
