// Programs at the moments of a connection and the named sounds of "Waves.dat", in virtual time
// with a scripted launcher and a silent sound output.
#include "FakeViews.h"
#include "LiveFixture.h"
#include "app/MainController.h"
#include "app/ProcessControl.h"
#include "platform/sim/SimDialUp.h"

#include <map>
#include <mutex>
#include <thread>

using namespace qv;
using namespace qv::test;

namespace {

class TFakeProcess : public IProcess
{
public:
    bool Running() override { return Alive; }
    std::string Terminate() override
    {
        ++Terminations;
        if (!Refuse.empty())
            return Refuse;
        Alive = false;
        return {};
    }
    bool Alive = true;
    int Terminations = 0;
    std::string Refuse;
};

class TFakeLauncher : public IProcessLauncher
{
public:
    TResult Start(const TStartRequest& r) override
    {
        std::lock_guard lock(Mutex);
        Started.push_back(r.Path);
        if (r.Path.find("manca") != std::string::npos)
            return {nullptr, TLaunchError::FileNotFound};
        auto p = std::make_shared<TFakeProcess>();
        Processes[r.Path] = p;
        return {p, {}};
    }
    std::mutex Mutex;
    std::vector<std::string> Started;
    std::map<std::string, std::shared_ptr<TFakeProcess>> Processes;
};

struct TProgramsFixture : TLiveFixture
{
    TFakeLauncher Launcher;
    TProcessControl Programs{Ctx.Time, Launcher};
    TFakeView View;
    TSimDialUp Sim{Ctx.Time, Ctx.Time};
    std::unique_ptr<TMainController> Controller;
    TProgramsFixture()
    {
        // The program's data on the simulated dial-up service, so the line comes up as pppd's does.
        Sim.AddDemoEntries();
        Data.reset();
        Data = std::make_unique<TDataModule>(Ctx.Services, &Sounds, &Sim);
        Data->LoadAll();
        Status().SetProfile(&Data->Settings.Profiles()[0]);
        Data->Settings.Entrys().EntryFor("Provider Uno", keRAS).SetTaxName("Telecom - TAT Urbana");
        Data->StartMonitoring();
        Controller = std::make_unique<TMainController>(Ctx.Services, *Data, View);
        Controller->Programs = &Programs;
    }
    ~TProgramsFixture() override { Controller.reset(); }
    TProcessItem& AddProgram(TProcessItems& list, const std::string& path, TRunKind run, TCloseKind close)
    {
        TProcessItem& p = list.Add();
        p.SetNome(path.substr(path.rfind('/') + 1));
        p.SetPath(path);
        p.SetRunKind(run);
        p.SetCloseKind(close);
        return p;
    }
    // The workers report through the main loop.
    void Settle()
    {
        for (int i = 0; i < 200 && Programs.Pending() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Ctx.Time.RunPosted();
    }
    void GoOnLine()
    {
        Sim.BringUp("Provider Uno", 1);
        Seconds(3);
        Settle();
    }
    void GoOffLine()
    {
        Sim.BringDown("Provider Uno");
        Seconds(2);
        Settle();
    }
    // The starts so far, in name order (the workers run side by side).
    std::vector<std::string> Started()
    {
        std::lock_guard lock(Launcher.Mutex);
        std::vector<std::string> sorted = Launcher.Started;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }
};

} // namespace

TEST_F(TProgramsFixture, ConnectedProgramsStartOnceAndOnlyTheProfilesEndAtDisconnection)
{
    TEntryItem& entry = Data->Settings.Entrys().EntryFor("Provider Uno", keRAS);
    AddProgram(Profile().Applications(), "/usr/bin/posta", rkConnected, ckDisconnected);
    AddProgram(Profile().Applications(), "/usr/bin/a-mano", rkManual, ckExit);
    AddProgram(entry.Applications(), "/usr/bin/del-provider", rkConnected, ckDisconnected);
    GoOnLine();
    EXPECT_EQ(Started(), (std::vector<std::string>{"/usr/bin/del-provider", "/usr/bin/posta"}));
    const auto general = View.General();
    EXPECT_NE(std::find(general.begin(), general.end(), "Avvio delle applicazioni alla connessione..."), general.end());
    // The line goes down: the profile's program ends, the entry's stays.
    GoOffLine();
    EXPECT_FALSE(Launcher.Processes["/usr/bin/posta"]->Alive);
    EXPECT_TRUE(Launcher.Processes["/usr/bin/del-provider"]->Alive);
    // At the next connection the entry's program still runs and is not started again; the
    // profile's, ended, starts again.
    GoOnLine();
    EXPECT_EQ(Started(), (std::vector<std::string>{"/usr/bin/del-provider", "/usr/bin/posta", "/usr/bin/posta"}));
    // By hand, and at exit.
    Controller->RunManualPrograms();
    Settle();
    EXPECT_EQ(Started().front(), "/usr/bin/a-mano");
    Controller->CloseExitPrograms();
    EXPECT_FALSE(Launcher.Processes["/usr/bin/a-mano"]->Alive);
}

TEST_F(TProgramsFixture, AMissingProgramSaysSoAndPlaysTheErrorSound)
{
    Profile().SetSoundsEnabled(true);
    AddProgram(Profile().Applications(), "/opt/manca/programma", rkManual, ckNone);
    Controller->RunManualPrograms();
    Settle();
    ASSERT_FALSE(View.General().empty());
    EXPECT_EQ(View.General().back(), "Impossibile lanciare l'applicazione programma!\rFile non trovato\r[/opt/manca/programma]");
    EXPECT_EQ(Sounds.Played.back(), "MsgError");
    // A termination that fails is reported and the others still end.
    TProcessItem& a = AddProgram(Profile().Applications(), "/usr/bin/uno", rkManual, ckExit);
    AddProgram(Profile().Applications(), "/usr/bin/due", rkManual, ckExit);
    Controller->RunManualPrograms();
    Settle();
    Launcher.Processes["/usr/bin/uno"]->Refuse = "Operation not permitted";
    Controller->CloseExitPrograms();
    EXPECT_EQ(View.General().back(),
              "Impossibile terminare l'applicazione uno!\r\rFallita la TerminateProcess Operation not permitted\r[/usr/bin/uno]");
    EXPECT_TRUE(a.Process);
    EXPECT_FALSE(Launcher.Processes["/usr/bin/due"]->Alive);
}

TEST_F(TProgramsFixture, AStartThatReportsAfterItsItemWentChangesNothing)
{
    AddProgram(Profile().Applications(), "/usr/bin/lento", rkManual, ckNone);
    Controller->RunManualPrograms();
    Profile().Applications().Delete(0);
    Settle(); // the report finds the item gone
    EXPECT_EQ(Profile().Applications().Count(), 0u);
}

TEST(ProgramTexts, ShowModes)
{
    EXPECT_EQ(TProcessControl::ShowModeText(6), "Ridotta a icona [MINIMIZE]");
    EXPECT_EQ(TProcessControl::ShowModeText(0), "Invisibile [HIDE]");
    EXPECT_EQ(TProcessControl::ShowModeText(11), "");
    EXPECT_EQ(TProcessControl::DialogShowModes().size(), 9u);
    EXPECT_EQ(TProcessControl::DialogShowModes()[2].second, "Ridotta a icona");
    // A stored mode the dialog lacks is offered with its own text, so OK keeps it.
    EXPECT_EQ(TProcessControl::DialogShowModesFor(6).size(), 9u);
    const auto one = TProcessControl::DialogShowModesFor(1);
    ASSERT_EQ(one.size(), 10u);
    EXPECT_EQ(one.back(), (std::pair<std::int32_t, std::string>{1, "Attiva [SHOWNORMAL]"}));
    EXPECT_EQ(TProcessControl::DialogShowModesFor(7).back().first, 7);
    EXPECT_EQ(TProcessControl::DialogShowModesFor(42).back().second, "Modo 42");
}

TEST_F(TLiveFixture, NoWavesFileGivesThe13DefaultsOfTheirSizes)
{
    TWaveSounds& waves = Data->Waves;
    ASSERT_EQ(waves.Waves().Count(), 13u);
    for (const TDefaultWave& d : DefaultWaves()) {
        const TWaveItem* w = waves.FindWave(d.Nome);
        ASSERT_NE(w, nullptr) << d.Nome;
        EXPECT_EQ(w->WaveFile().Data().size(), d.Size) << d.Nome;
        EXPECT_EQ(w->WaveFile().Data().substr(0, 4), "RIFF");
        EXPECT_EQ(w->Descrizione(), d.Descrizione);
        EXPECT_FALSE(w->Active());
    }
    EXPECT_TRUE(Ctx.Files.Exists("/data/Waves.dat"));
}

TEST_F(TLiveFixture, SoundsPlayByNameUnlessDisabledOrSilencedByTheProfile)
{
    TWaveSounds& waves = Data->Waves;
    TSilentOutput& out = Data->SilentOutput;
    int plays = 0;
    waves.FindWave("Ring")->WaveFile().OnPlay = [&plays] { ++plays; };
    waves.PlayNamedSound("rInG", true); // letter case does not matter
    ASSERT_EQ(out.Played.size(), 1u);
    EXPECT_TRUE(out.Played[0].PauseFirst);
    EXPECT_EQ(plays, 1);
    waves.FindWave("Ring")->WaveFile().SetDisabled(true);
    waves.PlayNamedSound("Ring", false);
    EXPECT_EQ(out.Played.size(), 1u);
    EXPECT_EQ(plays, 1); // no OnPlay either
    EXPECT_TRUE(waves.IsSoundDisabled("ring"));
    // Without an audio device every sound fails: told once in a run, not at every sound.
    std::vector<std::string> errors;
    waves.OnError = [&errors](const std::string& e) { errors.push_back(e); };
    out.Fail = true;
    for (const char* name : {"Message", "MsgSent", "Message"})
        waves.PlayNamedSound(name, false);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Errore durante la riproduzione del file: ", 0), 0u);
    out.Fail = false;
    out.Played.resize(1);
    Profile().SetSoundsEnabled(false);
    waves.PlayNamedSound("MsgError", false);
    EXPECT_EQ(out.Played.size(), 1u);
    try {
        waves.Play("Fischio", false);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Suono Fischio non trovato!");
    }
}

TEST_F(TLiveFixture, AChangedSoundIsStoredAndPlaysAfterItsFileIsGone)
{
    TTempDir dir;
    const std::string file = dir / "campanello.wav";
    const std::string image = SynthesizeWave("MsgBell", 3000);
    WriteFile(file, image);
    TWaveItem& w = *Data->Waves.FindWave("Ring");
    w.WaveFile().SetFileName(file);
    w.Reload();
    EXPECT_TRUE(w.Active());
    Data->SaveAllModified();
    std::filesystem::remove(file);
    Start(); // a new run reads "Waves.dat"
    TWaveItem& again = *Data->Waves.FindWave("Ring");
    EXPECT_EQ(again.WaveFile().Data(), image);
    EXPECT_EQ(again.WaveFile().FileName(), file);
    Data->Waves.Play("Ring", false);
    ASSERT_EQ(Data->SilentOutput.Played.size(), 1u);
    EXPECT_EQ(*Data->SilentOutput.Played[0].Wav, image);
    // Active asks for the file, which is gone now.
    again.SetActive(true);
    EXPECT_FALSE(again.Active());
}

#include "app/ProgramsEditor.h"

TEST_F(TLiveFixture, ProgramListsTakeFilesAndDesktopEntriesAndCheckThePath)
{
    TTempDir dir;
    WriteFile(dir / "posta.sh", "#!/bin/sh\n");
    WriteFile(dir / "browser.desktop", "[Desktop Entry]\nName=Il browser\nExec=/usr/bin/firefox --new-window %u\nPath=/tmp\n");
    WriteFile(dir / "rotto.desktop", "non è una voce");
    TProgramsEditor editor(Ctx.Services);
    TProcessItems& list = Profile().Applications();
    editor.AddFiles(list, {dir / "posta.sh", dir / "rotto.desktop", dir / "browser.desktop"});
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Impossibile ricavare le informazioni dal collegamento");
    EXPECT_EQ(list[0].Nome(), "posta");
    EXPECT_EQ(list[0].WorkingDirectory(), dir.Path);
    EXPECT_EQ(list[1].Nome(), "Il browser");
    EXPECT_EQ(list[1].Path(), "/usr/bin/firefox");
    EXPECT_EQ(list[1].CommandLine(), "--new-window");
    EXPECT_EQ(list[1].RunKind(), rkConnected);
    TProgramsEditor::TForm f = TProgramsEditor::FormOf(list[0]);
    f.Path = dir / "nessuno.sh";
    EXPECT_FALSE(editor.Apply(list[0], f));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Impossibile salvare!\rIl percorso specificato non porta a nessun file!");
    EXPECT_EQ(list[0].Path(), dir / "posta.sh");
    f.Path = dir / "posta.sh";
    f.CloseKind = ckExit;
    EXPECT_TRUE(editor.Apply(list[0], f));
    EXPECT_EQ(list[0].CloseKind(), ckExit);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(editor.Delete(list, 1));
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Elimina l'applicazione «Il browser»?");
    EXPECT_EQ(list.Count(), 1u);
}

#include "app/SettingsPages.h"

TEST_F(TLiveFixture, TheSoundsPageFollowsTheProfilesSwitchAndResetsToTheFactorySounds)
{
    TSoundsEditor page(Ctx.Services, *Data);
    EXPECT_EQ(page.Listed().size(), 9u); // the sounds with a description
    TWaveItem& ring = *Data->Waves.FindWave("Ring");
    Profile().SetSoundsEnabled(true);
    page.Play(ring);
    EXPECT_EQ(Data->SilentOutput.Played.size(), 1u);
    page.SetAllEnabled(false);
    EXPECT_FALSE(Profile().SoundsEnabled());
    page.Play(ring); // the test of one sound is silenced too
    EXPECT_EQ(Data->SilentOutput.Played.size(), 1u);
    page.ToggleDisabled(ring);
    EXPECT_TRUE(ring.WaveFile().Disabled());
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(page.FactoryReset());
    EXPECT_FALSE(Ctx.Files.Exists("/data/Waves.dat"));
    Data->SaveAllModified();
    EXPECT_FALSE(Ctx.Files.Exists("/data/Waves.dat")); // not saved again in this run
    Start();
    EXPECT_FALSE(Data->Waves.FindWave("Ring")->WaveFile().Disabled()); // the defaults are back
}
