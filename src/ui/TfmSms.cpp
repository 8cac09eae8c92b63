#include "ui/TfmSms.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"
#include "ui/TfmContatto.h"
#include "ui/TfmSmsCompose.h"
#include "ui/FileDialogs.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <atomic>
#include <exception>
#include <thread>

namespace {

// Reads a contact text on a worker while the window stays live and a progress bar (after a moment)
// shows how far the reading is.
std::function<std::vector<qv::TContactLine>(const std::string&)> ContactReader(QWidget* parent)
{
    return [parent](const std::string& file) {
        QProgressDialog progress(QStringLiteral("Importazione dei contatti in corso..."), QString(), 0, 1000, parent);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(400);
        std::atomic<int> permille{0};
        std::atomic<bool> done{false};
        std::vector<qv::TContactLine> lines;
        std::exception_ptr failure;
        std::thread worker([&] {
            try {
                lines = qv::TPhoneBookData::ReadContactFile(file, [&permille](std::uint64_t read, std::uint64_t size) {
                    permille = size == 0 ? 1000 : static_cast<int>(read * 1000 / size);
                });
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
        });
        QEventLoop loop;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            progress.setValue(permille);
            if (done)
                loop.quit();
        });
        tick.start(50);
        loop.exec();
        worker.join();
        if (failure)
            std::rethrow_exception(failure);
        return lines;
    };
}

} // namespace

namespace qv {

namespace {

// What an item of the tree stands for.
enum TNodeKind
{
    nkGroup = 1,
    nkContact = 2,
    nkFolder = 3,
};
constexpr int KindRole = Qt::UserRole;
constexpr int PointerRole = Qt::UserRole + 1;
constexpr int NameRole = Qt::UserRole + 2;
constexpr std::array<TSmsFolder, 4> Folders = {TSmsFolder::ToSend, TSmsFolder::Sending, TSmsFolder::Sent,
                                                TSmsFolder::Errors};

int KindOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, KindRole).toInt() : 0;
}

template <class T> T* PointerOf(const QTreeWidgetItem* item)
{
    return reinterpret_cast<T*>(item->data(0, PointerRole).value<quintptr>());
}

QIcon StateIcon(const QStyle* style, TSmsStato state)
{
    switch (state) {
    case ssSent:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case ssToSend:
        return style->standardIcon(QStyle::SP_ArrowRight);
    case ssSending:
        return style->standardIcon(QStyle::SP_BrowserReload);
    case ssError:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case ssSuspended:
        break;
    }
    return style->standardIcon(QStyle::SP_MediaPause);
}

// The group an item of the tree belongs to ("" for a folder).
QString GroupOf(const QTreeWidgetItem* item)
{
    if (KindOf(item) == nkContact)
        item = item->parent();
    return KindOf(item) == nkGroup ? item->data(0, NameRole).toString() : QString();
}

} // namespace

// ---- the tree ----

void TSmsTree::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) {
        e->acceptProposedAction();
        return;
    }
    QTreeWidget::dragEnterEvent(e);
}

