#pragma once
// "Informazioni su Quorvanta": name, version, build, installation date, the announcement, the
// credits scrolling slowly, the project's page. "Santo del giorno": the saint and a law of the
// calendar. The desktop note: the day's law typing itself out on the desktop.

#include "core/Environment.h"
#include "tariffs/Agenda.h"
#include "tariffs/Settings.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace qv {

using TPlaySound = std::function<void(const std::string&)>;

class TfmAbout : public QDialog
{
    Q_OBJECT
public:
    // checkNews, when given, is run by the button "&Novità..." (the check for news and releases).
    TfmAbout(const TAppEnvironment& env, const TSettings& settings, TPlaySound play, QWidget* parent = nullptr,
             std::function<void()> checkNews = {});
    QLabel* lbVersione;
    QLabel* lbInstallazione;
    QLabel* lbAnnuncio;
    QLabel* lbSito;
    QWidget* pnTitoli;
    QPushButton* btNovita;
    // Moves the credits one step (the timer does it every 40 ms).
    void Scroll();
    int ScrollOffset() const { return FOffset; }

private:
    TPlaySound FPlay;
    QTimer FTimer;
    int FOffset = 0;
};

class TfmSanto : public QDialog
{
    Q_OBJECT
public:
    TfmSanto(TAgenda& agenda, double today, TPlaySound play, QWidget* parent = nullptr);
    QLabel* lbSanto;
    QLabel* lbLegge;
    QPushButton* btAltra;
    QPushButton* btDesktop;

private:
    TAgenda& FAgenda;
    TPlaySound FPlay;
};

// A small note on the desktop that types out its title and the law, one character every 300 ms.
class TfmNota : public QWidget
{
    Q_OBJECT
public:
    TfmNota(const QString& title, const QString& text, TPlaySound play);
    bool Done() const { return FPos >= FTitle.size() + FText.size(); }
    QLabel* lbTitolo;
    QLabel* lbTesto;
    void Step();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString FTitle, FText;
    TPlaySound FPlay;
    QTimer FTimer;
    int FPos = 0;
};

} // namespace qv
