#include "ui/TfmPopup.h"

#include "core/DateTime.h"
#include "core/Strings.h"
#include "ui/DateConv.h"
#include "ui/QtPrompter.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace qv {

namespace {

constexpr std::array<TMsgStato, 5> ListStates = {msToSend, msSending, msSent, msError, msTemplate};
constexpr std::array<const char*, 5> ListTitles = {"Da inviare", "In uscita", "Inviati", "Errori", "Ogni giorno"};

// "&OK" and "&Annulla" as text buttons, as every other dialog of the program has them.
QDialogButtonBox* PlainButtons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    return buttons;
}

} // namespace

// ---- compose ----

TfmPopupMsg::TfmPopupMsg(TPopupRules& rules, TMessenger& messenger, QWidget* parent, TMsgItem* editing)
    : QDialog(parent), FRules(rules), FMessenger(messenger), FEditing(editing)
{
    setObjectName(QStringLiteral("TfmPopupMsg"));
    setWindowTitle(QStringLiteral("Nuovo messaggio popup"));
    cbDestinatario = new QComboBox(this);
    cbDestinatario->setEditable(true);
    for (const auto& u : messenger.Users())
        cbDestinatario->addItem(ToQt(u->N()), false);
    for (const auto& g : messenger.Groups())
        cbDestinatario->addItem(style()->standardIcon(QStyle::SP_DirIcon), ToQt(g->N()), true);
    cbDestinatario->setCurrentText(editing ? ToQt(editing->Dest()) : QString());
    edMessaggio = new QPlainTextEdit(this);
    edMessaggio->setPlainText(editing ? ToQt(editing->Msg()) : QString());
    btInvia = new QPushButton(QStringLiteral("&Invia"), this);
    btInvia->setToolTip(QStringLiteral("Invia il messaggio immediatamente"));
    // A daily message being edited is only rescheduled.
    btInvia->setEnabled(!(editing && editing->Stato() == msTemplate));
    btProgramma = new QPushButton(QStringLiteral("&Programma..."), this);
    auto* annulla = new QPushButton(QStringLiteral("&Annulla"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Destinatario"), cbDestinatario);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btInvia);
    buttons->addWidget(btProgramma);
    buttons->addWidget(annulla);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(edMessaggio, 1);
    v->addLayout(buttons);
    resize(460, 300);
    connect(annulla, &QPushButton::clicked, this, &QDialog::reject);
    connect(btInvia, &QPushButton::clicked, this, [this] {
        if (FRules.SendNow(cbDestinatario->currentText().toStdString(), ToGroup(),
                           edMessaggio->toPlainText().toStdString()))
            accept();
    });
    connect(btProgramma, &QPushButton::clicked, this, [this] {
        if (Schedule())
            accept();
    });
}

bool TfmPopupMsg::ToGroup() const
{
    const QString text = cbDestinatario->currentText().trimmed();
    return text == QLatin1String("*") || FMessenger.FindGroup(text.toStdString()) != nullptr;
}

bool TfmPopupMsg::Schedule(const std::function<void(TfmPopupSchedule&)>& onOpen)
{
    TfmPopupSchedule dialog(FRules, FRules.Now(), this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (FRules.Schedule(cbDestinatario->currentText().toStdString(), ToGroup(),
                            edMessaggio->toPlainText().toStdString(), dialog.Day(), dialog.Time(),
                            dialog.cbOgniGiorno->isChecked(), FEditing))
            return true;
        if (onOpen)
            return false; // a refusal under test ends here
    }
}

TfmPopupSchedule::TfmPopupSchedule(TPopupRules& rules, double now, QWidget* parent) : QDialog(parent), FRules(rules)
{
    setObjectName(QStringLiteral("TfmPopupSchedule"));
    setWindowTitle(QStringLiteral("Programma l'invio del messaggio"));
    const QDateTime next = ToQDateTime(now + 60 * OneSecond);
    dtGiorno = new QDateEdit(next.date(), this);
    dtGiorno->setCalendarPopup(true);
    dtGiorno->setDisplayFormat(QStringLiteral("dddd d MMMM yyyy"));
    tmOra = new QTimeEdit(next.time(), this);
    tmOra->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    cbOgniGiorno = new QCheckBox(QStringLiteral("Ogni giorno"), this);
    lbProssimo = new QLabel(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Giorno"), dtGiorno);
    form->addRow(QStringLiteral("Ora"), tmOra);
    form->addRow(cbOgniGiorno);
    form->addRow(QStringLiteral("Prossimo invio:"), lbProssimo);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("&Annulla"), QDialogButtonBox::RejectRole);
    auto* v = new QVBoxLayout(this);
    v->addLayout(form);
    v->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(dtGiorno, &QDateEdit::dateChanged, this, &TfmPopupSchedule::ShowNext);
    connect(tmOra, &QTimeEdit::timeChanged, this, &TfmPopupSchedule::ShowNext);
    connect(cbOgniGiorno, &QCheckBox::toggled, this, [this](bool daily) {
        dtGiorno->setEnabled(!daily);
        ShowNext();
    });
    ShowNext();
}

double TfmPopupSchedule::Day() const
{
    return FromQDate(dtGiorno->date());
}

double TfmPopupSchedule::Time() const
{
    return FromQTime(tmOra->time());
}

void TfmPopupSchedule::ShowNext()
{
    lbProssimo->setText(ToQt(TPopupRules::NextSendText(FRules.NextSend(Day(), Time(), cbOgniGiorno->isChecked()))));
}

// ---- the window ----

TfmPopup::TfmPopup(TServices& services, TMessenger& messenger, QWidget* parent)
    : QMainWindow(parent), FServices(services), FMessenger(messenger), FRules(services, messenger)
{
    setObjectName(QStringLiteral("TfmPopup"));
    setWindowTitle(QStringLiteral("Messaggi popup"));
    QToolBar* bar = addToolBar(QStringLiteral("Popup"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    acNuovo = bar->addAction(style()->standardIcon(QStyle::SP_FileIcon), QStringLiteral("&Nuovo messaggio..."));
    acContatto = bar->addAction(QStringLiteral("Nuovo &contatto..."));
    acGruppo = bar->addAction(QStringLiteral("Nuovo &gruppo..."));
    bar->addSeparator();
    acReinvia = bar->addAction(QStringLiteral("&Reinvia"));
    acInviaTutti = bar->addAction(QStringLiteral("I&nvia tutti"));
    acElimina = bar->addAction(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("&Elimina"));

    auto* split = new QSplitter(this);
    tvContatti = new QTreeWidget(split);
    tvContatti->setHeaderLabels({QStringLiteral("Contatti"), QStringLiteral("Descrizione")});
    tvContatti->setContextMenuPolicy(Qt::CustomContextMenu);
    tbMessaggi = new QTabWidget(split);
    for (std::size_t i = 0; i < lvMessaggi.size(); ++i) {
        lvMessaggi[i] = new QTreeWidget(tbMessaggi);
        lvMessaggi[i]->setRootIsDecorated(false);
        lvMessaggi[i]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lvMessaggi[i]->setHeaderLabels({QStringLiteral("Data"), QStringLiteral("Destinatario"),
                                        QStringLiteral("Messaggio"), QStringLiteral("Esito")});
        tbMessaggi->addTab(lvMessaggi[i], QString::fromUtf8(ListTitles[i]));
    }
    split->setStretchFactor(1, 1);
    split->setSizes({260, 560});
    setCentralWidget(split);
    pbInvio = new QProgressBar(this);
    pbInvio->setMaximumWidth(220);
    statusBar()->addPermanentWidget(pbInvio);
    pbInvio->hide();
    resize(820, 460);

    connect(acNuovo, &QAction::triggered, this, [this] { Compose(); });
    connect(acContatto, &QAction::triggered, this, [this] { EditUser(nullptr); });
    connect(acGruppo, &QAction::triggered, this, [this] { EditGroup(nullptr); });
    connect(acReinvia, &QAction::triggered, this, [this] {
        FRules.Resend(SelectedMessages(false));
        Refresh();
    });
    connect(acInviaTutti, &QAction::triggered, this, [this] {
        FRules.Resend(SelectedMessages(true));
        Refresh();
    });
    connect(acElimina, &QAction::triggered, this, [this] {
        if (tvContatti->hasFocus()) {
            DeleteSelectedContact();
            return;
        }
        const auto state = ListStates[static_cast<std::size_t>(tbMessaggi->currentIndex())];
        if (FRules.DeleteList(state))
            Refresh();
    });
    // A message still to send, or a daily one, opens for a new schedule.
    for (QTreeWidget* list : {lvMessaggi[0], lvMessaggi[4]})
        connect(list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
            auto* m = reinterpret_cast<TMsgItem*>(item->data(0, Qt::UserRole).value<quintptr>());
            TfmPopupMsg dialog(FRules, FMessenger, this, m);
            dialog.exec();
            Refresh();
        });
    connect(tvContatti, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (!item || !item->parent())
            return;
        const std::string name = item->text(0).toStdString();
        if (item->data(0, Qt::UserRole).toInt() == 1)
            EditGroup(FMessenger.FindGroup(name));
        else
            EditUser(FMessenger.Users().Find(name));
    });
    connect(tvContatti, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = tvContatti->itemAt(at);
        if (!item || !item->parent())
            return;
        QMenu menu(this);
        const std::string name = item->text(0).toStdString();
        menu.addAction(QStringLiteral("Elimina"), this, [this] { DeleteSelectedContact(); });
        if (item->data(0, Qt::UserRole).toInt() == 0)
            menu.addAction(QStringLiteral("Elimina i messaggi"), this, [this, name] {
                if (FRules.DeleteMessagesOf(name))
                    Refresh();
            });
        menu.exec(tvContatti->viewport()->mapToGlobal(at));
    });
    Refresh();
}

void TfmPopup::Refresh()
{
    tvContatti->clear();
    auto* users = new QTreeWidgetItem(tvContatti, {QStringLiteral("Utenti")});
    for (const auto& u : FMessenger.Users()) {
        auto* i = new QTreeWidgetItem(users, {ToQt(u->N()), ToQt(u->D())});
        i->setData(0, Qt::UserRole, 0);
    }
    auto* groups = new QTreeWidgetItem(tvContatti, {QStringLiteral("Gruppi")});
    for (const auto& g : FMessenger.Groups()) {
        auto* i = new QTreeWidgetItem(groups, {ToQt(g->N()), ToQt(g->D())});
        i->setData(0, Qt::UserRole, 1);
        for (const auto& m : g->U())
            new QTreeWidgetItem(i, {ToQt(m->N()), ToQt(m->D())});
    }
    tvContatti->expandItem(users);
    tvContatti->expandItem(groups);
    tvContatti->resizeColumnToContents(0);
    for (std::size_t k = 0; k < lvMessaggi.size(); ++k) {
        QTreeWidget* list = lvMessaggi[k];
        list->clear();
        for (TMsgItem* m : FMessenger.MsgsByState(ListStates[k])) {
            const std::string result =
                m->Stato() == msError ? PopupErrorText(m->ErrorCode()) : m->Stato() == msSent ? "inviato" : "";
            auto* i = new QTreeWidgetItem(list, {ToQt(FormatDateTime("ddd d mmm yyyy hh:nn:ss", m->DataInvio())),
                                                 ToQt(m->Dest()), ToQt(ReplaceAll(m->Msg(), "\r", "")), ToQt(result)});
            i->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(m)));
        }
        for (int c = 0; c < 2; ++c)
            list->resizeColumnToContents(c);
        list->setColumnWidth(2, std::max(list->columnWidth(2), 260));
        tbMessaggi->setTabText(static_cast<int>(k),
                               QStringLiteral("%1 [%2]").arg(QString::fromUtf8(ListTitles[k])).arg(list->topLevelItemCount()));
    }
    // The bar counts the sends that ended against those that are still running.
    const int sending = FMessenger.CountByState(msSending);
    // Shown only while messages are on their way.
    pbInvio->setVisible(sending > 0);
    if (sending == 0) {
        FDone = 0;
        pbInvio->setRange(0, 1);
        pbInvio->setValue(0);
    } else {
        pbInvio->setRange(0, sending + FDone);
        pbInvio->setValue(FDone);
    }
}

