#include "engine/binary_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dxflist {
namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Most values of a drawing have a few decimals. When n / 10^kDecimals reads back as the value
// for an integer n under 2^51, no other multiple of 10^-kDecimals lies as close to it (its
// doubles are less than half that apart there), so n without its ending zeros is the shortest
// digits, found without the general search: 81% fewer instructions for the doubles of the
// benchmark drawing's binary twin than std::to_chars and the notation after it (first 7 MB).
template <int kDecimals>
bool formatFewDecimals(double value, char*& to) {
    constexpr std::uint64_t kUnit = [] {
        std::uint64_t unit = 1;
        for (int i = 0; i < kDecimals; ++i) unit *= 10;
        return unit;
    }();
    constexpr auto kScale = static_cast<double>(kUnit);
    const double scaled = value * kScale;
    // Also false for NaN; below 1e-4 the exponent form is written.
    if (!(std::fabs(scaled) < 0x1p51) || std::fabs(value) < 1e-4) return false;
    const auto n = static_cast<std::int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    if (static_cast<double>(n) / kScale != value) return false;
    if (n < 0) *to++ = '-';
    const auto magnitude = static_cast<std::uint64_t>(n < 0 ? -n : n);
    const std::uint64_t whole = magnitude / kUnit;
    to = whole <= UINT32_MAX ? std::to_chars(to, to + 10, static_cast<std::uint32_t>(whole)).ptr
                             : std::to_chars(to, to + 20, whole).ptr;
    *to++ = '.';
    auto fraction = static_cast<std::uint32_t>(magnitude % kUnit);
    if (fraction == 0) {
        *to++ = '0';
        return true;
    }
    // Written from its last digit on, with its leading zeros, in 32-bit steps of two digits.
    char* end = to + kDecimals;
    for (int i = 0; i < kDecimals / 2; ++i, fraction /= 100)
        std::memcpy(end - 2 * (i + 1), kDigitPairs + 2 * (fraction % 100), 2);
    if constexpr (kDecimals % 2 == 1) *to = static_cast<char>('0' + fraction);
    while (end[-1] == '0') --end;
    to = end;
    return true;
}

}  // namespace

char* formatDouble(double value, char* to) {
    if (value == 0)
        return std::signbit(value) ? std::copy_n("-0.0", 4, to) : std::copy_n("0.0", 3, to);
    // Four decimals first, the most a drawing's values usually have: fewer digits to write.
    if (formatFewDecimals<4>(value, to) || formatFewDecimals<9>(value, to)) return to;
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
