#include "cli/Cli.h"

#include "app/DataClasses.h"
#include "cli/CliContext.h"
#include "core/Dump.h"
#include "core/Environment.h"
#include "core/Strings.h"
#include "core/Version.h"

#include <cstdlib>
#include <iostream>

namespace qv {

TModalResult TStreamPrompter::MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text)
{
    static const char* const prefix[] = {"Errore: ", "Attenzione: ", "", "Domanda: "};
    FErr << prefix[static_cast<int>(kind)] << ReplaceAll(text, "\r", "\n") << "\n";
    return buttons == TMsgButtons::Ok ? TModalResult::mrOk : TModalResult::mrNo;
}

TCliContext::TCliContext(std::ostream& err, const std::string& dataDir)
    : Prompter(err), FServices{Clock, Timers, Prompter, Files, System, Registry, Env}
{
    Env.AppPath = dataDir;
    Env.AppVersion = ProjectVersion;
    Env.AppBuild = BuildFromVersion(Env.AppVersion);
}

namespace {

const char* Usage = "Uso: quorvanta-cli [--data-dir DIR] COMANDO\n"
                    "Comandi:\n"
                    "  dump FILE          mostra il contenuto di un file di dati\n"
                    "  resave IN OUT      rilegge un file di dati e lo riscrive\n"
                    "  version            mostra la versione\n";

// Reads a data file into a component of the class its header names.
std::unique_ptr<TPersistentComponent> OpenDataFile(TCliContext& ctx, const std::string& path)
{
    const TBytes bytes = ctx.Files.ReadAll(path);
    const std::string className = PeekClassName(bytes);
    auto component = CreateDataComponent(className, ctx.Services());
    if (!component)
        throw EQvError("Classe di dati sconosciuta: " + className);
    component->ReadFromBytes(bytes);
    return component;
}

} // namespace

int RunCli(std::vector<std::string> args, std::ostream& out, std::ostream& err)
{
    const auto dataDirArg = TakeDataDirArg(args);
    if (args.empty()) {
        err << Usage;
        return 2;
    }
    const std::string dataDir = ResolveDataFolder(
        dataDirArg,
        [](const std::string& name) -> std::optional<std::string> {
            const char* v = std::getenv(name.c_str());
            return v ? std::optional<std::string>(v) : std::nullopt;
        },
        "", [](const std::string&) { return false; });
    TCliContext ctx(err, dataDir);
    const std::string& command = args[0];
    try {
        if (command == "dump" && args.size() == 2) {
            auto component = OpenDataFile(ctx, args[1]);
            out << DumpObject(*component, component->ClassName());
            return 0;
        }
        if (command == "resave" && args.size() == 3) {
            auto component = OpenDataFile(ctx, args[1]);
            ctx.Files.WriteAtomic(args[2], component->WriteToBytes());
            return 0;
        }
        if (command == "version") {
            out << "Quorvanta " << ctx.Env.AppVersion << "\n";
            return 0;
        }
    } catch (const std::exception& e) {
        err << "Errore: " << ReplaceAll(e.what(), "\r", "\n") << "\n";
        return 1;
    }
    err << Usage;
    return 2;
}

} // namespace qv
