#include "engine/line_index.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/byte_scan.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define DXFLIST_X86_PATHS 1
#endif

namespace dxflist {
namespace {

// Bit i set where block[i] == byte, eight bytes to a word: a byte that differs from `byte`
// in no bit is the only one whose high bit survives, and one multiply gathers the eight high
// bits into a byte. Any processor, any byte order.
std::uint64_t portableBits(const char* block, char byte) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(byte);
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t diff = littleEndianWord(block + 8 * i) ^ pattern;
        const std::uint64_t equal = ~(((diff & kLow7) + kLow7) | diff) & kHigh;
        bits |= (((equal >> 7) * 0x0102040810204080ull) >> 56) << (8 * i);
    }
    return bits;
}

// Appends at + the place of every set bit, lowest first.
DXFLIST_ALWAYS_INLINE std::uint32_t* appendPlaces(std::uint64_t bits, std::uint32_t at,
                                                  std::uint32_t* out) {
    for (; bits != 0; bits &= bits - 1)
        *out++ = at + static_cast<std::uint32_t>(std::countr_zero(bits));
    return out;
}

// What an index of a window came to: its entries, and whether a CR that no LF follows ended it.
struct Indexed {
    std::size_t count;
    bool cut;
};

struct Portable {
    static std::uint64_t bits(const char* block, char byte) { return portableBits(block, byte); }
    DXFLIST_ALWAYS_INLINE static std::uint32_t* append(std::uint64_t bits, std::uint32_t at,
                                                       std::uint32_t* out) {
        return appendPlaces(bits, at, out);
    }
};

template <class Path>
DXFLIST_ALWAYS_INLINE Indexed indexWith(const char* from, const char* to, std::uint32_t* ends,
                                        std::uint32_t offset) {
    const auto size = static_cast<std::size_t>(to - from);
    std::uint32_t* out = ends;
    for (std::size_t at = 0; at < size; at += kBlock) {
        std::uint64_t crs = Path::bits(from + at, '\r');
        const std::uint64_t lfs = Path::bits(from + at + 1, '\n');  // bit i: an LF at i + 1
        if (size - at < kBlock) crs &= (std::uint64_t{1} << (size - at)) - 1;
        const std::uint64_t lone = crs & ~lfs;
        const auto place = offset + static_cast<std::uint32_t>(at);
        if (lone != 0) {
            out = Path::append(crs & ((lone & (0 - lone)) - 1), place, out);
            return {static_cast<std::size_t>(out - ends), true};
        }
        out = Path::append(crs, place, out);
    }
    return {static_cast<std::size_t>(out - ends), false};
}

Indexed indexPortable(const char* from, const char* to, std::uint32_t* ends, std::uint32_t offset) {
    return indexWith<Portable>(from, to, ends, offset);
}

#ifdef DXFLIST_X86_PATHS
// Every x86-64 has SSE2: the compares the line reader uses.
struct Sse2 : Portable {
    DXFLIST_ALWAYS_INLINE static std::uint64_t bits(const char* block, char byte) {
        return byteBits(block, byte);
    }
};

Indexed indexSse2(const char* from, const char* to, std::uint32_t* ends, std::uint32_t offset) {
    return indexWith<Sse2>(from, to, ends, offset);
}

// Half the compares of SSE2: 6% fewer instructions for the whole run (first 10 MB of the
// 100 MB CR LF drawing).
struct Avx2 : Portable {
    __attribute__((target("avx2"))) static std::uint64_t bits(const char* block, char byte) {
        const __m256i wanted = _mm256_set1_epi8(byte);
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32));
        const auto lowBits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
        const auto highBits =
            static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, wanted)));
        return lowBits | std::uint64_t{highBits} << 32;
    }
};

__attribute__((target("avx2,bmi,bmi2,popcnt"))) Indexed indexAvx2(const char* from, const char* to,
                                                                  std::uint32_t* ends,
                                                                  std::uint32_t offset) {
    return indexWith<Avx2>(from, to, ends, offset);
}

