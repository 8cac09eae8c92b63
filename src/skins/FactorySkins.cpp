#include "skins/FactorySkins.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

TColorRef Mix(TColorRef a, TColorRef b, double t)
{
    const auto ch = [&](int shift) {
        const double x = static_cast<double>((a >> shift) & 255) * (1 - t) + static_cast<double>((b >> shift) & 255) * t;
        return static_cast<TColorRef>(std::lround(std::clamp(x, 0.0, 255.0)));
    };
    return ch(0) | (ch(8) << 8) | (ch(16) << 16);
}

// Whether (x, y) lies inside the strip's outline: a rectangle with fully rounded ends.
bool InsideStrip(int x, int y)
{
    const double r = StripHeight / 2.0;
    const double cy = r - 0.5;
    const double px = x + 0.5, py = y + 0.5;
    double cx = px;
    if (px < r)
        cx = r;
    else if (px > StripWidth - r)
        cx = StripWidth - r;
    else
        return true;
    const double dx = px - cx, dy = py - (cy + 0.5);
    return dx * dx + dy * dy <= r * r;
}

} // namespace

TBitmap FactoryStrip()
{
    TBitmap b = TBitmap::Make(StripWidth, StripHeight, StripKey);
    const TColorRef top = RGB(0x2C, 0x3C, 0x8C), bottom = RGB(0x08, 0x0E, 0x3C), rim = RGB(0x88, 0x98, 0xD8);
    for (int y = 0; y < StripHeight; ++y)
        for (int x = 0; x < StripWidth; ++x) {
            if (!InsideStrip(x, y))
                continue;
            // A rim where a neighbour falls outside the outline.
            const bool edge = !InsideStrip(x - 1, y) || !InsideStrip(x + 1, y) || !InsideStrip(x, y - 1) ||
                              !InsideStrip(x, y + 1);
            TColorRef c = Mix(top, bottom, static_cast<double>(y) / (StripHeight - 1));
            if (y <= 2)
                c = Mix(c, RGB(255, 255, 255), 0.18 - 0.05 * y); // a gloss along the top
            b.Set(x, y, edge ? rim : c);
        }
    // The recessed panels behind the digits.
    const int panels[][2] = {{22, 70}, {72, 102}, {104, 128}, {130, 176}};
    for (const auto& p : panels)
        for (int y = 3; y <= 12; ++y)
            for (int x = p[0]; x <= p[1]; ++x) {
                const bool border = y == 3 || y == 12 || x == p[0] || x == p[1];
                b.Set(x, y, border ? (y == 3 || x == p[0] ? RGB(0x04, 0x06, 0x20) : RGB(0x50, 0x60, 0xA8))
                                   : RGB(0x06, 0x0A, 0x2A));
            }
    // The coin at the left end: gold with a darker ring and a light spot.
    const double cx = 11.5, cy = 7.5;
    for (int y = 0; y < StripHeight; ++y)
        for (int x = 4; x < 20; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d <= 5.6)
                b.Set(x, y, d > 4.6 ? RGB(0x9A, 0x70, 0x10) : Mix(RGB(0xFF, 0xE0, 0x60), RGB(0xD8, 0xA0, 0x20), (y - 3) / 9.0));
        }
    for (const auto& [x, y] : {std::pair{9, 5}, std::pair{10, 5}, std::pair{9, 6}})
        b.Set(x, y, RGB(0xFF, 0xF8, 0xD0));
    // A lira sign stamped on the coin.
    for (const auto& [x, y] : {std::pair{12, 5}, std::pair{11, 6}, std::pair{11, 7}, std::pair{10, 8}, std::pair{11, 8},
                               std::pair{12, 8}, std::pair{11, 9}, std::pair{10, 10}, std::pair{11, 10},
                               std::pair{12, 10}, std::pair{13, 10}})
        b.Set(x, y, RGB(0x80, 0x58, 0x08));
    return b;
}

TBitmap ButtonGlyph(const std::string& name)
{
    constexpr int n = 7;
    TBitmap g = TBitmap::Make(n, n, StripKey);
    const auto put = [&g](int x, int y, TColorRef c) {
        if (x >= 0 && y >= 0 && x < n && y < n)
            g.Set(x, y, c);
    };
    if (name == "btStart") {
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                if (std::hypot(x - 3.0, y - 3.0) <= 3.1)
                    put(x, y, std::hypot(x - 2.0, y - 2.0) < 1.2 ? RGB(0xB0, 0xFF, 0xB0) : RGB(0x30, 0xC0, 0x40));
    } else if (name == "btApplicazioni") {
        for (int y = 0; y < n; ++y)
            for (int x = 1; x <= 1 + (3 - std::abs(y - 3)) * 2 && x < n; ++x)
                put(x, y, RGB(0xE8, 0xEC, 0xFF));
    } else if (name == "btNascondi") {
        for (int x = 0; x < n; ++x) {
            put(x, 4, RGB(0xE8, 0xEC, 0xFF));
            put(x, 5, RGB(0xE8, 0xEC, 0xFF));
        }
    } else if (name == "btDisconnetti") {
        for (int i = 0; i < n; ++i) {
            put(i, i, RGB(0xFF, 0x60, 0x50));
            put(n - 1 - i, i, RGB(0xFF, 0x60, 0x50));
            put(i + 1, i, RGB(0xC0, 0x30, 0x28));
            put(n - 2 - i, i, RGB(0xC0, 0x30, 0x28));
        }
    } else {
        return {};
    }
    // The bottom-left pixel stays the key colour: the button leaves it out.
    g.Set(0, n - 1, StripKey);
    return g;
}

std::vector<TFormControl> DefaultDesign()
{
    TSkinFont digits;
    digits.SetName("DejaVu Sans Mono");
    digits.SetHeight(-9);
    digits.SetColor(static_cast<std::int32_t>(RGB(0xF0, 0xF0, 0xFF)));
    digits.SetStyle(fsBold);
    const auto label = [&digits](const char* name, int left, int top = 2) {
        TFormControl c;
        c.Name = name;
        c.Left = left;
        c.Top = top;
        c.Font = digits;
        return c;
    };
    std::vector<TFormControl> design = {
        label("lbTempoTrascorso", 23),
        label("lbQuorvanta", 73),
        label("lbNumeroScatti", 105),
        label("lbSpesa", 131),
        // The byte counters have no room on the strip: below it, for skins that show them.
        label("LabelBytesTransmitted", 23, StripHeight + 2),
        label("LabelBytesReceived", 105, StripHeight + 2),
    };
    int left = 179;
    for (const char* name : {"btStart", "btApplicazioni", "btNascondi", "btDisconnetti"}) {
        TFormControl c;
        c.Name = name;
        c.Left = left;
        c.Top = 3;
        c.Button = true;
        c.Font = digits;
        c.Glyph = WriteBmp(ButtonGlyph(name));
        design.push_back(c);
        left += 9;
    }
    return design;
}

} // namespace qv
