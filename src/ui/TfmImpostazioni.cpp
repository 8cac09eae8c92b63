#include "ui/TfmImpostazioni.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace qv {

TfmImpostazioni::TfmImpostazioni(TServices& services, TDataModule& module, QWidget* parent)
    : QDialog(parent), FSession(std::make_unique<TSettingsSession>(services, module))
{
    setObjectName(QStringLiteral("TfmImpostazioni"));
    setWindowTitle(QStringLiteral("Impostazioni"));
    lbPagine = new QListWidget(this);
    lbPagine->setObjectName(QStringLiteral("lbPagine"));
    lbPagine->setFixedWidth(130);
    Pages = new QStackedWidget(this);
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setDefault(true);
    btAnnulla = new QPushButton(QStringLiteral("&Annulla"), this);
    auto* body = new QHBoxLayout;
    body->addWidget(lbPagine);
    body->addWidget(Pages, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btAnnulla);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    connect(lbPagine, &QListWidget::currentRowChanged, Pages, &QStackedWidget::setCurrentIndex);
    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btAnnulla, &QPushButton::clicked, this, &QDialog::reject);
    resize(860, 620);
}

TfmImpostazioni::~TfmImpostazioni()
{
    // Destroyed while still open (the program quits): as Annulla.
    if (!FFinished)
        FSession->Cancel();
}

void TfmImpostazioni::AddPage(TSettingsPage* page)
{
    page->setParent(Pages);
    Pages->addWidget(page);
    lbPagine->addItem(page->Title());
    page->Load();
    if (lbPagine->currentRow() < 0)
        lbPagine->setCurrentRow(0);
}

TSettingsPage* TfmImpostazioni::Page(const QString& title) const
{
    for (int i = 0; i < Pages->count(); ++i)
        if (auto* p = qobject_cast<TSettingsPage*>(Pages->widget(i)); p && p->Title() == title)
            return p;
    return nullptr;
}

void TfmImpostazioni::ShowPage(const QString& title)
{
    for (int i = 0; i < Pages->count(); ++i)
        if (auto* p = qobject_cast<TSettingsPage*>(Pages->widget(i)); p && p->Title() == title)
            lbPagine->setCurrentRow(i);
}

bool TfmImpostazioni::ApplyAll()
{
    for (int i = 0; i < Pages->count(); ++i) {
        auto* p = qobject_cast<TSettingsPage*>(Pages->widget(i));
        if (p && !p->Apply()) {
            lbPagine->setCurrentRow(i);
            return false;
        }
    }
    return true;
}

void TfmImpostazioni::done(int result)
{
    if (FFinished)
        return;
    if (result == QDialog::Accepted) {
        if (!ApplyAll())
            return;
        FSession->Commit();
    } else {
        FSession->Cancel();
    }
    FFinished = true;
    QDialog::done(result);
    if (OnClosed)
        OnClosed();
}

} // namespace qv
