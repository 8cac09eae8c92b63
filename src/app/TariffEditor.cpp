#include "app/TariffEditor.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <cmath>
#include <cstdio>

namespace qv {

namespace {

// The typed form of a number as the dialog shows it: up to four decimals, with the Italian comma.
std::string NumberText(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return ReplaceAll(s, ".", ",");
}

// A field that is only typed text, held up to the mandatory-field check.
class TTextField : public IMandatoryField
{
public:
    explicit TTextField(std::string text) : FText(std::move(text)) {}
    std::string Text() const override { return FText; }
    void SetFocus() override {}

private:
    std::string FText;
};

const TBandItems& ListOf(const TTaxItem& t, int i)
{
    return i == 0 ? t.BandsFeriali() : i == 1 ? t.BandsSabato() : t.BandsFestivi();
}

TBandItems& ListOf(TTaxItem& t, int i)
{
    return i == 0 ? t.BandsFeriali() : i == 1 ? t.BandsSabato() : t.BandsFestivi();
}

} // namespace

std::vector<TTimeFrame> FramesOfBands(const TBandItems& bands)
{
    std::vector<TTimeFrame> frames;
    for (const auto& b : bands)
        frames.push_back({b->TimeBegin(), b->TimeEnd(), BandColor(b->Tipo())});
    return frames;
}

void BandsOfFrames(const std::vector<TTimeFrame>& frames, TBandItems& bands)
{
    // The colours are checked before the list is touched.
    std::vector<TFasciaOraria> kinds;
    for (const TTimeFrame& f : frames)
        kinds.push_back(BandOfColor(f.Color));
    bands.Clear();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        TBandItem& b = bands.Add();
        b.SetTipo(kinds[i]);
        b.SetTimeBegin(frames[i].DateBegin);
        b.SetTimeEnd(frames[i].DateEnd);
    }
}

std::string TTariffEditor::BandSuffix(TFasciaOraria band)
{
    switch (band) {
    case foRidotta:
        return " - fascia ridotta";
    case foIntera:
        return " - fascia intera";
    default:
        return " - fascia di punta";
    }
}

std::string TTariffEditor::FirstRateLabel(std::int32_t minLimite)
{
    return minLimite == 0 ? std::string("1 minuto costa £") : "Fino a " + std::to_string(minLimite) + " min £";
}

std::string TTariffEditor::SecondRateLabel(std::int32_t minLimite)
{
    return "oltre " + std::to_string(minLimite) + " min £";
}

TTariffForm TTariffEditor::FormOf(const TTaxItem& t)
{
    TTariffForm f;
    f.Gestore = t.Gestore();
    f.Nome = t.Nome();
    f.Descrizione = t.Descrizione();
    f.Tipo = t.Tipo();
    f.FormulaUrbana = t.FormulaUrbana();
    f.Compare = t.Compare();
    f.ScattiAllaRisposta = std::to_string(t.ScattiAllaRisposta());
    f.Scatti = {NumberText(t.ScattiPunta()), NumberText(t.ScattiIntera()), NumberText(t.ScattiRidotta())};
    f.CostoFisso = {NumberText(t.CostoFissoPunta()), NumberText(t.CostoFissoIntera()),
                    NumberText(t.CostoFissoRidotta())};
    f.Tat1 = {NumberText(t.TatPunta1()), NumberText(t.TatIntera1()), NumberText(t.TatRidotta1())};
    f.Tat2 = {NumberText(t.TatPunta2()), NumberText(t.TatIntera2()), NumberText(t.TatRidotta2())};
    f.MinLimite = std::to_string(t.MinLimite());
    f.BonusMese = std::to_string(t.BonusMese());
    f.BonusDisponibile = std::to_string(t.BonusDisponibile());
    f.QuorvantaSeconds = static_cast<int>(DurationToSeconds(t.Quorvanta()));
    f.SkinName = t.SkinName();
    for (int i = 0; i < 3; ++i)
        f.Bands[static_cast<std::size_t>(i)] = FramesOfBands(ListOf(t, i));
    return f;
}

