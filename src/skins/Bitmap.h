#pragma once
// Device-independent bitmaps as the skins keep them: a BMP file image read into pixels (1, 4, 8, 16,
// 24 and 32 bits per pixel, uncompressed, bottom-up or top-down) and written back as 24-bit or as
// 8-bit with a palette; and the window shape of a skin: the runs of the key colour (the colour of
// the bottom-left pixel), row by row, that are cut out of the window.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// Colours are Windows RGB values: red in the low byte, blue in the third.
using TColorRef = std::uint32_t;
constexpr TColorRef RGB(int r, int g, int b)
{
    return static_cast<TColorRef>(r & 255) | (static_cast<TColorRef>(g & 255) << 8) |
           (static_cast<TColorRef>(b & 255) << 16);
}

struct TBitmap
{
    int Width = 0;
    int Height = 0;
    // Bits per pixel of the file it came from (24 for one made in memory).
    int BitCount = 24;
    // Row by row from the top, Width × Height colours.
    std::vector<TColorRef> Pixels;
    // The palette of a bitmap of 8 bits or fewer per pixel, and each pixel's index into it.
    std::vector<TColorRef> Palette;
    std::vector<std::uint8_t> Indices;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    TColorRef At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)]; }
    void Set(int x, int y, TColorRef c) { Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)] = c; }
    static TBitmap Make(int width, int height, TColorRef fill);
    // The colour of the bottom-left pixel: what a skin's shape and a button's glyph leave out.
    TColorRef KeyColor() const { return Empty() ? 0 : At(0, Height - 1); }
};

// Reads a BMP file image; false with the reason on anything it cannot read (never more than the
// bytes given, never a size beyond 32768 × 32768).
bool ReadBmp(const std::string& bytes, TBitmap& out, std::string& error);
// A BMP file image: 8 bits with the palette when the bitmap has one of at most 256 colours,
// otherwise 24 bits.
std::string WriteBmp(const TBitmap& bitmap);

struct TRunRect
{
    int Left, Top, Right, Bottom; // right and bottom excluded
};
// Every maximal run of the key colour in each row, left to right, top to bottom.
std::vector<TRunRect> KeyRuns(const TBitmap& bitmap);
// What stays of the window: per row, the runs between the key runs.
std::vector<TRunRect> OpaqueRuns(const TBitmap& bitmap);

} // namespace qv
