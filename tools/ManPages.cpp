// Writes the manual pages of both programs, in English (OUT/man1) and Italian (OUT/it/man1), from the
// tables the programs' own help is made of.
#include "app/CommandHelp.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Uso: qv_manpages CARTELLA\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const auto write = [](const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream f(file, std::ios::binary);
        f << text;
        return static_cast<bool>(f);
    };
    bool ok = true;
    for (const auto& [folder, language] :
         {std::pair{std::filesystem::path("man1"), qv::TManLanguage::English},
          std::pair{std::filesystem::path("it") / "man1", qv::TManLanguage::Italian}}) {
        ok = write(out / folder / "quorvanta.1", qv::GuiManPage(language)) && ok;
        ok = write(out / folder / "quorvanta-cli.1", qv::CliManPage(language)) && ok;
    }
    return ok ? 0 : 1;
}
