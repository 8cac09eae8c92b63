// Starts the program with the simulated dial-up service, drives a short connection and saves PNGs of
// the main window, the popup menu, a balloon, the tariff chooser, the international warning that the
// phone-book scan raises for the demo entry abroad, and the dial window waiting to redial a busy line
// (make screenshots); and, of the whole screen: the strip at idle at its default position, the close
// question, two balloons at once, and the dial window beside the strip. Then the settings window:
// every page, the tariff properties dialog with its three bars, the band editor while the mouse
// paints, the calendar's month grid and its day window. Last the statistics: the chart of the months
// with its legend, the details with a month selected, the insert dialog while it compares the
// tariffs, and both reports as PDF files (their first pages become PNGs in make screenshots).
#include "core/DateTime.h"
#include "platform/sim/SimDialUp.h"
#include "ui/GuiProgram.h"
#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"
#include "ui/TfmFasce.h"
#include "ui/TfmInternational.h"
#include "ui/TfmTariffa.h"
#include "ui/TfmTariffe.h"
#include "ui/TfmDialogDettagli.h"
#include "ui/TfmStatistiche.h"
#include "ui/TfmPopup.h"
#include "ui/TfmContatto.h"
#include "ui/TfmGateway.h"
#include "ui/TfmSms.h"
#include "ui/TfmDesignSkin.h"
#include "skins/FactorySkins.h"
#include <QPainter>
#include "ui/TfmSmsCompose.h"
#include "ui/TfmAbout.h"
#include "ui/TfmGuida.h"
#include "ui/TfmWait.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QScreen>
#include <QToolTip>
#include <cmath>
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

// The whole screen, as the user sees the windows together.
bool SaveScreen(const QString& file)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const bool ok = screen && screen->grabWindow(0).save(file);
    std::cout << (ok ? "salvato " : "non salvato ") << file.toStdString() << "\n";
    return ok;
}

// The settings window's pages and dialogs, left as they were (Annulla).
bool SaveSettings(TGuiProgram& program, const QString& out)
{
    TfmImpostazioni* settings = program.OpenSettings();
    if (!settings)
        return false;
    Wait(300);
    bool ok = true;
    const std::pair<const char*, const char*> pages[] = {{"Generale", "generale"},       {"Profili", "profili"},
                                                         {"Connessioni", "connessioni"}, {"Tariffe", "tariffe"},
                                                         {"Calendario", "calendario"},   {"Suoni", "suoni"},
                                                         {"Ora esatta", "ora-esatta"}, {"Modem", "modem"}, {"Budget", "budget"}, {"SMS", "sms"}};
    for (const auto& [title, file] : pages) {
        settings->ShowPage(QString::fromUtf8(title));
        if (auto* calendar = qobject_cast<TpgCalendario*>(settings->Page(QStringLiteral("Calendario"))))
            calendar->Calendario->setSelectedDate(QDate(2026, 12, 9));
        Wait(200);
        ok = Save(settings, out + QStringLiteral("/settings-") + QString::fromUtf8(file) + QStringLiteral(".png")) && ok;
    }
    auto* tariffs = qobject_cast<TpgTariffe*>(settings->Page(QStringLiteral("Tariffe")));
    const int row = program.Data()->Taxations.IndexOfTax("Infostrada", "Regionali");
    if (!tariffs || row < 0)
        return false;
    settings->ShowPage(QStringLiteral("Tariffe"));
    tariffs->OpenProperties(row, [&](TfmTariffa& dialog) {
        QTimer::singleShot(300, &dialog, [&] {
            ok = Save(&dialog, out + QStringLiteral("/tariff-properties.png")) && ok;
            // The same tariff as a pulse-rated one: the rows change, the dialog keeps its size.
            dialog.rbScatti->setChecked(true);
            Wait(200);
            ok = Save(&dialog, out + QStringLiteral("/tariff-properties-pulses.png")) && ok;
            dialog.rbTempo->setChecked(true);
            dialog.EditBands(0, [&](TfmFasce& editor) {
                QTimer::singleShot(300, &editor, [&] {
                    // Painting the peak band further into the evening, the button still held.
                    editor.btPunta->click();
                    TTimeTableBarWidget* bar = editor.BarEditor;
                    const QPoint from(bar->width() * 18 / 24, 45), to(bar->width() * 20 / 24, 45);
                    QMouseEvent press(QEvent::MouseButtonPress, from, bar->mapToGlobal(from), Qt::LeftButton,
                                      Qt::LeftButton, Qt::NoModifier);
                    QApplication::sendEvent(bar, &press);
                    QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                                     Qt::NoModifier);
                    QApplication::sendEvent(bar, &move);
                    Wait(100);
                    ok = Save(&editor, out + QStringLiteral("/band-editor-painting.png")) && ok;
                    QMouseEvent release(QEvent::MouseButtonRelease, to, bar->mapToGlobal(to), Qt::LeftButton,
                                        Qt::NoButton, Qt::NoModifier);
                    QApplication::sendEvent(bar, &release);
                    Wait(100);
                    ok = Save(&editor, out + QStringLiteral("/band-editor-painted.png")) && ok;
                    editor.reject();
                });
            });
            dialog.reject();
        });
    });
    auto* calendar = qobject_cast<TpgCalendario*>(settings->Page(QStringLiteral("Calendario")));
    settings->ShowPage(QStringLiteral("Calendario"));
    calendar->OpenDay(QDate(2026, 12, 26), [&](TfmGiorno& day) {
        QTimer::singleShot(300, &day, [&] {
            ok = Save(&day, out + QStringLiteral("/calendar-day.png")) && ok;
            day.reject();
        });
    });
    settings->btAnnulla->click();
    Wait(200);
    return ok;
}

} // namespace

