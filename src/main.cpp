#include "ui/GuiProgram.h"
#include "ui/QtPrompter.h"

int main(int argc, char** argv)
{
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
