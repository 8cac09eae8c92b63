// Real child processes through the Linux launcher, and sounds through SDL's disk audio driver.
#include "TestSupport.h"
#include "app/WaveSounds.h"
#include "platform/linux/LinuxProcesses.h"
#include "platform/linux/SdlSoundOutput.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

bool WaitFor(const std::function<bool()>& condition, int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace

TEST(LinuxProcesses, StartRunningTerminateAndStartAgain)
{
    TLinuxProcessLauncher launcher;
    auto sleeper = launcher.Start({"/bin/sleep", "", "30", 6});
    ASSERT_EQ(sleeper.Error, "");
    ASSERT_TRUE(sleeper.Process);
    EXPECT_TRUE(sleeper.Process->Running());
    EXPECT_EQ(sleeper.Process->Terminate(), "");
    EXPECT_TRUE(WaitFor([&] { return !sleeper.Process->Running(); }, 2000));

    // A program that ends by itself is no longer running and can be started again.
    auto quick = launcher.Start({"true", "", "", 6}); // found through PATH
    ASSERT_EQ(quick.Error, "");
    EXPECT_TRUE(WaitFor([&] { return !quick.Process->Running(); }, 2000));
    EXPECT_EQ(quick.Process->Terminate(), ""); // ended already: nothing to do
    auto again = launcher.Start({"true", "", "", 6});
    EXPECT_EQ(again.Error, "");
}

TEST(LinuxProcesses, ParametersAndFolderReachTheProgram)
{
    TTempDir dir;
    TLinuxProcessLauncher launcher;
    // Quoted as a desktop Exec line is: double quotes, with \" and \$ inside.
    auto r = launcher.Start(
        {"/bin/sh", dir.Path, "-c \"pwd > out.txt; printf '%s|' \\\"\\$0\\\" >> out.txt\" \"due parole\"", 6});
    ASSERT_EQ(r.Error, "");
    ASSERT_TRUE(WaitFor([&] { return !r.Process->Running(); }, 2000));
    EXPECT_EQ(ReadFile(dir / "out.txt"), dir.Path + "\ndue parole|");
    // A .desktop entry stands for its program, parameters and folder (field codes dropped).
    WriteFile(dir / "prova.desktop", "[Desktop Entry]\nType=Application\nName=Prova\nExec=/bin/sh -c \"echo ok > fatto.txt\" %U\n"
                                     "Path=" + dir.Path + "\n");
    auto d = launcher.Start({dir / "prova.desktop", "", "", 6});
    ASSERT_EQ(d.Error, "");
    ASSERT_TRUE(WaitFor([&] { return !d.Process->Running(); }, 2000));
    EXPECT_EQ(ReadFile(dir / "fatto.txt"), "ok\n");
}

TEST(LinuxProcesses, OneThatIgnoresTermIsKilledAndAReusedPidIsNeverSignalled)
{
    TLinuxProcessLauncher launcher;
    launcher.KillAfterMs = 500;
    auto stubborn = launcher.Start({"/bin/sh", "", "-c \"trap '' TERM; while :; do sleep 0.05; done\"", 6});
    ASSERT_EQ(stubborn.Error, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the trap is set
    EXPECT_EQ(stubborn.Process->Terminate(), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(stubborn.Process->Running()); // SIGTERM ignored
    EXPECT_TRUE(WaitFor([&] { return !stubborn.Process->Running(); }, 3000)); // SIGKILL

    // Processes that ended and were collected: terminating them again touches nothing, whatever
    // process has since been given their pid.
    std::vector<std::shared_ptr<IProcess>> ended;
    for (int i = 0; i < 20; ++i) {
        auto r = launcher.Start({"/bin/true", "", "", 6});
        ASSERT_TRUE(WaitFor([&] { return !r.Process->Running(); }, 2000));
        ended.push_back(r.Process);
    }
    std::vector<std::shared_ptr<IProcess>> living;
    for (int i = 0; i < 20; ++i)
        living.push_back(launcher.Start({"/bin/sleep", "", "5", 6}).Process);
    for (auto& e : ended)
        EXPECT_EQ(e->Terminate(), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (auto& l : living) {
        EXPECT_TRUE(l->Running());
        l->Terminate();
    }
}

TEST(LinuxProcesses, ARelativePathIsTheWorkingFoldersAndIsRunFromIt)
{
    TTempDir dir;
    std::filesystem::create_directories(dir / "bin");
    WriteFile(dir / "bin/segna", "#!/bin/sh\necho \"$0\" > segnato.txt\n");
    ::chmod((dir / "bin/segna").c_str(), 0755);
    TLinuxProcessLauncher launcher;
    auto r = launcher.Start({"bin/segna", dir.Path, "", 6}); // our own folder is elsewhere
    ASSERT_EQ(r.Error, "");
    ASSERT_TRUE(WaitFor([&] { return !r.Process->Running(); }, 2000));
    EXPECT_EQ(ReadFile(dir / "segnato.txt"), dir / "bin/segna\n");
    EXPECT_EQ(launcher.Start({"bin/nessuno", dir.Path, "", 6}).Error, TLaunchError::FileNotFound);
}

TEST(LinuxProcesses, TerminatingEndsWhatTheProgramStartedAndAProgramLetGoIsCollected)
{
    TTempDir dir;
    TLinuxProcessLauncher launcher;
    // A launcher script that starts the real program and waits for it.
    auto r = launcher.Start({"/bin/sh", dir.Path, "-c \"sleep 30 & echo \\$! > figlio.pid; wait\"", 6});
    ASSERT_EQ(r.Error, "");
    ASSERT_TRUE(WaitFor([&] { return ReadFile(dir / "figlio.pid").find('\n') != std::string::npos; }, 2000));
    const pid_t child = std::atoi(ReadFile(dir / "figlio.pid").c_str());
    ASSERT_GT(child, 0);
    EXPECT_EQ(r.Process->Terminate(), "");
    // The child is the launcher's, reparented when the launcher ends: gone, not merely orphaned.
    EXPECT_TRUE(WaitFor([&] { return ::kill(child, 0) != 0; }, 3000));

    // Let go while running: collected when it ends, no zombie left behind.
    auto quick = launcher.Start({"/bin/sh", dir.Path, "-c \"echo \\$\\$ > io.pid; sleep 0.3\"", 6});
    ASSERT_EQ(quick.Error, "");
    ASSERT_TRUE(WaitFor([&] { return ReadFile(dir / "io.pid").find('\n') != std::string::npos; }, 2000));
    const pid_t pid = std::atoi(ReadFile(dir / "io.pid").c_str());
    quick.Process.reset();
    EXPECT_TRUE(WaitFor([&] { return ::kill(pid, 0) != 0; }, 3000)); // a zombie would still answer
}

TEST(LinuxProcesses, AStubbornProgramIsKilledBeforeTheProgramExits)
{
    TTempDir dir;
    TLinuxProcessLauncher launcher;
    launcher.KillAfterMs = 300;
    auto stubborn = launcher.Start(
        {"/bin/sh", dir.Path, "-c \"trap '' TERM; echo \\$\\$ > io.pid; while :; do sleep 0.05; done\"", 6});
    ASSERT_EQ(stubborn.Error, "");
    ASSERT_TRUE(WaitFor([&] { return ReadFile(dir / "io.pid").find('\n') != std::string::npos; }, 2000));
    const pid_t pid = std::atoi(ReadFile(dir / "io.pid").c_str());
    ASSERT_EQ(stubborn.Process->Terminate(), "");
    stubborn.Process.reset(); // the program forgets it at once, as at exit
    TLinuxProcessLauncher::FinishTerminations(); // what runs at exit
    EXPECT_NE(::kill(pid, 0), 0); // killed and collected by the time the wait returns
}

TEST(LinuxProcesses, FailuresInItalian)
{
    TLinuxProcessLauncher launcher;
    EXPECT_EQ(launcher.Start({"/nessuna/cartella/programma", "", "", 6}).Error, "Path non trovato");
    EXPECT_EQ(launcher.Start({"/tmp/nessun-programma-qv", "", "", 6}).Error, "File non trovato");
    EXPECT_EQ(launcher.Start({"nessun-programma-qv-nel-path", "", "", 6}).Error, "File non trovato");
    launcher.Opener = "/nessun/xdg-open";
    EXPECT_EQ(launcher.Start({"https://example.org/", "", "", 6}).Error, "Nessuna associazione al file");
    EXPECT_EQ(LaunchErrorText(EACCES), "Accesso negato");
    EXPECT_EQ(LaunchErrorText(ENOMEM), "Memoria esaurita");
}

TEST(SdlSounds, ASoundReachesTheDiskDriverAndABurstIsKeptUpWith)
{
    TTempDir dir;
    // The disk driver writes what would be heard to a file this test reads.
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", (dir / "audio.raw").c_str(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "1", 1);
    TTestContext ctx;
    {
        TSdlSoundOutput output(ctx.Time);
        bool failed = false;
        const auto wav = std::make_shared<const std::string>(SynthesizeWave("Ring", 5212));
        output.Play(wav, false, [&failed] { failed = true; });
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir / "audio.raw") &&
                                         std::filesystem::file_size(dir / "audio.raw") >= 4000; },
                            5000));
        // Forty requests at once: the thread takes the newest each time and stays responsive.
        for (int i = 0; i < 40; ++i)
            output.Play(wav, false, [&failed] { failed = true; });
        EXPECT_TRUE(WaitFor([&] { return output.Taken() >= 2; }, 2000));
        const int before = output.Taken();
        output.Beep(1366, 100);
        EXPECT_TRUE(WaitFor([&] { return output.Taken() == before + 1; }, 2000));
        ctx.Time.RunPosted();
        EXPECT_FALSE(failed);
    }
    const std::string samples = ReadFile(dir / "audio.raw");
    // Not silence: the synthesized ring moves far from the 8-bit middle value somewhere.
    bool heard = false;
    for (unsigned char c : samples)
        heard = heard || (c != 0x80 && c != 0 && c != 0x7F);
    EXPECT_TRUE(heard);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
}