void TSmsTree::dragMoveEvent(QDragMoveEvent* e)
{
    if (e->mimeData()->hasUrls()) {
        e->acceptProposedAction();
        return;
    }
    const QTreeWidgetItem* target = itemAt(e->position().toPoint());
    if (e->source() == this && !GroupOf(target).isEmpty()) {
        e->setDropAction(e->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void TSmsTree::dropEvent(QDropEvent* e)
{
    if (e->mimeData()->hasUrls()) {
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile() && OnFileDropped)
                OnFileDropped(url.toLocalFile());
        e->acceptProposedAction();
        return;
    }
    QTreeWidgetItem* target = itemAt(e->position().toPoint());
    QTreeWidgetItem* dragged = currentItem();
    e->setDropAction(Qt::IgnoreAction); // the tree is rebuilt from the phone book, never moved by Qt
    e->accept();
    if (e->source() == this && KindOf(dragged) == nkContact && !GroupOf(target).isEmpty() && OnContactDropped)
        OnContactDropped(dragged, target, (e->modifiers() & Qt::ControlModifier) != 0);
}

// ---- properties ----

TfmSmsProperties::TfmSmsProperties(TSmsRules& rules, TSmsMsgItem& message, const QString& answerFolder,
                                   QWidget* parent)
    : QDialog(parent), FRules(rules)
{
    setObjectName(QStringLiteral("TfmSmsProperties"));
    setWindowTitle(QStringLiteral("Proprietà del messaggio"));
    Pages = new QTabWidget(this);
    auto* general = new QWidget(Pages);
    lbNumero = new QLabel(ToQt(message.NumberDisplay()), general);
    lbNome = new QLabel(ToQt(message.R()), general);
    edTesto = new QPlainTextEdit(ToQt(message.T()), general);
    edTesto->setReadOnly(true);
    lbData = new QLabel(ToQt(message.DateText()), general);
    lbOra = new QLabel(ToQt(message.TimeText()), general);
    auto* form = new QFormLayout(general);
    form->addRow(QStringLiteral("Numero:"), lbNumero);
    form->addRow(QStringLiteral("Destinatario:"), lbNome);
    form->addRow(QStringLiteral("Messaggio:"), edTesto);
    form->addRow(QStringLiteral("Data:"), lbData);
    form->addRow(QStringLiteral("Ora:"), lbOra);
    form->addRow(QStringLiteral("Inviato:"), new QLabel(QStringLiteral("%1 volte").arg(message.S()), general));
    Pages->addTab(general, QStringLiteral("Messaggio"));

    auto* answer = new QWidget(Pages);
    edRisposta = new QPlainTextEdit(ToQt(message.ResultHTTP()), answer);
    edRisposta->setReadOnly(true);
    btTraduci = new QPushButton(QStringLiteral("&traduci..."), answer);
    btTraduci->setToolTip(QStringLiteral("Mostra la risposta del gateway nel browser"));
    btTraduci->setEnabled(!message.ResultHTTP().empty());
    auto* av = new QVBoxLayout(answer);
    av->addWidget(edRisposta, 1);
    av->addWidget(btTraduci, 0, Qt::AlignRight);
    Pages->addTab(answer, QStringLiteral("Risposta del gateway"));

    edErrore = new QPlainTextEdit(ToQt(message.E()), Pages);
    edErrore->setReadOnly(true);
    if (!message.E().empty())
        Pages->addTab(edErrore, QStringLiteral("Errore"));
    else
        edErrore->hide();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&Chiudi"), QDialogButtonBox::RejectRole);
    auto* v = new QVBoxLayout(this);
    v->addWidget(Pages, 1);
    v->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btTraduci, &QPushButton::clicked, this, [this, &message, answerFolder] {
        try {
            FRules.TranslateAnswer(message, answerFolder.toStdString());
        } catch (const std::exception& e) {
            ShowError(FRules.Services().Prompter, e.what());
        }
    });
    resize(460, 360);
}

TfmSmsProperties::~TfmSmsProperties()
{
    FRules.ForgetTranslation();
}

// ---- the window ----

TfmSms::TfmSms(TServices& services, TDataModule& module, TSmsHooks hooks, QWidget* parent)
    : QMainWindow(parent), FRules(services, module.SmsData, module.PhoneBook, module.GateWays, std::move(hooks))
{
    setObjectName(QStringLiteral("TfmSms"));
    setWindowTitle(QStringLiteral("Messaggi SMS"));
    QToolBar* bar = addToolBar(QStringLiteral("SMS"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    acComponi = bar->addAction(style()->standardIcon(QStyle::SP_FileIcon), QStringLiteral("&Nuovo messaggio..."));
    acContatto = bar->addAction(QStringLiteral("Nuovo &contatto..."));
    acGruppo = bar->addAction(style()->standardIcon(QStyle::SP_FileDialogNewFolder), QStringLiteral("Nuovo &gruppo"));
    bar->addSeparator();
    acInviaCoda = bar->addAction(style()->standardIcon(QStyle::SP_ArrowRight), QStringLiteral("&Invia la coda"));
    acInviaCoda->setToolTip(QStringLiteral("Invia adesso i messaggi da inviare"));
    acElimina = bar->addAction(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("&Elimina"));
    acProprieta = bar->addAction(QStringLiteral("&Proprietà..."));
    QMenu* book = menuBar()->addMenu(QStringLiteral("&Rubrica"));
    acSalvaTesto = book->addAction(QStringLiteral("&Salva la rubrica su file..."));
    acEsporta = book->addAction(QStringLiteral("Esporta la rubrica..."));
    acImporta = book->addAction(QStringLiteral("&Importa la rubrica..."));

    auto* split = new QSplitter(this);
    tvRubrica = new TSmsTree(split);
    tvRubrica->setObjectName(QStringLiteral("tvRubrica"));
    tvRubrica->setHeaderHidden(true);
    tvRubrica->setContextMenuPolicy(Qt::CustomContextMenu);
    tvRubrica->setDragEnabled(true);
    tvRubrica->setAcceptDrops(true);
    tvRubrica->setDropIndicatorShown(true);
    tvRubrica->setDragDropMode(QAbstractItemView::DragDrop);
    tvRubrica->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    auto* right = new QWidget(split);
    lvMessaggi = new QTreeWidget(right);
    lvMessaggi->setObjectName(QStringLiteral("lvMessaggi"));
    lvMessaggi->setRootIsDecorated(false);
    lvMessaggi->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvMessaggi->setHeaderLabels({QStringLiteral("Destinatario"), QStringLiteral("Numero"), QStringLiteral("Data"),
                                 QStringLiteral("Ora"), QStringLiteral("Invii"), QStringLiteral("Messaggio")});
    lvMessaggi->setContextMenuPolicy(Qt::CustomContextMenu);
    lbRicerca = new QLabel(QStringLiteral("Ricerca dei messaggi..."), right);
    lbRicerca->hide();
    auto* rv = new QVBoxLayout(right);
    rv->setContentsMargins(0, 0, 0, 0);
    rv->addWidget(lbRicerca);
    rv->addWidget(lvMessaggi, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({240, 600});
    setCentralWidget(split);
    resize(860, 480);

    connect(acComponi, &QAction::triggered, this, [this] { Compose(); });
    connect(acContatto, &QAction::triggered, this, [this] { EditContact(nullptr); });
    connect(acGruppo, &QAction::triggered, this, [this] {
        const QString name = ToQt(FRules.NewGroup());
        Refresh();
        if (QTreeWidgetItem* item = GroupItem(name)) {
            tvRubrica->setCurrentItem(item);
            tvRubrica->editItem(item);
        }
    });
    connect(acInviaCoda, &QAction::triggered, this, [this] {
        FRules.SendQueueNow();
        Refresh();
    });
    connect(acElimina, &QAction::triggered, this, [this] { DeleteCommand(); });
    connect(acProprieta, &QAction::triggered, this, [this] {
        const auto selected = SelectedMessages();
        if (!selected.empty())
            ShowProperties(selected.front());
    });
    const auto saveDialog = [this](const QString& title, const QString& proposed,
                                   const std::function<bool(const std::string&)>& save) {
        const QString file = SaveFileName(this, title, TFileKind::Documents, proposed,
                                          QStringLiteral("File di testo (*.txt);;Tutti i file (*)"));
        if (!file.isEmpty())
            save(file.toStdString());
    };
    connect(acSalvaTesto, &QAction::triggered, this, [this, saveDialog] {
        saveDialog(QStringLiteral("Salva la rubrica su file"), QStringLiteral("Rubrica.txt"), [this](const std::string& f) { return FRules.SaveAsText(f); });
    });
    connect(acEsporta, &QAction::triggered, this, [this, saveDialog] {
        saveDialog(QStringLiteral("Esporta la rubrica"), QStringLiteral("Contatti.txt"), [this](const std::string& f) { return FRules.ExportContacts(f); });
    });
    connect(acImporta, &QAction::triggered, this, [this] {
        const QString file = OpenFileName(this, QStringLiteral("Importa la rubrica"), TFileKind::Documents,
                                          QStringLiteral("File di testo (*.txt);;Tutti i file (*)"));
        if (file.isEmpty())
            return;
        FRules.ImportContacts(file.toStdString(), SelectedGroup().toStdString(), false, ContactReader(this));
        Refresh();
    });
    tvRubrica->OnFileDropped = [this](const QString& file) {
        FRules.ImportContacts(file.toStdString(), SelectedGroup().toStdString(), true, ContactReader(this));
        Refresh();
    };
    tvRubrica->OnContactDropped = [this](QTreeWidgetItem* contact, QTreeWidgetItem* target, bool copy) {
        FRules.DropContact(*PointerOf<TSmsNumbersItem>(contact), GroupOf(target).toStdString(), copy);
        QTimer::singleShot(0, this, [this] { Refresh(); });
    };
    connect(tvRubrica, &QTreeWidget::currentItemChanged, this, [this] { FillList(); });
    connect(tvRubrica, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { ItemRenamed(item); });
    connect(tvRubrica, &QTreeWidget::customContextMenuRequested, this, &TfmSms::TreeMenu);
    connect(tvRubrica, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (KindOf(item) == nkContact)
            EditContact(PointerOf<TSmsNumbersItem>(item));
    });
    connect(lvMessaggi, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ShowProperties(PointerOf<TSmsMsgItem>(item)); });
    connect(lvMessaggi, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(acProprieta);
        QAction* again = menu.addAction(QStringLiteral("Invia &di nuovo"));
        menu.addAction(acElimina);
        if (menu.exec(lvMessaggi->viewport()->mapToGlobal(at)) != again)
            return;
        bool quiet = false;
        for (TSmsMsgItem* m : SelectedMessages())
            if (m->K() != ssSending && FRules.Hooks().SendNow) {
                FRules.Hooks().SendNow(*m, quiet);
                quiet = true;
            }
        Refresh();
    });
    // The end of the sends sounds once; the folders' counts follow the sends.
    FTick.setInterval(1000);
    connect(&FTick, &QTimer::timeout, this, [this] {
        FRules.Tick();
        for (TSmsFolder f : Folders)
            if (QTreeWidgetItem* item = FolderItem(f); item && item->text(0) != ToQt(FRules.FolderCaption(f)))
                return Refresh();
    });
    FTick.start();
    Refresh();
}

TfmSms::~TfmSms() = default;

QTreeWidgetItem* TfmSms::FolderItem(TSmsFolder folder) const
{
    for (int i = 0; i < tvRubrica->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tvRubrica->topLevelItem(i);
        if (KindOf(item) == nkFolder && item->data(0, NameRole).toInt() == static_cast<int>(folder))
            return item;
    }
    return nullptr;
}

QTreeWidgetItem* TfmSms::GroupItem(const QString& group) const
{
    for (int i = 0; i < tvRubrica->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tvRubrica->topLevelItem(i);
        if (KindOf(item) == nkGroup && item->data(0, NameRole).toString() == group)
            return item;
    }
    return nullptr;
}

QTreeWidgetItem* TfmSms::ContactItem(const TSmsNumbersItem* contact) const
{
    for (int i = 0; i < tvRubrica->topLevelItemCount(); ++i) {
        QTreeWidgetItem* group = tvRubrica->topLevelItem(i);
        for (int k = 0; k < group->childCount(); ++k)
            if (PointerOf<TSmsNumbersItem>(group->child(k)) == contact)
                return group->child(k);
    }
    return nullptr;
}

QString TfmSms::SelectedGroup() const
{
    return GroupOf(tvRubrica->currentItem());
}

TSmsNumbersItem* TfmSms::SelectedContact() const
{
    const QTreeWidgetItem* item = tvRubrica->currentItem();
    return KindOf(item) == nkContact ? PointerOf<TSmsNumbersItem>(item) : nullptr;
}

std::vector<TSmsMsgItem*> TfmSms::SelectedMessages() const
{
    std::vector<TSmsMsgItem*> out;
    for (int i = 0; i < lvMessaggi->topLevelItemCount(); ++i)
        if (lvMessaggi->topLevelItem(i)->isSelected())
            out.push_back(PointerOf<TSmsMsgItem>(lvMessaggi->topLevelItem(i)));
    return out;
}

void TfmSms::Refresh()
{
    // What was selected, by kind and key, so the rebuilt tree selects it again.
    const QTreeWidgetItem* current = tvRubrica->currentItem();
    const int kind = KindOf(current);
    const QVariant key = current ? current->data(0, kind == nkContact ? PointerRole : NameRole) : QVariant();
    FFilling = true;
    tvRubrica->clear();
    QTreeWidgetItem* select = nullptr;
    for (const std::string& g : FRules.TreeGroups()) {
        auto* group = new QTreeWidgetItem(tvRubrica, {ToQt(g)});
        group->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        group->setData(0, KindRole, nkGroup);
        group->setData(0, NameRole, ToQt(g));
        group->setFlags(group->flags() | Qt::ItemIsEditable | Qt::ItemIsDropEnabled);
        if (kind == nkGroup && key.toString() == ToQt(g))
            select = group;
        for (TSmsNumbersItem* c : FRules.ContactsOf(g)) {
            auto* contact = new QTreeWidgetItem(group, {ToQt(c->Display())});
            contact->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
            contact->setToolTip(0, ToQt(c->DisplayWithNumber() + (c->C().empty() ? "" : "\r" + c->C())));
            contact->setData(0, KindRole, nkContact);
            contact->setData(0, PointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(c)));
            contact->setFlags((contact->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled) & ~Qt::ItemIsDropEnabled);
            if (kind == nkContact && key.value<quintptr>() == reinterpret_cast<quintptr>(c))
                select = contact;
        }
        group->setExpanded(true);
    }
    for (TSmsFolder f : Folders) {
        auto* folder = new QTreeWidgetItem(tvRubrica, {ToQt(FRules.FolderCaption(f))});
        folder->setIcon(0, StateIcon(style(), TSmsRules::FolderState(f)));
        folder->setData(0, KindRole, nkFolder);
        folder->setData(0, NameRole, static_cast<int>(f));
        folder->setFlags(folder->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled));
        if (kind == nkFolder && key.toInt() == static_cast<int>(f))
            select = folder;
    }
    FFilling = false;
    tvRubrica->setCurrentItem(select ? select : FolderItem(TSmsFolder::ToSend));
    FillList();
}

