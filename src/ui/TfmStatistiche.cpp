#include "ui/TfmStatistiche.h"

#include "ui/QtPrompter.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "ui/DateConv.h"
#include "ui/Icons.h"
#include "ui/ReportPrinter.h"
#include "ui/TfmDialogCheapReport.h"
#include "ui/TfmDialogDettagli.h"
#include "ui/TfmWait.h"
#include "core/Strings.h"
#include "ui/FileDialogs.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QCategoryAxis>
#include <QScrollArea>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalStackedBarSeries>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <map>

namespace qv {

namespace {

QColor Rgb(std::uint32_t c)
{
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// The small icons of the status bar and the list: a glyph on a coloured disc.
QIcon GlyphIcon(const QString& glyph, QColor color)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(color.darker(140));
    p.drawEllipse(1, 1, 14, 14);
    QFont f = p.font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, glyph);
    return QIcon(pm);
}

bool NumericColumn(int c)
{
    return c == 3 || c == 5 || c == 6 || c == 9 || c == 10 || c == 11;
}

const char* const MeasureCaptions[] = {"Costo in £ire", "Costo in €uro", "Tempo", "Scatti", "Volume di traffico"};
// The volume is grouped by plan and by cycle where the connection log has entries and connections.
const char* const VolumeGroupCaptions[] = {"&Piani", "&Cicli"};
const char* const GroupCaptions[] = {"&Tipi", "&Connessioni", "&Giorni", "&Mesi", "&Anni"};

} // namespace

// ---- the list model ----

int TStatsListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FStats.Rows().size());
}

int TStatsListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(BranchColumnCount) + (EndReason ? 1 : 0);
}

QVariant TStatsListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= FStats.Rows().size())
        return {};
    const TDataUnitsItem& u = *FStats.Rows()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        if (static_cast<std::size_t>(index.column()) == BranchColumnCount)
            return EndReason ? QString::fromStdString(EndReason(u)) : QString();
        return QString::fromStdString(BranchCell(u, static_cast<std::size_t>(index.column())));
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(NumericColumn(index.column()) ? Qt::AlignRight | Qt::AlignVCenter
                                                                 : Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::DecorationRole && index.column() == 0) {
        static const QIcon icon = GlyphIcon(QStringLiteral("☎"), QColor(60, 110, 170));
        return icon;
    }
    return {};
}

QVariant TStatsListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        static_cast<std::size_t>(section) < BranchColumnCount)
        return QString::fromUtf8(BranchColumns[static_cast<std::size_t>(section)]);
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && static_cast<std::size_t>(section) == BranchColumnCount)
        return QStringLiteral("Fine");
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---- the window ----

