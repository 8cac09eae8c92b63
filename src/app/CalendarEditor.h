#pragma once
// The rules of the calendar window and its day window: the month grid (weekends bold, holidays
// red), a day's saints and holiday flag with their checks, the saint search and the reset.

#include "app/DataModule.h"

#include <optional>
#include <string>
#include <vector>

namespace qv {

class TCalendarEditor
{
public:
    TCalendarEditor(TServices& services, TDataModule& data) : FServices(services), FData(data) {}

    static constexpr const char* NotHoliday = "<non festivo>";
    static constexpr const char* Holiday = "<festività>";
    static constexpr const char* LabelSanti = "Santi";
    static constexpr std::size_t MaxSanti = 64;

    struct TCell
    {
        int Day;
        int DayOfWeek; // 1 = Sunday .. 7 = Saturday
        bool Bold;     // Saturday or Sunday
        bool Red;      // a holiday of the calendar (Easter Monday included)
    };
    std::vector<TCell> Month(int year, int month) const;

    struct TDay
    {
        std::string Santi;
        bool Festa = false;
    };
    TDay DayOf(int day, int month) const;
    // Santi of more than 64 characters is refused with "Il campo Santi non può superare i 64
    // caratteri!"; an impossible date is refused too.
    bool ApplyDay(int day, int month, const TDay& value);
    // The next day after (day, month) whose saints hold the text (ignoring letter case), going
    // round the year; none when no day does.
    std::optional<std::pair<int, int>> FindSaint(const std::string& text, int day, int month) const;
    // Asks "Ripristina le impostazioni predefinite per le festività?" first.
    bool Reset();

private:
    TDayItem* Item(int day, int month) const;
    TServices& FServices;
    TDataModule& FData;
};

} // namespace qv