void TfmSms::FillList()
{
    if (FFilling)
        return;
    const QTreeWidgetItem* item = tvRubrica->currentItem();
    std::vector<TSmsMsgItem*> messages;
    switch (KindOf(item)) {
    case nkFolder:
        messages = FRules.FolderMessages(static_cast<TSmsFolder>(item->data(0, NameRole).toInt()));
        break;
    case nkGroup:
        messages = FRules.GroupMessages(item->data(0, NameRole).toString().toStdString());
        break;
    case nkContact:
        messages = FRules.ContactMessages(*PointerOf<TSmsNumbersItem>(item));
        break;
    default:
        break;
    }
    std::set<TSmsMsgItem*> selected;
    for (TSmsMsgItem* m : SelectedMessages())
        selected.insert(m);
    // A long list shows that it is being searched.
    const bool busy = messages.size() > 100;
    if (busy) {
        lbRicerca->show();
        QApplication::setOverrideCursor(Qt::BusyCursor);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    lvMessaggi->setUpdatesEnabled(false);
    lvMessaggi->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(messages.size()));
    for (TSmsMsgItem* m : messages) {
        auto* row = new QTreeWidgetItem({ToQt(m->R()), ToQt(m->NumberDisplay()), ToQt(m->DateText()),
                                         ToQt(m->TimeText()), QString::number(m->S()), ToQt(RemoveLineBreaks(m->T()))});
        row->setIcon(0, StateIcon(style(), m->K()));
        row->setData(0, PointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(m)));
        if (!m->E().empty())
            row->setToolTip(0, ToQt(m->E()));
        rows.push_back(row);
    }
    lvMessaggi->addTopLevelItems(rows);
    for (QTreeWidgetItem* row : rows)
        row->setSelected(selected.count(PointerOf<TSmsMsgItem>(row)) > 0);
    for (int c = 0; c < 5; ++c)
        lvMessaggi->resizeColumnToContents(c);
    lvMessaggi->setUpdatesEnabled(true);
    if (busy) {
        QApplication::restoreOverrideCursor();
        lbRicerca->hide();
    }
}

