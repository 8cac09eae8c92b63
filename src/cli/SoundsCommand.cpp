#include "cli/SoundsCommand.h"

#include "app/DataModule.h"
#include "app/ProcessControl.h"
#include "core/Errors.h"
#include "core/Strings.h"
#include "platform/linux/LinuxProcesses.h"
#include "platform/linux/Modules.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace qv {

namespace {

TWaveItem& FindOrFail(TWaveSounds& waves, const std::string& name)
{
    TWaveItem* w = waves.FindWave(name);
    if (!w)
        throw EQvError("Suono " + name + " non trovato!");
    return *w;
}

} // namespace

int SoundsCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& sub = args[1];
    const bool writes = sub == "import";
    if ((sub == "list" && args.size() != 2) || (sub == "play" && args.size() != 3) ||
        ((sub == "export" || sub == "import") && args.size() != 4) ||
        (sub != "list" && sub != "play" && sub != "export" && sub != "import"))
        return 2;
    if (writes) {
        ctx.LockData();
        EnsurePrivateFolder(ctx.Env.AppPath);
    }
    ctx.Files.ReadOnly = !writes;
    const auto output = modules::SoundOutput(ctx.Timers);
    TWaveSounds waves(ctx.Services(), *output);
    waves.SetFileName("Waves.dat");
    if (sub == "list") {
        for (const auto& w : waves.Waves())
            out << w->Nome() << "\t" << w->Descrizione() << "\t" << w->WaveFile().Data().size() << " byte"
                << (w->WaveFile().Disabled() ? "\tdisabilitato" : "") << "\n";
        return 0;
    }
    TWaveItem& w = FindOrFail(waves, args[2]);
    if (sub == "play") {
        bool failed = false;
        waves.OnError = [&failed](const std::string&) { failed = true; };
        waves.Play(w.Nome(), false);
        // The image plays from memory on the sound thread: wait for its length (8-bit mono at 11025
        // Hz for the program's own sounds; longer files take their own time).
        const auto ms = static_cast<long>(w.WaveFile().Data().size() * 1000 / 11025) + 300;
        const auto start = ctx.Clock.TickCount();
        ctx.Timers.Run([&] { return failed || ctx.Clock.TickCount() - start >= std::min(ms, 15000L); });
        if (failed)
            throw EQvError("Errore durante la riproduzione del file: " + w.WaveFile().FileName());
        return 0;
    }
    if (sub == "export") {
        const std::string& data = w.WaveFile().Data();
        ctx.Files.Real().WriteAtomic(args[3], TBytes(data.begin(), data.end()));
        out << "Esportato " << w.Nome() << " in " << args[3] << "\n";
        return 0;
    }
    // import: a RIFF WAVE image that plays, stored in "Waves.dat" so it plays without the file.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(args[3], ec))
        throw EQvError("File non trovato: " + args[3]);
    {
        std::ifstream in(args[3], std::ios::binary);
        char head[12] = {};
        in.read(head, sizeof head);
        if (!in || std::string_view(head, 4) != "RIFF" || std::string_view(head + 8, 4) != "WAVE")
            throw EQvError("Il file " + args[3] + " non è un file wav");
    }
    const std::string before = w.WaveFile().FileName();
    w.WaveFile().SetFileName(args[3]);
    try {
        w.Reload();
    } catch (...) {
        w.WaveFile().SetFileName(before); // the sound stays as it was
        throw;
    }
    waves.Save();
    out << "Importato " << args[3] << " come " << w.Nome() << "\n";
    return waves.SaveFailed() ? 1 : 0;
}

int ProgramsCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 6 || args[1] != "run" || args[2] != "--profile" || args[4] != "--kind")
        return 2;
    const std::string& kindText = args[5];
    const TRunKind kind = kindText == "connected" ? rkConnected
                          : kindText == "manual"  ? rkManual
                          : kindText == "startup" ? rkStartUp
                                                  : throw EQvError("Tipo di avvio non valido: " + kindText);
    auto data = OpenData(ctx, TAccess::Read);
    TProfileItem* profile = data->Settings.FindProfile(args[3]);
    if (!profile)
        throw EQvError("Il profilo «" + args[3] + "» non esiste");
    TLinuxProcessLauncher launcher;
    TProcessControl programs(ctx.Timers, launcher);
    TProcessItems& list = profile->Applications();
    int expected = TProcessControl::CountKind(list, kind), reported = 0, failures = 0;
    list.OnError = [&](TProcessItem&, const std::string& text) {
        err << ReplaceAll(text, "\r", "\n") << "\n";
        ++failures;
    };
    for (auto& item : list)
        item->OnRun = [&](TProcessItem& p) {
            ++reported;
            if (p.Process)
                out << "Avviato: " << p.Nome() << "\n";
        };
    programs.RunAll(list, kind);
    ctx.Timers.Run([&] { return reported >= expected; });
    if (expected == 0)
        out << "Nessun programma da avviare.\n";
    return failures > 0 ? 1 : 0;
}

} // namespace qv
