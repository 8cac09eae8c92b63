#pragma once
// The component-stream format of the data files: value tags, a writer that follows the writing
// rules and a reader that checks every length against what is left before using it.

#include "core/Errors.h"
#include "core/FileSystem.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class TValueTag : std::uint8_t
{
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
};

// A damaged or foreign stream: the reason is the Italian text shown to the user.
class EReadError : public EQvError
{
public:
    using EQvError::EQvError;
};

class TStreamWriter
{
public:
    // Appends to out. The buffer is grown ahead and only trimmed to what was written by Finish()
    // (or when the writer goes): a data file of 100,000 items is a million small appends.
    explicit TStreamWriter(TBytes& out) : FOut(out), FLen(out.size()) {}
    ~TStreamWriter() { Finish(); }
    TStreamWriter(const TStreamWriter&) = delete;
    TStreamWriter& operator=(const TStreamWriter&) = delete;
    void Finish() { FOut.resize(FLen); }
    std::size_t Size() const { return FLen; }
    std::size_t Reserved() const { return FOut.capacity(); }
    void WriteSignature();
    void WriteByte(std::uint8_t b) { *Room(1) = b; }
    void WriteTag(TValueTag t) { *Room(1) = static_cast<std::uint8_t>(t); }
    // Raw short string: one length byte and the bytes (at most 255). Length and bytes in one
    // append: names and short texts are most of a data file.
    void WriteShortString(std::string_view bytes)
    {
        const std::size_t n = bytes.size() > 255 ? 255 : bytes.size();
        std::uint8_t* p = Room(n + 1);
        p[0] = static_cast<std::uint8_t>(n);
        if (n)
            std::memcpy(p + 1, bytes.data(), n);
    }
    // The same for a name made of two parts ("Font." + "Name"), without joining them first.
    void WriteShortString(std::string_view prefix, std::string_view name)
    {
        if (prefix.empty())
            WriteShortString(name);
        else
            WriteJoinedShortString(prefix, name);
    }
    // Smallest of the 8/16/32-bit tags that holds the value; 64-bit beyond.
    void WriteInteger(std::int64_t value)
    {
        if (value >= -128 && value <= 127) {
            std::uint8_t* p = Room(2);
            p[0] = static_cast<std::uint8_t>(TValueTag::vaInt8);
            p[1] = static_cast<std::uint8_t>(value);
        } else if (value >= -32768 && value <= 32767) {
            WriteTag(TValueTag::vaInt16);
            WriteLE(static_cast<std::uint64_t>(value), 2);
        } else if (value >= INT32_MIN && value <= INT32_MAX) {
            WriteTag(TValueTag::vaInt32);
            WriteLE(static_cast<std::uint64_t>(value), 4);
        } else {
            WriteTag(TValueTag::vaInt64);
            WriteLE(static_cast<std::uint64_t>(value), 8);
        }
    }
    void WriteFloat(double value);
    // UTF-8 text, stored as Windows-1252 with tag 6 (up to 255 bytes) or 12.
    void WriteString(std::string_view utf8);
    void WriteIdent(const std::string& ident);
    void WriteBool(bool value) { WriteTag(value ? TValueTag::vaTrue : TValueTag::vaFalse); }
    void WriteBinary(const std::string& bytes);
    // Bytes another writer wrote, as they are.
    void WriteBytes(const TBytes& bytes) { Append(bytes.data(), bytes.size()); }

private:
    std::uint8_t* Room(std::size_t n)
    {
        if (FOut.size() - FLen < n)
            Grow(n);
        std::uint8_t* p = FOut.data() + FLen;
        FLen += n;
        return p;
    }
    void Grow(std::size_t n);
    void Append(const void* data, std::size_t n);
    void WriteJoinedShortString(std::string_view prefix, std::string_view name);
    void WriteLE(std::uint64_t value, int bytes)
    {
        std::uint8_t* p = Room(static_cast<std::size_t>(bytes));
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(p, &value, static_cast<std::size_t>(bytes));
        } else {
            for (int i = 0; i < bytes; ++i)
                p[i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
    TBytes& FOut;
    std::size_t FLen;
};

class TStreamReader
{
public:
    TStreamReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
    explicit TStreamReader(const TBytes& bytes) : FData(bytes.data()), FSize(bytes.size()) {}

    void ReadSignature();
    // The small reads are inline: a data file of 100,000 items is millions of them.
    std::uint8_t ReadByte()
    {
        Need(1);
        return FData[FPos++];
    }
    std::uint8_t PeekByte() const
    {
        Need(1);
        return FData[FPos];
    }
    TValueTag ReadTag()
    {
        const std::uint8_t b = ReadByte();
        if (b > static_cast<std::uint8_t>(TValueTag::vaInt64))
            UnknownTag(b);
        return static_cast<TValueTag>(b);
    }
    TValueTag PeekTag() const { return static_cast<TValueTag>(PeekByte()); }
    std::string ReadShortString();
    // The same, as a view into the stream's bytes.
    std::string_view ReadShortStringView()
    {
        const std::uint8_t n = ReadByte();
        Need(n);
        const std::string_view s(reinterpret_cast<const char*>(FData + FPos), n);
        FPos += n;
        return s;
    }
    // The value after a tag of the integer kinds (2, 3, 4, 19).
    std::int64_t ReadIntegerValue(TValueTag tag);
    // The value after a tag of any number kind (integers, extended, single, currency, date).
    double ReadFloatValue(TValueTag tag);
    // The value after a string tag (6, 12, 18), as UTF-8.
    std::string ReadStringValue(TValueTag tag);
    std::string ReadBinaryValue();
    static bool IsIntegerTag(TValueTag t)
    {
        return t == TValueTag::vaInt8 || t == TValueTag::vaInt16 || t == TValueTag::vaInt32 || t == TValueTag::vaInt64;
    }
    static bool IsFloatTag(TValueTag t)
    {
        return IsIntegerTag(t) || t == TValueTag::vaExtended || t == TValueTag::vaSingle ||
               t == TValueTag::vaCurrency || t == TValueTag::vaDate;
    }
    static bool IsStringTag(TValueTag t)
    {
        return t == TValueTag::vaString || t == TValueTag::vaLString || t == TValueTag::vaWString;
    }
    std::size_t Position() const { return FPos; }
    std::size_t Remaining() const { return FSize - FPos; }
    std::size_t Size() const { return FSize; }
    std::uint8_t ByteAt(std::size_t pos) const { return pos < FSize ? FData[pos] : 0; }
    // Goes back or forward to a position of the stream (salvaging a damaged one).
    void Seek(std::size_t pos) { FPos = pos < FSize ? pos : FSize; }
    // Reads over one value of any kind (its tag first), using only what the stream says of it.
    void SkipValue(int depth = 0);
    // Counts one more collection item. Items cost far more memory than the two bytes an empty one
    // takes in the stream, so their number is bounded by the stream's size.
    void CountItem();
    // Counts n items read by another reader of the same stream; false (nothing counted) when they
    // would pass the bound.
    bool CountItems(std::size_t n)
    {
        if (FItems + n > MaxItems())
            return false;
        FItems += n;
        return true;
    }
    // Takes back the count of an item that was only tried (salvaging).
    void UncountItem()
    {
        if (FItems)
            --FItems;
    }

private:
    // No data file of the program averages fewer than 16 bytes an item once it holds thousands.
    std::size_t MaxItems() const { return 4096 + FSize / 16; }
    void Need(std::size_t n) const
    {
        if (n > FSize - FPos)
            PastTheEnd();
    }
    [[noreturn]] void PastTheEnd() const;
    [[noreturn]] void UnknownTag(std::uint8_t b) const;
    std::uint64_t ReadLE(int bytes)
    {
        Need(static_cast<std::size_t>(bytes));
        std::uint64_t v = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&v, FData + FPos, static_cast<std::size_t>(bytes));
        } else {
            for (int i = bytes - 1; i >= 0; --i)
                v = (v << 8) | FData[FPos + static_cast<std::size_t>(i)];
        }
        FPos += static_cast<std::size_t>(bytes);
        return v;
    }
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
    std::size_t FItems = 0;
};

} // namespace qv
