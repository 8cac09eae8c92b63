#pragma once
// The rules of the program lists of profiles and entries in the settings: adding files (a
// .desktop entry stands for a shortcut), deleting with its question, and the properties dialog's
// check.

#include "app/ProcessControl.h"
#include "core/Services.h"

namespace qv {

class TProgramsEditor
{
public:
    explicit TProgramsEditor(TServices& services) : FServices(services) {}
    static constexpr const char* DialogTitle = "Scegli l'applicazione da lanciare alla connessione";

    // One item per file, started with the connection; a desktop entry that cannot be read is
    // refused with "Impossibile ricavare le informazioni dal collegamento" and the others go on.
    void AddFiles(TProcessItems& list, const std::vector<std::string>& files);
    // Asks "Elimina l'applicazione «NOME»?" first.
    bool Delete(TProcessItems& list, std::size_t index);

    struct TForm
    {
        std::string Nome, Path, WorkingDirectory, CommandLine;
        TRunKind RunKind = rkConnected;
        TCloseKind CloseKind = ckNone;
        std::int32_t CmdShow = 6;
    };
    static TForm FormOf(const TProcessItem& item);
    // The path must name an existing file: "Impossibile salvare!\rIl percorso specificato non porta
    // a nessun file!" and nothing stored otherwise.
    bool Apply(TProcessItem& item, const TForm& form);
    // The texts of the start and close choices, in their order.
    static const std::vector<std::string>& RunKindTexts();
    static const std::vector<std::string>& CloseKindTexts();

private:
    TServices& FServices;
};

} // namespace qv