// Fourteen months of connections, one or two a day, for the statistics.
void FillLog(TDataModule& data, double now)
{
    unsigned seed = 7;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    const char* entries[] = {"Provider Uno", "Provider Due", "Servizio Premium"};
    for (double day = static_cast<double>(DayNumber(now)) - 425; day <= static_cast<double>(DayNumber(now)); ++day) {
        const int count = 1 + static_cast<int>(next() % 2);
        for (int k = 0; k < count; ++k) {
            const double start = day + (8 + k * 9 + next() % 4) / 24.0 + (next() % 60) / 1440.0;
            const int minutes = 3 + static_cast<int>(next() % 55);
            const int pulses = 1 + minutes / 4;
            data.Connections.AddSimple(pulses, entries[next() % 3], pulses * 127.0 + (next() % 100), start + minutes / 1440.0,
                                       start);
        }
    }
    data.Connections.Save();
}

bool SaveStatistics(TGuiProgram& program, const QString& out)
{
    TDataModule& data = *program.Data();
    const double now = program.Services().Clk.Now();
    FillLog(data, now);
    program.Services().Registry.RegWriteFloat(TStatsOptions::Section, "DataInizialeStatistic", now - 400);
    program.Services().Registry.RegWriteInteger(TStatsOptions::Section, "GraficoY", 3);
    program.Services().Registry.RegWriteBool(TStatsOptions::Section, "Legend", true);
    TfmStatistiche* w = program.OpenStatistics();
    if (!w)
        return false;
    w->resize(900, 600);
    Wait(800);
    bool ok = Save(w, out + QStringLiteral("/statistics-chart-months.png"));
    ok = w->SavePdf(w->Stats().PrintShown(), out + QStringLiteral("/report-chart.pdf")) && ok;
    // The days of the same year scroll; the time of each month reads in hours.
    w->acRaggruppa[2]->trigger();
    Wait(600);
    ok = Save(w, out + QStringLiteral("/statistics-chart-days.png")) && ok;
    w->acRaggruppa[3]->trigger();
    w->acMisura[2]->trigger();
    Wait(600);
    ok = Save(w, out + QStringLiteral("/statistics-chart-time.png")) && ok;
    w->acMisura[0]->trigger();

    w->tbDettagli->trigger();
    // A month of this year, its connections listed and three of them selected.
    QTreeWidgetItem* year = w->tvTree->topLevelItem(0)->child(w->tvTree->topLevelItem(0)->childCount() - 1);
    QTreeWidgetItem* month = year->child(std::max(0, year->childCount() - 2));
    year->setExpanded(true);
    w->tvTree->setCurrentItem(month);
    Wait(600);
    w->lvList->selectionModel()->select(w->ListModel->index(2, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w->lvList->selectionModel()->select(w->ListModel->index(3, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Wait(200);
    ok = Save(w, out + QStringLiteral("/statistics-details.png")) && ok;
    w->tvTree->setCurrentItem(w->tvTree->topLevelItem(0));
    Wait(600);
    ok = w->SavePdf(w->Stats().PrintShown(), out + QStringLiteral("/report-details.pdf")) && ok;

    // The insert dialog: three hours this morning, compared with every tariff.
    bool compared = false;
    w->NewConnection([&](QDialog& d) {
        auto& dialog = static_cast<TfmDialogInsDettagli&>(d);
        dialog.tmInizio->setTime(QTime(9, 0));
        dialog.tmFine->setTime(QTime(12, 0));
        dialog.edConnessione->setText(QStringLiteral("Provider Uno"));
        Wait(300);
        QTimer::singleShot(0, [&] {
            Wait(300);
            compared = SaveScreen(out + QStringLiteral("/screen-insert-comparing.png"));
        });
        QTimer::singleShot(50, [] {
            // The comparison's answer.
            const auto close = [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->accept();
            };
            QTimer::singleShot(1500, close);
        });
        dialog.btConfronta->click();
        Wait(300);
        dialog.reject();
    });
    ok = compared && ok;
    w->close();
    return ok;
}

// The SMS window with messages in every folder, the compose dialog with a group picked in part, the
// contact dialog's question about a leading zero, the gateway editor's account page.
bool SaveSms(TGuiProgram& program, const QString& out)
{
    TDataModule& d = *program.Data();
    TGateWayItem& simple = d.GateWays.Add("SmsLibero");
    simple.SetHostAddress("sms.example.org");
    simple.SetDescrizione("Gratis, 150 caratteri, senza registrazione");
    simple.SetCommandSend("invia.php?num=<PrefixLoc><Number>&testo=<Msg>");
    simple.SetMaxLength(150);
    TGateWayItem& login = d.GateWays.Add("SmsConAccount");
    login.SetHostAddress("conto.example.org");
    login.SetKind(gkLogin);
    login.SetCommandSend("sms/send?to=<PrefixInt><PrefixLoc><Number>&text=<Msg>");
    login.SetCommandRegistration("login?user=<UserName>&pass=<Password>");
    login.SetSuccessRegistration("Benvenuto");
    login.SetRegistrationURL("http://conto.example.org/registrati");
    d.GateWays.SetCredentials(login, "mario.rossi", "segreta");
    TSmsNumbersItem& anna = d.PhoneBook.AddContact("39", "338", "1234567", "Anna", "Famiglia", "mia sorella");
    TSmsNumbersItem& bruno = d.PhoneBook.AddContact("39", "347", "7654321", "Bruno", "Famiglia", "");
    TSmsNumbersItem& carla = d.PhoneBook.AddContact("39", "333", "1112223", "Carla", "Lavoro", "ufficio acquisti");
    d.PhoneBook.AddContact("39", "340", "9998887", "Dario Bellavista Montecchi", "", "");
    const double now = program.Services().Clk.Now();
    const auto message = [&d, now](TSmsNumbersItem& c, const char* text, TSmsStato state, int sends) {
        TSmsMsgItem& m = d.SmsData.FindOrAddMessage(c, text);
        m.SetK(state);
        m.SetS(sends);
        if (sends)
            m.SetL(now - 0.2);
        if (state == ssError)
            m.SetE("Risposta http errata: stringa di invio con successo non trovata! [inviato]");
    };
    message(anna, "Stasera cena da mamma alle 20", ssSent, 1);
    message(bruno, "Ricordati il pane", ssSent, 2);
    message(anna, "Ho comprato i biglietti!", ssToSend, 0);
    message(carla, "Riunione spostata alle 15", ssError, 0);
    TfmSms* w = program.OpenSms();
    if (!w)
        return false;
    // One message on its way, for the folder's count (set back before the window closes).
    TSmsMsgItem& going = d.SmsData.FindOrAddMessage(bruno, "Arrivo tra dieci minuti");
    going.SetK(ssSending);
    w->Refresh();
    w->tvRubrica->setCurrentItem(w->GroupItem(QStringLiteral("Famiglia")));
    Wait(300);
    bool ok = Save(w, out + QStringLiteral("/sms-window.png"));
    going.SetK(ssError);
    going.SetE("Procedura di invio interrotta bruscamente!");

    w->Compose([&](TfmSmsCompose& c) {
        c.tvDestinatari->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
        c.edTesto->setPlainText(QStringLiteral("Domenica pranzo al lago? Rispondete entro stasera :)"));
        Wait(300);
        ok = Save(&c, out + QStringLiteral("/sms-compose.png")) && ok;
        c.reject();
    });
    w->EditContact(nullptr, [&](TfmContatto& c) {
        c.edPrefLoc->setText(QStringLiteral("0039"));
        c.edNumero->setText(QStringLiteral("0212345678"));
        c.edNome->setText(QStringLiteral("Studio Bianchi"));
        QTimer::singleShot(500, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ok = SaveScreen(out + QStringLiteral("/screen-sms-contact-question.png")) && ok;
                box->button(QMessageBox::Yes)->click();
            }
        });
        c.btOk->setEnabled(true); // typed text enables it; set text does not
        c.btOk->click();
    });
    w->close();
    if (TfmImpostazioni* settings = program.OpenSettings()) {
        if (auto* page = qobject_cast<TpgSms*>(settings->Page(QStringLiteral("SMS"))))
            page->OpenEditor(1, [&](TfmGateway& g) {
                g.Pages->setCurrentWidget(g.pgAccount);
                Wait(300);
                ok = Save(&g, out + QStringLiteral("/sms-gateway-account.png")) && ok;
                g.reject();
            });
        settings->reject();
    }
    return ok;
}

// The main window with each factory skin and with a transparent skin full of holes, over a coloured
// desktop (each also enlarged three times, so the cut edges can be seen), and the skin editor.
bool SaveSkins(TGuiProgram& program, const QString& out)
{
    QWidget desktop;
    desktop.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint);
    desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    QPalette p = desktop.palette();
    QLinearGradient g(0, 0, 0, desktop.height());
    g.setColorAt(0, QColor(0x2E, 0x8B, 0x57));
    g.setColorAt(1, QColor(0xE0, 0xC0, 0x40));
    p.setBrush(QPalette::Window, g);
    desktop.setPalette(p);
    desktop.setAutoFillBackground(true);
    desktop.show();
    desktop.lower();
    TfmMain* window = program.MainWindow();
    window->show();
    // A skin with holes: the default strip with key-coloured dots between its panels.
    TBitmap holes = FactoryStrip();
    for (int cx : {75, 130, 152, 176})
        for (int y = 4; y <= 11; ++y)
            for (int x = cx - 4; x <= cx + 4; ++x)
                if ((x - cx) * (x - cx) + (y - 7.5) * (y - 7.5) <= 9)
                    holes.Set(x, y, StripKey);
    const std::string bmp = WriteBmp(holes);
    TSkinItemEx& bucata = program.Data()->Skins.AddSkin("Bucata", "Con i buchi", &bmp);
    program.Data()->Skins.SetTransparent(bucata, true);
    bool ok = true;
    for (const auto& [skin, file] : {std::pair<const char*, const char*>{"<Predefinita>", "skin-predefinita"},
                                     {"Skin old style", "skin-old-style"}, {"Bucata", "skin-holes"}}) {
        program.ChooseSkinFromMenu(skin);
        window->move(60, 60);
        window->raise();
        Wait(400);
        const QRect around = window->geometry().adjusted(-12, -12, 12, 12);
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, around.x(), around.y(), around.width(),
                                                                           around.height());
        const QString name = out + QStringLiteral("/%1.png").arg(QLatin1String(file));
        const bool saved = shot.scaled(shot.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(name);
        std::cout << (saved ? "salvato " : "non salvato ") << name.toStdString() << "\n";
        ok = saved && ok;
    }
    ok = SaveScreen(out + QStringLiteral("/screen-skin-holes.png")) && ok;
    if (TfmDesignSkin* editor = program.OpenSkinEditor()) {
        editor->lvSkins->setCurrentRow(0);
        Wait(300);
        ok = Save(editor, out + QStringLiteral("/skin-editor.png")) && ok;
        editor->close();
    }
    program.ChooseSkinFromMenu("<Predefinita>");
    return ok;
}

// A mobile plan at 80 % of its allowance: the strip with the plan's line moved down beside the tray,
// the tray's yellow pie, the warning's balloon and the line's tooltip, on one piece of screen; then
// the settings page with the plan.
bool SavePlan(TGuiProgram& program, const QString& out)
{
    const double now = program.Services().Clk.Now();
    program.EditPlans([now](TDataPlans& file) {
        TDataPlan p;
        p.Name = "SIM Mobile";
        p.ConnectionUuid = "5b1c2d3e-77aa-4c1e-9d3b-00000000c0de";
        p.CycleDay = 14;
        p.Allowance = 50000000000ull;
        p.PricePerCycle = 9.99;
        p.Beyond = TPlanBeyond::PerGigabyte;
        p.BeyondPrice = 0.5;
        p.WarningPercent = 80;
        p.Limit = true;
        file.StorePlan(p);
        // 40 GB over the cycle's days so far.
        const TPlanCycle cycle = PlanCycleAt(p, now);
        TPlanUsage usage = file.Usage();
        const int days = static_cast<int>(std::floor(now) - cycle.Start) + 1;
        for (int d = 0; d < days; ++d)
            usage.Add(p.Name, cycle.Start + d + 0.5, 40200000000ull / static_cast<unsigned>(days) * 9 / 10,
                      40200000000ull / static_cast<unsigned>(days) / 10);
        file.StoreUsage(usage);
    });
    // Nothing dialled or counted: the tray shows the plan, not a band.
    program.Controller()->Disconnect(false);
    TfmMain* window = program.MainWindow();
    Wait(2600);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window->move(8, screen.height() - 26 - window->height() - 90);
    window->raise();
    Wait(400);
    if (auto* strip = window->PlanStrip; strip && strip->isVisible())
        QToolTip::showText(strip->mapToGlobal(QPoint(40, strip->height() + 4)), strip->toolTip(), strip);
    Wait(700);
    const QRect around(0, window->y() - 70, 560, screen.height() - window->y() + 70);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, around.x(), around.y(), around.width(), around.height());
    const QString name = out + QStringLiteral("/plan-strip-tray.png");
    bool ok = window->PlanStrip->isVisible() && shot.save(name);
    std::cout << (ok ? "salvato " : "non salvato ") << name.toStdString() << "\n";
    QToolTip::hideText();
    if (TfmImpostazioni* settings = program.OpenSettings()) {
        settings->ShowPage(QStringLiteral("Piani dati"));
        Wait(300);
        ok = Save(settings, out + QStringLiteral("/settings-piani-dati.png")) && ok;
        settings->reject();
    }
    return ok;
}

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
    InstallItalianTranslations();
    TGuiProgram program(QCoreApplication::applicationFilePath().toStdString(), {"--simulate"});
    if (program.Start() >= 0)
        return 1;
    auto* sim = dynamic_cast<TSimDialUp*>(program.DialUp());
    if (!sim)
        return 1;
    TfmMain* window = program.MainWindow();
    Wait(800);
    bool ok = SaveScreen(out + QStringLiteral("/screen-strip-idle.png")); // at its default position
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
    ok = Save(window, out + QStringLiteral("/main-window.png")) && ok;

    // The close question while on line: saved, then cancelled.
    bool asked = false;
    QTimer::singleShot(600, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = SaveScreen(out + QStringLiteral("/screen-close-question.png"));
            box->button(QMessageBox::Cancel)->click();
        }
    });
    program.Controller()->CloseQuery();
    ok = asked && ok;

    // Two balloons at once.
    window->ShowBalloon(TBalloon::General, "", "È l'ora X di disconnessione!!!", 5000);
    window->ShowBalloon(TBalloon::Comparison, "", "Maledizione: risparmiavi 640 £irette con Wind - Internet Light 1088 24 Ore", 5000);
    window->ShowBalloon(TBalloon::Tariff, "", "Telecom - TAT Urbana", 5000);
    Wait(300);
    ok = SaveScreen(out + QStringLiteral("/screen-two-balloons.png")) && ok;

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
    if (TfmWaitRas* dial = program.DialView()->Form()) {
        ok = Save(dial, out + QStringLiteral("/dial-window-busy.png")) && ok;
        ok = SaveScreen(out + QStringLiteral("/screen-dial-window.png")) && ok;
    } else {
        ok = false;
    }
    program.DialController()->CancelClicked();
    Wait(300);
    ok = SaveSettings(program, out) && ok;

    // The time signal against the simulated server, 75 seconds ahead: the question, then the
    // balloon of the correction (the simulated clock setter leaves the real clock alone).
    bool questioned = false;
    QTimer::singleShot(600, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            questioned = SaveScreen(out + QStringLiteral("/screen-time-question.png"));
            box->button(QMessageBox::Yes)->click();
        }
    });
    program.TimeCheck()->Start("sim.example.org");
    Wait(1500);
    ok = questioned && SaveScreen(out + QStringLiteral("/screen-time-corrected.png")) && ok;
    ok = SaveStatistics(program, out) && ok;
    // Popup messages (the simulated transport): a contact, a group, a sent and a failed message.
    if (TfmPopup* popup = program.OpenPopup()) {
        TMessenger& m = program.Data()->Messenger;
        m.AddUser("UFFICIO-PC", "Il computer dell'ufficio");
        m.AddUserToGroup("SALOTTO", "Casa");
        TPopupRules rules(program.Services(), m);
        rules.SendNow("UFFICIO-PC", false, "La connessione costa troppo!");
        rules.SendNow("NESSUNO", false, "Ci sei?");
        Wait(2500);
        popup->Refresh();
        popup->tbMessaggi->setCurrentIndex(2);
        Wait(200);
        ok = Save(popup, out + QStringLiteral("/popup-window.png")) && ok;
        popup->close();
    }
    ok = SaveSms(program, out) && ok;
    ok = SaveSkins(program, out) && ok;
    ok = SavePlan(program, out) && ok;
    // The about box (its credits scrolled a little), the saint of the day, the help.
    const TPlaySound silent = [](const std::string&) {};
    {
        TfmAbout about(program.Services().Env, program.Data()->Settings, silent);
        about.show();
        for (int i = 0; i < 60; ++i)
            about.Scroll();
        Wait(300);
        ok = Save(&about, out + QStringLiteral("/about.png")) && ok;
    }
    {
        TfmSanto saint(program.Data()->Agenda, program.Services().Clk.Now(), silent);
        saint.show();
        Wait(300);
        ok = Save(&saint, out + QStringLiteral("/saint-of-the-day.png")) && ok;
    }
    {
        TfmGuida guide;
        guide.ShowTopic(QStringLiteral("statistiche"));
        guide.show();
        Wait(300);
        ok = Save(&guide, out + QStringLiteral("/help.png")) && ok;
    }
    program.Controller()->SessionEnding();
    return ok ? 0 : 1;
}
