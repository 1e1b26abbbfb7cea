#pragma once
// Bytes taken as words: finding one byte value in 64-byte blocks, a bit per byte, so that the
// places of all line ends of a block come out of one word with countr_zero instead of a scan
// per line; and eight bytes as one little-endian word.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define DXFLIST_SSE2 1
#endif

// For the few small functions of the hot loops that must be inlined where the compiler would not.
// And for their rare ways, kept out of them.
#ifdef __GNUC__
#define DXFLIST_ALWAYS_INLINE [[gnu::always_inline]] inline
#define DXFLIST_NOINLINE [[gnu::noinline]]
#else
#define DXFLIST_ALWAYS_INLINE inline
#define DXFLIST_NOINLINE
#endif

namespace dxflist {

inline constexpr std::size_t kBlock = 64;

// The eight bytes at `bytes` as a word whose lowest byte is the first, on any processor.
inline std::uint64_t littleEndianWord(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t swapped = 0;
        for (int b = 0; b < 8; ++b) swapped |= ((word >> (8 * b)) & 0xFF) << (56 - 8 * b);
        word = swapped;
    }
    return word;
}

// The index of the first zero byte of `word`, lowest byte first; 8 when it has none. (Of the
// flags that (word - 0x01...) & ~word & 0x80... sets, only the lowest is sure to be a zero byte.)
inline std::size_t firstZeroByte(std::uint64_t word) {
    const std::uint64_t zeros = (word - 0x0101010101010101) & ~word & 0x8080808080808080;
    return static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
}

// Bit i is set where block[i] == byte, for the kBlock bytes at `block` (any alignment; all of
// them must be readable). SSE2, which every x86-64 has, tests 16 bytes per compare; elsewhere a
// plain loop that compilers vectorise.
inline std::uint64_t byteBits(const char* block, char byte) {
#ifdef DXFLIST_SSE2
    const __m128i wanted = _mm_set1_epi8(byte);
    std::uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
        const auto found =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
        bits |= std::uint64_t{found} << (16 * i);
    }
    return bits;
#else
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < kBlock; ++i) bits |= std::uint64_t{block[i] == byte} << i;
    return bits;
#endif
}

}  // namespace dxflist
