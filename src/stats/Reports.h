#pragma once
// The two printed reports of the statistics: the details report (tree nodes with their totals, or
// single connections) and the chart report. Their pages are laid out here, once, on an abstract
// canvas: the window draws them on a printer or a PDF through the toolkit, the command line through
// the PDF writer of its own.

#include "stats/StatsWindow.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

enum TReportFontStyle
{
    rfNormal = 0,
    rfBold = 1,
    rfItalic = 2,
    rfBoldItalic = 3
};

// A page surface in points (1/72 inch), the origin at the page's top left corner.
class IReportCanvas
{
public:
    virtual ~IReportCanvas() = default;
    virtual double PageWidth() const = 0;
    virtual double PageHeight() const = 0;
    // The first call begins the first page, each later one a new page.
    virtual void BeginPage() = 0;
    // top: the top of the text's line; text in UTF-8.
    virtual void Text(double x, double top, const std::string& text, double size, int style,
                      std::uint32_t color = 0) = 0;
    virtual double TextWidth(const std::string& text, double size, int style) = 0;
    virtual void FillRect(double x, double y, double w, double h, std::uint32_t color) = 0;
    // A bar filled from white at its top edge to the colour at its bottom edge.
    virtual void GradientRect(double x, double y, double w, double h, std::uint32_t color) = 0;
    virtual void Line(double x1, double y1, double x2, double y2, double width, std::uint32_t color) = 0;
};

constexpr double MmToPoints = 72.0 / 25.4;
constexpr double A4ShortSide = 210 * MmToPoints;
constexpr double A4LongSide = 297 * MmToPoints;
constexpr double ReportMargin = 10 * MmToPoints;

// One printed row of the details report.
struct TDetailsRow
{
    std::array<std::string, 5> Columns; // "Descrizione", "Scatti", "£ire", "€uro", "Durata"
    int Level = 3;                      // the style: that of the node row printed before a connection
    bool Node = false;
};
extern const std::array<const char*, 5> DetailsColumns;
std::vector<TDetailsRow> DetailsRows(const std::vector<TPrintRequest::TElement>& elements);
// The data plans' cycles that meet the elements' period, after them: a "Piani dati" row, then each
// cycle with its volume and its cost in the €uro column (nothing without plans).
void AppendPlanRows(std::vector<TDetailsRow>& rows, const std::vector<TPrintRequest::TElement>& elements,
                    const TDataPlans& plans, double now);

// Font style, band height (pixels) and description indent (pixels) of a node level.
struct TLevelStyle
{
    int Style;
    int BandHeight;
    int Indent;
};
TLevelStyle LevelStyle(int level);

// "Intervallo di osservazione:" and the five status texts, each trimmed, joined with blanks.
std::string ObservationLine(const std::array<std::string, 5>& totals);

// Lays the reports out on pages; now is the date printed in the title band. Each returns the
// number of pages.
int RenderDetailsReport(IReportCanvas& canvas, const std::vector<TDetailsRow>& rows, double now);
int RenderChartReport(IReportCanvas& canvas, const TChartData& chart, const std::array<std::string, 5>& totals,
                      bool legend, double now);

} // namespace qv
