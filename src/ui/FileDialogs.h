#pragma once
// The program's file dialogs open where the user keeps such files: the folder last chosen in a
// dialog of the same kind during this run, else the documents folder (reports, exports, contacts)
// or the home folder (programs, sounds, pictures) — never the program's data folder.

#include <QString>
#include <QStringList>

class QWidget;

namespace qv {

enum class TFileKind
{
    Documents,
    Programs,
    Sounds,
    Images,
};

// The folder a dialog of the kind opens in.
QString DialogFolder(TFileKind kind);
QString OpenFileName(QWidget* parent, const QString& title, TFileKind kind, const QString& filter);
QStringList OpenFileNames(QWidget* parent, const QString& title, TFileKind kind, const QString& filter);
// proposed: a file name alone, put in the kind's folder.
QString SaveFileName(QWidget* parent, const QString& title, TFileKind kind, const QString& proposed,
                     const QString& filter);

} // namespace qv
