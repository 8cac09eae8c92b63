// The value encodings of the data files: extended floats, integer widths, strings and code page.
#include "core/Extended.h"
#include "core/Stream.h"
#include "core/Strings.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace qv;

namespace {

// On x86-64 the host's long double is the same 80-bit format: an independent oracle.
static_assert(std::numeric_limits<long double>::digits == 64, "tests need x87 extended long double");

TExtendedBytes HostExtended(long double v)
{
    TExtendedBytes b{};
    std::memcpy(b.data(), &v, 10);
    return b;
}

long double HostValue(const TExtendedBytes& b)
{
    long double v = 0;
    std::memcpy(&v, b.data(), 10);
    return v;
}

} // namespace

TEST(Extended, DoubleToExtendedIsExactForEveryKindOfDouble)
{
    const double values[] = {0.0,     -0.0,   1.0,    -1.5,    836.4, 1.0 / 86400, 36997.4376736111, 1e-300,
                             1.7976931348623157e308, 4.9406564584124654e-324, 2.2250738585072014e-308, -1e10,
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (double v : values) {
        const TExtendedBytes ours = DoubleToExtended(v);
        EXPECT_EQ(ours, HostExtended(static_cast<long double>(v))) << v;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(ExtendedToDouble(ours)), std::bit_cast<std::uint64_t>(v)) << v;
    }
    EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::nan("")))));
}

TEST(Extended, ValuesBeyondDoubleRoundToNearestEven)
{
    std::mt19937_64 rng(12345);
    // Random mantissas at random exponents, including the double's subnormal and overflow ranges.
    for (int i = 0; i < 200000; ++i) {
        TExtendedBytes b{};
        const std::uint64_t m = rng() | (std::uint64_t{1} << 63);
        std::memcpy(b.data(), &m, 8);
        const int exp = 16383 + static_cast<int>(rng() % 2200) - 1100;
        const std::uint16_t top = static_cast<std::uint16_t>(((rng() & 1) << 15) | static_cast<unsigned>(exp));
        b[8] = static_cast<std::uint8_t>(top & 0xFF);
        b[9] = static_cast<std::uint8_t>(top >> 8);
        const double expected = static_cast<double>(HostValue(b));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(ExtendedToDouble(b)), std::bit_cast<std::uint64_t>(expected))
            << "exponent " << exp;
    }
    // Exact ties: 1 + 2^-53 rounds down to 1, 1 + 3*2^-53 rounds up to 1 + 2^-51.
    const long double tieDown = 1.0L + std::ldexp(1.0L, -53);
    EXPECT_EQ(ExtendedToDouble(HostExtended(tieDown)), 1.0);
    const long double tieUp = 1.0L + 3 * std::ldexp(1.0L, -53);
    EXPECT_EQ(ExtendedToDouble(HostExtended(tieUp)), 1.0 + std::ldexp(1.0, -51));
    // Beyond the double's range: infinity; below half the smallest subnormal: zero.
    EXPECT_TRUE(std::isinf(ExtendedToDouble(HostExtended(std::ldexp(1.0L, 1100)))));
    EXPECT_EQ(ExtendedToDouble(HostExtended(std::ldexp(1.0L, -1080))), 0.0);
}

TEST(Stream, IntegersUseTheSmallestTag)
{
    struct TCase
    {
        std::int64_t Value;
        std::uint8_t Tag;
        std::size_t Size;
    };
    const TCase cases[] = {{0, 2, 2},          {-128, 2, 2},         {127, 2, 2},         {128, 3, 3},
                           {-129, 3, 3},       {32767, 3, 3},        {-32768, 3, 3},      {32768, 4, 5},
                           {-32769, 4, 5},     {INT32_MAX, 4, 5},    {INT32_MIN, 4, 5},   {INT32_MAX + 1LL, 19, 9},
                           {INT64_MIN, 19, 9}};
    for (const TCase& c : cases) {
        TBytes out;
        TStreamWriter w(out);
        w.WriteInteger(c.Value);
        w.Finish();
        ASSERT_EQ(out.size(), c.Size) << c.Value;
        EXPECT_EQ(out[0], c.Tag) << c.Value;
        TStreamReader r(out);
        EXPECT_EQ(r.ReadIntegerValue(r.ReadTag()), c.Value);
        EXPECT_EQ(r.Remaining(), 0u);
    }
}

TEST(Stream, ReaderNeverReadsPastTheEnd)
{
    const std::uint8_t lstring[] = {12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'};
    TStreamReader r(lstring, sizeof lstring);
    const TValueTag t = r.ReadTag();
    EXPECT_THROW(r.ReadStringValue(t), EReadError);
    const std::uint8_t shortString[] = {6, 10, 'a', 'b'};
    TStreamReader r2(shortString, sizeof shortString);
    EXPECT_THROW(r2.ReadStringValue(r2.ReadTag()), EReadError);
    const std::uint8_t binary[] = {0x00, 0x00, 0x00, 0x80};
    TStreamReader r3(binary, sizeof binary);
    EXPECT_THROW(r3.ReadBinaryValue(), EReadError);
    const std::uint8_t badTag[] = {42};
    TStreamReader r4(badTag, 1);
    EXPECT_THROW(r4.ReadTag(), EReadError);
}

TEST(CodePage, EveryByteRoundTripsThroughUtf8)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "€");
    EXPECT_EQ(Cp1252ToUtf8("Perch\xE8 \xA3"), "Perch\xC3\xA8 \xC2\xA3");
    EXPECT_EQ(Utf8ToCp1252("€ è ù"), "\x80 \xE8 \xF9");
    // What the code page cannot hold becomes "?".
    EXPECT_EQ(Utf8ToCp1252("Ωmega 日本"), "?mega ??");
    EXPECT_EQ(Utf16ToUtf8(u"Caff\u00E8 \U0001F600"), "Caffè 😀");
}
