#include "core/Stream.h"

#include "core/Extended.h"
#include "core/Strings.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qv {

namespace {
constexpr char Signature[4] = {'T', 'P', 'F', '0'};
}

namespace {

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

void TStreamWriter::Grow(std::size_t n)
{
    // Into the memory already reserved first, then doubling.
    std::size_t size = std::max<std::size_t>({FLen + n, FOut.capacity(), 2 * FOut.size(), 256});
    FOut.resize(size);
}

void TStreamWriter::Append(const void* data, std::size_t n)
{
    if (n)
        std::memcpy(Room(n), data, n);
}


void TStreamWriter::WriteSignature()
{
    Append(Signature, 4);
}


void TStreamWriter::WriteJoinedShortString(std::string_view prefix, std::string_view name)
{
    const std::size_t total = prefix.size() + name.size();
    const std::size_t n = total > 255 ? 255 : total;
    std::uint8_t* p = Room(n + 1);
    p[0] = static_cast<std::uint8_t>(n);
    const std::size_t first = std::min(prefix.size(), n);
    std::memcpy(p + 1, prefix.data(), first);
    if (n > first)
        std::memcpy(p + 1 + first, name.data(), n - first);
}


void TStreamWriter::WriteFloat(double value)
{
    const TExtendedBytes e = DoubleToExtended(value);
    std::uint8_t* p = Room(11);
    p[0] = static_cast<std::uint8_t>(TValueTag::vaExtended);
    std::memcpy(p + 1, e.data(), 10);
}

void TStreamWriter::WriteString(std::string_view utf8)
{
    // Plain ASCII is the same in both encodings: most texts need no conversion.
    std::string converted;
    std::string_view bytes = utf8;
    if (!IsAscii(utf8)) {
        // A text the Windows code page cannot hold whole is kept as typed, in UTF-16.
        if (!NotInCp1252(utf8).empty()) {
            const std::u16string wide = Utf8ToUtf16(utf8);
            WriteTag(TValueTag::vaWString);
            WriteLE(wide.size(), 4);
            for (const char16_t c : wide)
                WriteLE(c, 2);
            return;
        }
        converted = Utf8ToCp1252(utf8);
        bytes = converted;
    }
    if (bytes.size() <= 255) {
        WriteTag(TValueTag::vaString);
        WriteShortString(bytes);
    } else {
        WriteTag(TValueTag::vaLString);
        WriteLE(bytes.size(), 4);
        Append(bytes.data(), bytes.size());
    }
}

void TStreamWriter::WriteIdent(const std::string& ident)
{
    WriteTag(TValueTag::vaIdent);
    WriteShortString(ident);
}

void TStreamWriter::WriteBinary(const std::string& bytes)
{
    WriteTag(TValueTag::vaBinary);
    WriteLE(bytes.size(), 4);
    Append(bytes.data(), bytes.size());
}

void TStreamReader::PastTheEnd() const
{
    throw EReadError("Fine del file inattesa (posizione " + std::to_string(FPos) + ")");
}

void TStreamReader::UnknownTag(std::uint8_t b) const
{
    throw EReadError("Tipo di valore sconosciuto " + std::to_string(b) + " (posizione " + std::to_string(FPos - 1) +
                     ")");
}


void TStreamReader::ReadSignature()
{
    if (FSize - FPos < 4 || std::memcmp(FData + FPos, Signature, 4) != 0)
        throw EReadError("Formato del file non valido");
    FPos += 4;
}


std::string TStreamReader::ReadShortString()
{
    const std::uint8_t n = ReadByte();
    Need(n);
    std::string s(reinterpret_cast<const char*>(FData + FPos), n);
    FPos += n;
    return s;
}





std::int64_t TStreamReader::ReadIntegerValue(TValueTag tag)
{
    switch (tag) {
    case TValueTag::vaInt8:
        return static_cast<std::int8_t>(ReadLE(1));
    case TValueTag::vaInt16:
        return static_cast<std::int16_t>(ReadLE(2));
    case TValueTag::vaInt32:
        return static_cast<std::int32_t>(ReadLE(4));
    case TValueTag::vaInt64:
        return static_cast<std::int64_t>(ReadLE(8));
    default:
        throw EReadError("Valore intero atteso");
    }
}

double TStreamReader::ReadFloatValue(TValueTag tag)
{
    switch (tag) {
    case TValueTag::vaExtended: {
        Need(10);
        TExtendedBytes e;
        std::memcpy(e.data(), FData + FPos, 10);
        FPos += 10;
        return ExtendedToDouble(e);
    }
    case TValueTag::vaSingle:
        return static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(ReadLE(4))));
    case TValueTag::vaCurrency:
        return static_cast<double>(static_cast<std::int64_t>(ReadLE(8))) / 10000.0;
    case TValueTag::vaDate:
        return std::bit_cast<double>(ReadLE(8));
    default:
        return static_cast<double>(ReadIntegerValue(tag));
    }
}

