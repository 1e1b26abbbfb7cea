#include "engine/binary_values.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/byte_scan.h"

namespace dxflist {
namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The 4 + 4 decimal digits of two numbers below 10^4, given as `halves` (the first in the low
// 32 bits), zeros in front of each, as a word whose lowest byte is the first digit (0 to 9,
// not yet text): split into quarters of two digits and single digits, each step one
// multiplication for all parts at once.
std::uint64_t digitBytesOfHalves(std::uint64_t halves) {
    const std::uint64_t hundreds = (halves * 10486 >> 20) & 0x0000007F0000007F;
    const std::uint64_t x = hundreds | (halves - hundreds * 100) << 16;
    const std::uint64_t tens = (x * 103 >> 10) & 0x000F000F000F000F;
    return tens | (x - tens * 10) << 8;
}

// The 8 decimal digits of `value`, below 10^8, as digitBytesOfHalves gives them.
std::uint64_t digitBytes(std::uint32_t value) {
    return digitBytesOfHalves(value / 10000 | std::uint64_t{value % 10000} << 32);
}

// Writes the first `size` bytes of `word`, lowest first: 8 are written, for which `to` needs
// room.
char* putBytes(std::uint64_t word, std::size_t size, char* to) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(to, &word, 8);
    } else {
        for (std::size_t i = 0; i < 8; ++i, word >>= 8) to[i] = static_cast<char>(word & 255);
    }
    return to + size;
}

constexpr std::uint64_t kZeroDigits = 0x3030303030303030;

// The digits of `value`, below 10^8, without zeros in front (a single 0 for 0); `to` needs room
// for 8 bytes.
char* putSmallWhole(std::uint32_t value, char* to) {
    const std::uint64_t digits = digitBytes(value);
    const auto lead = std::min(static_cast<unsigned>(std::countr_zero(digits)) / 8, 7u);
    return putBytes((digits + kZeroDigits) >> (8 * lead), 8 - lead, to);
}

// The point and four decimals, given as the last four of digitBytes() (shifted down by 32),
// without the zeros behind them but one; `to` needs room for 9 bytes.
char* putFourDecimals(std::uint64_t digits, char* to) {
    *to++ = '.';
    if (digits == 0) {
        *to = '0';
        return to + 1;
    }
    const auto behind = static_cast<unsigned>(std::countl_zero(digits)) / 8 - 4;
    return putBytes(digits + kZeroDigits, 4 - behind, to);
}

