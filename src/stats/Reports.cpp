#include "stats/Reports.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace qv {

namespace {

constexpr double PixelToPoints = 0.75; // band heights are given in pixels of a 96 dpi screen
constexpr std::uint32_t Navy = 0x000080;
constexpr std::uint32_t Grey = 0x808080;
constexpr double TitleBand = 42;
constexpr double FooterBand = 20;

// The text cut to a width, with "..." when something was cut.
std::string Fit(IReportCanvas& c, const std::string& text, double size, int style, double width)
{
    if (c.TextWidth(text, size, style) <= width)
        return text;
    std::string cut = text;
    while (!cut.empty() && c.TextWidth(cut + "...", size, style) > width)
        cut = Utf8Left(cut, Utf8Length(cut) - 1);
    return cut + "...";
}

// The page frame both reports share: the title band with title, logo and date, a column header
// band, the detail bands and the footer "Pagina N" at the right.
class TPageLayout
{
public:
    TPageLayout(IReportCanvas& canvas, std::string title, double now) : C(canvas), FTitle(std::move(title)), FNow(now)
    {
    }
    // Called at the top of every page after the title band, to draw the column header band.
    std::function<void(double& y)> Header;

    double Left() const { return ReportMargin; }
    double Right() const { return C.PageWidth() - ReportMargin; }
    double Width() const { return Right() - Left(); }

    // The top of a band of the given height, on a new page when this one has no room for it.
    double Band(double height)
    {
        if (FPages == 0 || FY + height > C.PageHeight() - ReportMargin - FooterBand)
            NewPage();
        const double top = FY;
        FY += height;
        return top;
    }
    // The height left on the page for bands (the first page is begun when none is).
    double Room()
    {
        if (FPages == 0)
            NewPage();
        return C.PageHeight() - ReportMargin - FooterBand - FY;
    }
    int Finish()
    {
        if (FPages == 0)
            NewPage();
        return FPages;
    }

private:
    void NewPage()
    {
        C.BeginPage();
        ++FPages;
        const double top = ReportMargin;
        // The logo and the date at the right, the title in the room left of them.
        const std::string logo = "Quorvanta";
        const double logoWidth = C.TextWidth(logo, 18, rfBoldItalic);
        C.Text(Right() - logoWidth, top, logo, 18, rfBoldItalic, Navy);
        const std::string date = FormatDateTime("dd/mm/yyyy hh:nn:ss", FNow);
        C.Text(Right() - C.TextWidth(date, 8, rfNormal), top + 22, date, 8, rfNormal);
        C.Text(Left(), top + 6, Fit(C, FTitle, 15, rfBold, Width() - logoWidth - 20), 15, rfBold);
        C.Line(Left(), top + TitleBand - 6, Right(), top + TitleBand - 6, 1.2, Navy);
        FY = top + TitleBand;
        const std::string page = "Pagina " + std::to_string(FPages);
        const double footerTop = C.PageHeight() - ReportMargin - 12;
        C.Line(Left(), footerTop - 4, Right(), footerTop - 4, 0.5, Grey);
        C.Text(Right() - C.TextWidth(page, 9, rfNormal), footerTop, page, 9, rfNormal);
        if (Header)
            Header(FY);
    }
    IReportCanvas& C;
    std::string FTitle;
    double FNow;
    double FY = 0;
    int FPages = 0;
};

// The root, years and months in a larger type than days and connections.
double RowTextSize(const TDetailsRow& r)
{
    return r.Node && r.Level < 3 ? 9.5 : 8.5;
}

} // namespace

const std::array<const char*, 5> DetailsColumns = {"Descrizione", "Scatti", "£ire", "€uro", "Durata"};

std::vector<TDetailsRow> DetailsRows(const std::vector<TPrintRequest::TElement>& elements)
{
    std::vector<TDetailsRow> rows;
    rows.reserve(elements.size());
    int level = 3;
    for (const auto& e : elements) {
        TDetailsRow r;
        if (e.Node) {
            const TElementoData& d = *e.Node;
            level = d.Level;
            r.Node = true;
            r.Columns = {d.Description, std::to_string(d.Pulses), FormatPattern("%3.0n", d.Lire),
                         FormatPattern("%3.3n", d.Euro), TotalHoursText(d.Duration)};
        } else if (e.Connection) {
            const TDataUnitsItem& u = *e.Connection;
            r.Columns = {"[" + u.N() + "] " + FormatDateTime("d mmm yyyy", u.I()) + " dalle " +
                             FormatDateTime("h:nn:ss", u.I()) + " alle " + FormatDateTime("h:nn:ss", u.F()),
                         std::to_string(u.S()), FormatPattern("%3.0n", u.L()), FormatPattern("%3.3n", u.E()),
                         FormatDurationShort(AbsDifference(u.F(), u.I()), false)};
        } else {
            continue;
        }
        r.Level = level;
        rows.push_back(std::move(r));
    }
    return rows;
}