#include "app/DataModule.h"
#include "CliRun.h"

#include <sstream>

TEST(CliSounds, ListExportImportAndPlay)
{
    TTempDir dir;
    const TRun list = Cli({"--data-dir", dir.Path, "sounds", "list"});
    ASSERT_EQ(list.Code, 0) << list.Err;
    EXPECT_EQ(std::count(list.Out.begin(), list.Out.end(), '\n'), 13);
    EXPECT_NE(list.Out.find("Ring\tScatto - inizio connessione\t5212 byte\n"), std::string::npos) << list.Out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path)); // listing writes nothing

    ASSERT_EQ(Cli({"--data-dir", dir.Path, "sounds", "export", "ring", dir / "ring.wav"}).Code, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "ring.wav"), 5212u);
    const std::string bell = SynthesizeWave("MsgBell", 2000);
    WriteFile(dir / "bell.wav", bell);
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "sounds", "import", "Ring", dir / "bell.wav"}).Code, 0);
    std::filesystem::remove(dir / "bell.wav");
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "sounds", "export", "Ring", dir / "again.wav"}).Code, 0);
    EXPECT_EQ(ReadFile(dir / "again.wav"), bell); // kept in Waves.dat, the file is gone

    WriteFile(dir / "testo.wav", "non sono un suono");
    const TRun bad = Cli({"--data-dir", dir.Path, "sounds", "import", "Ring", dir / "testo.wav"});
    EXPECT_EQ(bad.Code, 1);
    EXPECT_NE(bad.Err.find("non è un file wav"), std::string::npos);
    // A damaged file with a good header, a file too large, a missing file: the sound stays.
    WriteFile(dir / "rotto.wav", bell.substr(0, 12) + std::string(40, '\x7f'));
    const TRun damaged = Cli({"--data-dir", dir.Path, "sounds", "import", "Ring", dir / "rotto.wav"});
    EXPECT_EQ(damaged.Code, 1);
    EXPECT_NE(damaged.Err.find("non è un file wav che si possa riprodurre"), std::string::npos) << damaged.Err;
    WriteFile(dir / "enorme.wav", bell.substr(0, 44) + std::string(MaxWaveBytes, '\x80'));
    const TRun large = Cli({"--data-dir", dir.Path, "sounds", "import", "Ring", dir / "enorme.wav"});
    EXPECT_EQ(large.Code, 1);
    EXPECT_NE(large.Err.find("troppo grande per un suono"), std::string::npos) << large.Err;
    const TRun missing = Cli({"--data-dir", dir.Path, "sounds", "import", "Ring", dir / "nessuno.wav"});
    EXPECT_EQ(missing.Code, 1);
    EXPECT_NE(missing.Err.find("File non trovato"), std::string::npos) << missing.Err;
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "sounds", "export", "Ring", dir / "still.wav"}).Code, 0);
    EXPECT_EQ(ReadFile(dir / "still.wav"), bell);
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "sounds", "play", "Fischio"}).Err, "Errore: Suono Fischio non trovato!\n");
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "sounds", "play", "Laser"}).Code, 0); // SDL's dummy driver
}

