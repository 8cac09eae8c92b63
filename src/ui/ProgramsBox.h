#pragma once
// The program list of a profile or an entry in the settings: each program with its icon, path,
// parameters and show mode; add by file dialog or by dropping files, properties, delete.

#include "app/ProcessControl.h"
#include "app/ProgramsEditor.h"

#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>

class QComboBox;
class QLineEdit;

namespace qv {

// "Proprietà - " + name: one program's fields; OK checks that the path names a file.
class TfmProgramma : public QDialog
{
    Q_OBJECT
public:
    TfmProgramma(TProgramsEditor& editor, TProcessItem& item, QWidget* parent = nullptr);
    QLineEdit* edNome;
    QLineEdit* edPath;
    QLineEdit* edWorkingDirectory;
    QLineEdit* edCommandLine;
    QComboBox* cbRunKind;
    QComboBox* cbCloseKind;
    QComboBox* cbCmdShow;
    QPushButton* btOk;
    // Double click on the icon runs the program at once.
    std::function<void(TProcessItem&)> OnRunNow;
};

class TProgramsBox : public QGroupBox
{
    Q_OBJECT
public:
    TProgramsBox(TServices& services, QWidget* parent = nullptr);
    // The list shown (none: empty and disabled); getList is asked again before a change, so an
    // entry without a record gets one only when a program is added.
    void SetList(std::function<TProcessItems*(bool create)> getList);
    void Refresh();
    void AddFiles(const QStringList& files);
    QTreeWidget* Tree;
    QPushButton* btAggiungi;
    QPushButton* btProprieta;
    QPushButton* btElimina;
    std::function<void(TProcessItem&)> OnRunNow;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    TProgramsEditor FEditor;
    std::function<TProcessItems*(bool)> FList;
};

} // namespace qv
