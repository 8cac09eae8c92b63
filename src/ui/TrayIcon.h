#pragma once
// The tray icon with the band colours and the program's popup menu (the same menu the main window
// shows); items whose windows do not exist yet are present and disabled.

#include "app/PlanWatch.h"
#include "tariffs/Bands.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <map>

namespace qv {

class TTrayIcon : public QObject
{
    Q_OBJECT
public:
    explicit TTrayIcon(QObject* parent = nullptr);
    void Show();
    void SetHint(const QString& text);
    void SetBand(TFasciaOraria band);
    // The data plan shown while no count is running (Level None: none).
    void SetPlan(const TPlanView& view);
    // What the icon shows now (for tests and screenshots).
    QIcon Icon() const { return FIcon.icon(); }
    QRect Geometry() const { return FIcon.geometry(); }
    // The band colours of the icon: red, yellow, green, transparent.
    static QIcon BandIcon(int band);

    QMenu* Menu() { return &FMenu; }
    QMenu* ConnectionsMenu() { return FConnections; }
    // By caption, as the menu shows it ("&Esci", "St&art", ...).
    QAction* Item(const QString& caption) const { return FItems.at(caption); }
    QAction* ActionShowHide;
    QAction* ActionExit;
    std::function<void()> OnShowHide;
    std::function<void()> OnExit;
    std::function<void()> OnClick;
    std::function<void()> OnDoubleClick;
    // Before the menu shows: the owner sets what is visible.
    std::function<void()> OnMenuAboutToShow;
    // What the icon reports: a press is a single click only when no second one follows within the
    // system's double-click time, so a double click never also runs the single click.
    void Activated(QSystemTrayIcon::ActivationReason reason);

private:
    void UpdateIcon();
    TPlanView FPlan;
    QTimer FReAdd;
    QTimer FSingleClick;
    QSystemTrayIcon FIcon;
    int FBand = -1; // the band the icon shows; -1 before the first
    QString FHint;
    QMenu FMenu;
    QMenu* FConnections = nullptr;
    std::map<QString, QAction*> FItems;
};

} // namespace qv
