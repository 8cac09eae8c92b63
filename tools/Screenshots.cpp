// Starts the program with the simulated dial-up service, drives a short connection and saves PNGs of
// the main window, the popup menu, a balloon, the tariff chooser, the international warning that the
// phone-book scan raises for the demo entry abroad, and the dial window waiting to redial a busy line
// (make screenshots).
#include "platform/sim/SimDialUp.h"
#include "ui/GuiProgram.h"
#include "ui/TfmInternational.h"
#include "ui/TfmTariffe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTemporaryDir>
#include <iostream>

using namespace qv;

namespace {

void Wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget* w, const QString& file)
{
    const bool ok = w->grab().save(file);
    std::cout << (ok ? "salvato " : "non salvato ") << file.toStdString() << "\n";
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // Absolute: the program makes its data folder the working directory.
    const QString out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots")).absolutePath();
    QDir().mkpath(out);
    QTemporaryDir data, runtime;
    qputenv("QUORVANTA_DATA_DIR", data.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("QUORVANTA_SETTINGS_FILE", data.filePath(QStringLiteral("settings.ini")).toLocal8Bit());
    TQvApplication app(argc, argv);
    TGuiProgram program(QCoreApplication::applicationFilePath().toStdString(), {"--simulate"});
    if (program.Start() >= 0)
        return 1;
    auto* sim = dynamic_cast<TSimDialUp*>(program.DialUp());
    if (!sim)
        return 1;
    TfmMain* window = program.MainWindow();
    window->move(40, 40);
    // The scan at the end of start-up opens its modal warning: saved, then answered.
    bool warned = false;
    QTimer answer;
    answer.setInterval(100);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* warning = qobject_cast<TfmInternational*>(QApplication::activeModalWidget());
        if (!warning || warned)
            return;
        warned = true;
        Wait(300);
        Save(warning, out + QStringLiteral("/international-warning.png"));
        warning->btOk->click();
    });
    answer.start();
    // The entry has its tariff, so no chooser opens by itself in the middle of the run.
    program.Data()->Settings.Entrys().EntryFor("Provider Uno", keRAS).SetTaxName("Telecom - TAT Urbana");
    sim->BringUp("Provider Uno", 2);
    for (int i = 0; i < 200 && program.Data()->MtxStatus.State() != TMtxStateMatrixStatus::RasConnected; ++i)
        Wait(50);
    Wait(6500);
    bool ok = Save(window, out + QStringLiteral("/main-window.png"));

    QMenu* menu = program.Tray()->Menu();
    menu->popup(window->frameGeometry().bottomLeft() + QPoint(0, 10));
    Wait(300);
    ok = Save(menu, out + QStringLiteral("/popup-menu.png")) && ok;
    menu->hide();

    window->ShowBalloon(TBalloon::General, "", program.Data()->Status.StatusText(), 5000);
    Wait(300);
    ok = Save(window->BalloonGeneral, out + QStringLiteral("/balloon.png")) && ok;

    TfmTariffe chooser(program.Chooser(), window);
    chooser.show();
    Wait(300);
    ok = Save(&chooser, out + QStringLiteral("/tariff-chooser.png")) && ok;
    chooser.hide();

    sim->BringDown("Provider Uno");
    Wait(1500);
    ok = Save(window, out + QStringLiteral("/main-window-after.png")) && ok;
    if (window->BalloonComparison->isVisible())
        ok = Save(window->BalloonComparison, out + QStringLiteral("/comparison-balloon.png")) && ok;
    ok = warned && ok;

    // A busy line: the dial window shows the error and counts down to the redial.
    sim->PhoneBook["Provider Due"].Outcome = TSimOutcome::Busy;
    sim->PhoneBook["Provider Due"].Credentials = {"anna", "segreta", true};
    TEntryItem& due = program.Data()->Settings.Entrys().EntryFor("Provider Due", keRAS);
    due.SetRetryTime(30);
    due.SetTaxName("Telecom - TAT Urbana"); // no tariff chooser in the middle of the run
    program.Controller()->DialFromMenu("Provider Due");
    Wait(5000);
    if (TfmWaitRas* dial = program.DialView()->Form())
        ok = Save(dial, out + QStringLiteral("/dial-window-busy.png")) && ok;
    else
        ok = false;
    program.DialController()->CancelClicked();
    Wait(300);
    program.Controller()->SessionEnding();
    return ok ? 0 : 1;
}
