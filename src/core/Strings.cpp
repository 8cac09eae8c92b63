#include "core/Strings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace qv {

namespace {

// Unicode code points of the bytes 0x80..0x9F in Windows-1252 (0 where undefined).
constexpr std::array<std::uint16_t, 32> Cp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char CodePointToCp1252(std::uint32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < Cp1252High.size(); ++i)
        if (Cp1252High[i] != 0 && Cp1252High[i] == cp)
            return static_cast<char>(0x80 + i);
    if (cp >= 0x80 && cp <= 0x9F && Cp1252High[cp - 0x80] == 0)
        return static_cast<char>(cp); // the undefined bytes round-trip through their C1 control
    return '?';
}

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i, or returns
// 0xFFFFFFFF (and advances by one) when the bytes are not valid UTF-8.
std::uint32_t DecodeUtf8(std::string_view s, std::size_t& i)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        ++i;
        return 0xFFFFFFFF;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFFFFFF;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFFFFFF;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    static constexpr std::uint32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFFFFFF;
    }
    i += len;
    return cp;
}

} // namespace

std::string Utf8ToCp1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        const std::uint32_t cp = DecodeUtf8(utf8, i);
        if (cp == 0xFFFFFFFF)
            out += utf8[start]; // not UTF-8: keep the byte as it is
        else
            out += CodePointToCp1252(cp);
    }
    return out;
}

std::string Cp1252ToUtf8(std::string_view bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out += c;
        else if (b < 0xA0 && Cp1252High[b - 0x80] != 0)
            AppendUtf8(out, Cp1252High[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        std::uint32_t cp = DecodeUtf8(utf8, i);
        if (cp == 0xFFFFFFFF)
            cp = static_cast<unsigned char>(utf8[start]);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string NotInCp1252(std::string_view utf8)
{
    std::string missing;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        const std::uint32_t cp = DecodeUtf8(utf8, i);
        if (cp == 0xFFFFFFFF || cp == '?' || CodePointToCp1252(cp) != '?')
            continue;
        const std::string_view one = utf8.substr(start, i - start);
        if (missing.find(one) == std::string::npos)
            missing += one;
    }
    return missing;
}

std::string Trim(std::string_view s)
{
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return std::string(s.substr(b, e - b));
}

std::string LowerCase(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool SameText(std::string_view a, std::string_view b)
{
    return LowerCase(a) == LowerCase(b);
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += separator;
        out += parts[i];
    }
    return out;
}

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with)
{
    if (what.empty())
        return text;
    std::size_t pos = 0;
    while ((pos = text.find(what, pos)) != std::string::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
    }
    return text;
}

std::string CutFrom(const std::string& text, std::string_view marker)
{
    const auto pos = text.find(marker);
    return pos == std::string::npos ? text : text.substr(0, pos);
}

std::string CutUpTo(const std::string& text, std::string_view marker)
{
    const auto pos = text.find(marker);
    return pos == std::string::npos ? text : text.substr(pos + marker.size());
}

std::string RemoveLineBreaks(std::string_view text)
{
    std::string r;
    r.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            r += ' ';
        else if (c != '\n')
            r += c;
    }
    return r;
}

std::string FitToLength(const std::string& text, std::size_t length, char fill)
{
    if (text.size() >= length)
        return text.substr(0, length);
    return text + std::string(length - text.size(), fill);
}

bool IsNumeric(std::string_view text)
{
    if (Trim(text).empty())
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '\r' || c == '\b'; });
}

std::vector<std::string> Split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto pos = text.find(separator, start);
        parts.emplace_back(text.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start));
        if (pos == std::string_view::npos)
            return parts;
        start = pos + 1;
    }
}

std::size_t Utf8Length(std::string_view s)
{
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Utf8Left(std::string_view s, std::size_t n)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n)
                return std::string(s.substr(0, i));
            ++count;
        }
    }
    return std::string(s);
}

std::optional<double> ReadNumber(const std::string& text)
{
    const std::string t = ReplaceAll(Trim(text), ",", ".");
    if (t.empty())
        return std::nullopt;
    double v = 0;
    const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || p != t.data() + t.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<std::int32_t> ReadInteger(const std::string& text)
{
    const std::string t = Trim(text);
    std::int32_t v = 0;
    const auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || p != t.data() + t.size())
        return std::nullopt;
    return v;
}

} // namespace qv
