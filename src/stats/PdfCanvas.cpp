#include "stats/PdfCanvas.h"

#include "core/Errors.h"
#include "core/Strings.h"

#include <array>
#include <cstdio>
#include <fstream>

namespace qv {

namespace {

// Helvetica's advance widths (thousandths of the font size) of the printable ASCII characters.
constexpr std::array<short, 95> HelveticaWidths = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278, // space .. /
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556,                               // 0 .. 9
    278, 278, 584, 584, 584, 556, 1015,                                             // : .. @
    667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833,                // A .. M
    722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611,                // N .. Z
    278, 278, 278, 469, 556, 333,                                                   // [ .. `
    556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833,                // a .. m
    556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500,                // n .. z
    334, 260, 334, 584};                                                            // { .. ~

double CharWidth(unsigned char c)
{
    if (c >= 32 && c <= 126)
        return HelveticaWidths[c - 32];
    if (c >= 0xC0 && c <= 0xDF)
        return 700; // accented capitals
    return 556;     // accented small letters, "£", "€" and the rest
}

std::string Number(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string Escaped(const std::string& cp1252)
{
    std::string out;
    out.reserve(cp1252.size() + 8);
    for (const char c : cp1252) {
        if (c == '(' || c == ')' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

std::string& TPdfCanvas::Page()
{
    if (FPages.empty())
        FPages.emplace_back();
    return FPages.back();
}

void TPdfCanvas::BeginPage()
{
    FPages.emplace_back();
}

std::string TPdfCanvas::Color(std::uint32_t rgb, bool stroke)
{
    return Number(((rgb >> 16) & 0xFF) / 255.0) + " " + Number(((rgb >> 8) & 0xFF) / 255.0) + " " +
           Number((rgb & 0xFF) / 255.0) + (stroke ? " RG\n" : " rg\n");
}

void TPdfCanvas::Text(double x, double top, const std::string& text, double size, int style, std::uint32_t color)
{
    // The baseline sits about 0.8 of the size below the line's top.
    const double baseline = FHeight - top - size * 0.8;
    Page() += Color(color, false) + "BT /F" + std::to_string(style & 3) + " " + Number(size) + " Tf " + Number(x) +
              " " + Number(baseline) + " Td (" + Escaped(Utf8ToCp1252(text)) + ") Tj ET\n";
}

double TPdfCanvas::TextWidth(const std::string& text, double size, int style)
{
    double units = 0;
    for (const char c : Utf8ToCp1252(text))
        units += CharWidth(static_cast<unsigned char>(c));
    if (style & rfBold)
        units *= 1.06;
    return units * size / 1000.0;
}

void TPdfCanvas::FillRect(double x, double y, double w, double h, std::uint32_t color)
{
    Page() += Color(color, false) + Number(x) + " " + Number(FHeight - y - h) + " " + Number(w) + " " + Number(h) +
              " re f\n";
}

void TPdfCanvas::GradientRect(double x, double y, double w, double h, std::uint32_t color)
{
    // Strips from white to the colour.
    constexpr int steps = 8;
    for (int i = 0; i < steps; ++i) {
        const double t = (i + 1.0) / steps;
        std::uint32_t mixed = 0;
        for (int shift : {16, 8, 0}) {
            const double c = (color >> shift) & 0xFF;
            mixed |= static_cast<std::uint32_t>(255 + (c - 255) * t) << shift;
        }
        FillRect(x, y + h * i / steps, w, h / steps + 0.05, mixed);
    }
}

void TPdfCanvas::Line(double x1, double y1, double x2, double y2, double width, std::uint32_t color)
{
    Page() += Color(color, true) + Number(width) + " w " + Number(x1) + " " + Number(FHeight - y1) + " m " +
              Number(x2) + " " + Number(FHeight - y2) + " l S\n";
}

std::string TPdfCanvas::Document() const
{
    std::vector<std::string> objects; // object n is objects[n - 1]
    const std::size_t pages = FPages.empty() ? 1 : FPages.size();
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (std::size_t i = 0; i < pages; ++i)
        kids += std::to_string(8 + 2 * i) + " 0 R ";
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (const char* font : {"Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique"})
        objects.push_back(std::string("<< /Type /Font /Subtype /Type1 /BaseFont /") + font +
                          " /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Producer (Quorvanta) >>");
    for (std::size_t i = 0; i < pages; ++i) {
        const std::string content = i < FPages.size() ? FPages[i] : std::string();
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(FWidth) + " " + Number(FHeight) +
                          "] /Resources << /Font << /F0 3 0 R /F1 4 0 R /F2 5 0 R /F3 6 0 R >> >> /Contents " +
                          std::to_string(9 + 2 * i) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
    }
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t n = 0; n < objects.size(); ++n) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(n + 1) + " 0 obj\n" + objects[n] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const std::size_t o : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info 7 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

void TPdfCanvas::SaveToFile(const std::string& fileName) const
{
    const std::string pdf = Document();
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(pdf.data(), static_cast<std::streamsize>(pdf.size()));
    out.close();
    if (!out)
        throw EQvError("Impossibile salvare il file " + fileName);
}

} // namespace qv