TTariffForm TTariffEditor::NewForm(TTipoTariffa tipo) const
{
    // The values AddTax gives a new tariff, on a scratch list that is thrown away.
    TTaxations scratch(FServices);
    TTariffForm f = FormOf(scratch.AddTax("-", "-", tipo, ""));
    f.Gestore.clear();
    f.Nome.clear();
    return f;
}

void TTariffEditor::ApplyFormulaUrbana(TTariffForm& form)
{
    if (form.Tipo != ttTat)
        return;
    TTaxItem t(nullptr);
    t.SetFormulaUrbana(true);
    const TTariffForm preset = FormOf(t);
    form.ScattiAllaRisposta = preset.ScattiAllaRisposta;
    form.CostoFisso = preset.CostoFisso;
    form.Tat1 = preset.Tat1;
    form.Tat2 = preset.Tat2;
    form.MinLimite = preset.MinLimite;
}

std::array<bool, 3> TTariffEditor::BandsUsed(const TTariffForm& form)
{
    std::array<bool, 3> used{};
    for (const auto& list : form.Bands)
        for (const TTimeFrame& f : list)
            used[static_cast<std::size_t>(BandOfColor(f.Color))] = true;
    return used;
}

bool TTariffEditor::ReadInto(const TTariffForm& form, TTaxItem& t)
{
    const auto invalid = [this](const std::string& label) {
        ShowError(FServices.Prompter, "Il valore specificato per il campo «" + label + "» non è valido!");
        return false;
    };
    const auto number = [&](const std::string& text, const std::string& label, double& out) {
        const auto v = ReadNumber(text);
        if (!v)
            return invalid(label);
        out = *v;
        return true;
    };
    const auto whole = [&](const std::string& text, const std::string& label, std::int32_t& out) {
        const auto v = ReadInteger(text);
        if (!v)
            return invalid(label);
        out = *v;
        return true;
    };

    t.SetNome(Trim(form.Nome));
    t.SetGestore(Trim(form.Gestore));
    t.SetDescrizione(form.Descrizione);
    t.SetTipo(form.Tipo);
    t.SetFormulaUrbana(form.FormulaUrbana);
    t.SetCompare(form.Compare);
    t.SetSkinName(form.SkinName);
    t.SetQuorvanta(SecondsToDuration(form.QuorvantaSeconds));
    for (int i = 0; i < 3; ++i)
        BandsOfFrames(form.Bands[static_cast<std::size_t>(i)], ListOf(t, i));
    const std::array<bool, 3> used = BandsUsed(form);

    std::int32_t minLimite = t.MinLimite();
    if (form.Tipo == ttTat && !whole(form.MinLimite, LabelMinLimite, minLimite))
        return false;
    if (minLimite < 0)
        return invalid(LabelMinLimite);
    t.SetMinLimite(minLimite);
    if (form.Tipo == ttScatti) {
        std::int32_t atAnswer = 0;
        if (!whole(form.ScattiAllaRisposta, LabelScattiAllaRisposta, atAnswer))
            return false;
        t.SetScattiAllaRisposta(atAnswer);
    }
    using TSetter = void (TTaxItem::*)(double);
    const TSetter scatti[3] = {&TTaxItem::SetScattiPunta, &TTaxItem::SetScattiIntera, &TTaxItem::SetScattiRidotta};
    const TSetter fisso[3] = {&TTaxItem::SetCostoFissoPunta, &TTaxItem::SetCostoFissoIntera,
                              &TTaxItem::SetCostoFissoRidotta};
    const TSetter tat1[3] = {&TTaxItem::SetTatPunta1, &TTaxItem::SetTatIntera1, &TTaxItem::SetTatRidotta1};
    const TSetter tat2[3] = {&TTaxItem::SetTatPunta2, &TTaxItem::SetTatIntera2, &TTaxItem::SetTatRidotta2};
    // Reduced band first, as the dialog lists them.
    for (const TFasciaOraria band : {foRidotta, foIntera, foPunta}) {
        const auto b = static_cast<std::size_t>(band);
        if (!used[b])
            continue;
        const std::string suffix = BandSuffix(band);
        double v = 0;
        if (form.Tipo == ttScatti) {
            // A pulse of no length would charge without end (or never): refused like a typing error.
            if (!number(form.Scatti[b], std::string(LabelScatti) + suffix, v))
                return false;
            if (!(v > 0))
                return invalid(std::string(LabelScatti) + suffix);
            (t.*scatti[b])(v);
        }
        const char* fixedLabel = form.Tipo == ttScatti ? LabelCostoScatto : LabelCostoFisso;
        if (!number(form.CostoFisso[b], std::string(fixedLabel) + suffix, v))
            return false;
        (t.*fisso[b])(v);
        if (form.Tipo == ttTat) {
            if (!number(form.Tat1[b], FirstRateLabel(minLimite) + suffix, v))
                return false;
            (t.*tat1[b])(v);
            if (minLimite > 0) {
                if (!number(form.Tat2[b], SecondRateLabel(minLimite) + suffix, v))
                    return false;
                (t.*tat2[b])(v);
            }
        }
    }
    std::int32_t bonusMese = 0, bonus = 0;
    if (!whole(form.BonusMese, LabelBonusMese, bonusMese))
        return false;
    if (!whole(form.BonusDisponibile, LabelBonusDisponibile, bonus))
        return false;
    if (bonusMese < 0)
        return invalid(LabelBonusMese);
    if (bonus < 0)
        return invalid(LabelBonusDisponibile);
    t.SetBonusMese(bonusMese);
    t.SetBonusDisponibile(static_cast<std::uint32_t>(bonus));
    return true;
}

