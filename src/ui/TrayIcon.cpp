#include "ui/TrayIcon.h"

#include "ui/PlanStrip.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>

namespace qv {

QIcon TTrayIcon::BandIcon(int band)
{
    static const QColor colours[] = {QColor(220, 30, 30), QColor(240, 210, 30), QColor(40, 180, 60),
                                     QColor(0, 0, 0, 0)};
    const QColor c = colours[band >= 0 && band < 4 ? band : 3];
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c.alpha() ? c.darker(160) : QColor(90, 90, 90, 160), 2));
    p.setBrush(c);
    p.drawEllipse(3, 3, 26, 26);
    // A small "£" makes the icon recognisable in any band.
    p.setPen(c.alpha() && band != 1 ? Qt::white : QColor(40, 40, 40));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(18);
    p.setFont(f);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("£"));
    return QIcon(pm);
}

TTrayIcon::TTrayIcon(QObject* parent) : QObject(parent)
{
    FMenu.setObjectName(QStringLiteral("PopupMenu"));
    // The program's menu, in its order; what has no window yet stays disabled.
    const auto add = [this](const char* caption, bool enabled) {
        QAction* a = FMenu.addAction(QString::fromUtf8(caption));
        a->setEnabled(enabled);
        FItems[a->text()] = a;
        return a;
    };
    ActionExit = add("&Esci", true);
    ActionShowHide = add("&Nascondi", true);
    FMenu.addSeparator();
    add("Se&gnale o&rario...", false);
    add("&SMS...", false);
    add("&Popup...", false)->setVisible(false);
    FMenu.addSeparator();
    add("Statistic&he...", false);
    add("&Tariffe", true);
    FMenu.addSeparator();
    add("&Impostazioni...", false);
    add("S&kin...", false);
    FMenu.addSeparator();
    add("St&art", true);
    add("&Disconnetti", true);
    add("IndirizzoIP", true);
    FConnections = FMenu.addMenu(QStringLiteral("C&onnessioni"));
    FItems[QStringLiteral("C&onnessioni")] = FConnections->menuAction();
    add("Disconnetti a&lle...", true);
    FMenu.addSeparator();
    add("San&to del giorno...", true);
    add("&Guida", false);
    add("Informa&zioni su...", false);

    connect(ActionShowHide, &QAction::triggered, this, [this] {
        if (OnShowHide)
            OnShowHide();
    });
    connect(ActionExit, &QAction::triggered, this, [this] {
        if (OnExit)
            OnExit();
    });
    connect(&FMenu, &QMenu::aboutToShow, this, [this] {
        if (OnMenuAboutToShow)
            OnMenuAboutToShow();
    });
    FBand = 3;
    UpdateIcon();
    FIcon.setContextMenu(&FMenu);
    FSingleClick.setSingleShot(true);
    connect(&FSingleClick, &QTimer::timeout, this, [this] {
        if (OnClick)
            OnClick();
    });
    connect(&FIcon, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        FSingleClick.stop();
        if (OnDoubleClick || OnShowHide)
            OnDoubleClick ? OnDoubleClick() : OnShowHide();
    } else if (reason == QSystemTrayIcon::Trigger) {
        FSingleClick.start(QApplication::doubleClickInterval());
    }
}

void TTrayIcon::Show()
{
    FIcon.show();
    // Added again every 3 s, so the icon comes back after the panel restarts.
    if (!FReAdd.isActive()) {
        connect(&FReAdd, &QTimer::timeout, this, [this] {
            if (!FIcon.isVisible())
                FIcon.show();
        });
        FReAdd.start(3000);
    }
}

void TTrayIcon::SetHint(const QString& text)
{
    // Each line as long as a panel's tooltip shows it whole.
    QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")));
    for (QString& line : lines)
        line = line.left(63);
    const QString hint = lines.join(QLatin1Char('\n'));
    if (hint == FHint)
        return;
    FHint = hint;
    FIcon.setToolTip(hint);
}

void TTrayIcon::SetBand(TFasciaOraria band)
{
    // Asked every second; the icon is sent to the panel only when the band really changes.
    if (static_cast<int>(band) == FBand)
        return;
    FBand = static_cast<int>(band);
    UpdateIcon();
}

void TTrayIcon::SetPlan(const TPlanView& view)
{
    if (view == FPlan)
        return;
    const bool same = view.Level == FPlan.Level && view.Percent == FPlan.Percent;
    FPlan = view;
    if (!same)
        UpdateIcon();
}

void TTrayIcon::UpdateIcon()
{
    // A count in progress shows its band; otherwise the plan of the link that is up, if any.
    const bool plan = FBand == 3 && FPlan.Level != TPlanLevel::None;
    FIcon.setIcon(plan ? PlanIcon(FPlan) : BandIcon(FBand));
}

} // namespace qv
