#pragma once
// How a listing line begins, in one place: the number of the file line where its element begins,
// in decimal, zero-filled to at least six digits, then a colon. A generic line goes on with the
// gap (two ideographic spaces, ListingTexts::genericGap), the code, a comma and the value. Every
// writer of listing lines (the listing writer, the fast lane) takes its digits from here.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace dxflist::line_format {

// The least number of digits a line number is listed with.
inline constexpr std::size_t kLeastDigits = 6;
// The most: line numbers are 32-bit counts, 2,147,483,647 at most.
inline constexpr std::size_t kMostDigits = 10;
// What follows the number.
inline constexpr char kNumberEnd = ':';
// What stands between a generic line's code and its value.
inline constexpr char kCodeEnd = ',';

// How many digits `number` is listed with.
constexpr std::size_t listedDigits(std::uint32_t number) {
    std::size_t digits = 1;
    for (; number >= 10; number /= 10) ++digits;
    return std::max(digits, kLeastDigits);
}

// Writes the listed digits of `number` at `to` (room for kMostDigits); returns their end.
constexpr char* putDigits(char* to, std::uint32_t number) {
    const std::size_t digits = listedDigits(number);
    for (std::size_t i = digits; i-- > 0; number /= 10)
        to[i] = static_cast<char>('0' + number % 10);
    return to + digits;
}

}  // namespace dxflist::line_format
