#include "tariffs/Agenda.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Strings.h"

namespace qv {

const TPropTable& TDayItem::Table()
{
    using T = TDayItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Int("Giorno", &T::Giorno, &T::SetGiorno)
                                    .Int("Mese", &T::Mese, &T::SetMese)
                                    .Str("Santi", &T::Santi, &T::SetSanti)
                                    .Bool("IsFesta", &T::IsFesta, &T::SetIsFesta)
                                    .Build();
    return t;
}

bool TDayItem::IsFesta() const
{
    const auto* agenda = dynamic_cast<const TAgenda*>(FComponent);
    return agenda && agenda->Holiday(FGiorno, FMese);
}

void TDayItem::SetIsFesta(bool value)
{
    auto* agenda = dynamic_cast<TAgenda*>(FComponent);
    if (!agenda || agenda->Holiday(FGiorno, FMese) == value)
        return;
    agenda->SetHoliday(FGiorno, FMese, value);
    Changed(true);
}

const TPropTable& TMurphyItem::Table()
{
    using T = TMurphyItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Capitolo", &T::Capitolo, &T::SetCapitolo)
                                    .Str("Titolo", &T::Titolo, &T::SetTitolo)
                                    .Str("Legge", &T::Legge, &T::SetLegge)
                                    .List("Corollari", &T::Corollari, &T::SetCorollari)
                                    .Build();
    return t;
}

void TMurphyItem::SetCorollari(const std::vector<std::string>& value)
{
    if (FCorollari == value)
        return;
    FCorollari = value;
    Changed(true);
}

TAgenda::TAgenda(TServices& services) : TPersistentComponent(services, "TAgenda"), FRandom(std::random_device{}())
{
    LoadDefaults();
    SetModified(false);
}

TAgenda::~TAgenda()
{
    SaveIfModified();
}

const TPropTable& TAgenda::Table()
{
    using T = TAgenda;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .Collection("Murphy", &T::Murphy)
                                    .Collection("Giorni", static_cast<TDayItems& (T::*)()>(&T::Giorni))
                                    .List("SanctiDays", &T::SanctiDays, &T::SetSanctiDays)
                                    .Str("LoadingFile", &T::LoadingFile, &T::SetLoadingFile)
                                    .Binary("Data", &T::Data, &T::SetData)
                                    .Build();
    return t;
}

void TAgenda::SetSanctiDays(const std::vector<std::string>& value)
{
    if (FSanctiDays == value)
        return;
    FSanctiDays = value;
    SetModified(true);
}

void TAgenda::SetData(const std::string& value)
{
    if (FData == value)
        return;
    FData = value;
    SetModified(true);
}

bool TAgenda::FactoryHoliday(int day, int month)
{
    static constexpr std::pair<int, int> holidays[] = {{1, 1},  {6, 1},   {25, 4},  {1, 5},  {15, 8},
                                                        {1, 11}, {8, 12}, {25, 12}, {26, 12}};
    for (const auto& [d, m] : holidays)
        if (d == day && m == month)
            return true;
    return false;
}

bool TAgenda::Holiday(int day, int month) const
{
    if (day < 1 || day > 31 || month < 1 || month > 12)
        return false;
    return FHolidays[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)];
}

void TAgenda::SetHoliday(int day, int month, bool value)
{
    if (day < 1 || day > 31 || month < 1 || month > 12)
        return;
    FHolidays[static_cast<std::size_t>(month - 1)][static_cast<std::size_t>(day - 1)] = value;
}

bool TAgenda::IsHoliday(double date) const
{
    const TDateParts d = DecodeDate(static_cast<double>(DayNumber(date)));
    return Holiday(d.Day, d.Month) || IsEasterMonday(static_cast<double>(DayNumber(date)));
}

int TAgenda::DayIndex(double date)
{
    const TDateParts d = DecodeDate(static_cast<double>(DayNumber(date)));
    return static_cast<int>(EncodeDate(1996, d.Month, d.Day) - EncodeDate(1996, 1, 1));
}