void TfmPopup::SendEnded()
{
    ++FDone;
    Refresh();
}

std::vector<TMsgItem*> TfmPopup::SelectedMessages(bool all) const
{
    std::vector<TMsgItem*> out;
    const QTreeWidget* list = lvMessaggi[static_cast<std::size_t>(tbMessaggi->currentIndex())];
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        if (all || item->isSelected())
            out.push_back(reinterpret_cast<TMsgItem*>(item->data(0, Qt::UserRole).value<quintptr>()));
    }
    return out;
}

void TfmPopup::Compose(const std::function<void(TfmPopupMsg&)>& onOpen)
{
    TfmPopupMsg dialog(FRules, FMessenger, this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    dialog.exec();
    Refresh();
}

void TfmPopup::EditUser(TUserItem* user)
{
    QDialog d(this);
    d.setWindowTitle(user ? QStringLiteral("Contatto") : QStringLiteral("Nuovo contatto"));
    auto* name = new QLineEdit(user ? ToQt(user->N()) : QString(), &d);
    name->setPlaceholderText(QStringLiteral("nome del computer, o NOME@indirizzo"));
    name->setMinimumWidth(name->fontMetrics().horizontalAdvance(name->placeholderText()) + 24);
    auto* description = new QLineEdit(user ? ToQt(user->D()) : QString(), &d);
    auto* form = new QFormLayout(&d);
    form->addRow(QStringLiteral("Nome"), name);
    form->addRow(QStringLiteral("Descrizione"), description);
    auto* buttons = PlainButtons(&d);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &d, [&] {
        if (FRules.SaveUser(user, name->text().toStdString(), description->text().toStdString()))
            d.accept();
    });
    d.exec();
    Refresh();
}

