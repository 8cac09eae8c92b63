#include "app/Install.h"

#include "app/Startup.h"
#include "core/Errors.h"
#include "core/Shell.h"

#include <filesystem>

namespace qv {

namespace fs = std::filesystem;

namespace {

bool CopyExecutable(const std::string& from, const std::string& to)
{
    std::error_code ec;
    fs::remove(to, ec);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                    ec);
    return true;
}

} // namespace

void InstallProgram(TServices& services, const std::string& targetFolder, const TInstallProgress& progress)
{
    const auto step = [&](const std::string& s) {
        if (progress)
            progress(s);
    };
    TRegistry& reg = services.Registry;
    const TAppEnvironment& env = services.Env;

    step("Aggiornamento informazioni del registro di configurazione...");
    if (reg.RegReadBool("Options", "external1", false))
        reg.RegWriteBool("Options", "external1", false);
    SetAutoStart(env, false, "");
    reg.RegWriteString("", "Directory", targetFolder);
    services.Files.Remove(env.AppPath + "Exception.txt");

    step("Creazione della directory " + targetFolder);
    std::error_code ec;
    if (!fs::is_directory(targetFolder)) {
        fs::create_directories(targetFolder, ec);
        if (ec)
            throw EQvError("Errore durante la creazione della directory: " + targetFolder);
    }

    const std::string installed = targetFolder + "/quorvanta";
    step("Copia del file quorvanta");
    if (!CopyExecutable(env.ExePath, installed))
        throw EQvError("Impossibile installare Quorvanta!\r\rErrore durante la copia del file: " + installed);

    step("Copia del programma di disistallazione...");
    if (!CopyExecutable(env.ExePath, targetFolder + "/quorvanta-uninstall"))
        ShowWarning(services.Prompter, "Errore durante la copia del file di rimozione\r\rNon sarà possibile "
                                       "utilizzare il programma di disinstallazione di Quorvanta");

    step("Creazione del collegamento sul desktop...");
    CreateShortcut(installed, "", "Quorvanta", DesktopFolder(env), "Controllo dei costi di connessione");
    // The menu entry plays the part of the uninstall entry of the system's program list.
    CreateShortcut(installed, "", "Quorvanta", FavoritesFolder(env), "Quorvanta©");
}

bool UninstallProgram(TServices& services)
{
    const TAppEnvironment& env = services.Env;
    TRegistry& reg = services.Registry;
    const std::string installFolder = reg.RegReadString("", "Directory", ProgramFilesFolder(env));
    if (AskYesNo(services.Prompter, "L'eliminazione di Quorvanta rimuoverà completamente\reventuali dati di "
                                    "connessione!\r\rSicuro di voler rimuovere Quorvanta?") != TModalResult::mrYes)
        return false;

    std::error_code ec;
    fs::remove(DesktopFolder(env) + "/Quorvanta.desktop", ec);
    fs::remove(FavoritesFolder(env) + "/Quorvanta.desktop", ec);
    reg.RegDeleteSection("");
    SetAutoStart(env, false, "");

    const std::string data = env.AppPath;
    for (const std::string& name : DataFileNames()) {
        ForceDeleteFile(data + name);
        ForceDeleteFile(data + name + "@error");
    }
    for (const char* name : {"Scatti.db", "Scatti.old", "Quorvanta.dat", "Quorvanta.old", "Exception.txt"})
        ForceDeleteFile(data + name);
    // The executables go too; the running one stays usable until it ends, as open files do.
    for (const char* name : {"quorvanta", "quorvanta-uninstall", "quorvanta-setup"})
        ForceDeleteFile(installFolder + "/" + name);

    fs::remove(data, ec); // removes the folder only when it is now empty
    if (!fs::exists(data))
        ShowInfo(services.Prompter, "Quorvanta è stato disinstallato completamente!");
    else
        ShowWarning(services.Prompter, "Alcuni file non sono stati eliminati!\r\rControllare la directory " + data);
    return true;
}

} // namespace qv
