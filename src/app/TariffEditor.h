#pragma once
// The rules of the tariff properties dialog: the fields as typed, which of them are read, their
// checks and texts, and saving into a new or an existing tariff (the timetables come from the three
// time-band bars).

#include "app/DataModule.h"
#include "skins/TimeTableBar.h"

#include <array>
#include <string>
#include <vector>

namespace qv {

// The frames of a timetable in the band colours, and back (raises "Colore fascia inesistente").
std::vector<TTimeFrame> FramesOfBands(const TBandItems& bands);
void BandsOfFrames(const std::vector<TTimeFrame>& frames, TBandItems& bands);

struct TTariffForm
{
    std::string Gestore, Nome, Descrizione;
    TTipoTariffa Tipo = ttTat;
    bool FormulaUrbana = false;
    bool Compare = false;
    std::string ScattiAllaRisposta;
    // Per band, indexed by TFasciaOraria (foPunta, foIntera, foRidotta).
    std::array<std::string, 3> Scatti;     // seconds per pulse
    std::array<std::string, 3> CostoFisso; // charge at the answer, or the price of a pulse
    std::array<std::string, 3> Tat1, Tat2; // per-minute rates before and after the limit
    std::string MinLimite, BonusMese, BonusDisponibile;
    int QuorvantaSeconds = 600; // the period of the remaining-time display
    std::string SkinName;
    // Weekdays, Saturday, holidays.
    std::array<std::vector<TTimeFrame>, 3> Bands;
};

class TTariffEditor
{
public:
    TTariffEditor(TServices& services, TDataModule& data) : FServices(services), FData(data) {}

    static constexpr const char* BarTitles[3] = {"Feriali", "Sabato", "Festivi"};
    static constexpr const char* LabelScattiAllaRisposta = "Scatti alla risposta";
    static constexpr const char* LabelScatti = "Durata dello scatto (secondi)";
    static constexpr const char* LabelCostoScatto = "Costo di uno scatto £";
    static constexpr const char* LabelCostoFisso = "Costo alla risposta £";
    static constexpr const char* LabelMinLimite = "Limite (minuti)";
    static constexpr const char* LabelBonusMese = "Secondi gratuiti al mese";
    static constexpr const char* LabelBonusDisponibile = "Secondi gratuiti disponibili";
    // " - fascia ridotta", " - fascia intera", " - fascia di punta".
    static std::string BandSuffix(TFasciaOraria band);
    // "1 minuto costa £" without a limit, else "Fino a N min £"; the second: "oltre N min £".
    static std::string FirstRateLabel(std::int32_t minLimite);
    static std::string SecondRateLabel(std::int32_t minLimite);

    // The fields of an existing tariff, or of a new one (the values a new tariff gets).
    static TTariffForm FormOf(const TTaxItem& tax);
    TTariffForm NewForm(TTipoTariffa tipo = ttTat) const;
    // The preset of the urban formula, written into the fields of a time-rated tariff.
    static void ApplyFormulaUrbana(TTariffForm& form);
    // The kinds of band that occur in the three timetables of the form.
    static std::array<bool, 3> BandsUsed(const TTariffForm& form);

    // Checks the form and stores it into editing (none: a new tariff). Every refusal is shown
    // through the prompter and false returned, with nothing changed. A renamed tariff keeps the
    // entries and the live status's default that named it.
    bool Save(const TTariffForm& form, TTaxItem* editing);
    // The tariff the last successful Save stored.
    TTaxItem* Saved() const { return FSaved; }

private:
    bool ReadInto(const TTariffForm& form, TTaxItem& tax);
    TServices& FServices;
    TDataModule& FData;
    TTaxItem* FSaved = nullptr;
};

} // namespace qv
