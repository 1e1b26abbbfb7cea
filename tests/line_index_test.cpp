#include "engine/line_index.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "scan_paths.h"

namespace dxflist::test {
namespace {

// The line ends by the rule written out plainly: the CRs that an LF follows, up to the first
// CR that none follows.
std::vector<std::uint32_t> plainEnds(const char* from, const char* to, std::uint32_t offset = 0) {
    std::vector<std::uint32_t> ends;
    for (const char* p = from; p < to; ++p) {
        if (*p != '\r') continue;
        if (p[1] != '\n') break;
        ends.push_back(offset + static_cast<std::uint32_t>(p - from));
    }
    return ends;
}

std::vector<std::uint32_t> indexed(const char* from, const char* to) {
    std::vector<std::uint32_t> ends(kIndexEntries);
    ends.resize(indexLineEnds(from, to, ends.data()));
    return ends;
}

// Every path against the rule: windows of every length up to three blocks and beyond, at
// every offset in a block, over bytes that are mostly CR LF with lone CRs and LFs, spaces,
// digits and other bytes among them (CR and LF also just past the window, which must not
// count); then whole windows of line ends only (the most entries a window can have), of no
// line end, and of a lone CR in each of the last places.
TEST(LineIndexTest, FindsTheLineEndsOnEveryPath) {
    std::mt19937 random(2112);
    const std::string alphabet = "\r\n\r\n\r\n\r\n\r\r\n\n  0123456789ABC\x81\x0d\x0a\x80\xff";
    struct Case {
        std::string bytes;
        std::size_t from, size;
    };
    std::vector<Case> cases;
    for (int round = 0; round < 600; ++round) {
        std::string bytes(300, '\0');
        for (char& c : bytes) c = alphabet[random() % alphabet.size()];
        if (round % 3 == 0) std::ranges::replace(bytes, '\r', 'x');  // no lone CR stops it
        cases.push_back({bytes, random() % 64, random() % 200});
    }
    std::string lineEnds;
    while (lineEnds.size() < kIndexWindow) lineEnds += "\r\n";
    cases.push_back({lineEnds, 0, kIndexWindow});
    cases.push_back({std::string(kIndexWindow, 'x') + "\r\n", 0, kIndexWindow});
    for (std::size_t back = 1; back <= 70; ++back) {
        std::string bytes = lineEnds;
        bytes[kIndexWindow - back] = '\r';
        // The last CR of the window has the padding's CR behind it: no LF either.
        if (back > 1) bytes[kIndexWindow - back + 1] = 'x';
        cases.push_back({bytes, 0, kIndexWindow});
    }
    forEachScanPath([&](ScanPath) {
        for (const Case& c : cases) {
            const std::string bytes = c.bytes + std::string(128, '\r');
            const char* from = bytes.data() + c.from;
            ASSERT_EQ(indexed(from, from + c.size), plainEnds(from, from + c.size))
                << "from " << c.from << ", size " << c.size;
        }
    });
}

// A chunk's index, window by window: the rule's entries, moved by the offset, as many as the
// room allows and all of them where it holds half the chunk and the slack; never a write
// past the room (the vectors are exactly as large: the sanitizer build sees any). Chunks of
// line ends only, of long lines, and with a lone CR early, late or just past a window.
TEST(LineIndexTest, IndexesAChunkWindowByWindowWithinItsRoom) {
    std::mt19937 random(4242);
    const std::size_t size = 3 * kIndexWindow + 777;
    std::vector<std::string> chunks;
    std::string shortLines;
    while (shortLines.size() < size) shortLines += random() % 4 == 0 ? "\r\n" : "ab\r\n";
    chunks.push_back(shortLines.substr(0, size));
    std::string longLines;
    while (longLines.size() < size) longLines += std::string(random() % 200, 'x') + "\r\n";
    chunks.push_back(longLines.substr(0, size));
    for (const std::size_t at : {std::size_t{10}, size / 2, kIndexWindow - 1, kIndexWindow,
                                 2 * kIndexWindow + 1, size - 3}) {
        std::string cut = chunks[0];
        cut[at] = '\r';
        cut[at + 1] = 'y';
        chunks.push_back(cut);
    }
    forEachScanPath([&](ScanPath) {
        for (std::size_t c = 0; c < chunks.size(); ++c) {
            const std::string bytes = chunks[c] + std::string(128, '\0');
            const char* from = bytes.data();
            const char* to = from + size;
            const std::vector<std::uint32_t> rule = plainEnds(from, to, 1000);
            for (const std::size_t most :
                 {std::size_t{1}, kIndexSlack + 1, kIndexSlack + 2, std::size_t{500}, kIndexEntries,
                  3 * kIndexEntries, size / 2 + kIndexSlack + 1}) {
                std::vector<std::uint32_t> ends(most);
                const std::size_t count = indexChunkLineEnds(from, to, ends.data(), 1000, most);
                SCOPED_TRACE("chunk " + std::to_string(c) + ", room " + std::to_string(most));
                ASSERT_LE(count, rule.size());
                ends.resize(count);
                EXPECT_TRUE(std::equal(ends.begin(), ends.end(), rule.begin()));
                if (most >= size / 2 + kIndexSlack + 1) {
                    EXPECT_EQ(count, rule.size());
                }
            }
        }
    });
}

// A path is chosen only where the processor has every instruction set its code is compiled
// for: the processors that have some of them without the rest (AVX-512 without VBMI2 on
// Skylake-X and Cascade Lake, or a virtual machine that hides a set) take a slower path
// instead of stopping at an unknown instruction.
TEST(LineIndexTest, ChoosesAPathOnlyWithAllItsInstructionSets) {
    const X86Features none;
    const X86Features haswell{.avx2 = true, .bmi = true, .bmi2 = true, .popcnt = true};
    X86Features iceLake = haswell;
    iceLake.avx512bw = iceLake.avx512vbmi2 = true;
    const auto without = [](X86Features features, bool X86Features::*set) {
        features.*set = false;
        return features;
    };
    const struct {
        const char* processor;
        X86Features features;
        ScanPath path;
    } rows[] = {
        {"none of them", none, ScanPath::Sse2},
        {"Haswell and later", haswell, ScanPath::Avx2},
        {"Ice Lake, Zen 4 and later", iceLake, ScanPath::Avx512},
        {"Skylake-X: AVX-512 without VBMI2", without(iceLake, &X86Features::avx512vbmi2),
         ScanPath::Avx2},
        {"VBMI2 without AVX-512BW", without(iceLake, &X86Features::avx512bw), ScanPath::Avx2},
        {"AVX-512 without BMI", without(iceLake, &X86Features::bmi), ScanPath::Sse2},
        {"AVX-512 without BMI2", without(iceLake, &X86Features::bmi2), ScanPath::Sse2},
        {"AVX-512 without POPCNT", without(iceLake, &X86Features::popcnt), ScanPath::Sse2},
        {"AVX-512 without AVX2", without(iceLake, &X86Features::avx2), ScanPath::Sse2},
        {"AVX2 without BMI", without(haswell, &X86Features::bmi), ScanPath::Sse2},
        {"AVX2 without BMI2", without(haswell, &X86Features::bmi2), ScanPath::Sse2},
        {"AVX2 without POPCNT", without(haswell, &X86Features::popcnt), ScanPath::Sse2},
        {"BMI, BMI2 and POPCNT without AVX2", without(haswell, &X86Features::avx2), ScanPath::Sse2},
    };
    for (const auto& row : rows) EXPECT_EQ(fastestX86Path(row.features), row.path) << row.processor;
}

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
// The run takes the path that the processor's sets as the system reports them allow: each set is
// asked for under its own name.
TEST(LineIndexTest, TheRunTakesTheFastestPathTheSystemReports) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && !line.starts_with("flags")) {
    }
    ASSERT_TRUE(line.starts_with("flags")) << "no flags line in /proc/cpuinfo";
    std::istringstream words(line.substr(line.find(':') + 1));
    const std::set<std::string> flags{std::istream_iterator<std::string>(words), {}};
    const auto has = [&flags](const char* flag) { return flags.contains(flag); };
    const X86Features reported{.avx2 = has("avx2"),
                               .bmi = has("bmi1"),
                               .bmi2 = has("bmi2"),
                               .popcnt = has("popcnt"),
                               .avx512bw = has("avx512bw"),
                               .avx512vbmi2 = has("avx512_vbmi2")};
    EXPECT_EQ(scanPathsHere().back(), fastestX86Path(reported));
}
#endif

}  // namespace
}  // namespace dxflist::test
