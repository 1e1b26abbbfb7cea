#pragma once
// Finding one byte value in 64-byte blocks: a bit per byte, so that the places of all line
// ends of a block come out of one word with countr_zero instead of a scan per line.

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define DXFLIST_SSE2 1
#endif

namespace dxflist {

inline constexpr std::size_t kBlock = 64;

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