TEST(CliPrograms, AProfilesProgramsOfOneKindStart)
{
    TDiskContext ctx;
    {
        TDataModule data(ctx.Services);
        data.LoadAll();
        TProcessItems& list = data.Settings.Profiles()[0].Applications();
        TProcessItem& p = list.Add();
        p.SetNome("Segno");
        p.SetPath("/bin/sh");
        p.SetWorkingDirectory(ctx.Dir.Path);
        p.SetCommandLine("-c \"echo fatto > segno.txt\"");
        p.SetRunKind(rkManual);
        TProcessItem& q = list.Add();
        q.SetNome("Assente");
        q.SetPath("/nessun/programma");
        q.SetRunKind(rkManual);
    }
    const TRun r =
        Cli({"--data-dir", ctx.Dir.Path, "programs", "run", "--profile", "amministratore", "--kind", "manual"});
    EXPECT_EQ(r.Code, 1); // one could not start
    EXPECT_NE(r.Out.find("Avviato: Segno"), std::string::npos) << r.Out;
    EXPECT_NE(r.Err.find("Impossibile lanciare l'applicazione Assente!\nPath non trovato"), std::string::npos) << r.Err;
    EXPECT_TRUE(WaitFor([&] { return ReadFile(ctx.Dir / "segno.txt") == "fatto\n"; }, 3000));
    EXPECT_EQ(Cli({"--data-dir", ctx.Dir.Path, "programs", "run", "--profile", "amministratore", "--kind", "startup"})
                  .Out,
              "Nessun programma da avviare.\n");
}
