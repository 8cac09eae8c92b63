#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <map>

namespace qv {

namespace {

std::map<TFileKind, QString>& LastFolders()
{
    static std::map<TFileKind, QString> folders;
    return folders;
}

void Remember(TFileKind kind, const QString& file)
{
    if (!file.isEmpty())
        LastFolders()[kind] = QFileInfo(file).absolutePath();
}

} // namespace

QString DialogFolder(TFileKind kind)
{
    const auto it = LastFolders().find(kind);
    if (it != LastFolders().end() && QDir(it->second).exists())
        return it->second;
    if (kind == TFileKind::Documents) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!documents.isEmpty() && QDir(documents).exists())
            return documents;
    }
    return QDir::homePath();
}

QString OpenFileName(QWidget* parent, const QString& title, TFileKind kind, const QString& filter)
{
    const QString file = QFileDialog::getOpenFileName(parent, title, DialogFolder(kind), filter);
    Remember(kind, file);
    return file;
}

QStringList OpenFileNames(QWidget* parent, const QString& title, TFileKind kind, const QString& filter)
{
    const QStringList files = QFileDialog::getOpenFileNames(parent, title, DialogFolder(kind), filter);
    if (!files.isEmpty())
        Remember(kind, files.first());
    return files;
}

QString SaveFileName(QWidget* parent, const QString& title, TFileKind kind, const QString& proposed,
                     const QString& filter)
{
    const QString file =
        QFileDialog::getSaveFileName(parent, title, QDir(DialogFolder(kind)).filePath(proposed), filter);
    Remember(kind, file);
    return file;
}

} // namespace qv
