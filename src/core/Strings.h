#pragma once
// String helpers of the program, and the conversion between UTF-8 (in memory) and the Windows-1252
// bytes that data files hold.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// UTF-8 -> Windows-1252; characters that code page cannot hold become '?'. Invalid UTF-8 bytes are
// taken as Latin-1 so that no input is lost silently.
std::string Utf8ToCp1252(std::string_view utf8);
// Windows-1252 -> UTF-8 (the five undefined bytes map to the C1 control of the same value).
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-16 code units (little-endian pairs already decoded) -> UTF-8; lone surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
// UTF-8 -> UTF-16 code units; invalid bytes are taken as Latin-1, as Utf8ToCp1252 takes them.
std::u16string Utf8ToUtf16(std::string_view utf8);
// The characters of a UTF-8 text that Windows-1252 cannot hold, each once and in order (empty: all).
std::string NotInCp1252(std::string_view utf8);

std::string Trim(std::string_view s);
// A finite decimal number with a point or the Italian comma ("1936.27", "1936,27"); nothing for
// anything else, "nan" and "inf" included.
std::optional<double> ReadNumber(const std::string& text);
// A 32-bit integer, surrounding blanks allowed; nothing for anything else or out of range.
std::optional<std::int32_t> ReadInteger(const std::string& text);
std::string LowerCase(std::string_view s); // ASCII letters only, as file-name comparisons need
bool SameText(std::string_view a, std::string_view b);

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with);
// Cuts from the first occurrence of marker to the end (text unchanged when marker is absent).
std::string CutFrom(const std::string& text, std::string_view marker);
// Cuts the start through the first occurrence of marker (text unchanged when marker is absent).
std::string CutUpTo(const std::string& text, std::string_view marker);
// CR becomes a blank, LF is removed.
std::string RemoveLineBreaks(std::string_view text);
// Cut to length characters, or filled up to it with fill.
std::string FitToLength(const std::string& text, std::size_t length, char fill);
// Non-empty after trimming and made only of digits, CR or backspace.
bool IsNumeric(std::string_view text);

std::vector<std::string> Split(std::string_view text, char separator);
std::string Join(const std::vector<std::string>& parts, std::string_view separator);
// Number of characters (code points) of a UTF-8 string.
std::size_t Utf8Length(std::string_view s);
// The first n characters (code points) of a UTF-8 string.
std::string Utf8Left(std::string_view s, std::size_t n);

} // namespace qv
