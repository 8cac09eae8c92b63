#include "ui/GuiProgram.h"
#include "ui/QtPrompter.h"

#include "core/Version.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Uso: quorvanta [--simulate] [/winstart] [PROFILO]\n"
                        "Controlla quanto costa la connessione a consumo: la conta secondo per secondo,\n"
                        "la registra e ne mostra le statistiche. Vedi anche quorvanta-cli(1).\n"
                        "  --simulate   connessioni, modem e messaggi simulati\n"
                        "  /winstart    avviato con la sessione (la connessione iniziale non parte)\n"
                        "  PROFILO      il profilo utente da usare\n"
                        "  --help       questo aiuto\n"
                        "  --version    la versione\n"
                        "La cartella dei dati: $QUORVANTA_DATA_DIR, altrimenti ~/.local/share/Quorvanta.\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Quorvanta %s\n", qv::ProjectVersion);
            return 0;
        }
    }
    qv::TQvApplication app(argc, argv);
    qv::InstallItalianTranslations();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    qv::TGuiProgram program(QCoreApplication::applicationFilePath().toStdString(), std::move(args));
    const int early = program.Start();
    if (early >= 0)
        return early;
    return app.exec();
}
