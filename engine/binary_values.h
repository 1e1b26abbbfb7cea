#pragma once
// The values of a binary DXF: which type each group code's value has, and how a value of each
// type is written as the text an ASCII DXF holds for it.

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

// Codes from here on are no DXF codes.
inline constexpr unsigned kBinaryCodeEnd = 1072;

// The type of a code's value; Unknown for codes the DXF reference does not define.
BinaryType binaryTypeOf(unsigned code);

// The most formatDouble() writes.
inline constexpr std::size_t kDoubleTextMost = 24;

// Writes `value` in the shortest digits that read back as the same double: plain with at least
// one digit after the point where 1e-4 <= |value| < 1e16 ("100000.0", "0.5", "-0.0"), with an
// exponent of at least two digits otherwise ("1e-05", "1.5e+16"); "nan", "inf", "-inf".
// This is how the general DXF libraries write a double (Python's float repr). Returns the end.
char* formatDouble(double value, char* to);

// Writes `size` bytes as upper-case hex, two digits a byte. Returns the end.
char* formatHex(const unsigned char* bytes, std::size_t size, char* to);

}  // namespace dxflist