// Most values of a drawing have a few decimals. When n / 10^kDecimals reads back as the value
// for an integer n under 2^51, no other multiple of 10^-kDecimals lies as close to it (its
// doubles are less than half that apart there), so n without its ending zeros is the shortest
// digits, found without the general search: 81% fewer instructions for the doubles of the
// benchmark drawing's binary twin than std::to_chars and the notation after it (first 7 MB).
// The digits made eight at once (digitBytes) and the rounding without a branch: 92 instructions
// a double of that drawing instead of 110 (std::to_chars for the whole number, then pairs).
template <int kDecimals>
bool formatFewDecimals(double value, char*& to) {
    constexpr std::uint64_t kUnit = [] {
        std::uint64_t unit = 1;
        for (int i = 0; i < kDecimals; ++i) unit *= 10;
        return unit;
    }();
    constexpr auto kScale = static_cast<double>(kUnit);
    const double magnitude = std::fabs(value);
    // Also false for NaN; below 1e-4 the exponent form is written.
    if (!(magnitude < 0x1p51 / kScale) || magnitude < 1e-4) return false;
    // Rounded to an integer: 1.5 * 2^52 added to a number under 2^51 leaves no bits for a
    // fraction, and taken away again leaves the integer.
    const double rounded = magnitude * kScale + 0x1.8p52 - 0x1.8p52;
    if (rounded / kScale != magnitude) return false;
    const auto n = static_cast<std::uint64_t>(rounded);
    if (std::signbit(value)) *to++ = '-';
    const std::uint64_t whole = n / kUnit;
    to = whole < 100000000 ? putSmallWhole(static_cast<std::uint32_t>(whole), to)
                           : std::to_chars(to, to + 20, whole).ptr;
    auto fraction = static_cast<std::uint32_t>(n % kUnit);
    if constexpr (kDecimals == 4) {
        to = putFourDecimals(digitBytes(fraction) >> 32, to);
        return true;
    }
    *to++ = '.';
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

// The usual values of a drawing: under 10^6 with at most four decimals. Their text is made
// without a branch on their digits (those on a value under 10^4 and on whole values went
// either way at random, as a drawing's values do), and with short chains of steps from the
// value to the text's length, which the next double's place waits for: 36% less time for the
// doubles of the benchmark drawing's binary twin (8.7 against 13.7 ns a double, in a loop of
// formatDouble alone).
bool formatUsual(double value, char*& to) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e6)) return false;  // also false for NaN
    // n = magnitude * 10^4 rounded to an integer: 1.5 * 2^52 added to a number under 2^51
    // leaves no bits for a fraction, so that n is in the low bits, and taken away again leaves
    // n as a double. A value under 1e-4 other than zero gives 0 or 1, which does not read back.
    const double shifted = magnitude * 1e4 + 0x1.8p52;
    if ((shifted - 0x1.8p52) / 1e4 != magnitude) return false;
    const std::uint64_t n =
        std::bit_cast<std::uint64_t>(shifted) - std::bit_cast<std::uint64_t>(0x1.8p52);
    // n / 10^4 is a whole number, which the value then is, or at least 10^-4 away from one, far
    // more than the value's distance from it: the value's whole part is n's.
    const auto whole = static_cast<std::uint32_t>(magnitude);
    const auto decimals = static_cast<std::uint32_t>(n - std::uint64_t{whole} * 10000);
    const std::uint32_t high = whole / 10000;
    const std::uint64_t digits =
        digitBytesOfHalves((whole - high * 10000) | std::uint64_t{decimals} << 32);
    const std::uint32_t tens = high * 103 >> 10;
    const std::uint64_t wholeDigits =
        tens | std::uint64_t{high - tens * 10} << 8 | (digits & 0xFFFFFFFF) << 16;
    // At least one digit: the bit past the sixth byte stops the count of zeros in front at five.
    const auto lead =
        static_cast<unsigned>(std::countr_zero(wholeDigits | std::uint64_t{1} << 40)) / 8;
    *to = '-';
    to += std::signbit(value);
    to = putBytes((wholeDigits + kZeroDigits) >> (8 * lead), 6 - lead, to);
    *to++ = '.';
    // At least one decimal, a 0 where there are none.
    const std::uint64_t decimalDigits = digits >> 32;
    const auto count = 8 - static_cast<unsigned>(std::countl_zero(decimalDigits | 1)) / 8;
    to = putBytes(decimalDigits + kZeroDigits, count, to);
    return true;
}

// Any double that formatDouble's first ways do not take: kept out of it, so that these cost
// it no saved registers.
DXFLIST_NOINLINE char* formatAnyDouble(double value, char* to) {
    if (formatFewDecimals<9>(value, to)) return to;
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

}  // namespace

char* formatDouble(double value, char* to) {
    // Zero, a fifth of the benchmark drawing's doubles, on a way of its own: 4% less time for
    // its doubles, though the branch goes either way at random.
    if (value == 0)
        return std::signbit(value) ? std::copy_n("-0.0", 4, to) : std::copy_n("0.0", 3, to);
    if (formatUsual(value, to)) return to;
    // The rest: from 10^6 on with up to four decimals, then up to nine, then any double.
    if (formatFewDecimals<4>(value, to)) return to;
    return formatAnyDouble(value, to);
}

CodeWidth codeWidthOf(const unsigned char* bytes, std::size_t size) {
    const auto startsWith = [&](std::initializer_list<unsigned char> start) {
        return size >= start.size() && std::equal(start.begin(), start.end(), bytes);
    };
    if (startsWith({0, 0}) || startsWith({0xe7, 0x03})) return CodeWidth::Two;
    if ((startsWith({0}) && size >= 2) || startsWith({kCodeEscape, 0xe7, 0x03}))
        return CodeWidth::One;
    return CodeWidth::Unknown;
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
