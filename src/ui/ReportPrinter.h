#pragma once
// The reports on paper and in PDF through the toolkit's printing: a report canvas over a QPainter,
// the print dialog with its copies, the preview, and "Salva come PDF...".

#include "core/Prompter.h"
#include "stats/Reports.h"

#include <QPainter>
#include <QPrinter>
#include <QString>
#include <functional>

class QWidget;

namespace qv {

class TQtReportCanvas : public IReportCanvas
{
public:
    // The painter is open on printer, whose whole page is drawn on (the margins are the layout's).
    TQtReportCanvas(QPrinter& printer, QPainter& painter);
    double PageWidth() const override { return FWidth; }
    double PageHeight() const override { return FHeight; }
    void BeginPage() override;
    void Text(double x, double top, const std::string& text, double size, int style, std::uint32_t color) override;
    double TextWidth(const std::string& text, double size, int style) override;
    void FillRect(double x, double y, double w, double h, std::uint32_t color) override;
    void GradientRect(double x, double y, double w, double h, std::uint32_t color) override;
    void Line(double x1, double y1, double x2, double y2, double width, std::uint32_t color) override;

private:
    QFont Font(double size, int style) const;
    double D(double points) const { return points * FScale; }
    QPrinter& FPrinter;
    QPainter& FPainter;
    double FScale;
    double FWidth, FHeight;
    int FPages = 0;
};

// Lays a report out on a canvas; returns its pages.
using TReportRender = std::function<int(IReportCanvas&)>;

// Sets up an A4 printer with no margins of its own, portrait or landscape.
void SetupReportPrinter(QPrinter& printer, bool landscape);
// Writes the report into a PDF file; false when the file cannot be written.
bool SaveReportPdf(const TReportRender& render, bool landscape, const QString& fileName);
// The print dialog, then the report on the chosen printer as many times as asked (or the preview).
// With no printer at all: "Uhmmm.... sei sicuro di avere una stampante installata?".
void PrintReport(const TReportRender& render, bool landscape, bool preview, IPrompter& prompter, QWidget* parent);

} // namespace qv
