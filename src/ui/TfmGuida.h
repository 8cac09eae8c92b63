#pragma once
// The help window: the Italian user guide built into the program, its contents on the left; F1 in
// any window of the program opens that window's topic.

#include <QListWidget>
#include <QMainWindow>
#include <QTextBrowser>

namespace qv {

class TfmGuida : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfmGuida(QWidget* parent = nullptr);
    void ShowTopic(const QString& id);
    QString CurrentTopic() const { return FTopic; }

    QListWidget* lbArgomenti;
    QTextBrowser* txPagina;

private:
    QString FTopic;
};

// Opens the help at a topic (the window is kept and brought forward).
void OpenHelp(const QString& topic);
// Installs the F1 key of every window of the application.
void InstallHelpKey();

} // namespace qv