void AppendPlanRows(std::vector<TDetailsRow>& rows, const std::vector<TPrintRequest::TElement>& elements,
                    const TDataPlans& plans, double now)
{
    const std::vector<TDataPlan> list = plans.PlanList();
    if (list.empty())
        return;
    double from = -1, to = -1;
    for (const auto& e : elements) {
        const double start = e.Node ? e.Node->RangeStart : e.Connection ? e.Connection->I() : -1;
        const double end = e.Node ? e.Node->RangeEnd : e.Connection ? e.Connection->F() : -1;
        if (start < 0)
            continue;
        from = from < 0 ? start : std::min(from, start);
        to = std::max(to, end);
    }
    if (from < 0)
        return;
    const TChartData cycles = ComputeVolumeChart(list, plans.Usage(), TChartGroup::Connessioni, from, to, now);
    TDetailsRow head;
    head.Node = true;
    head.Level = 1;
    double cost = 0;
    std::vector<TDetailsRow> cycleRows;
    for (auto it = cycles.Points.rbegin(); it != cycles.Points.rend(); ++it) {
        if (it->Label == "nessuna")
            continue;
        // The mark is "volume · € cost".
        const auto dot = it->Mark.find(" · ");
        TDetailsRow r;
        r.Level = 1;
        r.Columns = {it->Label + " · " + it->Mark.substr(0, dot), "", "",
                     dot == std::string::npos ? "" : it->Mark.substr(dot + std::string(" · ").size()), ""};
        cycleRows.push_back(std::move(r));
    }
    cost = cycles.Totals.Euro;
    head.Columns = {"Piani dati: " + VolumeText(cycles.Totals.Volume.value_or(0)) + " nel periodo", "", "",
                    EuroText(cost), ""};
    rows.push_back(std::move(head));
    rows.insert(rows.end(), cycleRows.begin(), cycleRows.end());
    if (!cycles.Note.empty()) {
        TDetailsRow note;
        note.Level = 1;
        note.Columns = {cycles.Note, "", "", "", ""};
        rows.push_back(std::move(note));
    }
}

TLevelStyle LevelStyle(int level)
{
    switch (level) {
    case 0:
        return {rfBoldItalic, 35, 0};
    case 1:
        return {rfBold, 30, 8};
    case 2:
        return {rfItalic, 25, 16};
    default:
        return {rfNormal, 20, 24};
    }
}

std::string ObservationLine(const std::array<std::string, 5>& totals)
{
    std::string line = "Intervallo di osservazione:";
    for (const auto& t : totals)
        if (!Trim(t).empty())
            line += " " + Trim(t);
    return line;
}

int RenderDetailsReport(IReportCanvas& canvas, const std::vector<TDetailsRow>& rows, double now)
{
    TPageLayout page(canvas, "Dettagli delle connessioni", now);
    // The number columns as wide as their widest text; the description has the rest of the line.
    std::array<double, 5> widths{};
    for (std::size_t c = 1; c < 5; ++c) {
        widths[c] = canvas.TextWidth(DetailsColumns[c], 9, rfItalic);
        for (const TDetailsRow& r : rows)
            widths[c] = std::max(widths[c], canvas.TextWidth(r.Columns[c], RowTextSize(r), LevelStyle(r.Level).Style));
        widths[c] += 14;
    }
    widths[0] = std::max(0.35 * page.Width(), page.Width() - widths[1] - widths[2] - widths[3] - widths[4]);
    std::array<double, 6> x{};
    x[0] = page.Left();
    for (std::size_t i = 0; i < 5; ++i)
        x[i + 1] = x[i] + widths[i];
    const auto cell = [&](std::size_t c, double top, const std::string& text, double size, int style, double indent) {
        // Numbers are right-aligned in their column, texts start at its left edge.
        const double room = x[c + 1] - x[c] - 6 - indent;
        const std::string shown = Fit(canvas, text, size, style, room);
        if (c >= 1 && c <= 3)
            canvas.Text(x[c + 1] - 6 - canvas.TextWidth(shown, size, style), top, shown, size, style);
        else
            canvas.Text(x[c] + 2 + indent, top, shown, size, style);
    };
    page.Header = [&](double& y) {
        canvas.FillRect(page.Left(), y, page.Width(), 16, 0xE8E8F0);
        for (std::size_t c = 0; c < 5; ++c)
            cell(c, y + 3, DetailsColumns[c], 9, rfItalic, 0);
        y += 20;
    };
    for (const TDetailsRow& r : rows) {
        const TLevelStyle s = LevelStyle(r.Level);
        const double height = s.BandHeight * PixelToPoints;
        const double top = page.Band(height);
        const double size = RowTextSize(r);
        const double textTop = top + (height - size) / 2 - 1;
        for (std::size_t c = 0; c < 5; ++c)
            cell(c, textTop, r.Columns[c], size, s.Style, c == 0 ? s.Indent * PixelToPoints : 0);
        if (r.Node)
            canvas.Line(page.Left(), top + height - 0.5, page.Right(), top + height - 0.5, 0.3, 0xC0C0C0);
    }
    return page.Finish();
}

