#include "app/CalendarEditor.h"

#include "core/DateTime.h"
#include "core/Strings.h"

#include <algorithm>
#include <cctype>

namespace qv {

namespace {

// Lower case for ASCII and the accented Latin letters of Italian names (two-byte UTF-8 forms).
std::string Folded(const std::string& s)
{
    std::string out = s;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x80)
            out[i] = static_cast<char>(std::tolower(c));
        else if (c == 0xC3 && i + 1 < out.size()) {
            const auto d = static_cast<unsigned char>(out[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97)
                out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

} // namespace

std::vector<TCalendarEditor::TCell> TCalendarEditor::Month(int year, int month) const
{
    std::vector<TCell> cells;
    for (int d = 1; d <= DaysInMonth(year, month); ++d) {
        const double date = EncodeDate(year, month, d);
        const int dow = DayOfWeek(date);
        cells.push_back({d, dow, dow == 1 || dow == 7, FData.Agenda.IsHoliday(date)});
    }
    return cells;
}

TDayItem* TCalendarEditor::Item(int day, int month) const
{
    const auto date = TryEncodeDate(1996, month, day);
    if (!date)
        return nullptr;
    const auto index = static_cast<std::size_t>(TAgenda::DayIndex(*date));
    TDayItems& days = FData.Agenda.Giorni();
    return index < days.Count() ? &days[index] : nullptr;
}

TCalendarEditor::TDay TCalendarEditor::DayOf(int day, int month) const
{
    const TDayItem* item = Item(day, month);
    if (!item)
        return {};
    return {item->Santi(), item->IsFesta()};
}

bool TCalendarEditor::ApplyDay(int day, int month, const TDay& value)
{
    TDayItem* item = Item(day, month);
    if (!item) {
        ShowError(FServices.Prompter, "Il giorno " + std::to_string(day) + "/" + std::to_string(month) + " non esiste!");
        return false;
    }
    if (Utf8Length(value.Santi) > MaxSanti) {
        ShowWarning(FServices.Prompter, std::string("Il campo ") + LabelSanti + " non può superare i 64 caratteri!");
        return false;
    }
    item->SetSanti(value.Santi);
    item->SetIsFesta(value.Festa);
    return true;
}

std::optional<std::pair<int, int>> TCalendarEditor::FindSaint(const std::string& text, int day, int month) const
{
    const std::string wanted = Folded(Trim(text));
    const TDayItems& days = FData.Agenda.Giorni();
    if (wanted.empty() || days.Count() == 0)
        return std::nullopt;
    const auto start = TryEncodeDate(1996, month, day);
    const std::size_t from = start ? static_cast<std::size_t>(TAgenda::DayIndex(*start)) : days.Count() - 1;
    for (std::size_t k = 1; k <= days.Count(); ++k) {
        const TDayItem& d = days[(from + k) % days.Count()];
        if (Folded(d.Santi()).find(wanted) != std::string::npos)
            return std::make_pair(d.Giorno(), d.Mese());
    }
    return std::nullopt;
}

bool TCalendarEditor::Reset()
{
    if (AskYesNo(FServices.Prompter, "Ripristina le impostazioni predefinite per le festività?") != TModalResult::mrYes)
        return false;
    FData.Agenda.ResetDays();
    return true;
}

} // namespace qv
