#pragma once
// The 80-bit x87 extended-precision float of the data files, converted to and from double without
// relying on the host's long double: double -> extended is exact, extended -> double rounds to
// nearest, ties to even, with denormals, infinities and NaNs kept.

#include <array>
#include <cstdint>

namespace qv {

using TExtendedBytes = std::array<std::uint8_t, 10>;

TExtendedBytes DoubleToExtended(double value);
double ExtendedToDouble(const TExtendedBytes& bytes);

} // namespace qv
