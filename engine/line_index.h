#pragma once
// The line ends of a window of the buffer, found before any pair is read from it.
//
// How it works: the window is taken 64 bytes at a time. One compare of the block with CR and
// one of the block one byte further on with LF give two words of bits, bit i for byte i; CRs
// that an LF follows are the bits of both. Their places are written into a small array in
// order (countr_zero and clearing the lowest bit, or one compress instruction on AVX-512), so
// that afterwards a line is two neighbouring entries and a pair three, and no pair's work
// waits for the scan of the pair before it. The first CR that no LF follows ends the index:
// lines after it are the plain reader's. The compares use the widest vectors the processor
// has, chosen once at run time; every path writes the same entries.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dxflist {

// A window is at most this long.
inline constexpr std::size_t kIndexWindow = std::size_t{32} << 10;
// Entries written past the count: the array needs this many more than the window can have.
inline constexpr std::size_t kIndexSlack = 64;
// Entries a window of kIndexWindow bytes can have at most (every second byte a CR), and slack.
inline constexpr std::size_t kIndexEntries = kIndexWindow / 2 + kIndexSlack;

// The ways of comparing a block: Off makes the run read with the plain reader alone, the
// reference every other path must agree with.
enum class ScanPath { Off, Portable, Sse2, Avx2, Avx512 };

// Writes to `ends`, in order, the offsets from `from` of the CRs in [from, to) that an LF
// follows, up to the first CR that no LF follows; returns how many. to - from is at most
// kIndexWindow; bytes up to 64 past `to` are read (not used); `ends` has kIndexEntries room.
std::size_t indexLineEnds(const char* from, const char* to, std::uint32_t* ends);

// The same for [from, to) of any length, window by window, each entry moved by `offset`, with
// `most` entries' room in `ends`: the index ends where a window might not fit any more, as at
// the first CR that no LF follows. Bytes up to 64 past `to` are read.
std::size_t indexChunkLineEnds(const char* from, const char* to, std::uint32_t* ends,
                               std::uint32_t offset, std::size_t most);

// The instruction sets of an x86-64 processor that the faster paths use (SSE2 is on them all).
struct X86Features {
    bool avx2 = false;
    bool bmi = false;
    bool bmi2 = false;
    bool popcnt = false;
    bool avx512bw = false;
    bool avx512vbmi2 = false;
};
// The fastest path an x86-64 processor with these sets can run.
ScanPath fastestX86Path(const X86Features& has);

// The path the run uses: the fastest this processor has, unless a test chose another.
ScanPath scanPath();
// The paths this processor can run, Off and Portable always among them.
std::vector<ScanPath> scanPathsHere();
// Makes later runs use `path` (one of scanPathsHere()); for tests and the benchmark.
void useScanPath(ScanPath path);

}  // namespace dxflist
