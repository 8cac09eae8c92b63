#pragma once
// The user's tariffs: time-rated or pulse-rated, with three band timetables (weekdays, Saturday,
// holidays) and an optional monthly allowance of free seconds. Kept in "Taxations.dat".

#include "core/Persistent.h"
#include "core/PropertyMacros.h"
#include "tariffs/Bands.h"

#include <functional>
#include <optional>

namespace qv {

class TAgenda;
class TTaxations;

class TBandItem : public TDataCollectionItem
{
public:
    explicit TBandItem(TPersistentComponent* component);
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }

    QV_PROPERTY(TFasciaOraria, Tipo, foRidotta)
    QV_PROPERTY(double, TimeBegin, 0)
    QV_PROPERTY(double, TimeEnd, 0)
};
using TBandItems = TDataCollection<TBandItem>;

class TTaxItem : public TDataCollectionItem
{
public:
    explicit TTaxItem(TPersistentComponent* component);
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }

    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Gestore)
    QV_STRING_PROPERTY(Descrizione)
    QV_PROPERTY(TTipoTariffa, Tipo, ttTat)
    QV_PROPERTY(double, ScattiRidotta, 0)
    QV_PROPERTY(double, ScattiIntera, 0)
    QV_PROPERTY(double, ScattiPunta, 0)
    QV_PROPERTY(std::int32_t, ScattiAllaRisposta, 0)
    QV_PROPERTY(double, CostoFissoRidotta, 0)
    QV_PROPERTY(double, CostoFissoIntera, 0)
    QV_PROPERTY(double, CostoFissoPunta, 0)
    QV_PROPERTY(double, TatRidotta1, 0)
    QV_PROPERTY(double, TatRidotta2, 0)
    QV_PROPERTY(double, TatIntera1, 0)
    QV_PROPERTY(double, TatIntera2, 0)
    QV_PROPERTY(double, TatPunta1, 0)
    QV_PROPERTY(double, TatPunta2, 0)
    bool FormulaUrbana() const { return FFormulaUrbana; }
    void SetFormulaUrbana(bool value);
    std::int32_t MinLimite() const { return FMinLimite; }
    void SetMinLimite(std::int32_t value);
    QV_PROPERTY(std::int32_t, BonusMese, 0)
    QV_PROPERTY(std::uint32_t, BonusDisponibile, 0)
    QV_PROPERTY(double, MeseBonus, 0)
    QV_PROPERTY(bool, Compare, false)
    QV_STRING_PROPERTY(RasEntry)
    TBandItems& BandsFeriali() { return FBandsFeriali; }
    TBandItems& BandsSabato() { return FBandsSabato; }
    TBandItems& BandsFestivi() { return FBandsFestivi; }
    const TBandItems& BandsFeriali() const { return FBandsFeriali; }
    const TBandItems& BandsSabato() const { return FBandsSabato; }
    const TBandItems& BandsFestivi() const { return FBandsFestivi; }
    QV_STRING_PROPERTY(SkinName)
    double Quorvanta() const { return FQuorvanta; }
    // Only the time of day is kept; 0 becomes one millisecond.
    void SetQuorvanta(double value);

    // Gestore + " - " + Nome: how a tariff is named everywhere else.
    std::string DisplayName() const { return FGestore + " - " + FNome; }
    std::int32_t LimitSeconds() const { return FMinLimite * 60; }

    // The timetable of a date: holidays (and every Sunday), Saturday, or weekdays.
    const TBandItems& BandsFor(double date) const;
    // The band in force at a moment; raises "L'orario h.nn non rientra in nessuna fascia!".
    const TBandItem& FindBand(double moment) const;
    // The same within a given timetable (the one BandsFor gives for the moment's day).
    static const TBandItem& FindBandIn(const TBandItems& list, double moment);
    TFasciaOraria BandAt(double moment) const { return FindBand(moment).Tipo(); }
    // Seconds per pulse in a band; raises "Fascia inesistente!" outside the three bands.
    double PulseLength(TFasciaOraria band) const;
    double PulsePrice(TFasciaOraria band) const;
    // Grants BonusMese free seconds once per calendar month (now: the current date).
    void RenewMonthlyBonus(double now);
    // A text for hints: the heading and one line per band.
    static std::string BandsText(const TBandItems& list, const std::string& heading);

    // ---- pricing ----
    struct TPrice
    {
        double Cost = 0;
        std::int32_t Pulses = 0;
        // Free seconds still left at the end (of the allowance of the month the span ends in).
        std::uint32_t FreeLeft = 0;
    };
    using TProgress = std::function<void(double cost, std::int32_t pulses)>;
    // The charge at the answer. freeSeconds: the free seconds to count with (default: the tariff's
    // BonusDisponibile).
    TPrice ConnectionCharge(double start, std::optional<std::uint32_t> freeSeconds = std::nullopt) const;
    // The price of a span, connection charge included. Raises "L'intervallo di tempo non è corretto!"
    // for an end before the start. The span's seconds are real seconds (a daylight-saving night
    // has 23 or 25 hours). freeSeconds are those left at the start; a tariff with a monthly allowance
    // (BonusMese) grants it anew from the first second of each month the span enters, while the
    // part before keeps what its own month had.
    TPrice ComputeCost(double start, double end, bool processMessages = false, const TProgress& progress = {},
                       std::optional<std::uint32_t> freeSeconds = std::nullopt);
    // Time-rated price of len seconds in a band when before seconds of the call have elapsed.
    double TatCost(TFasciaOraria band, std::int64_t before, std::int64_t len) const;

    // Copies every published value (the timetables included) from another tariff.
    void Assign(const TTaxItem& other);

    std::int32_t FPulseCarry = 0; // whole seconds carried between pulse steps while pricing

    bool FFormulaUrbana = false;
    std::int32_t FMinLimite = 0;
    double FQuorvanta;

