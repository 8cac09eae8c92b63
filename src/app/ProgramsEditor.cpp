#include "app/ProgramsEditor.h"

#include "core/Shell.h"
#include "core/Strings.h"

#include <filesystem>

namespace qv {

namespace fs = std::filesystem;

void TProgramsEditor::AddFiles(TProcessItems& list, const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        const fs::path p(file);
        if (LowerCase(p.extension().string()) == ".desktop") {
            TShortcut s;
            try {
                s = ReadShortcut(file);
            } catch (const std::exception&) {
                ShowError(FServices.Prompter, "Impossibile ricavare le informazioni dal collegamento");
                continue;
            }
            TProcessItem& item = list.Add();
            item.SetNome(s.Name.empty() ? p.stem().string() : s.Name);
            item.SetPath(s.Target);
            item.SetCommandLine(s.Arguments);
            item.SetWorkingDirectory(s.WorkingFolder);
            item.SetRunKind(rkConnected);
            continue;
        }
        TProcessItem& item = list.Add();
        item.SetNome(p.stem().string());
        item.SetPath(file);
        item.SetWorkingDirectory(p.parent_path().string());
        item.SetRunKind(rkConnected);
    }
}

bool TProgramsEditor::Delete(TProcessItems& list, std::size_t index)
{
    if (index >= list.Count())
        return false;
    if (AskYesNo(FServices.Prompter, "Elimina l'applicazione «" + list[index].Nome() + "»?") != TModalResult::mrYes)
        return false;
    list.Delete(index);
    return true;
}

TProgramsEditor::TForm TProgramsEditor::FormOf(const TProcessItem& i)
{
    return {i.Nome(), i.Path(), i.WorkingDirectory(), i.CommandLine(), i.RunKind(), i.CloseKind(), i.CmdShow()};
}

bool TProgramsEditor::Apply(TProcessItem& item, const TForm& f)
{
    std::error_code ec;
    if (Trim(f.Path).empty() || !fs::is_regular_file(Trim(f.Path), ec)) {
        ShowError(FServices.Prompter, "Impossibile salvare!\rIl percorso specificato non porta a nessun file!");
        return false;
    }
    item.SetNome(f.Nome);
    item.SetPath(Trim(f.Path));
    item.SetWorkingDirectory(f.WorkingDirectory);
    item.SetCommandLine(f.CommandLine);
    item.SetRunKind(f.RunKind);
    item.SetCloseKind(f.CloseKind);
    item.SetCmdShow(f.CmdShow);
    return true;
}

const std::vector<std::string>& TProgramsEditor::RunKindTexts()
{
    static const std::vector<std::string> texts = {"a connessione avvenuta", "manualmente", "alla partenza di Quorvanta"};
    return texts;
}

const std::vector<std::string>& TProgramsEditor::CloseKindTexts()
{
    static const std::vector<std::string> texts = {"mai", "alla disconnessione", "alla chiusura di Quorvanta"};
    return texts;
}

} // namespace qv
