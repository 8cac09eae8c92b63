#include "ui/TfmTariffa.h"

#include "core/Strings.h"
#include "ui/QtPrompter.h"
#include "ui/TfmFasce.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QVBoxLayout>

namespace qv {

namespace {

// Columns of the band grid: reduced, full, peak.
constexpr TFasciaOraria ColumnBand[3] = {foRidotta, foIntera, foPunta};

} // namespace

TfmTariffa::TfmTariffa(TTariffEditor& editor, TTaxItem* editing, QWidget* parent)
    : QDialog(parent), FEditor(editor), FEditing(editing)
{
    setObjectName(QStringLiteral("TfmTariffa"));
    setWindowTitle(editing ? QStringLiteral("Proprietà della tariffa") : QStringLiteral("Nuova tariffa"));
    edGestore = new QLineEdit(this);
    edGestore->setObjectName(QStringLiteral("edGestore"));
    edNome = new QLineEdit(this);
    edNome->setObjectName(QStringLiteral("edNome"));
    edDescrizione = new QLineEdit(this);
    rbTempo = new QRadioButton(QStringLiteral("Tariffa a tempo"), this);
    rbScatti = new QRadioButton(QStringLiteral("Tariffa a scatti"), this);
    cbFormulaUrbana = new QCheckBox(QStringLiteral("Formula urbana"), this);
    cbCompare = new QCheckBox(QStringLiteral("Confronta con le altre tariffe a fine connessione"), this);

    auto* head = new QGridLayout;
    head->addWidget(new QLabel(QStringLiteral("Gestore"), this), 0, 0);
    head->addWidget(edGestore, 0, 1);
    head->addWidget(new QLabel(QStringLiteral("Nome"), this), 0, 2);
    head->addWidget(edNome, 0, 3);
    head->addWidget(new QLabel(QStringLiteral("Descrizione"), this), 1, 0);
    head->addWidget(edDescrizione, 1, 1, 1, 3);
    auto* kind = new QHBoxLayout;
    kind->addWidget(rbTempo);
    kind->addWidget(rbScatti);
    kind->addSpacing(16);
    kind->addWidget(cbFormulaUrbana);
    kind->addStretch();
    head->addLayout(kind, 2, 0, 1, 4);
    head->addWidget(cbCompare, 3, 0, 1, 4);

    auto* prices = new QGroupBox(QStringLiteral("Prezzi per fascia"), this);
    auto* grid = new QGridLayout(prices);
    const char* columns[3] = {"Ridotta", "Intera", "Punta"};
    for (int c = 0; c < 3; ++c) {
        auto* l = new QLabel(QString::fromUtf8(columns[c]), prices);
        l->setAlignment(Qt::AlignCenter);
        grid->addWidget(l, 0, c + 1);
    }
    for (int r = 0; r < 4; ++r) {
        lbRow[r] = new QLabel(prices);
        grid->addWidget(lbRow[r], r + 1, 0);
        for (int c = 0; c < 3; ++c) {
            edBand[r][c] = new QLineEdit(prices);
            edBand[r][c]->setObjectName(QStringLiteral("edBand%1%2").arg(r).arg(c));
            edBand[r][c]->setMaximumWidth(110);
            grid->addWidget(edBand[r][c], r + 1, c + 1);
        }
    }
    lbRow[0]->setText(QString::fromUtf8(TTariffEditor::LabelScatti));

    edScattiAllaRisposta = new QLineEdit(this);
    lbScattiAllaRisposta = new QLabel(QString::fromUtf8(TTariffEditor::LabelScattiAllaRisposta), this);
    edMinLimite = new QLineEdit(this);
    lbMinLimite = new QLabel(QString::fromUtf8(TTariffEditor::LabelMinLimite), this);
    edBonusMese = new QLineEdit(this);
    edBonusDisponibile = new QLineEdit(this);
    edQuorvanta = new QTimeEdit(this);
    edQuorvanta->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    auto* other = new QGridLayout;
    // Pulses at the answer (pulse-rated) and the rate limit (time-rated) share one place.
    other->addWidget(lbScattiAllaRisposta, 0, 0);
    other->addWidget(edScattiAllaRisposta, 0, 1);
    other->addWidget(lbMinLimite, 0, 0);
    other->addWidget(edMinLimite, 0, 1);
    other->addWidget(new QLabel(QString::fromUtf8(TTariffEditor::LabelBonusMese), this), 1, 0);
    other->addWidget(edBonusMese, 1, 1);
    other->addWidget(new QLabel(QString::fromUtf8(TTariffEditor::LabelBonusDisponibile), this), 1, 2);
    other->addWidget(edBonusDisponibile, 1, 3);
    other->addWidget(new QLabel(QStringLiteral("Periodo del tempo rimanente"), this), 2, 0);
    other->addWidget(edQuorvanta, 2, 1);

    auto* barsBox = new QGroupBox(QStringLiteral("Fasce orarie (fai clic su una barra per modificarla)"), this);
    auto* barsLayout = new QVBoxLayout(barsBox);
    for (int i = 0; i < 3; ++i) {
        Bars[i] = new TTimeTableBarWidget(barsBox);
        Bars[i]->setObjectName(QStringLiteral("Bar%1").arg(i));
        Bars[i]->Bar.Title = TTariffEditor::BarTitles[i];
        Bars[i]->setCursor(Qt::PointingHandCursor);
        barsLayout->addWidget(Bars[i]);
        connect(Bars[i], &TTimeTableBarWidget::Clicked, this, [this, i] { EditBands(i); });
    }

    btOk = new QPushButton(QStringLiteral("&OK"), this);
    btOk->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Annulla"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(prices);
    layout->addLayout(other);
    layout->addWidget(barsBox);
    layout->addLayout(buttons);
    // The dialog is as tall as what the kind of tariff shows: no gap, no growth when it changes.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SetForm(editing ? TTariffEditor::FormOf(*editing) : editor.NewForm());
    connect(rbTempo, &QRadioButton::toggled, this, [this] { UpdateLabels(); });
    connect(edMinLimite, &QLineEdit::textChanged, this, [this] { UpdateLabels(); });
    connect(cbFormulaUrbana, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            return;
        TTariffForm f = Form();
        TTariffEditor::ApplyFormulaUrbana(f);
        SetForm(f);
    });
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (FEditor.Save(Form(), FEditing))
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmTariffa::SetForm(const TTariffForm& f)
{
    edGestore->setText(ToQt(f.Gestore));
    edNome->setText(ToQt(f.Nome));
    edDescrizione->setText(ToQt(f.Descrizione));
    (f.Tipo == ttTat ? rbTempo : rbScatti)->setChecked(true);
    cbFormulaUrbana->blockSignals(true);
    cbFormulaUrbana->setChecked(f.FormulaUrbana);
    cbFormulaUrbana->blockSignals(false);
    cbCompare->setChecked(f.Compare);
    for (int c = 0; c < 3; ++c) {
        const auto b = static_cast<std::size_t>(ColumnBand[c]);
        edBand[0][c]->setText(ToQt(f.Scatti[b]));
        edBand[1][c]->setText(ToQt(f.CostoFisso[b]));
        edBand[2][c]->setText(ToQt(f.Tat1[b]));
        edBand[3][c]->setText(ToQt(f.Tat2[b]));
    }
    edScattiAllaRisposta->setText(ToQt(f.ScattiAllaRisposta));
    edMinLimite->setText(ToQt(f.MinLimite));
    edBonusMese->setText(ToQt(f.BonusMese));
    edBonusDisponibile->setText(ToQt(f.BonusDisponibile));
    edQuorvanta->setTime(QTime(0, 0).addSecs(f.QuorvantaSeconds));
    for (int i = 0; i < 3; ++i)
        Bars[i]->Bar.SetFrames(f.Bands[static_cast<std::size_t>(i)]);
    UpdateLabels();
}

TTariffForm TfmTariffa::Form() const
{
    TTariffForm f;
    f.Gestore = edGestore->text().toStdString();
    f.Nome = edNome->text().toStdString();
    f.Descrizione = edDescrizione->text().toStdString();
    f.Tipo = rbTempo->isChecked() ? ttTat : ttScatti;
    f.FormulaUrbana = cbFormulaUrbana->isChecked();
    f.Compare = cbCompare->isChecked();
    for (int c = 0; c < 3; ++c) {
        const auto b = static_cast<std::size_t>(ColumnBand[c]);
        f.Scatti[b] = edBand[0][c]->text().toStdString();
        f.CostoFisso[b] = edBand[1][c]->text().toStdString();
        f.Tat1[b] = edBand[2][c]->text().toStdString();
        f.Tat2[b] = edBand[3][c]->text().toStdString();
    }
    f.ScattiAllaRisposta = edScattiAllaRisposta->text().toStdString();
    f.MinLimite = edMinLimite->text().toStdString();
    f.BonusMese = edBonusMese->text().toStdString();
    f.BonusDisponibile = edBonusDisponibile->text().toStdString();
    f.QuorvantaSeconds = QTime(0, 0).secsTo(edQuorvanta->time());
    for (int i = 0; i < 3; ++i)
        f.Bands[static_cast<std::size_t>(i)] = Bars[i]->Bar.Frames();
    return f;
}

void TfmTariffa::UpdateLabels()
{
    const bool tat = rbTempo->isChecked();
    const std::int32_t limit = ReadInteger(edMinLimite->text().toStdString()).value_or(0);
    lbRow[1]->setText(QString::fromUtf8(tat ? TTariffEditor::LabelCostoFisso : TTariffEditor::LabelCostoScatto));
    lbRow[2]->setText(ToQt(TTariffEditor::FirstRateLabel(limit)));
    lbRow[3]->setText(ToQt(TTariffEditor::SecondRateLabel(limit)));
    // The pulse length belongs to pulse-rated tariffs, the rates to time-rated ones; the second
    // rate only with a limit.
    const bool rowVisible[4] = {!tat, true, tat, tat && limit > 0};
    // Only the bands the timetables use are read: the others are greyed.
    TTariffForm bands;
    for (int i = 0; i < 3; ++i)
        bands.Bands[static_cast<std::size_t>(i)] = Bars[i]->Bar.Frames();
    const auto used = TTariffEditor::BandsUsed(bands);
    for (int r = 0; r < 4; ++r) {
        lbRow[r]->setVisible(rowVisible[r]);
        for (int c = 0; c < 3; ++c) {
            edBand[r][c]->setVisible(rowVisible[r]);
            edBand[r][c]->setEnabled(used[static_cast<std::size_t>(ColumnBand[c])]);
        }
    }
    lbScattiAllaRisposta->setVisible(!tat);
    edScattiAllaRisposta->setVisible(!tat);
    lbMinLimite->setVisible(tat);
    edMinLimite->setVisible(tat);
    cbFormulaUrbana->setEnabled(tat);
}

int TfmTariffa::EditBands(int i, const std::function<void(TfmFasce&)>& onOpen)
{
    TfmFasce editor(Bars[i]->Bar, this);
    if (onOpen)
        onOpen(editor);
    const int result = editor.exec();
    if (result == QDialog::Accepted) {
        Bars[i]->Bar.CopyFrom(editor.BarEditor->Bar);
        Bars[i]->Bar.Editable = false;
        UpdateLabels();
    }
    return result;
}

} // namespace qv
