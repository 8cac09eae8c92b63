#include "core/DateTime.h"
#include "core/Strings.h"
#include "ui/DateConv.h"
#include "ui/QtPrompter.h"
#include "ui/SettingsPagesUi.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace qv {

TpgPianiDati::TpgPianiDati(TServices& services, TDataModule& module, QWidget* parent)
    : TSettingsPage(parent), FRules(services, module)
{
    setObjectName(QStringLiteral("pgPianiDati"));
    lbPiani = new QListWidget(this);
    lbPiani->setObjectName(QStringLiteral("lbPiani"));
    btNuovo = new QPushButton(QStringLiteral("&Nuovo"), this);
    btElimina = new QPushButton(QStringLiteral("&Elimina"), this);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Piani"), this));
    left->addWidget(lbPiani, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btNuovo);
    buttons->addWidget(btElimina);
    left->addLayout(buttons);

    auto* plan = new QGroupBox(QStringLiteral("Piano"), this);
    edNome = new QLineEdit(plan);
    rbConnessione = new QRadioButton(QStringLiteral("Connessione di NetworkManager"), plan);
    rbInterfaccia = new QRadioButton(QStringLiteral("Interfaccia di rete"), plan);
    cbConnessione = new QComboBox(plan);
    cbConnessione->setEditable(true);
    // A UUID is long: the field does not widen the window for it.
    cbConnessione->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbConnessione->setMinimumContentsLength(24);
    cbConnessione->setToolTip(QStringLiteral("L'UUID della connessione (nmcli -f NAME,UUID connection): la stessa SIM "
                                             "è riconosciuta su qualunque porta"));
    edInterfaccia = new QLineEdit(plan);
    edInterfaccia->setPlaceholderText(QStringLiteral("per esempio ppp0, wwan0"));
    cbConta = new QComboBox(plan);
    cbConta->addItems({QStringLiteral("ricevuti e inviati"), QStringLiteral("solo ricevuti")});
    cbCiclo = new QComboBox(plan);
    cbCiclo->addItems({QStringLiteral("mensile"), QStringLiteral("ogni N giorni"), QStringLiteral("giornaliero")});
    seGiorno = new QSpinBox(plan);
    seGiorno->setRange(1, 31);
    seGiorno->setToolTip(QStringLiteral("Nei mesi più corti il ciclo inizia l'ultimo giorno del mese"));
    seOgni = new QSpinBox(plan);
    seOgni->setRange(1, 366);
    seOgni->setSuffix(QStringLiteral(" giorni"));
    deDal = new QDateEdit(plan);
    deDal->setCalendarPopup(true);
    deDal->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    edSoglia = new QLineEdit(plan);
    edSoglia->setPlaceholderText(QStringLiteral("senza soglia"));
    edSoglia->setToolTip(QStringLiteral("Per esempio 50 GB, 1,5 GB, 500 MB (unità decimali, come le indicano gli operatori)"));
    edPrezzo = new QLineEdit(plan);
    cbOltre = new QComboBox(plan);
    cbOltre->addItems({QStringLiteral("un prezzo per GB"), QStringLiteral("un prezzo per blocco iniziato"),
                       QStringLiteral("velocità ridotta, senza costi")});
    edPrezzoOltre = new QLineEdit(plan);
    edBlocco = new QLineEdit(plan);
    seAvviso = new QSpinBox(plan);
    seAvviso->setRange(0, 100);
    seAvviso->setSuffix(QStringLiteral(" %"));
    seAvviso->setSpecialValueText(QStringLiteral("nessun avviso"));
    cbLimite = new QCheckBox(QString::fromUtf8(TPlanSettings::LabelLimite), plan);

    auto* form = new QFormLayout(plan);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QString::fromUtf8(TPlanSettings::LabelNome), edNome);
    form->addRow(rbConnessione, cbConnessione);
    form->addRow(rbInterfaccia, edInterfaccia);
    form->addRow(QStringLiteral("Traffico contato"), cbConta);
    form->addRow(QStringLiteral("Ciclo"), cbCiclo);
    form->addRow(QStringLiteral("Inizia il giorno"), seGiorno);
    form->addRow(QStringLiteral("Durata"), seOgni);
    form->addRow(QString::fromUtf8(TPlanSettings::LabelDal), deDal);
    form->addRow(QString::fromUtf8(TPlanSettings::LabelSoglia), edSoglia);
    form->addRow(QString::fromUtf8(TPlanSettings::LabelPrezzo), edPrezzo);
    form->addRow(QStringLiteral("Oltre la soglia"), cbOltre);
    form->addRow(QString::fromUtf8(TPlanSettings::LabelPrezzoOltre), edPrezzoOltre);
    form->addRow(QString::fromUtf8(TPlanSettings::LabelBlocco), edBlocco);
    form->addRow(QStringLiteral("Avviso al"), seAvviso);
    form->addRow(cbLimite);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 2);
    layout->addWidget(plan, 5);

    connect(lbPiani, &QListWidget::currentRowChanged, this, [this](int row) {
        Keep();
        Show(row);
    });
    connect(btNuovo, &QPushButton::clicked, this, [this] {
        Keep();
        FForms.push_back(FRules.NewPlan());
        lbPiani->addItem(ToQt(FForms.back().Nome));
        lbPiani->setCurrentRow(static_cast<int>(FForms.size()) - 1);
        edNome->setFocus();
        edNome->selectAll();
    });
    connect(btElimina, &QPushButton::clicked, this, [this] {
        const int row = lbPiani->currentRow();
        if (row < 0 || row >= static_cast<int>(FForms.size()))
            return;
        if (AskYesNo(FRules.Prompter(), "Eliminare il piano «" + FForms[static_cast<std::size_t>(row)].Nome + "»?") !=
            TModalResult::mrYes)
            return;
        FShown = -1;
        FForms.erase(FForms.begin() + row);
        delete lbPiani->takeItem(row);
        Show(lbPiani->currentRow());
    });
    connect(edNome, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (QListWidgetItem* item = lbPiani->currentItem())
            item->setText(text);
    });
    for (QComboBox* c : {cbCiclo, cbOltre})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
    for (QRadioButton* r : {rbConnessione, rbInterfaccia})
        connect(r, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
    connect(edSoglia, &QLineEdit::textChanged, this, [this] { UpdateEnabled(); });
}

