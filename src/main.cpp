#include "ui/GuiProgram.h"
#include "ui/QtPrompter.h"

#include "app/CommandHelp.h"
#include "core/Version.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(qv::GuiUsageText().c_str(), stdout);
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
