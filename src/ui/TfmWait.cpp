#include "ui/TfmWait.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <algorithm>
#include <QVBoxLayout>

namespace qv {

// A window of its own, not a child of the owner: the owner is disabled while this one is used.
TfmWait::TfmWait(QWidget* owner, bool& cancelFlag) : QDialog(nullptr), FOwner(owner), FCancel(cancelFlag)
{
    setObjectName(QStringLiteral("TfmWait"));
    setWindowTitle(QStringLiteral("Attendere prego..."));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    FAnimation = new QLabel(this);
    FAnimation->setFixedWidth(48);
    FAnimation->setAlignment(Qt::AlignCenter);
    lbOperazione = new QLabel(this);
    lbOperazione->setMinimumWidth(320);
    top->addWidget(FAnimation);
    top->addWidget(lbOperazione, 1);
    v->addLayout(top);
    pbProgress = new QProgressBar(this);
    pbProgress->setRange(0, 100);
    v->addWidget(pbProgress);
    btAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    v->addWidget(btAnnulla, 0, Qt::AlignRight);
    connect(btAnnulla, &QPushButton::clicked, this, [this] { FCancel = true; });
    // A looping search: a lens sweeping over a page.
    connect(&FTimer, &QTimer::timeout, this, [this] {
        QPixmap pm(40, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(120, 120, 120));
        p.setBrush(Qt::white);
        p.drawRect(6, 2, 24, 28);
        for (int line = 0; line < 5; ++line)
            p.drawLine(10, 8 + line * 4, 26, 8 + line * 4);
        const int step = FFrame++ % 8;
        const int cx = 12 + (step < 4 ? step : 8 - step) * 4, cy = 12 + (step % 4) * 2;
        p.setPen(QPen(QColor(40, 70, 140), 2));
        p.setBrush(QColor(180, 210, 255, 140));
        p.drawEllipse(QPoint(cx, cy), 6, 6);
        p.drawLine(cx + 4, cy + 4, cx + 10, cy + 10);
        FAnimation->setPixmap(pm);
    });
    FTimer.start(150);
}

TfmWait* TfmWait::ShowWait(QWidget* owner, bool& cancelFlag)
{
    cancelFlag = false;
    auto* w = new TfmWait(owner, cancelFlag);
    w->setModal(false);
    w->adjustSize();
    if (owner)
        w->move(owner->geometry().center() - w->rect().center());
    w->show();
    if (owner)
        owner->setEnabled(false);
    return w;
}

void TfmWait::UpdateWait(const QString& text, int position)
{
    lbOperazione->setText(text);
    if (position < 0) {
        pbProgress->setValue(pbProgress->maximum());
        FTimer.stop();
    } else {
        pbProgress->setValue(std::clamp(position, 0, 100));
    }
    QApplication::processEvents();
}

void TfmWait::CloseWait()
{
    if (FOwner)
        FOwner->setEnabled(true);
    close();
}

} // namespace qv