void TpgPianiDati::UpdateEnabled()
{
    const bool any = FShown >= 0;
    for (QWidget* w : std::initializer_list<QWidget*>{edNome, rbConnessione, rbInterfaccia, cbConnessione, edInterfaccia,
                                                      cbConta, cbCiclo, seGiorno, seOgni, deDal, edSoglia, edPrezzo,
                                                      cbOltre, edPrezzoOltre, edBlocco, seAvviso, cbLimite})
        w->setEnabled(any);
    btElimina->setEnabled(any);
    if (!any)
        return;
    cbConnessione->setEnabled(rbConnessione->isChecked());
    edInterfaccia->setEnabled(rbInterfaccia->isChecked());
    seGiorno->setEnabled(cbCiclo->currentIndex() == 0);
    seOgni->setEnabled(cbCiclo->currentIndex() == 1);
    deDal->setEnabled(cbCiclo->currentIndex() == 1);
    edPrezzoOltre->setEnabled(cbOltre->currentIndex() != 2);
    edBlocco->setEnabled(cbOltre->currentIndex() == 1);
    // Without an allowance there is no share: no warning, no limit.
    const bool allowance = !edSoglia->text().trimmed().isEmpty();
    seAvviso->setEnabled(allowance);
    cbLimite->setEnabled(allowance);
}