void TfmSms::DeleteCommand()
{
    QTreeWidgetItem* item = tvRubrica->currentItem();
    if (lvMessaggi->hasFocus() && !SelectedMessages().empty()) {
        FRules.DeleteSelected(SelectedMessages());
    } else if (KindOf(item) == nkContact) {
        FRules.DeleteContact(*PointerOf<TSmsNumbersItem>(item));
    } else if (KindOf(item) == nkGroup) {
        FRules.DeleteGroup(item->data(0, NameRole).toString().toStdString());
    } else if (KindOf(item) == nkFolder) {
        const auto folder = static_cast<TSmsFolder>(item->data(0, NameRole).toInt());
        FRules.DeleteList(FRules.FolderMessages(folder), FRules.FolderCaption(folder));
    }
    Refresh();
}

void TfmSms::TreeMenu(const QPoint& at)
{
    QTreeWidgetItem* item = tvRubrica->itemAt(at);
    if (!item)
        return;
    tvRubrica->setCurrentItem(item);
    QMenu menu(this);
    menu.addAction(acComponi);
    switch (KindOf(item)) {
    case nkContact: {
        auto* contact = PointerOf<TSmsNumbersItem>(item);
        menu.addAction(QStringLiteral("&Modifica il contatto..."), this, [this, contact] { EditContact(contact); });
        menu.addAction(QStringLiteral("&Rinomina"), this, [this, item] { tvRubrica->editItem(item); });
        menu.addAction(QStringLiteral("Elimina il &contatto"), this, [this] { DeleteCommand(); });
        menu.addAction(QStringLiteral("Elimina &tutti i messaggi"), this, [this, contact] {
            FRules.DeleteContactMessages(*contact);
            Refresh();
        });
        break;
    }
    case nkGroup:
        menu.addAction(acContatto);
        menu.addAction(QStringLiteral("&Rinomina"), this, [this, item] { tvRubrica->editItem(item); });
        menu.addAction(QStringLiteral("Elimina il &gruppo"), this, [this] { DeleteCommand(); });
        break;
    case nkFolder:
        menu.addAction(acInviaCoda);
        menu.addAction(QStringLiteral("Elimina &tutti i messaggi"), this, [this] { DeleteCommand(); });
        break;
    default:
        break;
    }
    menu.exec(tvRubrica->viewport()->mapToGlobal(at));
}