std::string TAgenda::SaintsOf(double date) const
{
    const auto index = static_cast<std::size_t>(DayIndex(date));
    if (index >= FGiorni.Count())
        throw EQvError("Il giorno " + FormatDateTime("dd/mm/yyyy", date) + " non ha un santo!");
    return FGiorni[index].Santi();
}

std::pair<std::string, const TDayItem*> TAgenda::DayText(double date, bool withEaster) const
{
    const auto index = static_cast<std::size_t>(DayIndex(date));
    const TDayItem* item = index < FGiorni.Count() ? &FGiorni[index] : nullptr;
    std::string text = FormatDateTime("d mmmm yyyy", date) + "\r" + (item ? item->Santi() : std::string());
    if (withEaster) {
        if (IsEasterSunday(date))
            text = "Pasqua " + text;
        else if (IsEasterMonday(date))
            text = "Lunedì dell'Angelo " + text;
    }
    return {text, item};
}

void TAgenda::ResetDays()
{
    FGiorni.Clear();
    FGiorni.Reserve(366);
    const double first = EncodeDate(1996, 1, 1);
    for (int i = 0; i < 366; ++i) {
        const TDateParts d = DecodeDate(first + i);
        TDayItem& item = FGiorni.Add();
        item.SetGiorno(d.Day);
        item.SetMese(d.Month);
        item.SetSanti(static_cast<std::size_t>(i) < FSanctiDays.size() ? FSanctiDays[static_cast<std::size_t>(i)]
                                                                       : std::string());
        SetHoliday(d.Day, d.Month, FactoryHoliday(d.Day, d.Month));
    }
    SetModified(true);
}

void TAgenda::AfterLoad()
{
    // Deliberately without OnLoaded: a calendar without days gets them from the saints list.
    if (FGiorni.Count() == 0)
        ResetDays();
}

std::string TAgenda::NextLaw()
{
    const std::size_t count = FMurphy.Count();
    if (count == 0)
        return {};
    if (FShown.size() != count)
        FShown.assign(count, false);
    std::uniform_int_distribution<std::size_t> pick(0, count - 1);
    std::size_t pos = pick(FRandom);
    while (FShown[pos] && FShownCount < count)
        pos = pick(FRandom);
    if (!FShown[pos]) {
        FShown[pos] = true;
        ++FShownCount;
    }
    const TMurphyItem& law = FMurphy[pos];
    std::string text = law.Titolo();
    if (law.Legge() != law.Titolo())
        text += "\r\n" + law.Legge();
    if (!law.Corollari().empty()) {
        std::string corollari;
        for (std::size_t i = 0; i < law.Corollari().size(); ++i)
            corollari += (i ? "\r\n" : "") + law.Corollari()[i];
        text += "\r\n" + corollari;
    }
    return Trim(text);
}

void TAgenda::LoadDefaults()
{
    // The data file: "[Santi]" then one line per day of a leap year; "[Leggi]" then laws as
    // "# Capitolo" lines, "= Titolo" lines, "Legge" lines and "- Corollario" lines.
    FSanctiDays.clear();
    FMurphy.Clear();
    std::string section;
    TMurphyItem* law = nullptr;
    std::string chapter;
    for (const std::string& raw : Split(DefaultCalendarText(), '\n')) {
        const std::string line = Trim(raw);
        if (line.empty() || line.rfind("//", 0) == 0)
            continue;
        if (line == "[Santi]" || line == "[Leggi]") {
            section = line;
            continue;
        }
        if (section == "[Santi]") {
            FSanctiDays.push_back(line);
        } else if (section == "[Leggi]") {
            if (line[0] == '#') {
                chapter = Trim(line.substr(1));
            } else if (line[0] == '=') {
                law = &FMurphy.Add();
                law->SetCapitolo(chapter);
                law->SetTitolo(Trim(line.substr(1)));
                law->SetLegge(law->Titolo());
            } else if (law && line[0] == '-') {
                auto c = law->Corollari();
                c.push_back(Trim(line.substr(1)));
                law->SetCorollari(c);
            } else if (law) {
                law->SetLegge(line);
            }
        }
    }
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= 31; ++d)
            SetHoliday(d, m, FactoryHoliday(d, m));
}

} // namespace qv