void TpgPianiDati::Keep()
{
    if (FShown < 0 || FShown >= static_cast<int>(FForms.size()))
        return;
    TPlanSettings::TPlanForm& f = FForms[static_cast<std::size_t>(FShown)];
    f.Nome = edNome->text().toStdString();
    f.PerInterfaccia = rbInterfaccia->isChecked();
    // A link chosen from the list carries its UUID; anything typed is taken as it is.
    const int chosen = cbConnessione->findText(cbConnessione->currentText());
    f.Connessione = chosen >= 0 && cbConnessione->itemData(chosen).isValid()
                        ? cbConnessione->itemData(chosen).toString().toStdString()
                        : cbConnessione->currentText().trimmed().toStdString();
    f.Interfaccia = edInterfaccia->text().toStdString();
    f.SoloRicevuti = cbConta->currentIndex() == 1;
    f.Ciclo = cbCiclo->currentIndex();
    f.GiornoCiclo = seGiorno->value();
    f.OgniGiorni = seOgni->value();
    f.Dal = deDal->date().toString(QStringLiteral("dd/MM/yyyy")).toStdString();
    f.Soglia = edSoglia->text().toStdString();
    f.Prezzo = edPrezzo->text().toStdString();
    f.Oltre = cbOltre->currentIndex();
    f.PrezzoOltre = edPrezzoOltre->text().toStdString();
    f.Blocco = edBlocco->text().toStdString();
    f.Avviso = seAvviso->value();
    f.Limite = cbLimite->isChecked();
}

void TpgPianiDati::Show(int row)
{
    FShown = row >= 0 && row < static_cast<int>(FForms.size()) ? row : -1;
    const TPlanSettings::TPlanForm f = FShown >= 0 ? FForms[static_cast<std::size_t>(FShown)] : FRules.NewPlan();
    edNome->setText(ToQt(f.Nome));
    (f.PerInterfaccia ? rbInterfaccia : rbConnessione)->setChecked(true);
    // The connections up now, the metered ones first: "SIM Mobile (a consumo)", with the UUID as data.
    cbConnessione->clear();
    if (LinksUp)
        for (const TNetLink& l : TPlanSettings::Offered(LinksUp()))
            cbConnessione->addItem(ToQt(l.ConnectionName + (l.Metered ? " (a consumo)" : "") + " – " + l.ConnectionUuid),
                                   ToQt(l.ConnectionUuid));
    const int known = cbConnessione->findData(ToQt(f.Connessione));
    if (known >= 0)
        cbConnessione->setCurrentIndex(known);
    else
        cbConnessione->setEditText(ToQt(f.Connessione));
    cbConnessione->lineEdit()->setCursorPosition(0); // the connection's name first
    edInterfaccia->setText(ToQt(f.Interfaccia));
    cbConta->setCurrentIndex(f.SoloRicevuti ? 1 : 0);
    cbCiclo->setCurrentIndex(f.Ciclo);
    seGiorno->setValue(f.GiornoCiclo);
    seOgni->setValue(f.OgniGiorni);
    const auto from = ParseDateTimeIt(f.Dal);
    deDal->setDate(from ? ToQDateTime(*from).date() : QDate::currentDate());
    edSoglia->setText(ToQt(f.Soglia));
    edPrezzo->setText(ToQt(f.Prezzo));
    cbOltre->setCurrentIndex(f.Oltre);
    edPrezzoOltre->setText(ToQt(f.PrezzoOltre));
    edBlocco->setText(ToQt(f.Blocco));
    seAvviso->setValue(f.Avviso);
    cbLimite->setChecked(f.Limite);
    UpdateEnabled();
}

void TpgPianiDati::Load()
{
    FForms = FRules.Plans();
    FShown = -1;
    const QSignalBlocker block(lbPiani);
    lbPiani->clear();
    for (const auto& f : FForms)
        lbPiani->addItem(ToQt(f.Nome));
    lbPiani->setCurrentRow(FForms.empty() ? -1 : 0);
    Show(lbPiani->currentRow());
}

bool TpgPianiDati::Apply()
{
    Keep();
    bool ok = true;
    int failed = -1;
    const auto edit = [&](TDataPlans&) { ok = FRules.Apply(FForms, &failed); };
    if (EditPlans) {
        EditPlans(edit);
    } else {
        edit(FRules.File());
        if (ok)
            FRules.File().Save();
    }
    if (!ok && failed >= 0)
        lbPiani->setCurrentRow(failed);
    if (ok)
        for (auto& f : FForms)
            f.Original = Trim(f.Nome);
    return ok;
}

} // namespace qv