// GCC 12 takes the undefined upper half of a 512-bit cast for an uninitialised variable.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// One compare per block, and the places of a block's line ends written at once: the set
// bits select their byte numbers from 0..63 (compress), which are widened to 32 bits and
// moved by the block's offset, 16 at a time. A block has at most 32 line ends, as an LF
// follows each.
// 12% less CPU time and 7% less wall time than AVX2 (100 MB CR LF drawing, medians of 21).
struct Avx512 {
    __attribute__((target("avx512bw"))) static std::uint64_t bits(const char* block, char byte) {
        return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(block), _mm512_set1_epi8(byte));
    }
    __attribute__((target("avx512bw,avx512vbmi2,popcnt"))) static std::uint32_t* append(
        std::uint64_t bits, std::uint32_t at, std::uint32_t* out) {
        alignas(64) static constexpr unsigned char kPlaces[64] = {
            0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
            22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
            44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
        const __m512i places = _mm512_maskz_compress_epi8(bits, _mm512_load_si512(kPlaces));
        const __m512i base = _mm512_set1_epi32(static_cast<int>(at));
        const __m512i first = _mm512_cvtepu8_epi32(_mm512_castsi512_si128(places));
        const __m512i second = _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(places, 1));
        _mm512_storeu_si512(out, _mm512_add_epi32(first, base));
        _mm512_storeu_si512(out + 16, _mm512_add_epi32(second, base));
        return out + std::popcount(bits);
    }
};

__attribute__((target("avx512bw,avx512vbmi2,bmi,bmi2,popcnt"))) Indexed indexAvx512(
    const char* from, const char* to, std::uint32_t* ends, std::uint32_t offset) {
    return indexWith<Avx512>(from, to, ends, offset);
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

using IndexFunction = Indexed (*)(const char*, const char*, std::uint32_t*, std::uint32_t);

ScanPath fastestHere() {
#ifdef DXFLIST_X86_PATHS
    __builtin_cpu_init();
    return fastestX86Path({.avx2 = __builtin_cpu_supports("avx2") != 0,
                           .bmi = __builtin_cpu_supports("bmi") != 0,
                           .bmi2 = __builtin_cpu_supports("bmi2") != 0,
                           .popcnt = __builtin_cpu_supports("popcnt") != 0,
                           .avx512bw = __builtin_cpu_supports("avx512bw") != 0,
                           .avx512vbmi2 = __builtin_cpu_supports("avx512vbmi2") != 0});
#else
    return ScanPath::Portable;
#endif
}

IndexFunction functionFor(ScanPath path) {
    switch (path) {
#ifdef DXFLIST_X86_PATHS
        case ScanPath::Sse2:
            return indexSse2;
        case ScanPath::Avx2:
            return indexAvx2;
        case ScanPath::Avx512:
            return indexAvx512;
#endif
        default:
            return indexPortable;
    }
}

struct Chosen {
    ScanPath path;
    IndexFunction index;
};

Chosen& chosen() {
    static Chosen path{fastestHere(), functionFor(fastestHere())};
    return path;
}

}  // namespace

std::size_t indexLineEnds(const char* from, const char* to, std::uint32_t* ends) {
    return chosen().index(from, to, ends, 0).count;
}

std::size_t indexChunkLineEnds(const char* from, const char* to, std::uint32_t* ends,
                               std::uint32_t offset, std::size_t most) {
    const IndexFunction index = chosen().index;
    std::size_t count = 0;
    for (const char* window = from; window < to;) {
        // A window of n bytes writes at most n / 2 entries and the slack.
        const std::size_t room = most - count;
        if (room <= kIndexSlack + 1) break;
        const std::size_t size = std::min(
            {static_cast<std::size_t>(to - window), kIndexWindow, 2 * (room - kIndexSlack - 1)});
        const Indexed part = index(window, window + size, ends + count,
                                   offset + static_cast<std::uint32_t>(window - from));
        count += part.count;
        if (part.cut) break;
        window += size;
    }
    return count;
}

// Each path is compiled for all of its sets (the target attributes above; AVX-512 includes AVX2
// for the compiler): with one missing, one of its instructions would stop the program, or give
// another answer (tzcnt without BMI runs as bsf).
ScanPath fastestX86Path(const X86Features& has) {
    if (!(has.avx2 && has.bmi && has.bmi2 && has.popcnt)) return ScanPath::Sse2;
    return has.avx512bw && has.avx512vbmi2 ? ScanPath::Avx512 : ScanPath::Avx2;
}

ScanPath scanPath() {
    return chosen().path;
}

std::vector<ScanPath> scanPathsHere() {
    std::vector<ScanPath> paths = {ScanPath::Off, ScanPath::Portable};
    const ScanPath best = fastestHere();
    for (ScanPath path : {ScanPath::Sse2, ScanPath::Avx2, ScanPath::Avx512})
        if (best != ScanPath::Portable && path <= best) paths.push_back(path);
    return paths;
}

void useScanPath(ScanPath path) {
    chosen() = {path, functionFor(path)};
}

}  // namespace dxflist
