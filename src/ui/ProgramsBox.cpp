#include "ui/ProgramsBox.h"

#include "ui/QtPrompter.h"
#include "ui/FileDialogs.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QShortcut>
#include <QVBoxLayout>

namespace qv {

namespace {

// A label whose double click runs the program.
class TRunIcon : public QLabel
{
public:
    using QLabel::QLabel;
    std::function<void()> OnDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override
    {
        if (OnDoubleClick)
            OnDoubleClick();
    }
};

} // namespace

TfmProgramma::TfmProgramma(TProgramsEditor& editor, TProcessItem& item, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfmProgramma"));
    setWindowTitle(QStringLiteral("Proprietà - ") + ToQt(item.Nome()));
    const TProgramsEditor::TForm f = TProgramsEditor::FormOf(item);
    edNome = new QLineEdit(ToQt(f.Nome), this);
    edPath = new QLineEdit(ToQt(f.Path), this);
    edPath->setMinimumWidth(360);
    edWorkingDirectory = new QLineEdit(ToQt(f.WorkingDirectory), this);
    edCommandLine = new QLineEdit(ToQt(f.CommandLine), this);
    cbRunKind = new QComboBox(this);
    for (const auto& t : TProgramsEditor::RunKindTexts())
        cbRunKind->addItem(ToQt(t));
    cbRunKind->setCurrentIndex(f.RunKind);
    cbCloseKind = new QComboBox(this);
    for (const auto& t : TProgramsEditor::CloseKindTexts())
        cbCloseKind->addItem(ToQt(t));
    cbCloseKind->setCurrentIndex(f.CloseKind);
    cbCmdShow = new QComboBox(this);
    for (const auto& [value, text] : TProcessControl::DialogShowModesFor(f.CmdShow))
        cbCmdShow->addItem(ToQt(text), value);
    cbCmdShow->setCurrentIndex(std::max(0, cbCmdShow->findData(f.CmdShow)));
    auto* icon = new TRunIcon(this);
    icon->setPixmap(QFileIconProvider().icon(QFileInfo(edPath->text())).pixmap(32, 32));
    icon->setToolTip(ToQt(f.Nome + "\rPercorso " + f.Path));
    icon->OnDoubleClick = [this, &item] {
        if (OnRunNow)
            OnRunNow(item);
    };
    auto* link = new QLabel(QStringLiteral("<a href=\"#\">") + ToQt(f.Nome).toHtmlEscaped() + QStringLiteral("</a>"), this);
    link->setToolTip(ToQt("Lancia l'applicazione " + f.Nome + "\r" + f.Path + "\r[" +
                          TProcessControl::ShowModeText(f.CmdShow) + "]"));
    connect(link, &QLabel::linkActivated, this, [this, &item] {
        if (OnRunNow)
            OnRunNow(item);
    });
    auto* head = new QHBoxLayout;
    head->addWidget(icon);
    head->addWidget(link, 1);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nome"), edNome);
    form->addRow(QStringLiteral("Percorso"), edPath);
    form->addRow(QStringLiteral("Cartella di lavoro"), edWorkingDirectory);
    form->addRow(QStringLiteral("Parametri"), edCommandLine);
    form->addRow(QStringLiteral("Avvio"), cbRunKind);
    form->addRow(QStringLiteral("Chiusura"), cbCloseKind);
    form->addRow(QStringLiteral("Finestra"), cbCmdShow);
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(btOk, &QPushButton::clicked, this, [this, &editor, &item] {
        TProgramsEditor::TForm g;
        g.Nome = edNome->text().toStdString();
        g.Path = edPath->text().toStdString();
        g.WorkingDirectory = edWorkingDirectory->text().toStdString();
        g.CommandLine = edCommandLine->text().toStdString();
        g.RunKind = static_cast<TRunKind>(cbRunKind->currentIndex());
        g.CloseKind = static_cast<TCloseKind>(cbCloseKind->currentIndex());
        g.CmdShow = cbCmdShow->currentData().toInt();
        if (editor.Apply(item, g))
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TProgramsBox::TProgramsBox(TServices& services, QWidget* parent)
    : QGroupBox(QStringLiteral("Programmi"), parent), FEditor(services)
{
    setObjectName(QStringLiteral("Programmi"));
    setAcceptDrops(true);
    Tree = new QTreeWidget(this);
    Tree->setHeaderLabels({QStringLiteral("Programma"), QStringLiteral("Parametri"), QStringLiteral("Finestra")});
    Tree->setRootIsDecorated(false);
    Tree->header()->setStretchLastSection(true);
    Tree->setMinimumHeight(90);
    btAggiungi = new QPushButton(QStringLiteral("A&ggiungi..."), this);
    btProprieta = new QPushButton(QStringLiteral("Propr&ietà..."), this);
    btElimina = new QPushButton(QStringLiteral("Eli&mina"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btAggiungi);
    buttons->addWidget(btProprieta);
    buttons->addWidget(btElimina);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Tree, 1);
    layout->addLayout(buttons);
    connect(btAggiungi, &QPushButton::clicked, this, [this] {
        const QStringList files = OpenFileNames(this, QString::fromUtf8(TProgramsEditor::DialogTitle), TFileKind::Programs,
                                                QStringLiteral("Programmi (*.desktop *.sh *);;Tutti i file (*)"));
        AddFiles(files);
    });
    const auto properties = [this] {
        TProcessItems* list = FList ? FList(false) : nullptr;
        const int row = Tree->currentIndex().row();
        if (!list || row < 0 || static_cast<std::size_t>(row) >= list->Count())
            return;
        TfmProgramma dialog(FEditor, (*list)[static_cast<std::size_t>(row)], this);
        dialog.OnRunNow = OnRunNow;
        if (dialog.exec() == QDialog::Accepted)
            Refresh();
    };
    connect(btProprieta, &QPushButton::clicked, this, properties);
    connect(Tree, &QTreeWidget::itemDoubleClicked, this, properties);
    // The Delete key on the list deletes the selected program, with the button's question.
    auto* del = new QShortcut(QKeySequence::Delete, Tree, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, btElimina, &QPushButton::click);
    connect(btElimina, &QPushButton::clicked, this, [this] {
        TProcessItems* list = FList ? FList(false) : nullptr;
        const int row = Tree->currentIndex().row();
        if (list && row >= 0 && FEditor.Delete(*list, static_cast<std::size_t>(row)))
            Refresh();
    });
}

void TProgramsBox::SetList(std::function<TProcessItems*(bool)> getList)
{
    FList = std::move(getList);
    Refresh();
}

void TProgramsBox::Refresh()
{
    Tree->clear();
    TProcessItems* list = FList ? FList(false) : nullptr;
    setEnabled(static_cast<bool>(FList));
    if (!list)
        return;
    QFileIconProvider icons;
    for (const auto& p : *list) {
        auto* row = new QTreeWidgetItem(Tree, {ToQt(p->Path()), ToQt(p->CommandLine()),
                                               ToQt(TProcessControl::ShowModeText(p->CmdShow()))});
        row->setIcon(0, icons.icon(QFileInfo(ToQt(p->Path()))));
        row->setToolTip(0, ToQt(p->Nome()));
    }
}

void TProgramsBox::AddFiles(const QStringList& files)
{
    if (files.isEmpty() || !FList)
        return;
    TProcessItems* list = FList(true);
    if (!list)
        return;
    std::vector<std::string> names;
    for (const QString& f : files)
        names.push_back(f.toStdString());
    FEditor.AddFiles(*list, names);
    Refresh();
}

void TProgramsBox::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TProgramsBox::dropEvent(QDropEvent* e)
{
    QStringList files;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile())
            files << u.toLocalFile();
    AddFiles(files);
}

} // namespace qv
