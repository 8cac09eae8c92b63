#include "core/Extended.h"

#include <bit>
#include <cstring>

namespace qv {

namespace {
constexpr int ExtBias = 16383;
constexpr int DblBias = 1023;

// The 64-bit mantissa is stored little-endian: on such a machine it is one load or store.
std::uint64_t LoadMantissa(const TExtendedBytes& b)
{
    std::uint64_t m = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&m, b.data(), 8);
    } else {
        for (int i = 7; i >= 0; --i)
            m = (m << 8) | b[static_cast<std::size_t>(i)];
    }
    return m;
}

void StoreMantissa(TExtendedBytes& b, std::uint64_t m)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(b.data(), &m, 8);
    } else {
        for (int i = 0; i < 8; ++i)
            b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(m >> (8 * i));
    }
}
} // namespace

TExtendedBytes DoubleToExtended(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto exp = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t frac = bits & ((std::uint64_t{1} << 52) - 1);
    std::uint64_t mantissa = 0;
    int extExp = 0;
    if (exp == 0x7FF) {
        extExp = 0x7FFF;
        mantissa = (std::uint64_t{1} << 63) | (frac << 11);
        if (frac != 0)
            mantissa |= std::uint64_t{1} << 62; // a quiet NaN stays quiet
    } else if (exp == 0) {
        if (frac != 0) {
            // A double denormal is a normal extended: find its leading bit.
            const int lead = 63 - std::countl_zero(frac); // 0..51
            mantissa = frac << (63 - lead);
            extExp = lead - 1074 + ExtBias;
        }
    } else {
        mantissa = (std::uint64_t{1} << 63) | (frac << 11);
        extExp = exp - DblBias + ExtBias;
    }
    TExtendedBytes out;
    StoreMantissa(out, mantissa);
    const auto top = static_cast<std::uint16_t>((negative ? 0x8000 : 0) | extExp);
    out[8] = static_cast<std::uint8_t>(top & 0xFF);
    out[9] = static_cast<std::uint8_t>(top >> 8);
    return out;
}

double ExtendedToDouble(const TExtendedBytes& b)
{
    std::uint64_t m = LoadMantissa(b);
    const auto top = static_cast<std::uint16_t>(b[8] | (b[9] << 8));
    const std::uint64_t sign = static_cast<std::uint64_t>(top >> 15) << 63;
    int e = top & 0x7FFF;
    if (e == 0x7FFF) {
        if ((m << 1) == 0)
            return std::bit_cast<double>(sign | 0x7FF0000000000000ULL);
        return std::bit_cast<double>(sign | 0x7FF8000000000000ULL | ((m >> 11) & 0x000FFFFFFFFFFFFFULL));
    }
    if (m == 0)
        return std::bit_cast<double>(sign);
    if (e == 0)
        e = 1; // extended denormals share the smallest exponent
    // Normalise so the top bit is set: value = m * 2^(e - bias - 63).
    const int shiftUp = std::countl_zero(m);
    m <<= shiftUp;
    const int unbiased = e - ExtBias - shiftUp; // value = 1.f * 2^unbiased
    if (unbiased > 1023)
        return std::bit_cast<double>(sign | 0x7FF0000000000000ULL);
    std::uint64_t result = 0;
    std::uint64_t rem = 0;
    std::uint64_t half = 0;
    if (unbiased >= -1022) {
        // 53 significant bits (with the hidden one) plus an exponent field that absorbs the carry.
        result = (static_cast<std::uint64_t>(unbiased + DblBias - 1) << 52) + (m >> 11);
        rem = m & 0x7FF;
        half = 0x400;
    } else {
        const int shift = 11 + (-1022 - unbiased);
        if (shift > 64)
            return std::bit_cast<double>(sign);
        if (shift == 64) {
            result = 0;
            rem = m;
            half = std::uint64_t{1} << 63;
        } else {
            result = m >> shift;
            rem = m & ((std::uint64_t{1} << shift) - 1);
            half = std::uint64_t{1} << (shift - 1);
        }
    }
    if (rem > half || (rem == half && (result & 1)))
        ++result; // a carry rolls into the exponent, up to infinity
    return std::bit_cast<double>(sign | result);
}

} // namespace qv
