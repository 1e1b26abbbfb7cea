#pragma once
// The values of a binary DXF: the width of its codes, which type each code's value has, and how
// a value of each type is written as the text an ASCII DXF holds for it.

#include <array>
#include <cstddef>
#include <cstdint>

namespace dxflist {

// The value types of binary DXF, as the DXF reference gives them per group code.
enum class BinaryType : std::uint8_t {
    Unknown,  // no DXF code: its value's length cannot be known
    String,   // bytes up to a NUL
    Double,   // 8 bytes, IEEE 754, little-endian
    Int16,    // 2 bytes, signed, little-endian
    Int32,    // 4 bytes, signed, little-endian
    Int64,    // 8 bytes, signed, little-endian
    Bool,     // 1 byte
    Chunk,    // a length byte, then that many bytes
};

// The width of a binary DXF's group codes, as its first group shows it: a DXF begins with a
// group of code 0 (SECTION, or EOF), or with a comment (999). Two-byte codes begin 00 00 or
// E7 03; one-byte codes begin 00 and the first byte of a string, which is no NUL, or with the
// escape before 999. No other DXF code looks like these in the other width. (The version is in
// $ACADVER too, but that may be missing or far into the file.) `bytes` are the first `size`
// bytes behind the sentinel, up to 3, or all there are.
enum class CodeWidth : std::uint8_t { Two, One, Unknown };
CodeWidth codeWidthOf(const unsigned char* bytes, std::size_t size);

// In one-byte codes, the byte that says a two-byte code follows.
inline constexpr unsigned char kCodeEscape = 255;

// The bytes a value of `type` takes in the file; 0 where its length is in the file (strings,
// chunks) or cannot be known.
constexpr std::size_t fixedSizeOf(BinaryType type) {
    switch (type) {
        case BinaryType::Double:
        case BinaryType::Int64:
            return 8;
        case BinaryType::Int32:
            return 4;
        case BinaryType::Int16:
            return 2;
        case BinaryType::Bool:
            return 1;
        default:
            return 0;
    }
}

// Codes from here on are no DXF codes.
inline constexpr unsigned kBinaryCodeEnd = 1072;

// The types by code, from the DXF reference.
inline constexpr std::array<BinaryType, kBinaryCodeEnd> kBinaryTypes = [] {
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

// The type of a code's value; Unknown for codes the DXF reference does not define.
inline BinaryType binaryTypeOf(unsigned code) {
    return code < kBinaryCodeEnd ? kBinaryTypes[code] : BinaryType::Unknown;
}

// The most formatDouble() writes, past the end it returns too (its digits go in blocks of 8
// bytes): the room it needs.
inline constexpr std::size_t kDoubleTextMost = 24;

// Writes `value` in the shortest digits that read back as the same double: plain with at least
// one digit after the point where 1e-4 <= |value| < 1e16 ("100000.0", "0.5", "-0.0"), with an
// exponent of at least two digits otherwise ("1e-05", "1.5e+16"); "nan", "inf", "-inf".
// This is how the general DXF libraries write a double (Python's float repr). Returns the end.
char* formatDouble(double value, char* to);

// Writes `size` bytes as upper-case hex, two digits a byte. Returns the end.
char* formatHex(const unsigned char* bytes, std::size_t size, char* to);

}  // namespace dxflist
