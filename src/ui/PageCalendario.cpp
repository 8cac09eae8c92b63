#include "core/DateTime.h"
#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QTextCharFormat>
#include <QVBoxLayout>

namespace qv {

TfmGiorno::TfmGiorno(TCalendarEditor& editor, int day, int month, QWidget* parent)
    : QDialog(parent), FEditor(editor), FDay(day), FMonth(month)
{
    setObjectName(QStringLiteral("TfmGiorno"));
    setWindowTitle(ToQt(FormatDateTime("d mmmm", EncodeDate(1996, month, day))));
    const TCalendarEditor::TDay value = editor.DayOf(day, month);
    edSanti = new QLineEdit(ToQt(value.Santi), this);
    edSanti->setObjectName(QStringLiteral("edSanti"));
    edSanti->setMinimumWidth(420);
    cbFesta = new QComboBox(this);
    cbFesta->setObjectName(QStringLiteral("cbFesta"));
    cbFesta->addItems({QString::fromUtf8(TCalendarEditor::NotHoliday), QString::fromUtf8(TCalendarEditor::Holiday)});
    cbFesta->setCurrentIndex(value.Festa ? 1 : 0);
    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(TCalendarEditor::LabelSanti), edSanti);
    form->addRow(QStringLiteral("Giorno"), cbFesta);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (FEditor.ApplyDay(FDay, FMonth, {edSanti->text().toStdString(), cbFesta->currentIndex() == 1}))
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TpgCalendario::TpgCalendario(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FData(module), FRules(services, module)
{
    setObjectName(QStringLiteral("pgCalendario"));
    Calendario = new QCalendarWidget(this);
    Calendario->setObjectName(QStringLiteral("Calendario"));
    Calendario->setGridVisible(true);
    Calendario->setFirstDayOfWeek(Qt::Monday);
    Calendario->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    Calendario->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    lbSanti = new QLabel(this);
    lbSanti->setWordWrap(true);
    edCerca = new QLineEdit(this);
    edCerca->setPlaceholderText(QStringLiteral("Cerca un santo..."));
    btCerca = new QPushButton(QStringLiteral("&Cerca"), this);
    btRipristina = new QPushButton(QStringLiteral("&Ripristina le festività"), this);
    auto* search = new QHBoxLayout;
    search->addWidget(edCerca, 1);
    search->addWidget(btCerca);
    search->addWidget(btRipristina);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Calendario, 1);
    layout->addWidget(lbSanti);
    layout->addWidget(new QLabel(QStringLiteral("Doppio clic su un giorno per cambiarne i santi o la festività."), this));
    layout->addLayout(search);

    connect(Calendario, &QCalendarWidget::currentPageChanged, this, [this](int y, int m) { Paint(y, m); });
    connect(Calendario, &QCalendarWidget::selectionChanged, this,
            [this] { ShowSaints(Calendario->selectedDate()); });
    connect(Calendario, &QCalendarWidget::activated, this, [this](const QDate& d) { OpenDay(d); });
    const auto find = [this] {
        const QDate from = Calendario->selectedDate();
        if (const auto hit = FRules.FindSaint(edCerca->text().toStdString(), from.day(), from.month())) {
            // The same day and month in the year shown; 29 February only in a leap year.
            int year = from.year();
            if (hit->second == 2 && hit->first == 29)
                while (!QDate::isLeapYear(year))
                    ++year;
            Calendario->setSelectedDate(QDate(year, hit->second, hit->first));
        }
    };
    connect(btCerca, &QPushButton::clicked, this, find);
    connect(edCerca, &QLineEdit::returnPressed, this, find);
    connect(btRipristina, &QPushButton::clicked, this, [this] {
        if (FRules.Reset())
            Load();
    });
}

void TpgCalendario::Load()
{
    Paint(Calendario->yearShown(), Calendario->monthShown());
    ShowSaints(Calendario->selectedDate());
}

void TpgCalendario::Paint(int year, int month)
{
    // Weekend names bold rather than the toolkit's red, so that red means a holiday only.
    QTextCharFormat weekday;
    weekday.setForeground(palette().color(QPalette::Text));
    QTextCharFormat weekend = weekday;
    weekend.setFontWeight(QFont::Bold);
    for (int d = Qt::Monday; d <= Qt::Sunday; ++d)
        Calendario->setWeekdayTextFormat(static_cast<Qt::DayOfWeek>(d),
                                         d >= Qt::Saturday ? weekend : weekday);
    Calendario->setDateTextFormat(QDate(), QTextCharFormat());
    for (const auto& cell : FRules.Month(year, month)) {
        QTextCharFormat f = cell.Bold ? weekend : weekday;
        if (cell.Red)
            f.setForeground(QColor(200, 0, 0));
        Calendario->setDateTextFormat(QDate(year, month, cell.Day), f);
    }
}

void TpgCalendario::ShowSaints(const QDate& date)
{
    const TCalendarEditor::TDay d = FRules.DayOf(date.day(), date.month());
    lbSanti->setText(ToQt(d.Santi) + (d.Festa ? QStringLiteral(" (festivo)") : QString()));
}

int TpgCalendario::OpenDay(const QDate& date, const std::function<void(TfmGiorno&)>& onOpen)
{
    TfmGiorno day(FRules, date.day(), date.month(), this);
    if (onOpen)
        onOpen(day);
    const int result = day.exec();
    if (result == QDialog::Accepted)
        Load();
    return result;
}

} // namespace qv
