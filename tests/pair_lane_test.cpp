// The fast lane against the plain reader: every scan path must list every file as the plain
// reader alone does, with the same calls to the host, also where the run stops half-way.

#include "engine/pair_lane.h"
#include "engine/pair_loop.h"

#include <random>

#include "scan_paths.h"

namespace dxflist::test {
namespace {

using namespace std::literals;

// Drawings of the structure that steers the rules, with everything the lane leaves to the
// plain reader among the usual pairs: codes of odd shapes, empty and non-numeric code lines,
// values around the longest the lane copies itself and longer than a window, lone CRs and LFs,
// keywords in every section, and every way of ending.
std::string randomDrawing(std::mt19937& random, std::size_t pairs, unsigned oddPercent) {
    const char* usualCodes[] = {"  0", "  2", "  9", "  5",  "100", "102",    "330", "999",
                                " 10", "  8", " 70", "1000", "  1", "    20", "0",   "62 "};
    // A code line with zero bytes must not pass for the one without them ("\000100" is a zero
    // byte, then 100: octal escapes take three digits).
    const std::string_view oddCodes[] = {"",        "+5",        "1.5",        "abc",     "  7\t",
                                         "1234567", "123456",    "      0",    "     20", " 0 0",
                                         "00",      "\000100"sv, "\0\0\0 0"sv, "0\0"sv};
    const char* keywords[] = {"SECTION", "ENDSEC",   "HEADER", "TABLES",   "TABLE",   "ENDTAB",
                              "BLOCKS",  "BLOCK",    "ENDBLK", "ENTITIES", "OBJECTS", "EOF",
                              "LAYER",   "$ACADVER", "LINE",   "section",  "SECTION "};
    const auto chance = [&](unsigned percent) { return random() % 100 < percent; };
    const auto end = [&] { return !chance(oddPercent) ? "\r\n" : chance(50) ? "\r" : "\n"; };
    std::string dxf;
    for (std::size_t i = 0; i < pairs; ++i) {
        dxf += chance(oddPercent) ? oddCodes[random() % std::size(oddCodes)]
                                  : usualCodes[random() % std::size(usualCodes)];
        dxf += end();
        if (chance(30)) {
            dxf += keywords[random() % std::size(keywords)];
        } else {
            const std::size_t size = random() % 3000 == 0 ? 40000 + random() % 100
                                     : chance(oddPercent) ? 60 + random() % 8
                                                          : random() % 12;
            for (std::size_t j = 0; j < size; ++j) dxf += "0123456789 .-xyz"[random() % 16];
        }
        dxf += end();
    }
    if (chance(50)) dxf.resize(dxf.size() - random() % 3);
    return dxf.empty() ? "0" : dxf;
}

// The lane takes a drawing's usual pairs itself on every path that has it (all but the first,
// which the reader reads as it fills its buffer, and the last, whose value line ends the file;
// codes with spaces around them too), and none where the reader alone is asked for: the
// reference the other tests hold it against.
TEST(PairLaneTest, TakesTheUsualPairsItself) {
    constexpr int kEntities = 300;
    constexpr int kPairs = 2 + 6 * kEntities + 2;
    std::string dxf = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    for (int i = 0; i < kEntities; ++i)
        dxf += "  0\r\nLINE\r\n  8\r\nA-WALL\r\n 62 \r\n7\r\n10\r\n1.5\r\n    20\r\n" +
               std::to_string(i) + "\r\n1000\r\nx\r\n";
    dxf += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    forEachScanPath([&](ScanPath path) {
        const std::int32_t lines = linesTheLaneTakes<PairReader, PairLane>(dxf);
        EXPECT_EQ(lines, path == ScanPath::Off ? 0 : 2 * (kPairs - 2));
    });
}

// Small drawings, each held in one buffer: from nearly all usual pairs to many odd ones.
TEST(PairLaneTest, ListsSmallDrawingsAsThePlainReader) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        expectSameOnEveryPath(randomDrawing(random, 1 + random() % 120, round % 4 * 5));
    }
}

