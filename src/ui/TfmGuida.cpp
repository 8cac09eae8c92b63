#include "ui/TfmGuida.h"

#include "app/About.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QSplitter>

static void InitHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace qv {

TfmGuida::TfmGuida(QWidget* parent) : QMainWindow(parent)
{
    InitHelpResources();
    setObjectName(QStringLiteral("TfmGuida"));
    setWindowTitle(QStringLiteral("Guida di Quorvanta"));
    auto* split = new QSplitter(this);
    lbArgomenti = new QListWidget(split);
    for (const THelpTopic& t : HelpTopics()) {
        auto* item = new QListWidgetItem(QString::fromUtf8(t.Title), lbArgomenti);
        item->setData(Qt::UserRole, QString::fromUtf8(t.Id));
    }
    txPagina = new QTextBrowser(split);
    txPagina->setSearchPaths({QStringLiteral(":/help")});
    split->setStretchFactor(1, 1);
    split->setSizes({220, 520});
    setCentralWidget(split);
    resize(780, 520);
    connect(lbArgomenti, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            ShowTopic(item->data(Qt::UserRole).toString());
    });
    ShowTopic(QString::fromUtf8(HelpTopics().front().Id));
}

void TfmGuida::ShowTopic(const QString& id)
{
    FTopic = id;
    txPagina->setSource(QUrl(QStringLiteral("qrc:/help/") + id + QStringLiteral(".html")));
    for (int i = 0; i < lbArgomenti->count(); ++i)
        if (lbArgomenti->item(i)->data(Qt::UserRole).toString() == id && lbArgomenti->currentRow() != i) {
            const QSignalBlocker block(lbArgomenti);
            lbArgomenti->setCurrentRow(i);
        }
}

namespace {

QPointer<TfmGuida>& HelpWindow()
{
    static QPointer<TfmGuida> window;
    return window;
}

// F1 anywhere: the topic of the window that has the keyboard.
class THelpKey : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            QWidget* w = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
            const std::string name = w ? w->objectName().toStdString() : std::string();
            OpenHelp(QString::fromStdString(HelpTopicFor(name)));
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void OpenHelp(const QString& topic)
{
    auto& w = HelpWindow();
    if (!w) {
        w = new TfmGuida;
        w->setAttribute(Qt::WA_DeleteOnClose);
    }
    w->ShowTopic(topic);
    w->show();
    w->raise();
    w->activateWindow();
}

void InstallHelpKey()
{
    static THelpKey* key = nullptr;
    if (!key) {
        key = new THelpKey(qApp);
        qApp->installEventFilter(key);
    }
}

} // namespace qv
