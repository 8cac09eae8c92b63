#pragma once
// The holiday calendar, with the saints of every day and a collection of humorous laws in the
// manner of Murphy's law. Kept in "Calendar.dat".

#include "core/Persistent.h"
#include "core/PropertyMacros.h"

#include <array>
#include <random>
#include <utility>

namespace qv {

class TAgenda;

class TDayItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }

    QV_PROPERTY(std::int32_t, Giorno, 0)
    QV_PROPERTY(std::int32_t, Mese, 0)
    QV_STRING_PROPERTY(Santi)
    // Kept in the calendar's holiday table at (Giorno, Mese).
    bool IsFesta() const;
    void SetIsFesta(bool value);
};
using TDayItems = TDataCollection<TDayItem>;

class TMurphyItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }

    QV_STRING_PROPERTY(Capitolo)
    QV_STRING_PROPERTY(Titolo)
    QV_STRING_PROPERTY(Legge)
    const std::vector<std::string>& Corollari() const { return FCorollari; }
    void SetCorollari(const std::vector<std::string>& value);
    std::vector<std::string> FCorollari;
};
using TMurphyItems = TDataCollection<TMurphyItem>;

class TAgenda : public TPersistentComponent
{
public:
    explicit TAgenda(TServices& services);
    ~TAgenda() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TAgenda>(FServices);
    }

    TMurphyItems& Murphy() { return FMurphy; }
    TDayItems& Giorni() { return FGiorni; }
    const TDayItems& Giorni() const { return FGiorni; }
    const std::vector<std::string>& SanctiDays() const { return FSanctiDays; }
    void SetSanctiDays(const std::vector<std::string>& value);
    QV_STRING_PROPERTY(LoadingFile)
    const std::string& Data() const { return FData; }
    void SetData(const std::string& value);

    void AfterLoad() override;

    bool IsHoliday(double date) const;
    // 0..365: the day's position in a leap year (29 February is 59, 31 December 365).
    static int DayIndex(double date);
    // Raises "Il giorno dd/mm/yyyy non ha un santo!" when the day list is short.
    std::string SaintsOf(double date) const;
    std::pair<std::string, const TDayItem*> DayText(double date, bool withEaster) const;
    void ResetDays();
    std::string NextLaw();
    void SeedLaws(std::uint32_t seed) { FRandom.seed(seed); }

    // The holiday table behind the day items' IsFesta.
    bool Holiday(int day, int month) const;
    void SetHoliday(int day, int month, bool value);
    static bool FactoryHoliday(int day, int month);

private:
    void LoadDefaults();
    TMurphyItems FMurphy{this};
    TDayItems FGiorni{this};
    std::vector<std::string> FSanctiDays;
    std::string FData;
    std::array<std::array<bool, 31>, 12> FHolidays{};
    std::vector<bool> FShown;
    std::size_t FShownCount = 0;
    std::mt19937 FRandom;
};

// The calendar's default content (saints and laws), built into the program from its data file.
const std::string& DefaultCalendarText();

} // namespace qv