void TfmSms::ItemRenamed(QTreeWidgetItem* item)
{
    if (FFilling)
        return;
    const std::string text = item->text(0).toStdString();
    if (KindOf(item) == nkGroup)
        FRules.RenameGroup(item->data(0, NameRole).toString().toStdString(), text);
    else if (KindOf(item) == nkContact)
        FRules.RenameContact(*PointerOf<TSmsNumbersItem>(item), text);
    // Rebuilt after the editor has closed: a refused name shows the old one again.
    QTimer::singleShot(0, this, [this] { Refresh(); });
}

void TfmSms::Compose(const std::function<void(TfmSmsCompose&)>& onOpen)
{
    {
        TSmsCompose check(FRules);
        if (!check.CanOpen()) {
            EditContact(nullptr);
            return;
        }
    }
    const QTreeWidgetItem* item = tvRubrica->currentItem();
    const std::vector<TSmsMsgItem*> messages = SelectedMessages();
    TfmSmsCompose dialog(FRules, SelectedContact(), KindOf(item) == nkGroup ? SelectedGroup().toStdString() : "",
                         messages.empty() ? nullptr : messages.front(), this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    dialog.exec();
    Refresh();
}

void TfmSms::EditContact(TSmsNumbersItem* contact, const std::function<void(TfmContatto&)>& onOpen)
{
    TfmContatto dialog(FRules, contact, SelectedGroup().toStdString(), this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    Refresh();
    if (QTreeWidgetItem* item = ContactItem(dialog.Saved()))
        tvRubrica->setCurrentItem(item);
}

void TfmSms::ShowProperties(TSmsMsgItem* message, const std::function<void(TfmSmsProperties&)>& onOpen)
{
    if (!message)
        return;
    TfmSmsProperties dialog(FRules, *message, AnswerFolder, this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    dialog.exec();
}

} // namespace qv