private:
    // freeEnd: the real second (counted from the span's start) up to which the span is free.
    TPrice DayCost(double from, double to, double start0, std::int64_t freeEnd, bool processMessages,
                   const TProgress& progress, TPrice total);
    TPrice PieceCost(double from, double to, TFasciaOraria band, double start0, std::int64_t freeEnd);
    TTaxations* Owner() const;
    TBandItems FBandsFeriali{FComponent};
    TBandItems FBandsSabato{FComponent};
    TBandItems FBandsFestivi{FComponent};
};
using TTaxItems = TDataCollection<TTaxItem>;

class TTaxations : public TPersistentComponent
{
public:
    explicit TTaxations(TServices& services);
    ~TTaxations() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TTaxations>(FServices);
    }

    TTaxItems& Taxs() { return FTaxs; }
    const TTaxItems& Taxs() const { return FTaxs; }

    // The holiday calendar the timetables consult (none: no holidays but Sundays).
    void SetAgenda(const TAgenda* agenda) { FAgenda = agenda; }
    const TAgenda* Agenda() const { return FAgenda; }

    void AfterLoad() override;
    // Raises "Impossibile aggiungere la tariffa ..." for an operator and name already present.
    TTaxItem& AddTax(const std::string& gestore, const std::string& nome, TTipoTariffa tipo,
                     const std::string& descrizione);
    int IndexOfTax(const std::string& gestore, const std::string& nome) const;
    bool NameTaken(const TTaxItem* tax, const std::string& gestore, const std::string& nome) const;
    int IndexOfDisplayName(const std::string& text) const;
    TTaxItem* FindTax(const std::string& displayName);
    void LoadDefaultTaxes();
    void RenewMonthlyBonuses();

    // For a connection of that span and cost: one line per cheaper comparable tariff, the largest
    // saving first. progress receives (text, percentage); stop, when it answers true, ends the run.
    std::string CompareTaxes(double start, double end, double cost,
                             const std::function<void(const std::string&, int)>& progress = {},
                             const std::function<bool()>& stop = {});

    // Called between priced pieces when a caller asked to keep the interface responsive.
    std::function<void()> ProcessMessages;

private:
    TTaxItems FTaxs{this};
    const TAgenda* FAgenda = nullptr;
};

} // namespace qv
