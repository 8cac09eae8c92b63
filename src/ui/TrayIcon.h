#pragma once
// The tray icon with its popup menu; the menu grows with the program (for now "&Mostra"/"&Nascondi"
// and "&Esci").

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>

namespace qv {

class TTrayIcon : public QObject
{
    Q_OBJECT
public:
    explicit TTrayIcon(QObject* parent = nullptr);
    void Show();
    void SetHint(const QString& text);
    // The band colours of the icon: red, yellow, green, transparent.
    static QIcon BandIcon(int band);

    QMenu* Menu() { return &FMenu; }
    QAction* ActionShowHide;
    QAction* ActionExit;
    std::function<void()> OnShowHide;
    std::function<void()> OnExit;

private:
    QSystemTrayIcon FIcon;
    QMenu FMenu;
};

} // namespace qv
