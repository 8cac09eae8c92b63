#pragma once
// The settings window: a list of pages beside the page shown. OK stores every page and lets the
// changed data files save; Annulla (or closing the window) puts back what was there when it opened.

#include "app/SettingsSession.h"
#include "ui/SettingsPage.h"

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <functional>
#include <memory>

namespace qv {

class TfmImpostazioni : public QDialog
{
    Q_OBJECT
public:
    TfmImpostazioni(TServices& services, TDataModule& module, QWidget* parent = nullptr);
    ~TfmImpostazioni() override;
    // Pages appear in the order they are added.
    void AddPage(TSettingsPage* page);
    TSettingsPage* Page(const QString& title) const;
    void ShowPage(const QString& title);
    // Raised after the window closed either way (the owner rebuilds what depends on the data).
    std::function<void()> OnClosed;

    QListWidget* lbPagine;
    QStackedWidget* Pages;
    QPushButton* btOk;
    QPushButton* btAnnulla;

    void done(int result) override;

private:
    bool ApplyAll();
    std::unique_ptr<TSettingsSession> FSession;
    bool FFinished = false;
};

// The pages of the data that exists today, in their order.
void AddStandardPages(TfmImpostazioni& window, TServices& services, TDataModule& module);

} // namespace qv