TfmStatistiche::TfmStatistiche(TServices& services, TDataModule& dataModule, std::function<TTaxItem*()> currentTax,
                               std::function<std::string()> lastComparison, QWidget* parent)
    : QMainWindow(parent), FServices(services), FData(dataModule), FCurrentTax(std::move(currentTax)),
      FLastComparison(std::move(lastComparison)), FStats(services, dataModule.Connections)
{
    setObjectName(QStringLiteral("TfmStatistiche"));
    setWindowTitle(QStringLiteral("Statistiche"));
    FStats.Plans = &dataModule.Plans;
    setWindowFlag(Qt::Window);

    // Tool bar: the two views, export, import, print, PDF, measure and grouping, legend.
    QToolBar* bar = addToolBar(QStringLiteral("Strumenti"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* views = new QActionGroup(this);
    tbDettagli = bar->addAction(ThemeIcon("view-list-details", TDrawnIcon::Details), QStringLiteral("&Dettagli"));
    tbGrafico = bar->addAction(ThemeIcon("office-chart-bar", TDrawnIcon::Chart), QStringLiteral("G&rafico"));
    for (QAction* a : {tbDettagli, tbGrafico}) {
        a->setCheckable(true);
        views->addAction(a);
    }
    bar->addSeparator();
    auto* measureButton = new QToolButton(bar);
    measureButton->setText(QStringLiteral("&Valori"));
    measureButton->setPopupMode(QToolButton::InstantPopup);
    auto* measureMenu = new QMenu(measureButton);
    auto* measures = new QActionGroup(this);
    for (std::size_t i = 0; i < acMisura.size(); ++i) {
        acMisura[i] = measureMenu->addAction(QString::fromUtf8(MeasureCaptions[i]));
        acMisura[i]->setCheckable(true);
        measures->addAction(acMisura[i]);
        connect(acMisura[i], &QAction::triggered, this, [this, i] { FStats.ChooseMeasure(static_cast<TChartMeasure>(i)); });
    }
    measureButton->setMenu(measureMenu);
    bar->addWidget(measureButton);
    auto* groupButton = new QToolButton(bar);
    groupButton->setText(QStringLiteral("Ra&ggruppa per"));
    groupButton->setPopupMode(QToolButton::InstantPopup);
    auto* groupMenu = new QMenu(groupButton);
    auto* groups = new QActionGroup(this);
    for (std::size_t i = 0; i < acRaggruppa.size(); ++i) {
        acRaggruppa[i] = groupMenu->addAction(QString::fromUtf8(GroupCaptions[i]));
        acRaggruppa[i]->setCheckable(true);
        groups->addAction(acRaggruppa[i]);
        connect(acRaggruppa[i], &QAction::triggered, this, [this, i] { FStats.ChooseGroup(static_cast<TChartGroup>(i)); });
    }
    groupMenu->addSeparator();
    acLeggenda = groupMenu->addAction(QStringLiteral("&Legenda"));
    acLeggenda->setCheckable(true);
    groupButton->setMenu(groupMenu);
    bar->addWidget(groupButton);
    bar->addSeparator();
    acEsporta = bar->addAction(ThemeIcon("document-export", TDrawnIcon::Export), QStringLiteral("&Esporta..."));
    acEsporta->setToolTip(QStringLiteral("Esporta tutte le connessioni in un file di testo"));
    acImporta = bar->addAction(ThemeIcon("document-import", TDrawnIcon::Import), QStringLiteral("&Importa..."));
    acImporta->setToolTip(QStringLiteral("Aggiunge le connessioni di un file di testo"));
    acStampa = bar->addAction(ThemeIcon("document-print", TDrawnIcon::Print), QStringLiteral("Stam&pa..."));
    acStampa->setToolTip(QStringLiteral("Stampa il grafico o il ramo selezionato"));
    acPdf = bar->addAction(ThemeIcon("application-pdf", TDrawnIcon::Pdf), QStringLiteral("Salva come PD&F..."));
    acPdf->setToolTip(QStringLiteral("Salva il grafico o il ramo selezionato come PDF"));
    // The file and print commands show their icons only, so the tool bar fits its window.
    for (QAction* a : {acEsporta, acImporta, acStampa, acPdf})
        a->setPriority(QAction::LowPriority);
    bar->addSeparator();
    acRicalcola = bar->addAction(ThemeIcon("view-refresh", TDrawnIcon::Refresh), QStringLiteral("Ri&calcola il periodo..."));
    acRicalcola->setToolTip(QStringLiteral("Quanto sarebbero costate le connessioni del periodo con ogni tariffa"));
    acConfronto = bar->addAction(ThemeIcon("preferences-other", TDrawnIcon::Compare), QStringLiteral("Avviso &tariffa migliore..."));
    acConfronto->setToolTip(QStringLiteral("Come avvisare, a fine connessione, che un'altra tariffa sarebbe costata meno"));
    acConfronto->setPriority(QAction::LowPriority);

    FPages = new QStackedWidget(this);
    setCentralWidget(FPages);

    // Details: the tree beside the list.
    pnSplitter = new QSplitter(FPages);
    tvTree = new QTreeWidget(pnSplitter);
    tvTree->setHeaderHidden(true);
    tvTree->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* right = new QWidget(pnSplitter);
    auto* rv = new QVBoxLayout(right);
    rv->setContentsMargins(0, 0, 0, 0);
    lbHeader = new QLabel(right);
    QFont hf = lbHeader->font();
    hf.setBold(true);
    lbHeader->setFont(hf);
    lbHeader->setMargin(4);
    rv->addWidget(lbHeader);
    lvList = new QTableView(right);
    ListModel = new TStatsListModel(FStats, this);
    lvList->setModel(ListModel);
    lvList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvList->verticalHeader()->hide();
    lvList->verticalHeader()->setDefaultSectionSize(lvList->fontMetrics().height() + 6);
    lvList->setContextMenuPolicy(Qt::CustomContextMenu);
    lvList->setWordWrap(false);
    lvList->installEventFilter(this);
    rv->addWidget(lvList, 1);
    lbSearching = new QLabel(QStringLiteral("Ricerca delle connessioni..."), lvList);
    lbSearching->setAlignment(Qt::AlignCenter);
    lbSearching->setStyleSheet(QStringLiteral("background: rgba(255,255,225,230); border: 1px solid gray; padding: 12px;"));
    lbSearching->hide();
    pnSplitter->setStretchFactor(1, 1);
    FPages->addWidget(pnSplitter);

    // Chart: the two date pickers above the bars.
    FChartPanel = new QWidget(FPages);
    auto* cv = new QVBoxLayout(FChartPanel);
    auto* range = new QHBoxLayout;
    CalendInizio = new QDateTimeEdit(FChartPanel);
    CalendFine = new QDateTimeEdit(FChartPanel);
    for (QDateTimeEdit* e : {CalendInizio, CalendFine}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("d MMMM yyyy"));
    }
    range->addWidget(new QLabel(QStringLiteral("Dal"), FChartPanel));
    range->addWidget(CalendInizio);
    range->addWidget(new QLabel(QStringLiteral("al"), FChartPanel));
    range->addWidget(CalendFine);
    range->addStretch();
    cv->addLayout(range);
    FChart = new QChart;
    FChart->setAnimationOptions(QChart::NoAnimation);
    // The title's font is set once: a refresh changes its text only.
    QFont titleFont = FChart->titleFont();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 2);
    FChart->setTitleFont(titleFont);
    FCategoryAxis = new QBarCategoryAxis(FChart);
    FValueAxis = new QCategoryAxis(FChart);
    FValueAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    FChart->addAxis(FCategoryAxis, Qt::AlignLeft);
    FChart->addAxis(FValueAxis, Qt::AlignTop);
    chChart = new QChartView(FChart);
    chChart->setRenderHint(QPainter::Antialiasing);
    auto* chartScroll = new QScrollArea(FChartPanel);
    chartScroll->setWidgetResizable(true);
    chartScroll->setFrameShape(QFrame::NoFrame);
    chartScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    chartScroll->setWidget(chChart);
    cv->addWidget(chartScroll, 1);
    FPages->addWidget(FChartPanel);

    // Five panels with their icons: description, lire, euro, time, pulses.
    static const char* glyphs[] = {"£", "€", "⌚", "#"};
    static const QColor colors[] = {QColor(40, 130, 60), QColor(40, 80, 160), QColor(170, 110, 20), QColor(150, 40, 40)};
    for (std::size_t i = 0; i < Panels.size(); ++i) {
        auto* panel = new QWidget(this);
        auto* h = new QHBoxLayout(panel);
        h->setContentsMargins(2, 0, 6, 0);
        h->setSpacing(2);
        if (i > 0) {
            auto* icon = new QLabel(panel);
            icon->setPixmap(GlyphIcon(QString::fromUtf8(glyphs[i - 1]), colors[i - 1]).pixmap(16, 16));
            h->addWidget(icon);
        }
        Panels[i] = new QLabel(panel);
        h->addWidget(Panels[i]);
        statusBar()->addWidget(panel, i == 0 ? 1 : 0);
    }
    lbBudget = new QLabel(this);
    statusBar()->addPermanentWidget(lbBudget);
    ListModel->EndReason = [this](const TDataUnitsItem& u) {
        const auto reason = FData.Budgets.EndOf(u.I());
        return reason ? std::string(EndReasonText(*reason)) : std::string();
    };

    // The rules' notifications.
    FStats.OnTreeBuilt = [this] { BuildTree(); };
    FStats.OnBranchShown = [this] { ShowRows(); };
    FStats.OnChartRefreshed = [this] { ShowChart(); };
    FStats.OnTotals = [this] {
        // Each panel as wide as its text.
        // Beside their icons the amounts and the time go without their words ("£ire", "€uro",
        // "Tempo totale"), which stay in the tooltip: the period keeps room for its whole dates.
        static const QString words[] = {QString(), QString::fromUtf8("£ire "), QString::fromUtf8("€uro "),
                                        QStringLiteral("Tempo totale "), QString()};
        for (std::size_t i = 0; i < Panels.size(); ++i) {
            const QString full = QString::fromStdString(FStats.Totals()[i]).trimmed();
            QString text = full;
            if (!words[i].isEmpty() && text.startsWith(words[i]))
                text = text.mid(words[i].size()).trimmed();
            Panels[i]->setText(text);
            Panels[i]->setToolTip(full);
            Panels[i]->setMinimumWidth(Panels[i]->fontMetrics().horizontalAdvance(text) + 4);
        }
        lbBudget->setText(BudgetText ? QString::fromStdString(BudgetText()) : QString());
    };
    FStats.OnViewChanged = [this] { ShowView(); };

    connect(tbDettagli, &QAction::triggered, this, [this] { FStats.SetChartView(false); });
    connect(tbGrafico, &QAction::triggered, this, [this] { FStats.SetChartView(true); });
    connect(acLeggenda, &QAction::toggled, this, [this](bool on) {
        FStats.Options.Legend = on;
        FChart->legend()->setVisible(on);
    });
    connect(acEsporta, &QAction::triggered, this, [this] { Export(false); });
    connect(acImporta, &QAction::triggered, this, [this] { Import(); });
    connect(acStampa, &QAction::triggered, this, [this] {
        const TPrintRequest r = FStats.PrintShown();
        if (r.Kind != TPrintRequest::None)
            Print(r);
    });
    connect(acPdf, &QAction::triggered, this, [this] { SavePdfShown(); });
    connect(acRicalcola, &QAction::triggered, this, [this] { Reprice(); });
    connect(acConfronto, &QAction::triggered, this, [this] {
        TProfileItem* profile = FData.Status.Profile();
        if (!profile)
            return;
        TfmDialogCheapReport dialog(FServices.Clk, *profile, FLastComparison ? FLastComparison() : std::string(), this);
        dialog.exec();
    });
    // The tree reports a new selection after 200 ms; the list changes only when it really changed.
    FTreeDelay.setSingleShot(true);
    FTreeDelay.setInterval(200);
    connect(tvTree, &QTreeWidget::currentItemChanged, this, [this] { FTreeDelay.start(); });
    connect(&FTreeDelay, &QTimer::timeout, this, [this] {
        QTreeWidgetItem* item = tvTree->currentItem();
        FStats.ShowBranch(item ? item->data(0, Qt::UserRole).toInt() : -1, false);
    });
    connect(tvTree, &QWidget::customContextMenuRequested, this, &TfmStatistiche::TreeMenu);
    connect(lvList, &QWidget::customContextMenuRequested, this, &TfmStatistiche::ListMenu);
    connect(lvList, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { EditConnection(i.row()); });
    const auto rangeChanged = [this] {
        if (!FRangeLoading)
            FStats.SetRange(FromQDateTime(CalendInizio->dateTime()), FromQDateTime(CalendFine->dateTime()));
    };
    connect(CalendInizio, &QDateTimeEdit::dateTimeChanged, this, rangeChanged);
    connect(CalendFine, &QDateTimeEdit::dateTimeChanged, this, rangeChanged);
    connect(FChart, &QChart::plotAreaChanged, this, [this] { PlaceMarks(); });

    // Geometry, view, legend, column widths and tree width as last left.
    FStats.Options.LoadLayout(FServices.Registry);
    resize(FStats.Options.Width, FStats.Options.Height);
    if (FStats.Options.Left >= 0 && FStats.Options.Top >= 0)
        move(FStats.Options.Left, FStats.Options.Top);
    acLeggenda->setChecked(FStats.Options.Legend);
    FChart->legend()->setVisible(FStats.Options.Legend);
    FChart->legend()->setAlignment(Qt::AlignRight);
    // Columns never resized by the user are as wide as their caption or a long value of theirs.
    static const char* const samples[BranchColumnCount] = {
        "30 dic 2026 mer", "23:59:59", "23:59:59", "9999", "23 h 59 min 59 sec", "1.999.999,00",
        "1.999,999", "Fornitore di esempio", "255.255.255.255", "115.200", "999.999.999", "999.999.999"};
    const QFontMetrics cells = lvList->fontMetrics();
    const QFontMetrics captions = lvList->horizontalHeader()->fontMetrics();
    for (std::size_t c = 0; c < BranchColumnCount; ++c) {
        const auto it = FStats.Options.ColumnWidths.find(BranchColumns[c]);
        const int fit = std::max(cells.horizontalAdvance(QString::fromUtf8(samples[c])) + (c == 0 ? 48 : 24),
                                 captions.horizontalAdvance(QString::fromUtf8(BranchColumns[c])) + 24);
        lvList->setColumnWidth(static_cast<int>(c), it != FStats.Options.ColumnWidths.end() ? it->second : fit);
    }
    pnSplitter->setSizes({FStats.Options.TreeWidth, std::max(200, FStats.Options.Width - FStats.Options.TreeWidth)});
    ShowView();
}