void TfmPopup::EditGroup(TGroupItem* group)
{
    QDialog d(this);
    d.setWindowTitle(group ? QStringLiteral("Gruppo") : QStringLiteral("Nuovo gruppo"));
    auto* name = new QLineEdit(group ? ToQt(group->N()) : QString(), &d);
    auto* description = new QLineEdit(group ? ToQt(group->D()) : QString(), &d);
    auto* members = new QListWidget(&d);
    for (const auto& u : FMessenger.Users()) {
        auto* i = new QListWidgetItem(ToQt(u->N()), members);
        i->setCheckState(group && group->U().Find(u->N()) ? Qt::Checked : Qt::Unchecked);
    }
    auto* form = new QFormLayout(&d);
    form->addRow(QStringLiteral("Nome"), name);
    form->addRow(QStringLiteral("Descrizione"), description);
    form->addRow(QStringLiteral("Componenti"), members);
    auto* buttons = PlainButtons(&d);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &d, [&] {
        std::vector<std::string> chosen;
        for (int i = 0; i < members->count(); ++i)
            if (members->item(i)->checkState() == Qt::Checked)
                chosen.push_back(members->item(i)->text().toStdString());
        if (FRules.SaveGroup(group, name->text().toStdString(), description->text().toStdString(), chosen))
            d.accept();
    });
    d.exec();
    Refresh();
}

void TfmPopup::DeleteSelectedContact()
{
    QTreeWidgetItem* item = tvContatti->currentItem();
    if (!item || !item->parent())
        return;
    const std::string name = item->text(0).toStdString();
    const bool deleted = item->data(0, Qt::UserRole).toInt() == 1 ? FRules.DeleteGroup(name) : FRules.DeleteUser(name);
    if (deleted)
        Refresh();
}

} // namespace qv
