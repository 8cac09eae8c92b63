#include "ui/TfmSmsCompose.h"

#include "ui/QtPrompter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace qv {

namespace {

constexpr int ContactRole = Qt::UserRole;
constexpr int GroupRole = Qt::UserRole + 1;

TSmsNumbersItem* ContactOf(const QTreeWidgetItem* item)
{
    return reinterpret_cast<TSmsNumbersItem*>(item->data(0, ContactRole).value<quintptr>());
}

} // namespace

TfmSmsCompose::TfmSmsCompose(TSmsRules& rules, TSmsNumbersItem* contact, const std::string& group,
                             const TSmsMsgItem* message, QWidget* parent)
    : QDialog(parent), FRules(rules), FCompose(rules)
{
    setObjectName(QStringLiteral("TfmSmsCompose"));
    setWindowTitle(QStringLiteral("Componi il messaggio"));
    cbGateway = new QComboBox(this);
    cbGateway->setObjectName(QStringLiteral("cbGateway"));
    for (const std::string& name : FCompose.GatewayNames())
        cbGateway->addItem(ToQt(name));
    edTesto = new QPlainTextEdit(this);
    edTesto->setObjectName(QStringLiteral("edTesto"));
    edTesto->installEventFilter(this);
    lbCaratteri = new QLabel(this);
    btSuoni = new QToolButton(this);
    btSuoni->setCheckable(true);
    btSuoni->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    btSuoni->setToolTip(QStringLiteral("Suoni durante la digitazione"));
    btSuoni->setChecked(FCompose.TypingSounds());
    gbDestinatari = new QGroupBox(this);
    tvDestinatari = new QTreeWidget(gbDestinatari);
    tvDestinatari->setObjectName(QStringLiteral("tvDestinatari"));
    tvDestinatari->setHeaderHidden(true);
    // Names and numbers are never cut: the column is as wide as its longest line, with a scroll bar
    // when the box is narrower.
    tvDestinatari->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvDestinatari->header()->setStretchLastSection(false);
    auto* gv = new QVBoxLayout(gbDestinatari);
    gv->addWidget(tvDestinatari);
    btInvia = new QPushButton(QStringLiteral("&Invia"), this);
    btAccoda = new QPushButton(QStringLiteral("&Accoda"), this);
    btAccoda->setToolTip(QStringLiteral("Mette il messaggio tra quelli da inviare"));
    auto* annulla = new QPushButton(QStringLiteral("A&nnulla"), this);

    auto* left = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Gateway:"), this));
    top->addWidget(cbGateway, 1);
    top->addWidget(btSuoni);
    left->addLayout(top);
    left->addWidget(edTesto, 1);
    left->addWidget(lbCaratteri);
    auto* body = new QHBoxLayout;
    body->addLayout(left, 3);
    body->addWidget(gbDestinatari, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btInvia);
    buttons->addWidget(btAccoda);
    buttons->addWidget(annulla);
    auto* v = new QVBoxLayout(this);
    v->addLayout(body, 1);
    v->addLayout(buttons);
    resize(640, 360);

    // The recipients: groups with a mark of their own, contacts with theirs.
    for (const TSmsCompose::TGroupNode& node : FCompose.Tree()) {
        auto* g = new QTreeWidgetItem(tvDestinatari, {ToQt(node.Name)});
        g->setData(0, GroupRole, ToQt(node.Name));
        g->setFlags(g->flags() | Qt::ItemIsUserCheckable);
        g->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        for (TSmsNumbersItem* c : node.Contacts) {
            auto* item = new QTreeWidgetItem(g, {ToQt(c->DisplayWithNumber())});
            item->setData(0, ContactRole, QVariant::fromValue(reinterpret_cast<quintptr>(c)));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            if (!c->C().empty())
                item->setToolTip(0, ToQt(c->C()));
        }
        g->setExpanded(true);
    }
    FCompose.Preselect(contact, group, message);
    const int initial = FCompose.InitialGateway();
    cbGateway->setCurrentIndex(initial);
    ShowPicks();
    GatewayChanged();

    connect(cbGateway, &QComboBox::currentIndexChanged, this, [this] { GatewayChanged(); });
    connect(edTesto, &QPlainTextEdit::textChanged, this, [this] { TextChanged(); });
    connect(btSuoni, &QToolButton::toggled, this, [this](bool on) { FCompose.SetTypingSounds(on); });
    connect(tvDestinatari, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (FSyncing)
            return;
        if (item->data(0, GroupRole).isValid())
            FCompose.ToggleGroup(item->data(0, GroupRole).toString().toStdString());
        else
            FCompose.SetPicked(ContactOf(item), item->checkState(0) == Qt::Checked);
        ShowPicks();
    });
    connect(annulla, &QPushButton::clicked, this, &QDialog::reject);
    const auto run = [this](bool send) {
        if (FCompose.Execute(send, Gateway(), edTesto->toPlainText().toStdString()))
            accept();
        else
            UpdateButtons();
    };
    connect(btInvia, &QPushButton::clicked, this, [run] { run(true); });
    connect(btAccoda, &QPushButton::clicked, this, [run] { run(false); });
}

void TfmSmsCompose::ShowPicks()
{
    FSyncing = true;
    for (int i = 0; i < tvDestinatari->topLevelItemCount(); ++i) {
        QTreeWidgetItem* g = tvDestinatari->topLevelItem(i);
        const int state = FCompose.GroupState(g->data(0, GroupRole).toString().toStdString());
        g->setCheckState(0, state == 2 ? Qt::Checked : state == 1 ? Qt::PartiallyChecked : Qt::Unchecked);
        for (int k = 0; k < g->childCount(); ++k)
            g->child(k)->setCheckState(0, FCompose.Picked(ContactOf(g->child(k))) ? Qt::Checked : Qt::Unchecked);
    }
    FSyncing = false;
    gbDestinatari->setTitle(ToQt(FCompose.TitleText()));
    tvDestinatari->setToolTip(ToQt(FCompose.HintText()));
}

void TfmSmsCompose::GatewayChanged()
{
    cbGateway->setToolTip(ToQt(FCompose.GatewayHint(Gateway())));
    edTesto->setEnabled(FCompose.Limit(Gateway()) > 0);
    TextChanged();
    UpdateButtons();
}

void TfmSmsCompose::TextChanged()
{
    const std::string text = edTesto->toPlainText().toStdString();
    const std::string cut = FCompose.Cut(text, Gateway());
    if (cut != text) {
        const QSignalBlocker block(edTesto);
        edTesto->setPlainText(ToQt(cut));
        edTesto->moveCursor(QTextCursor::End);
    }
    lbCaratteri->setText(ToQt(FCompose.RemainingText(cut, Gateway())));
}

void TfmSmsCompose::UpdateButtons()
{
    btInvia->setEnabled(FCompose.CanSend(Gateway()));
    btAccoda->setEnabled(FCompose.CanQueue(Gateway()));
}

bool TfmSmsCompose::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edTesto && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        char32_t c = 0;
        if (key->key() == Qt::Key_Backspace)
            c = U'\b';
        else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            c = U'\r';
        else if (!key->text().isEmpty())
            c = key->text().toUcs4().value(0);
        if (c != 0) {
            const auto length = static_cast<int>(edTesto->toPlainText().toUcs4().size());
            const std::string sound = FCompose.KeySound(TSmsCompose::KeyKind(c), length, Gateway());
            if (!sound.empty() && FRules.Hooks().PlaySound)
                FRules.Hooks().PlaySound(sound);
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace qv