int RenderChartReport(IReportCanvas& canvas, const TChartData& chart, const std::array<std::string, 5>& totals,
                      bool legend, double now)
{
    TPageLayout page(canvas, chart.Title, now);
    const std::string observation = ObservationLine(totals);
    page.Header = [&](double& y) {
        canvas.Text(page.Left(), y, Fit(canvas, observation, 8.5, rfItalic, page.Width()), 8.5, rfItalic);
        y += 18;
    };
    double maxValue = 0;
    double labelWidth = 0, markRoom = 0;
    for (const auto& p : chart.Points) {
        maxValue = std::max(maxValue, p.Value);
        labelWidth = std::max(labelWidth, canvas.TextWidth(p.Label, 8, rfNormal));
        markRoom = std::max(markRoom, canvas.TextWidth(p.Mark, 8, rfNormal) + 6);
    }
    // Labels and marks as wide as they need, within a third of the line each.
    labelWidth = std::min(labelWidth + 4, page.Width() / 3);
    markRoom = std::min(markRoom, page.Width() / 3);
    const double barLeft = page.Left() + labelWidth + 6;
    const double barRoom = page.Right() - markRoom - barLeft;
    // The bars share the page's height (the legend's lines kept aside), at least 15 points a row.
    const std::size_t count = std::max<std::size_t>(1, chart.Points.size());
    const double legendHeight = legend ? 6 + 13.0 * static_cast<double>(chart.Points.size()) : 0;
    const double room = page.Room() - legendHeight;
    const double rowHeight = std::clamp(room / static_cast<double>(count), 15.0, 40.0);
    const double barHeight = std::min(rowHeight - 4, 24.0);
    // The series' last point is its first group: it is printed first, as the window shows it on top.
    for (auto it = chart.Points.rbegin(); it != chart.Points.rend(); ++it) {
        const TChartPoint& p = *it;
        const double top = page.Band(rowHeight);
        const double textTop = top + (rowHeight - 8) / 2 - 1;
        canvas.Text(page.Left(), textTop, Fit(canvas, p.Label, 8, rfNormal, labelWidth), 8, rfNormal);
        const double w = maxValue > 0 ? std::max(0.0, p.Value) / maxValue * barRoom : 0;
        if (w > 0) {
            // Outlined, so white and pale bars show on paper.
            const double y0 = top + (rowHeight - barHeight) / 2, y1 = y0 + barHeight;
            canvas.GradientRect(barLeft, y0, w, y1 - y0, p.Color);
            canvas.Line(barLeft, y0, barLeft + w, y0, 0.4, Grey);
            canvas.Line(barLeft + w, y0, barLeft + w, y1, 0.4, Grey);
            canvas.Line(barLeft, y1, barLeft + w, y1, 0.4, Grey);
        }
        canvas.Line(barLeft, top, barLeft, top + rowHeight, 0.5, Grey);
        canvas.Text(barLeft + w + 4, textTop, Fit(canvas, p.Mark, 8, rfNormal, markRoom - 4), 8, rfNormal);
    }
    if (legend) {
        page.Band(6);
        for (auto it = chart.Points.rbegin(); it != chart.Points.rend(); ++it) {
            const double top = page.Band(13);
            const double l = page.Left(), t = top + 2;
            canvas.FillRect(l, t, 9, 9, it->Color);
            for (const auto& [a, b, c, d] : {std::array<double, 4>{l, t, l + 9, t}, {l + 9, t, l + 9, t + 9},
                                             {l, t + 9, l + 9, t + 9}, {l, t, l, t + 9}})
                canvas.Line(a, b, c, d, 0.4, Grey);
            canvas.Text(page.Left() + 14, top + 2, it->Label + "  " + it->Mark, 8, rfNormal);
        }
    }
    return page.Finish();
}

} // namespace qv
