#include "skins/Bitmap.h"

#include <map>

namespace qv {

namespace {

std::uint32_t Le(const std::string& b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

void PutLe(std::string& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b += static_cast<char>((v >> (8 * i)) & 255);
}

// The width in bits of a mask's run of ones, and its shift.
void MaskShape(std::uint32_t mask, int& shift, int& bits)
{
    shift = 0;
    bits = 0;
    if (mask == 0)
        return;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
}

int Channel(std::uint32_t pixel, std::uint32_t mask)
{
    int shift = 0, bits = 0;
    MaskShape(mask, shift, bits);
    if (bits == 0)
        return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    const std::uint32_t max = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1);
    return static_cast<int>((v * 255 + max / 2) / max);
}

bool Fail(std::string& error, const char* why)
{
    error = why;
    return false;
}

} // namespace

TBitmap TBitmap::Make(int width, int height, TColorRef fill)
{
    TBitmap b;
    b.Width = width;
    b.Height = height;
    b.Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
    return b;
}

bool ReadBmp(const std::string& b, TBitmap& out, std::string& error)
{
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        return Fail(error, "non è una bitmap");
    const std::uint32_t offBits = Le(b, 10, 4);
    const std::uint32_t headerSize = Le(b, 14, 4);
    if (headerSize < 12 || 14 + static_cast<std::size_t>(headerSize) > b.size())
        return Fail(error, "intestazione della bitmap non valida");
    std::int64_t width = 0, height = 0;
    int bitCount = 0;
    std::uint32_t compression = 0, colorsUsed = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    std::size_t paletteEntry = 4;
    if (headerSize == 12) { // the OS/2 header
        width = Le(b, 18, 2);
        height = static_cast<std::int16_t>(Le(b, 20, 2));
        bitCount = static_cast<int>(Le(b, 24, 2));
        paletteEntry = 3;
    } else {
        if (headerSize < 40)
            return Fail(error, "intestazione della bitmap non valida");
        width = static_cast<std::int32_t>(Le(b, 18, 4));
        height = static_cast<std::int32_t>(Le(b, 22, 4));
        bitCount = static_cast<int>(Le(b, 28, 2));
        compression = Le(b, 30, 4);
        colorsUsed = Le(b, 46, 4);
        if (compression == 3) { // bit fields: after a 40-byte header, or inside a longer one
            if (14 + 40 + 12 > b.size())
                return Fail(error, "maschere dei colori mancanti");
            for (int i = 0; i < 3; ++i)
                masks[i] = Le(b, 14 + 40 + static_cast<std::size_t>(i) * 4, 4);
        } else if (compression != 0) {
            return Fail(error, "bitmap compressa");
        }
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > 32768 || height > 32768)
        return Fail(error, "dimensioni della bitmap non valide");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return Fail(error, "profondità di colore non supportata");
    if (compression == 3 && bitCount != 16 && bitCount != 32)
        return Fail(error, "bitmap compressa");
    if (compression == 0 && bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    if (compression == 0 && bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    const std::size_t stride = ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32) * 4;
    const std::size_t imageSize = stride * static_cast<std::size_t>(height);
    if (offBits > b.size() || b.size() - offBits < imageSize)
        return Fail(error, "dati della bitmap troncati");

    TBitmap bmp;
    bmp.Width = static_cast<int>(width);
    bmp.Height = static_cast<int>(height);
    bmp.BitCount = bitCount;
    if (bitCount <= 8) {
        std::size_t colors = colorsUsed ? colorsUsed : (std::size_t{1} << bitCount);
        if (colors > 256)
            return Fail(error, "tavolozza non valida");
        const std::size_t at = 14 + headerSize + (compression == 3 ? 12 : 0);
        if (at + colors * paletteEntry > offBits || at + colors * paletteEntry > b.size())
            return Fail(error, "tavolozza troncata");
        for (std::size_t i = 0; i < colors; ++i) {
            const std::size_t e = at + i * paletteEntry;
            bmp.Palette.push_back(RGB(static_cast<unsigned char>(b[e + 2]), static_cast<unsigned char>(b[e + 1]),
                                      static_cast<unsigned char>(b[e])));
        }
        bmp.Indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    }
    bmp.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < bmp.Height; ++y) {
        const int fileRow = topDown ? y : bmp.Height - 1 - y;
        const std::size_t row = offBits + static_cast<std::size_t>(fileRow) * stride;
        for (int x = 0; x < bmp.Width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(bmp.Width) +
                                  static_cast<std::size_t>(x);
            const auto ux = static_cast<std::size_t>(x);
            if (bitCount <= 8) {
                const std::size_t bit = ux * static_cast<std::size_t>(bitCount);
                const auto byte = static_cast<unsigned char>(b[row + bit / 8]);
                const int shift = 8 - bitCount - static_cast<int>(bit % 8);
                const auto index = static_cast<std::uint8_t>((byte >> shift) & ((1 << bitCount) - 1));
                if (index >= bmp.Palette.size())
                    return Fail(error, "indice di colore fuori dalla tavolozza");
                bmp.Indices[i] = index;
                bmp.Pixels[i] = bmp.Palette[index];
            } else if (bitCount == 24) {
                const std::size_t p = row + ux * 3;
                bmp.Pixels[i] = RGB(static_cast<unsigned char>(b[p + 2]), static_cast<unsigned char>(b[p + 1]),
                                    static_cast<unsigned char>(b[p]));
            } else {
                const int bytes = bitCount / 8;
                const std::uint32_t v = Le(b, row + ux * static_cast<std::size_t>(bytes), bytes);
                bmp.Pixels[i] = RGB(Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2]));
            }
        }
    }
    out = std::move(bmp);
    return true;
}