// Drawings over several buffer loads and many index windows, shifted byte by byte so that
// the ends of buffers and windows fall everywhere in their pairs.
TEST(PairLaneTest, ListsLargeDrawingsAsThePlainReader) {
    std::mt19937 random(11);
    const std::string body = randomDrawing(random, 250'000, 1);
    for (std::size_t shift : {0, 1, 2, 3, 4, 5, 6, 7, 9, 13, 31, 64}) {
        SCOPED_TRACE(shift);
        expectSameOnEveryPath(crlf({"999", std::string(shift, 'x')}) + body);
    }
}

// A value line nearly a chunk long, cut by the end of a buffer: the bytes of it carried into
// the next buffer take the room where that buffer's line index lies, and the short pairs after
// it are listed from what is left of the index and from windows the lane indexes itself.
TEST(PairLaneTest, ListsShortPairsAfterALongLineCarriedOver) {
    const auto shortPairs = [](std::size_t count) {
        std::string pairs;
        for (std::size_t i = 0; i < count; ++i)
            pairs += i % 3 == 0 ? "  8\r\n0\r\n" : " 10\r\n1.5\r\n";
        return pairs;
    };
    for (std::size_t before : {70'000u, 90'000u}) {
        SCOPED_TRACE(before);
        const std::string value(500'000, 'v');
        expectSameOnEveryPath(shortPairs(before) + crlf({"  1", value}) + shortPairs(150'000) +
                              crlf({"  0", "EOF"}));
    }
}

// Entity names longer than the room the lane keeps for a pair, over more listing than the
// writer's four buffers hold, so that some name lies across the end of each: they go through the
// writer, never past the buffer being filled into the next one, which may still be writing.
TEST(PairLaneTest, ListsLongEntityNamesAcrossBufferEnds) {
    std::string dxf = crlf({"  0", "SECTION", "  2", "ENTITIES"});
    std::size_t names = 0;
    for (std::size_t length : {63, 64, 65, 200, 1000, 3001}) {
        for (int i = 0; i < 1200; ++i, ++names) {
            std::string name(length, 'N');
            name.replace(0, 6, std::to_string(100000 + names));
            dxf += crlf({"  0", name, "  8", "0", " 10", "1.5"});
        }
    }
    dxf += crlf({"  0", "ENDSEC", "  0", "EOF"});
    ASSERT_GT(dxf.size(), 5 * ByteWriter::kDefaultBuffer);
    expectSameOnEveryPath(dxf);
}

// A stop in the middle of the run (Exit) keeps the same whole lines, wherever it comes.
TEST(PairLaneTest, StopsWhereThePlainReaderStops) {
    std::mt19937 random(5);
    const std::string dxf = randomDrawing(random, 3000, 2);
    for (std::size_t stopAt : {1, 2, 3, 100, 1001, 2500}) {
        SCOPED_TRACE(stopAt);
        expectSameOnEveryPath(dxf, stopAt);
    }
}

std::string listFrom(std::int32_t lineCnt, const TempDir& dir) {
    return listFromCount(listPairs, lineCnt, dir);
}

// A line number gains a digit at 1,000,000, 10,000,000, 100,000,000 and 1,000,000,000: lines of
// every kind written across each crossing (generic lines, entity and block lines, hidden groups,
// header variables and section lines, written by the lane and by the rules) list the same
// numbers on every scan path as the plain reader does, and as a plain decimal formatter does.
TEST(PairLaneTest, ListsEveryDigitCrossingOnEveryPath) {
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"  0", "SECTION"}, {"  2", "HEADER"},  {"  9", "$V"},    {" 10", "1"},
        {"  0", "ENDSEC"},  {"  0", "SECTION"}, {"  2", "BLOCKS"}};
    for (int i = 0; i < 40; ++i)
        for (const auto& pair : std::initializer_list<std::pair<const char*, const char*>>{
                 {"  0", i % 5 ? "LINE" : "BLOCK"}, {"  5", "1F"}, {"  8", "0"}, {" 10", "1.5"}})
            pairs.emplace_back(pair.first, pair.second);
    pairs.insert(pairs.end(), {{"  0", "ENDSEC"}, {"  0", "EOF"}});
    std::string dxf;
    for (const auto& [code, value] : pairs) dxf += crlf({code, value});
    TempDir dir;
    writeFile(dir / "in.dxf", dxf);
    const std::string gap = utf8ToCp932("　　");
    for (const std::int32_t crossing : {1'000'000, 10'000'000, 100'000'000, 1'000'000'000}) {
        SCOPED_TRACE(crossing);
        const std::int32_t start = crossing - 97;
        const auto number = [&](std::size_t pair, int line = 1) {
            char text[32];
            std::snprintf(text, sizeof text, "%06lld:",
                          static_cast<long long>(start) + 2 * static_cast<long long>(pair) + line);
            return std::string(text);
        };
        std::string expected =
            listing({number(0) + "セクションの始まり", number(1) + "HEADER セクション",
                     number(2) + "$V=1", number(4) + "セクションの終わり",
                     number(5) + "セクションの始まり", number(6) + "BLOCKS セクション"});
        for (std::size_t p = 7; p + 2 < pairs.size(); ++p) {
            const auto& [code, value] = pairs[p];
            if (code == "  0")
                expected += number(p) + (value == "BLOCK" ? " --------------------      " : "") +
                            value + "\r\n";
            else if (code != "  5")
                expected += number(p) + gap + code.substr(code.find_first_not_of(' ')) + "," +
                            value + "\r\n";
        }
        expected += listing({number(pairs.size() - 2) + "ENDSEC",
                             number(pairs.size() - 2) + "セクションの終わり",
                             number(pairs.size() - 1, 2) + "終端検出[EOF] - グループ値読み込み時"});
        forEachScanPath([&](ScanPath) { EXPECT_EQ(listFrom(start, dir), expected); });
    }
}

// Near the line count's limit the lane leaves the pairs to the plain reader, which fails
// where the count would pass it.
TEST(PairLaneTest, LeavesTheLastLinesBeforeTheLimitToThePlainReader) {
    std::string dxf = crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$V", " 10", "1"});
    for (int i = 0; i < 12; ++i) dxf += crlf({" 70", "1", "  5", "A"});
    TempDir dir;
    writeFile(dir / "in.dxf", dxf);
    for (std::int32_t before : {1, 2, 3, 4, 5, 6, 7, 8, 15, 16, 40, 41}) {
        SCOPED_TRACE(before);
        std::string plain;
        forEachScanPath([&](ScanPath path) {
            const std::string listed = listFrom(2147483647 - before, dir);
            if (path == ScanPath::Off) plain = listed;
            EXPECT_EQ(listed, plain);
        });
    }
}

}  // namespace
}  // namespace dxflist::test
