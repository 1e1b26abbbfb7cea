// The binary lane against the binary reader alone (which tests/binary/binary_twins.py holds
// against an independent conversion): every binary drawing is listed as the reader alone lists
// it, with the same calls to the host, also where the run stops or fails half-way.

#include "engine/binary_lane.h"

#include <bit>
#include <random>

#include "scan_paths.h"

namespace dxflist::test {
namespace {

std::string littleEndian(std::uint64_t bits, std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i, bits >>= 8) bytes += static_cast<char>(bits & 255);
    return bytes;
}

// Binary drawings of the structure that steers the rules, with what the lane leaves to the
// reader among the usual groups: strings around the longest the lane takes and longer than a
// buffer, binary chunks, codes escaped in one-byte files, a code DXF does not have, and every
// way of ending (cut within a code, a number, a string).
std::string randomBinaryDrawing(std::mt19937& random, std::size_t groups, bool twoByteCodes,
                                unsigned oddPercent) {
    const unsigned codes[] = {0,  0,  2,  9,   5,   100,  102,  330,  999, 10,
                              20, 40, 8,  62,  70,  90,   160,  290,  310, 1000,
                              1,  3,  42, 330, 100, 1004, 1040, 1070, 1071};
    const char* keywords[] = {"SECTION", "ENDSEC",   "HEADER", "TABLES",   "TABLE",   "ENDTAB",
                              "BLOCKS",  "BLOCK",    "ENDBLK", "ENTITIES", "OBJECTS", "EOF",
                              "LAYER",   "$ACADVER", "LINE",   "section",  "SECTION "};
    const double doubles[] = {
        0.0, -0.0, 0.5, 1e-5, 1e16, 474.1382, -102.078, 2460285.387453704, 89100.0, 1.0 / 3};
    const auto chance = [&](unsigned percent) { return random() % 100 < percent; };
    const auto codeBytes = [&](unsigned code) {
        if (twoByteCodes) return littleEndian(code, 2);
        return code < 255 ? littleEndian(code, 1) : "\xff" + littleEndian(code, 2);
    };
    // A header of variables, whose ends the rules process once more, then entities.
    std::string dxf = std::string("AutoCAD Binary DXF\r\n\x1a", 22);
    for (const auto& [code, text] :
         std::initializer_list<std::pair<unsigned, const char*>>{{0, "SECTION"},
                                                                 {2, "HEADER"},
                                                                 {9, "$ACADVER"},
                                                                 {1, "AC1015"},
                                                                 {9, "$PROJECTNAME"},
                                                                 {1, ""},
                                                                 {9, "$MENU"},
                                                                 {1, "."},
                                                                 {0, "ENDSEC"},
                                                                 {0, "SECTION"},
                                                                 {2, "ENTITIES"}})
        dxf += codeBytes(code) + text + '\0';
    for (std::size_t i = 0; i < groups; ++i) {
        const unsigned code = chance(oddPercent / 4) ? 80 : codes[random() % std::size(codes)];
        dxf += codeBytes(code);
        switch (binaryTypeOf(code)) {
            case BinaryType::String:
                if (chance(30)) {
                    dxf += keywords[random() % std::size(keywords)];
                } else {
                    const std::size_t size = random() % 20000 == 0 ? 600000 + random() % 100
                                             : chance(oddPercent)  ? 505 + random() % 10
                                                                   : random() % 20;
                    for (std::size_t j = 0; j < size; ++j) dxf += "0123456789 .-xyz"[random() % 16];
                }
                dxf += '\0';
                break;
            case BinaryType::Double:
                dxf += littleEndian(std::bit_cast<std::uint64_t>(doubles[random() % 10]), 8);
                break;
            case BinaryType::Chunk: {
                const std::size_t size = chance(oddPercent) ? 255 : random() % 8;
                dxf += static_cast<char>(size);
                for (std::size_t j = 0; j < size; ++j) dxf += static_cast<char>(random());
                break;
            }
            default: {
                // The integers, the boolean, and the code DXF does not have (a run that fails).
                const BinaryType type = binaryTypeOf(code);
                const std::size_t size = type == BinaryType::Int16   ? 2
                                         : type == BinaryType::Int32 ? 4
                                         : type == BinaryType::Int64 ? 8
                                         : type == BinaryType::Bool  ? 1
                                                                     : 3;
                dxf += littleEndian(random() | std::uint64_t{random()} << 32, size);
                break;
            }
        }
    }
    if (chance(50)) dxf.resize(dxf.size() - random() % 4);
    return dxf;
}

// Who makes the doubles' text while this lives: in a test run the writer is seldom behind, so
// the lane's own way would rarely be seen without it.
struct DoubleTextsAs {
    explicit DoubleTextsAs(DoubleTexts way) { useDoubleTexts(way); }
    ~DoubleTextsAs() { useDoubleTexts(DoubleTexts::ByTheLessBusy); }
    DoubleTextsAs(const DoubleTextsAs&) = delete;
    DoubleTextsAs& operator=(const DoubleTextsAs&) = delete;
};
constexpr DoubleTexts kDoubleTexts[] = {DoubleTexts::ByTheLessBusy, DoubleTexts::ByTheLane,
                                        DoubleTexts::ByTheWriter};

// The lane takes a drawing's usual groups itself (all but the last, which has no code behind
// it) on every path that has it, with either width of codes, and none where the reader alone is
// asked for: the reference the other tests hold it against.
TEST(BinaryLaneTest, TakesTheUsualGroupsItself) {
    constexpr int kEntities = 300;
    constexpr int kGroups = 2 + 11 * kEntities + 2;
    for (const bool twoByteCodes : {true, false}) {
        SCOPED_TRACE(::testing::Message() << "two-byte codes " << twoByteCodes);
        const auto group = [&](unsigned code, const std::string& value) {
            if (twoByteCodes) return littleEndian(code, 2) + value;
            return (code < 255 ? littleEndian(code, 1) : "\xff" + littleEndian(code, 2)) + value;
        };
        const auto text = [](const char* value) { return std::string(value) + '\0'; };
        std::string dxf = std::string("AutoCAD Binary DXF\r\n\x1a", 22) +
                          group(0, text("SECTION")) + group(2, text("ENTITIES"));
        for (int i = 0; i < kEntities; ++i) {
            dxf += group(0, text("LINE")) + group(8, text("A-WALL-EXTERIOR-1")) +
                   group(62, littleEndian(7, 2)) + group(290, littleEndian(1, 1)) +
                   group(90, littleEndian(12345, 4)) + group(310, std::string("\x02\xab\xcd", 3));
            for (const unsigned code : {10, 20, 30, 1040})
                dxf += group(code, littleEndian(std::bit_cast<std::uint64_t>(i + 0.25), 8));
            dxf += group(1000, text("x"));
        }
        dxf += group(0, text("ENDSEC")) + group(0, text("EOF"));
        forEachScanPath([&](ScanPath path) {
            const std::int32_t lines = linesTheLaneTakes<BinaryReader, BinaryLane>(dxf);
            EXPECT_EQ(lines, path == ScanPath::Off ? 0 : 2 * (kGroups - 1));
        });
    }
}

// Small drawings, each held in one buffer, with both code widths: from nearly all usual
// groups to many odd ones; the doubles' text made by either thread.
TEST(BinaryLaneTest, ListsSmallDrawingsAsTheReader) {
    std::mt19937 random(17);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const DoubleTextsAs way(kDoubleTexts[round % 3]);
        expectSameOnEveryPath(
            randomBinaryDrawing(random, 1 + random() % 150, round % 2 == 0, round % 4 * 5));
    }
}

