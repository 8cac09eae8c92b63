#pragma once
// The dial window (modeless, one at a time): the log of the dial, a status line cut to the progress
// bar's width, the progress bar, the state and the tariff, the phone book, the cycle choice, the
// cancel and retry buttons and a small animation. TWaitRasView creates the window when the
// controller needs it and releases it a moment after it closes.

#include "detection/WaitRas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace qv {

// Four modem lights that blink in turn while a dial is on its way.
class TDialAnimation : public QWidget
{
    Q_OBJECT
public:
    explicit TDialAnimation(QWidget* parent = nullptr);
    void SetRunning(bool running);
    bool Running() const { return FTimer.isActive(); }
    QSize sizeHint() const override { return {64, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer FTimer;
    int FFrame = 0;
};

// A label that reports double clicks (the tariff label opens the tariff chooser).
class TClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// Where a window of this size goes beside the owner: wholly on the screen and not over the owner,
// below it when there is room, else above, right or left.
QPoint PlaceBeside(const QRect& owner, const QSize& size, const QRect& screen);

class TfmWaitRas : public QDialog
{
    Q_OBJECT
public:
    TfmWaitRas(TWaitRasController& controller, QWidget* parent = nullptr);
    // The whole status text; the label shows it cut to the progress bar's width.
    void SetStatusText(const QString& text);
    const QString& StatusText() const { return FStatusText; }

    QPlainTextEdit* Memo;
    QLabel* lbConnessione;
    QProgressBar* ProgressBar;
    QLabel* LabelStato;
    TClickLabel* LabelTariffa;
    QComboBox* cbPhoneBook;
    QCheckBox* CheckBoxMode;
    QPushButton* btAnnulla;
    QPushButton* btRiprova;
    TDialAnimation* Animation;
    // Set while the controller fills the entry list, so the list's own signal is not taken as a choice.
    bool Filling = false;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Elide();
    TWaitRasController& FController;
    QString FStatusText;
};

// The credentials box of an attempt without a saved password.
class TfmCredentials : public QDialog
{
    Q_OBJECT
public:
    TfmCredentials(const TCredentialsRequest& request,
                   std::function<bool(const std::string&, const std::string&, bool)> ok, QWidget* parent = nullptr);
    QLineEdit* edUser;
    QLineEdit* edPassword;
    QCheckBox* cbSave;
    QPushButton* btOk;

private:
    std::function<bool(const std::string&, const std::string&, bool)> FOk;
};

class TWaitRasView : public IWaitRasView
{
public:
    explicit TWaitRasView(QWidget* owner) : FOwner(owner) {}
    ~TWaitRasView() override;
    void SetController(TWaitRasController* controller) { FController = controller; }
    // The window while it exists (none before the first dial and after it was released).
    TfmWaitRas* Form() const { return FForm; }

    void ShowWindow() override;
    void CloseWindow() override;
    void SetCaption(const std::string& caption) override;
    void SetCancelCaption(const std::string& caption) override;
    void SetAnimation(bool running) override;
    void SetRetryVisible(bool visible) override;
    void SetEntryListEnabled(bool enabled) override;
    void SetEntries(const std::vector<std::string>& entries, const std::string& selected) override;
    void SetProgress(int position, int maximum) override;
    void SetStatusLine(const std::string& text) override;
    void AddMemoLine(const std::string& text) override;
    void ClearMemo() override;
    void SetStateLabel(const std::string& text) override;
    void SetTariffLabel(const std::string& text) override;
    void SetModeCheck(bool visible, bool checked, const std::string& hint) override;
    void WarningBeep() override;
    void BringToFront() override;
    bool RunCredentialsBox(const TCredentialsRequest& request,
                           const std::function<bool(const std::string&, const std::string&, bool)>& ok) override;
    void WaitWhile(const std::function<bool()>& open) override;

private:
    TfmWaitRas& Make();
    QWidget* FOwner;
    TWaitRasController* FController = nullptr;
    QPointer<TfmWaitRas> FForm;
};

} // namespace qv