std::string TStreamReader::ReadStringValue(TValueTag tag)
{
    switch (tag) {
    case TValueTag::vaString:
        return Cp1252ToUtf8(ReadShortStringView());
    case TValueTag::vaLString: {
        const auto n = static_cast<std::size_t>(ReadLE(4));
        Need(n);
        const std::string_view s(reinterpret_cast<const char*>(FData + FPos), n);
        FPos += n;
        return Cp1252ToUtf8(s);
    }
    case TValueTag::vaWString: {
        const auto count = static_cast<std::size_t>(ReadLE(4));
        if (count > Remaining() / 2)
            throw EReadError("Fine del file inattesa (posizione " + std::to_string(FPos) + ")");
        std::u16string s(count, u'\0');
        for (std::size_t i = 0; i < count; ++i)
            s[i] = static_cast<char16_t>(ReadLE(2));
        return Utf16ToUtf8(s);
    }
    default:
        throw EReadError("Valore stringa atteso");
    }
}

std::string TStreamReader::ReadBinaryValue()
{
    const auto n = static_cast<std::size_t>(ReadLE(4));
    Need(n);
    std::string s(reinterpret_cast<const char*>(FData + FPos), n);
    FPos += n;
    return s;
}

void TStreamReader::SkipValue(int depth)
{
    // Nesting deeper than any of the program's files is damage, not data.
    if (depth > 32)
        throw EReadError("Annidamento eccessivo (posizione " + std::to_string(FPos) + ")");
    const TValueTag t = ReadTag();
    switch (t) {
    case TValueTag::vaNull:
    case TValueTag::vaFalse:
    case TValueTag::vaTrue:
    case TValueTag::vaNil:
        return;
    case TValueTag::vaList:
        while (PeekByte() != 0)
            SkipValue(depth + 1);
        ReadByte();
        return;
    case TValueTag::vaInt8:
    case TValueTag::vaInt16:
    case TValueTag::vaInt32:
    case TValueTag::vaInt64:
        ReadIntegerValue(t);
        return;
    case TValueTag::vaExtended:
    case TValueTag::vaSingle:
    case TValueTag::vaCurrency:
    case TValueTag::vaDate:
        ReadFloatValue(t);
        return;
    case TValueTag::vaString:
    case TValueTag::vaIdent:
        ReadShortStringView();
        return;
    case TValueTag::vaLString:
    case TValueTag::vaBinary: {
        const auto n = static_cast<std::size_t>(ReadLE(4));
        Need(n);
        FPos += n;
        return;
    }
    case TValueTag::vaWString: {
        const auto n = static_cast<std::size_t>(ReadLE(4));
        if (n > Remaining() / 2)
            Need(Remaining() + 1);
        FPos += 2 * n;
        return;
    }
    case TValueTag::vaSet:
        while (!ReadShortStringView().empty()) {
        }
        return;
    case TValueTag::vaCollection:
        while (PeekByte() != 0) {
            TValueTag item = ReadTag();
            if (IsIntegerTag(item)) {
                ReadIntegerValue(item);
                item = ReadTag();
            }
            if (item != TValueTag::vaList)
                throw EReadError("Elemento di raccolta non valido (posizione " + std::to_string(FPos - 1) + ")");
            while (PeekByte() != 0) {
                ReadShortStringView();
                SkipValue(depth + 1);
            }
            ReadByte();
        }
        ReadByte();
        return;
    }
}

void TStreamReader::CountItem()
{
    if (++FItems > MaxItems())
        throw EReadError("Troppi elementi per la dimensione del file (posizione " + std::to_string(FPos) + ")");
}

} // namespace qv