TfmStatistiche::~TfmStatistiche()
{
    FStats.OnTreeBuilt = nullptr;
    FStats.OnBranchShown = nullptr;
    FStats.OnChartRefreshed = nullptr;
    FStats.OnTotals = nullptr;
    FStats.OnViewChanged = nullptr;
}

void TfmStatistiche::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (FStats.Activated())
        return;
    FStats.Activate();
    FRangeLoading = true;
    CalendInizio->setDateTime(ToQDateTime(FStats.RangeFrom()));
    CalendFine->setDateTime(ToQDateTime(FStats.RangeTo()));
    FRangeLoading = false;
    acMisura[static_cast<std::size_t>(FStats.Measure())]->setChecked(true);
    acRaggruppa[static_cast<std::size_t>(FStats.Group())]->setChecked(true);
}

void TfmStatistiche::closeEvent(QCloseEvent* event)
{
    TStatsOptions& o = FStats.Options;
    o.Top = y();
    o.Left = x();
    o.Height = height();
    o.Width = width();
    for (std::size_t c = 0; c < BranchColumnCount; ++c)
        o.ColumnWidths[BranchColumns[c]] = lvList->columnWidth(static_cast<int>(c));
    if (!pnSplitter->sizes().isEmpty())
        o.TreeWidth = pnSplitter->sizes().first();
    o.Save(FServices.Registry);
    QMainWindow::closeEvent(event);
}