bool TTariffEditor::Save(const TTariffForm& form, TTaxItem* editing)
{
    FSaved = nullptr;
    TTextField gestore(form.Gestore), nome(form.Nome);
    std::string message;
    if (!CheckMandatoryFields({{"Gestore", &gestore}, {"Nome", &nome}}, message)) {
        ShowWarning(FServices.Prompter, message);
        return false;
    }
    TTaxations& taxes = FData.Taxations;
    const std::string g = Trim(form.Gestore), n = Trim(form.Nome);
    // The fields are read into a scratch copy, so a refused form changes nothing.
    TTaxations scratchOwner(FServices);
    TTaxItem& scratch = scratchOwner.Taxs().Add();
    if (editing)
        scratch.Assign(*editing);
    else
        scratch.Assign(scratchOwner.AddTax(g, n, form.Tipo, form.Descrizione));
    try {
        if (!ReadInto(form, scratch))
            return false;
    } catch (const EQvError& e) {
        ShowError(FServices.Prompter, e.what());
        return false;
    }
    if (editing) {
        if (taxes.NameTaken(editing, g, n)) {
            ShowError(FServices.Prompter, "Impossibile salvare i dati della tariffa!\r\rE' già presente una tariffa con il nome " +
                                              g + " - " + n);
            return false;
        }
        const std::string oldName = editing->DisplayName();
        editing->Assign(scratch);
        const std::string newName = editing->DisplayName();
        if (newName != oldName) {
            for (auto& e : FData.Settings.Entrys())
                if (e->TaxName() == oldName)
                    e->SetTaxName(newName);
            if (FData.Status.DefaultTax() == oldName)
                FData.Status.SetDefaultTax(newName);
        }
        taxes.SetModified(true);
        FSaved = editing;
        return true;
    }
    try {
        TTaxItem& added = taxes.AddTax(g, n, form.Tipo, form.Descrizione);
        added.Assign(scratch);
        FSaved = &added;
    } catch (const EQvError& e) {
        ShowError(FServices.Prompter, std::string("I dati non sono corretti: ") + e.what());
        return false;
    }
    taxes.SetModified(true);
    return true;
}

} // namespace qv