// Drawings over several buffer loads, shifted byte by byte by a comment first, so that the
// ends of the buffers fall everywhere in their groups, whichever thread makes the doubles' text.
TEST(BinaryLaneTest, ListsLargeDrawingsAsTheReader) {
    std::mt19937 random(19);
    for (const bool twoByteCodes : {true, false}) {
        const std::string body = randomBinaryDrawing(random, 200'000, twoByteCodes, 1).substr(22);
        for (std::size_t shift : {0, 1, 2, 3, 7, 13}) {
            SCOPED_TRACE(::testing::Message()
                         << "two-byte codes " << twoByteCodes << " shift " << shift);
            const DoubleTextsAs way(kDoubleTexts[shift % 3]);
            const std::string comment =
                (twoByteCodes ? littleEndian(999, 2) : "\xff" + littleEndian(999, 2)) +
                std::string(shift, 'x') + '\0';
            expectSameOnEveryPath(std::string("AutoCAD Binary DXF\r\n\x1a", 22) + comment + body);
        }
    }
}

// A stop in the middle of the run (Exit) keeps the same whole lines, wherever it comes: at
// every pass of a drawing with header variables, whose ends the rules process once more.
TEST(BinaryLaneTest, StopsWhereTheReaderStops) {
    std::mt19937 random(23);
    const std::string dxf = randomBinaryDrawing(random, 200, true, 0);
    for (std::size_t stopAt = 1; stopAt <= 260; ++stopAt) {
        SCOPED_TRACE(stopAt);
        const DoubleTextsAs way(kDoubleTexts[stopAt % 3]);
        expectSameOnEveryPath(dxf, stopAt);
    }
}

// Across each digit the line number gains, and up to the line count's limit, where the reader
// fails, the lane lists what the reader alone lists.
TEST(BinaryLaneTest, ListsLineNumbersAsTheReaderUpToTheLimit) {
    std::mt19937 random(29);
    TempDir dir;
    writeFile(dir / "in.dxf", randomBinaryDrawing(random, 60, true, 0));
    for (const std::int32_t start : {1'000'000 - 61, 10'000'000 - 37, 100'000'000 - 3,
                                     1'000'000'000 - 99, 2147483647 - 90, 2147483647 - 7}) {
        SCOPED_TRACE(start);
        std::string plain;
        forEachScanPath([&](ScanPath path) {
            const std::string listed = listFromCount(listBinaryPairs, start, dir);
            if (path == ScanPath::Off) plain = listed;
            EXPECT_EQ(listed, plain);
        });
    }
}

}  // namespace
}  // namespace dxflist::test