bool TfmStatistiche::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lvList && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete) {
            DeleteSelected();
            return true;
        }
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && lvList->currentIndex().isValid()) {
            EditConnection(lvList->currentIndex().row());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfmStatistiche::ShowView()
{
    const bool chart = FStats.ChartView();
    FPages->setCurrentWidget(chart ? FChartPanel : static_cast<QWidget*>(pnSplitter));
    tbGrafico->setChecked(chart);
    tbDettagli->setChecked(!chart);
}

void TfmStatistiche::BuildTree()
{
    // The tree is filled with its signals held, then the day asked for is selected.
    const QSignalBlocker block(tvTree);
    tvTree->setUpdatesEnabled(false);
    tvTree->clear();
    const TStatsTree& tree = FStats.Tree();
    std::vector<QTreeWidgetItem*> items(tree.Nodes.size(), nullptr);
    static const QIcon icons[] = {style()->standardIcon(QStyle::SP_DriveNetIcon),
                                  style()->standardIcon(QStyle::SP_DirIcon),
                                  style()->standardIcon(QStyle::SP_DirOpenIcon),
                                  style()->standardIcon(QStyle::SP_FileIcon)};
    for (std::size_t n = 0; n < tree.Nodes.size(); ++n) {
        const TStatsNode& node = tree.Nodes[n];
        auto* item = node.Parent < 0 ? new QTreeWidgetItem(tvTree)
                                     : new QTreeWidgetItem(items[static_cast<std::size_t>(node.Parent)]);
        item->setText(0, QString::fromStdString(node.Data.Text));
        item->setToolTip(0, QString::fromStdString(node.Data.Description));
        item->setIcon(0, icons[std::clamp(node.Data.Level, 0, 3)]);
        item->setData(0, Qt::UserRole, static_cast<int>(n));
        items[n] = item;
    }
    if (tree.Selected >= 0) {
        QTreeWidgetItem* item = items[static_cast<std::size_t>(tree.Selected)];
        tvTree->setCurrentItem(item);
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
            p->setExpanded(true);
    } else if (!items.empty()) {
        items[0]->setExpanded(true);
    }
    tvTree->setUpdatesEnabled(true);
}

void TfmStatistiche::ShowRows()
{
    const bool busy = FStats.Rows().size() > 100;
    if (busy) {
        // The searching notice over the list while many rows load.
        lbSearching->resize(lbSearching->sizeHint());
        lbSearching->move((lvList->width() - lbSearching->width()) / 2, (lvList->height() - lbSearching->height()) / 2);
        lbSearching->show();
        lbSearching->repaint();
    }
    const int node = FStats.SelectedNode();
    lbHeader->setText(node >= 0 ? QString::fromStdString(FStats.Tree().Nodes[static_cast<std::size_t>(node)].Data.Description)
                                : QString());
    ListModel->Reset();
    lbSearching->hide();
}

void TfmStatistiche::ShowChart()
{
    const TChartData& chartData = FStats.Chart();
    for (QGraphicsSimpleTextItem* m : FMarks)
        delete m;
    FMarks.clear();
    FChart->removeAllSeries();
    FChart->setTitle(QString::fromStdString(chartData.Title) +
                     (chartData.Note.empty() ? QString() : QStringLiteral("<br><small>%1</small>").arg(ToQt(chartData.Note))));
    const bool volume = FStats.Measure() == TChartMeasure::Volume;
    for (std::size_t i = 0; i < 2; ++i)
        acRaggruppa[i]->setText(QString::fromUtf8(volume ? VolumeGroupCaptions[i] : GroupCaptions[i]));

    // One stacked set per colour, so each bar keeps its own colour: a bar has its value in the set
    // of its colour and 0 in the others.
    double maxValue = 0;
    for (const TChartPoint& p : chartData.Points)
        maxValue = std::max(maxValue, p.Value);
    const TChartScale scale = ChartScale(FStats.Measure(), maxValue);
    auto* series = new QHorizontalStackedBarSeries;
    series->setBarWidth(0.7);
    std::map<std::uint32_t, QBarSet*> sets;
    std::map<std::uint32_t, QStringList> names;
    const int count = static_cast<int>(chartData.Points.size());
    QStringList categories;
    for (int i = 0; i < count; ++i)
        categories << QString::fromStdString(chartData.Points[static_cast<std::size_t>(i)].Label);
    // The sets are made in the order of the groups, so the legend reads from the first group.
    for (int i = count - 1; i >= 0; --i) {
        const TChartPoint& p = chartData.Points[static_cast<std::size_t>(i)];
        QBarSet*& set = sets[p.Color];
        if (!set) {
            set = new QBarSet(QString());
            for (int k = 0; k < count; ++k)
                set->append(0);
            QLinearGradient g(0, 0, 1, 0);
            g.setCoordinateMode(QGradient::ObjectBoundingMode);
            g.setColorAt(0, Rgb(p.Color).lighter(160));
            g.setColorAt(1, Rgb(p.Color));
            set->setBrush(g);
            set->setPen(QPen(Rgb(p.Color).darker(170), 0.8));
            series->append(set);
        }
        set->replace(i, p.Value * scale.Factor);
        // The legend names the colour: its month, or the groups that have it with their values.
        if (p.MonthColored) {
            for (int m = 1; m <= 12; ++m)
                if (MonthColor(m) == p.Color)
                    names[p.Color] = QStringList{QString::fromUtf8(LongMonthName(m))};
        } else {
            names[p.Color] << QString::fromStdString(p.Label + "  " + p.Mark);
        }
    }
    for (auto& [color, set] : sets) {
        QStringList& n = names[color];
        QString label = n.mid(0, 3).join(QStringLiteral(", "));
        if (n.size() > 3)
            label += QStringLiteral(", …");
        set->setLabel(label);
    }
    FChart->addSeries(series);
    // The two axes live as long as the chart and are refilled: an axis removed from a chart
    // leaves its labels drawn.
    FCategoryAxis->clear();
    FCategoryAxis->append(categories);
    // The value axis labelled by the program's own formatter: whole steps in Italian forms.
    for (const QString& label : FValueAxis->categoriesLabels())
        FValueAxis->remove(label);
    FValueAxis->setStartValue(0);
    for (const TChartTick& tick : scale.Ticks)
        FValueAxis->append(QString::fromStdString(tick.Label), tick.Value);
    FValueAxis->setRange(0, scale.Top);
    series->attachAxis(FCategoryAxis);
    series->attachAxis(FValueAxis);
    FChart->legend()->setVisible(FStats.Options.Legend);
    // Many bars (a year of days) scroll: each keeps a readable height with its label.
    chChart->setMinimumHeight(count > 24 ? count * 26 + 140 : 0);
    // The marks: each bar's value as text at its end.
    for (int i = 0; i < count; ++i) {
        auto* mark = new QGraphicsSimpleTextItem(QString::fromStdString(chartData.Points[static_cast<std::size_t>(i)].Mark), FChart);
        mark->setZValue(10);
        FMarks.push_back(mark);
    }
    PlaceMarks();
}

void TfmStatistiche::PlaceMarks()
{
    const auto series = FChart->series();
    if (series.isEmpty())
        return;
    const TChartData& chartData = FStats.Chart();
    double maxValue = 0;
    for (const TChartPoint& p : chartData.Points)
        maxValue = std::max(maxValue, p.Value);
    const double factor = ChartScale(FStats.Measure(), maxValue).Factor;
    const QRectF plot = FChart->plotArea();
    // Too many bars for readable marks: the marks are left out.
    const bool room = !FMarks.empty() && plot.height() / static_cast<double>(FMarks.size()) >= 11;
    for (std::size_t i = 0; i < FMarks.size() && i < chartData.Points.size(); ++i) {
        QGraphicsSimpleTextItem* mark = FMarks[i];
        const QPointF at = FChart->mapToPosition(QPointF(chartData.Points[i].Value * factor, static_cast<double>(i)),
                                                 series.first());
        const QRectF text = mark->boundingRect();
        mark->setVisible(room);
        // After the bar's end; a value too long for the room left goes inside the bar's end, in a
        // colour that reads on the bar's.
        double x = at.x() + 4;
        QColor ink = palette().color(QPalette::Text);
        if (x + text.width() > plot.right() && at.x() - plot.left() > text.width() + 8) {
            x = at.x() - text.width() - 4;
            ink = ReadableInk(Rgb(chartData.Points[i].Color));
        }
        mark->setBrush(ink);
        mark->setPos(x, at.y() - text.height() / 2);
    }
}

std::vector<std::size_t> TfmStatistiche::SelectedRows() const
{
    std::vector<std::size_t> rows;
    for (const QModelIndex& i : lvList->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(i.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfmStatistiche::DeleteSelected()
{
    FStats.DeleteSelected(SelectedRows());
}

void TfmStatistiche::NewConnection(const std::function<void(QDialog&)>& onOpen)
{
    TConnectionDialog rules(FServices, FData.Connections, FData.Taxations, FCurrentTax ? FCurrentTax() : nullptr,
                            &FData.Sounds());
    TfmDialogInsDettagli dialog(rules, FData.Taxations, this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    if (dialog.exec() == QDialog::Accepted)
        FStats.ConnectionEdited(rules.AcceptedStart());
}

void TfmStatistiche::EditConnection(int row, const std::function<void(QDialog&)>& onOpen)
{
    if (row < 0 || static_cast<std::size_t>(row) >= FStats.Rows().size())
        return;
    TConnectionDialog rules(FServices, FData.Connections, FData.Taxations, FCurrentTax ? FCurrentTax() : nullptr,
                            &FData.Sounds(), FStats.Rows()[static_cast<std::size_t>(row)]);
    TfmDialogModDettagli dialog(rules, FData.Taxations, this);
    if (onOpen)
        QTimer::singleShot(0, &dialog, [&dialog, &onOpen] { onOpen(dialog); });
    if (dialog.exec() == QDialog::Accepted)
        FStats.ConnectionEdited(rules.AcceptedStart());
}

void TfmStatistiche::TreeMenu(const QPoint& at)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Es&porta..."), this, [this] { Export(true); });
    menu.addAction(QStringLiteral("&Stampa..."), acStampa, &QAction::trigger);
    menu.addAction(QStringLiteral("Salva come PDF..."), this, [this] { SavePdfShown(); });
    menu.addSeparator();
    QAction* del = menu.addAction(QStringLiteral("Elimina"), this, [this] { FStats.DeleteAll(); });
    del->setEnabled(!FStats.Rows().empty());
    menu.exec(tvTree->viewport()->mapToGlobal(at));
}

void TfmStatistiche::ListMenu(const QPoint& at)
{
    const std::vector<std::size_t> selected = SelectedRows();
    const TStatistics::TListMenu state = FStats.ListMenu(selected.size());
    QMenu menu(this);
    menu.addAction(QStringLiteral("Nuova"), this, [this] { NewConnection(); });
    menu.addAction(QStringLiteral("Modifica"), this, [this] { EditConnection(lvList->currentIndex().row()); })
        ->setEnabled(state.Modify);
    menu.addAction(QStringLiteral("Elimina"), this, [this] { DeleteSelected(); })->setEnabled(state.Delete);
    menu.addAction(QStringLiteral("E&limina tutte"), this, [this] { FStats.DeleteAll(); })->setEnabled(state.DeleteAll);
    menu.addSeparator();
    menu.addAction(QStringLiteral("E&sporta ramo selezionato..."), this, [this] { Export(true); });
    menu.addAction(QStringLiteral("I&mporta"), this, [this] { Import(); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("&Stampa..."), this, [this] { Print(FStats.PrintList()); })->setEnabled(state.Print);
    menu.addAction(QStringLiteral("Salva come PDF..."), this, [this] {
        const QString file = SaveFileName(this, QStringLiteral("Salva come PDF"), TFileKind::Documents,
                                         QStringLiteral("Connessioni.pdf"), QStringLiteral("PDF (*.pdf)"));
        if (!file.isEmpty())
            SavePdf(FStats.PrintList(), file);
    })->setEnabled(state.Print);
    menu.exec(lvList->viewport()->mapToGlobal(at));
}

void TfmStatistiche::Export(bool branch)
{
    QString proposed = QStringLiteral("Connessioni.txt");
    if (branch) {
        const std::string name = FStats.BranchExportName();
        if (name.empty())
            return;
        proposed = QString::fromStdString(name) + QStringLiteral(".txt");
    }
    const QString file = SaveFileName(this, QStringLiteral("Esporta i dati delle connessioni in formato testo"),
                                     TFileKind::Documents, proposed, QStringLiteral("Testo (*.txt)"));
    if (file.isEmpty())
        return;
    if (branch)
        FStats.ExportBranch(file.toStdString());
    else
        FStats.ExportAll(file.toStdString());
}

void TfmStatistiche::Import()
{
    const QString file = OpenFileName(this, QStringLiteral("Importa i dati delle connessioni"), TFileKind::Documents,
                                     QStringLiteral("Testo (*.txt)"));
    if (!file.isEmpty())
        FStats.Import(file.toStdString());
}

TReportRender TfmStatistiche::Render(const TPrintRequest& request)
{
    if (request.Kind == TPrintRequest::Chart) {
        const TChartData chart = FStats.Chart();
        const auto totals = FStats.Totals();
        const bool legend = FStats.Options.Legend;
        const double now = FServices.Clk.Now();
        return [chart, totals, legend, now](IReportCanvas& c) { return RenderChartReport(c, chart, totals, legend, now); };
    }
    std::vector<TDetailsRow> rows = DetailsRows(request.Elements);
    const double now = FServices.Clk.Now();
    if (FStats.Plans)
        AppendPlanRows(rows, request.Elements, *FStats.Plans, now);
    return [rows, now](IReportCanvas& c) { return RenderDetailsReport(c, rows, now); };
}

void TfmStatistiche::Print(const TPrintRequest& request)
{
    PrintReport(Render(request), request.Kind == TPrintRequest::Chart, false, FServices.Prompter, this);
}

bool TfmStatistiche::SavePdf(const TPrintRequest& request, const QString& fileName)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = SaveReportPdf(Render(request), request.Kind == TPrintRequest::Chart, fileName);
    QApplication::restoreOverrideCursor();
    if (!ok)
        ShowError(FServices.Prompter, "Impossibile salvare il file " + fileName.toStdString() +
                                          "\r\rControllare che il supporto non sia a sola lettura o che non sia "
                                          "esaurito lo spazio su disco!");
    return ok;
}

void TfmStatistiche::SavePdfShown(const QString& fileName)
{
    const TPrintRequest request = FStats.PrintShown();
    if (request.Kind == TPrintRequest::None)
        return;
    QString file = fileName;
    if (file.isEmpty())
        file = SaveFileName(this, QStringLiteral("Salva come PDF"), TFileKind::Documents,
                                            QString::fromStdString(request.Kind == TPrintRequest::Chart
                                                                       ? FStats.Chart().Title
                                                                       : std::string("Dettagli delle connessioni")) +
                                                QStringLiteral(".pdf"),
                                            QStringLiteral("PDF (*.pdf)"));
    if (!file.isEmpty())
        SavePdf(request, file);
}

void TfmStatistiche::Reprice(const std::function<void(const TRepricingResult&)>& onDone)
{
    if (FRepricing && FRepricing->Running())
        return;
    const double from = FStats.RangeFrom();
    const double to = FStats.RangeTo();
    FRepricing = std::make_unique<TRepricingTask>(FServices, FData.Taxations, FData.Agenda,
                                                  RepricingSpans(FData.Connections, from, to));
    static bool cancelFlag = false;
    QPointer<TfmWait> wait = TfmWait::ShowWait(this, cancelFlag);
    wait->UpdateWait(QStringLiteral("Calcolo dei costi delle tariffe..."), 0);
    connect(wait->btAnnulla, &QPushButton::clicked, this, [this] {
        if (FRepricing)
            FRepricing->Cancel();
    });
    FRepricing->OnProgress = [wait](const std::string& text, int percent) {
        if (wait)
            wait->UpdateWait(QString::fromStdString(text), percent);
    };
    FRepricing->OnDone = [this, wait, onDone, from, to](const TRepricingResult& result) {
        if (wait)
            wait->CloseWait();
        if (!result.Error.empty()) {
            ShowError(FServices.Prompter, result.Error);
            return;
        }
        if (onDone) {
            onDone(result);
            return;
        }
        if (result.Cancelled)
            return;
        // The tariffs ranked by what the period would have cost.
        QDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("Ricalcolo del periodo"));
        auto* v = new QVBoxLayout(&dialog);
        v->addWidget(new QLabel(QString::fromStdString(
            std::to_string(result.Connections) + " connessioni dal " + FormatDateTime("d mmmm yyyy", from) + " al " +
            FormatDateTime("d mmmm yyyy", to) + ", pagate £ " + Trim(FormatPattern("%3.0n", result.Paid))), &dialog));
        auto* table = new QTableWidget(static_cast<int>(result.Rows.size()), 4, &dialog);
        table->setHorizontalHeaderLabels({QStringLiteral("Tariffa"), QString::fromUtf8("Costo £"), QStringLiteral("Scatti"),
                                          QString::fromUtf8("Risparmio £")});
        table->verticalHeader()->hide();
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        for (int r = 0; r < static_cast<int>(result.Rows.size()); ++r) {
            const TRepricingRow& row = result.Rows[static_cast<std::size_t>(r)];
            const auto cell = [&](int c, const std::string& text, bool right) {
                auto* item = new QTableWidgetItem(QString::fromStdString(text));
                if (right)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table->setItem(r, c, item);
            };
            cell(0, row.Tariff, false);
            cell(1, Trim(FormatPattern("%3.0n", row.Total)), true);
            cell(2, std::to_string(row.Pulses), true);
            cell(3, Trim(FormatPattern("%3.0n", row.Saving)), true);
        }
        table->resizeColumnsToContents();
        table->horizontalHeader()->setStretchLastSection(true);
        v->addWidget(table);
        // Beside the tariffs, the data plans: what the period's traffic would have cost under each.
        if (FStats.Plans && !FStats.Plans->PlanList().empty()) {
            const auto plans = ComparePlans(FStats.Plans->PlanList(), FStats.Plans->Usage(), std::floor(from),
                                            std::floor(to) + 1);
            auto* label = new QLabel(QStringLiteral("Il traffico del periodo con ciascun piano dati:\n") +
                                         ToQt(PlanComparisonText(plans)).trimmed(),
                                     &dialog);
            label->setObjectName(QStringLiteral("lbPianiDati"));
            v->addWidget(label);
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        v->addWidget(buttons);
        dialog.resize(620, 480);
        dialog.exec();
    };
    FRepricing->Start();
}

} // namespace qv