std::string WriteBmp(const TBitmap& bitmap)
{
    // The palette: the bitmap's own, or the colours it uses when they are 256 or fewer and it came
    // from a paletted file.
    std::vector<TColorRef> palette = bitmap.Palette;
    std::vector<std::uint8_t> indices = bitmap.Indices;
    const std::size_t count = static_cast<std::size_t>(bitmap.Width) * static_cast<std::size_t>(bitmap.Height);
    bool paletted = bitmap.BitCount <= 8 && !palette.empty() && indices.size() == count;
    if (paletted) {
        for (std::size_t i = 0; i < count && paletted; ++i)
            paletted = indices[i] < palette.size() && palette[indices[i]] == bitmap.Pixels[i];
    }
    if (!paletted && bitmap.BitCount <= 8) {
        std::map<TColorRef, std::uint8_t> seen;
        palette.clear();
        indices.assign(count, 0);
        paletted = true;
        for (std::size_t i = 0; i < count && paletted; ++i) {
            auto it = seen.find(bitmap.Pixels[i]);
            if (it == seen.end()) {
                if (palette.size() == 256) {
                    paletted = false;
                    break;
                }
                it = seen.emplace(bitmap.Pixels[i], static_cast<std::uint8_t>(palette.size())).first;
                palette.push_back(bitmap.Pixels[i]);
            }
            indices[i] = it->second;
        }
    }
    const int bits = paletted ? 8 : 24;
    const std::size_t stride = ((static_cast<std::size_t>(bitmap.Width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
    const std::size_t paletteBytes = paletted ? palette.size() * 4 : 0;
    const std::size_t offBits = 14 + 40 + paletteBytes;
    const std::size_t size = offBits + stride * static_cast<std::size_t>(bitmap.Height);
    std::string b;
    b.reserve(size);
    b += "BM";
    PutLe(b, static_cast<std::uint32_t>(size), 4);
    PutLe(b, 0, 4);
    PutLe(b, static_cast<std::uint32_t>(offBits), 4);
    PutLe(b, 40, 4);
    PutLe(b, static_cast<std::uint32_t>(bitmap.Width), 4);
    PutLe(b, static_cast<std::uint32_t>(bitmap.Height), 4);
    PutLe(b, 1, 2);
    PutLe(b, static_cast<std::uint32_t>(bits), 2);
    PutLe(b, 0, 4);
    PutLe(b, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(bitmap.Height)), 4);
    PutLe(b, 2835, 4); // 72 dpi
    PutLe(b, 2835, 4);
    PutLe(b, paletted ? static_cast<std::uint32_t>(palette.size()) : 0, 4);
    PutLe(b, 0, 4);
    for (TColorRef c : paletted ? palette : std::vector<TColorRef>{}) {
        b += static_cast<char>((c >> 16) & 255);
        b += static_cast<char>((c >> 8) & 255);
        b += static_cast<char>(c & 255);
        b += '\0';
    }
    for (int y = bitmap.Height - 1; y >= 0; --y) {
        const std::size_t start = b.size();
        for (int x = 0; x < bitmap.Width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.Width) +
                                  static_cast<std::size_t>(x);
            if (paletted) {
                b += static_cast<char>(indices[i]);
            } else {
                const TColorRef c = bitmap.Pixels[i];
                b += static_cast<char>((c >> 16) & 255);
                b += static_cast<char>((c >> 8) & 255);
                b += static_cast<char>(c & 255);
            }
        }
        b.append(stride - (b.size() - start), '\0');
    }
    return b;
}

namespace {

// The maximal runs, row by row, of the pixels that are (key) or are not the key colour.
std::vector<TRunRect> Runs(const TBitmap& bitmap, bool key)
{
    std::vector<TRunRect> runs;
    if (bitmap.Empty())
        return runs;
    const TColorRef k = bitmap.KeyColor();
    for (int y = 0; y < bitmap.Height; ++y) {
        int x = 0;
        while (x < bitmap.Width) {
            if ((bitmap.At(x, y) == k) != key) {
                ++x;
                continue;
            }
            const int x1 = x;
            while (x < bitmap.Width && (bitmap.At(x, y) == k) == key)
                ++x;
            runs.push_back({x1, y, x, y + 1});
        }
    }
    return runs;
}

} // namespace

std::vector<TRunRect> KeyRuns(const TBitmap& bitmap)
{
    return Runs(bitmap, true);
}

std::vector<TRunRect> OpaqueRuns(const TBitmap& bitmap)
{
    return Runs(bitmap, false);
}

} // namespace qv
