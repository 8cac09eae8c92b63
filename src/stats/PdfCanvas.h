#pragma once
// A report canvas that writes a PDF file by itself: the standard Helvetica fonts in the Windows
// code page, filled rectangles, lines. Enough for the reports of the command line, which has no
// toolkit to print with.

#include "stats/Reports.h"

#include <string>
#include <vector>

namespace qv {

class TPdfCanvas : public IReportCanvas
{
public:
    TPdfCanvas(double pageWidth, double pageHeight) : FWidth(pageWidth), FHeight(pageHeight) {}

    double PageWidth() const override { return FWidth; }
    double PageHeight() const override { return FHeight; }
    void BeginPage() override;
    void Text(double x, double top, const std::string& text, double size, int style, std::uint32_t color) override;
    double TextWidth(const std::string& text, double size, int style) override;
    void FillRect(double x, double y, double w, double h, std::uint32_t color) override;
    void GradientRect(double x, double y, double w, double h, std::uint32_t color) override;
    void Line(double x1, double y1, double x2, double y2, double width, std::uint32_t color) override;

    // The whole document.
    std::string Document() const;
    // Writes the document; raises EQvError when the file cannot be written.
    void SaveToFile(const std::string& fileName) const;
    std::size_t PageCount() const { return FPages.size(); }

private:
    std::string& Page();
    static std::string Color(std::uint32_t rgb, bool stroke);
    double FWidth, FHeight;
    std::vector<std::string> FPages;
};

} // namespace qv
