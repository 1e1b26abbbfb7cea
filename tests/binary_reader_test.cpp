// Binary DXF values as their ASCII twin writes them: doubles in the shortest digits that read
// back, integers at their limits, booleans, chunks; the end of the file at the first group.
// Whole drawings and cut-off files are held against an independent conversion in
// tests/binary/binary_twins.py.

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "engine/binary_reader.h"
#include "engine/binary_values.h"
#include "engine/listing_texts.h"
#include "engine/pair_loop.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

TEST(BinaryValuesTest, DoublesAsTheLibrariesWriteThem) {
    const struct {
        double value;
        const char* text;
    } rows[] = {
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {0.5, "0.5"},
        {100000.0, "100000.0"},
        {45.0, "45.0"},
        {-123.456, "-123.456"},
        {0.1, "0.1"},
        {1.0 / 3, "0.3333333333333333"},
        {448380.5389543074, "448380.5389543074"},
        {123456789012345.67, "123456789012345.67"},
        // Up to four decimals and a whole number of five or six digits, whose last four digits
        // and decimals are made as one number of eight digits: zeros within, at the ends, and
        // one or two digits in front of them.
        {12345.6789, "12345.6789"},
        {-10000.0001, "-10000.0001"},
        {10000.0, "10000.0"},
        {99999.9999, "99999.9999"},
        {100000.5, "100000.5"},
        {654321.01, "654321.01"},
        {999999.9999, "999999.9999"},
        {1000000.0, "1000000.0"},
        {1000000.25, "1000000.25"},
        // A few decimals, up to nine, below 2^51 / 10^9, and just past these limits.
        {0.123456789, "0.123456789"},
        {0.1234567891, "0.1234567891"},
        {-2.5, "-2.5"},
        {2251799.0, "2251799.0"},
        {2251800.5, "2251800.5"},
        {2251799.813685248, "2251799.813685248"},
        {1234567.000000001, "1234567.000000001"},
        {0.00010000000000000002, "0.00010000000000000002"},
        // Plain from 1e-4 on, with an exponent of two digits or more below it.
        {1e-4, "0.0001"},
        {-1e-4, "-0.0001"},
        {0.00012345, "0.00012345"},
        {9.999999999999999e-05, "9.999999999999999e-05"},
        {1e-5, "1e-05"},
        {1.25e-7, "1.25e-07"},
        // Plain below 1e16, with an exponent from there on.
        {1e15, "1000000000000000.0"},
        {9007199254740992.0, "9007199254740992.0"},
        {9999999999999998.0, "9999999999999998.0"},
        {1e16, "1e+16"},
        {-1e16, "-1e+16"},
        {1.5e16, "1.5e+16"},
        {1e22, "1e+22"},
        // Subnormals and the extremes.
        {5e-324, "5e-324"},
        {2.225073858507201e-308, "2.225073858507201e-308"},
        {2.2250738585072014e-308, "2.2250738585072014e-308"},
        {-1.7976931348623157e+308, "-1.7976931348623157e+308"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::nan(""), "nan"},
    };
    for (const auto& row : rows) {
        char text[kDoubleTextMost];
        const char* end = formatDouble(row.value, text);
        EXPECT_EQ(std::string(text, static_cast<std::size_t>(end - text)), row.text);
    }
}

// Many doubles, most of them with a few decimals as a drawing's are, the rest any bits: each
// text reads back as its double, has as few significant digits as the shortest form the
// standard library finds, and is plain exactly from 1e-4 to below 1e16, with a digit on each
// side of the point.
TEST(BinaryValuesTest, ManyDoublesReadBackInTheShortestDigits) {
    std::mt19937_64 random(20261210);
    const double scales[] = {1, 10, 100, 1000, 10000, 100000};
    std::uint64_t powersOfTen[12] = {10};
    for (int i = 1; i < 12; ++i) powersOfTen[i] = powersOfTen[i - 1] * 10;
    const auto significant = [](std::string_view text) {
        text = text.substr(0, text.find('e'));
        std::string digits;
        for (const char c : text)
            if (c >= '0' && c <= '9') digits += c;
        const auto first = digits.find_first_not_of('0');
        const auto last = digits.find_last_not_of('0');
        return first == std::string::npos ? std::size_t{1} : last - first + 1;
    };
    for (int i = 0; i < 400000; ++i) {
        double value = 0;
        switch (i % 4) {
            case 0:  // any bits but NaN and infinity
                value = std::bit_cast<double>(random());
                if (!std::isfinite(value)) continue;
                break;
            case 1:  // up to eleven digits, a few of them decimals
                value = static_cast<double>(random() % powersOfTen[random() % 12]) /
                        scales[random() % 6];
                break;
            case 2:  // around the edges of the plain notation and of ten to the sixth
                value = std::nextafter(std::array{1e-4, 1e6, 1e16}[random() % 3],
                                       random() % 2 ? 0.0 : 1e300);
                break;
            default:  // a random double of the drawing's usual size
                value = static_cast<double>(random() >> 11) / 0x1p53 *
                        std::array{1.0, 1e4, 1e6, 1e8}[random() % 4];
        }
        if (random() % 2) value = -value;
        char text[kDoubleTextMost + 1];
        char* end = formatDouble(value, text);
        *end = '\0';
        const std::string_view got(text, static_cast<std::size_t>(end - text));
        char shortest[40];
        const char* shortestEnd = std::to_chars(shortest, shortest + sizeof shortest, value,
                                                std::chars_format::scientific)
                                      .ptr;
        const double magnitude = std::fabs(value);
        const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e16);
        ASSERT_EQ(std::strtod(text, nullptr), value) << got;
        ASSERT_EQ(std::signbit(std::strtod(text, nullptr)), std::signbit(value)) << got;
        ASSERT_EQ(significant(got), significant({shortest, shortestEnd})) << got;
        ASSERT_EQ(got.find('e') == std::string_view::npos, plain) << got;
        if (plain) {
            const std::string_view unsigned_ = got.substr(got[0] == '-');
            ASSERT_TRUE(unsigned_.find('.') != std::string_view::npos && unsigned_[0] != '.' &&
                        unsigned_.back() != '.')
                << got;
        }
    }
}

// A two-byte code, then the value's bytes.
std::string group(unsigned code, std::string_view value) {
    return std::string{static_cast<char>(code & 255), static_cast<char>(code >> 8)}.append(value);
}

std::string binaryDxf(std::string_view groups) {
    return std::string("AutoCAD Binary DXF\r\n\x1a", 22) + group(0, std::string("SECTION\0", 8)) +
           std::string(groups) + group(0, std::string("EOF\0", 4));
}

TEST(BinaryReaderTest, ValuesOfEachTypeAsTheirTwinHasThem) {
    using namespace std::string_literals;
    const struct {
        unsigned code;
        std::string bytes;
        const char* value;
    } rows[] = {
        {70, "\x00\x80"s, "-32768"},
        {70, "\xff\x7f"s, "32767"},
        {1070, "\xff\xff"s, "-1"},
        {90, "\x00\x00\x00\x80"s, "-2147483648"},
        {1071, "\xff\xff\xff\x7f"s, "2147483647"},
        {160, "\x00\x00\x00\x00\x00\x00\x00\x80"s, "-9223372036854775808"},
        {169, "\xff\xff\xff\xff\xff\xff\xff\x7f"s, "9223372036854775807"},
        {290, "\x01"s, "1"},
        {299, "\x00"s, "0"},
        {10, "\x00\x00\x00\x00\x00\x00\xf0\x3f"s, "1.0"},
        {1059, "\x00\x00\x00\x00\x00\x00\x00\x80"s, "-0.0"},
        {310, "\x03\x00\x7f\xff"s, "007FFF"},
        {1004, "\x00"s, ""},
        {1, "\x00"s, ""},
        {3, "\x93\xfa\x96\x7b\x00"s, "\x93\xfa\x96\x7b"},
    };
    for (const auto& row : rows) {
        const std::string listed = listingOf(binaryDxf(group(row.code, row.bytes)));
        const std::string expected = utf8ToCp932("000001:セクションの始まり\r\n000003:　　") +
                                     std::to_string(row.code) + "," + row.value + "\r\n" +
                                     utf8ToCp932("000006:終端検出[EOF] - グループ値読み込み時\r\n");
        EXPECT_TRUE(listed == expected) << row.code << " " << row.value << ":\n" << listed;
    }
}

// A file that ends within a number or a chunk ends as its twin whose last line is this group's
// code; one that ends within a code, as the twin of the groups before: for each value of fixed
// size, cut after each of its bytes.
TEST(BinaryReaderTest, EndsWithinAValueAsItsTwin) {
    using namespace std::string_literals;
    const std::string start = std::string("AutoCAD Binary DXF\r\n\x1a", 22) +
                              group(0, "SECTION\0"s) + group(2, "ENTITIES\0"s) +
                              group(0, "LINE\0"s);
    const std::string twinStart = crlf({"0", "SECTION", "2", "ENTITIES", "0", "LINE"});
    const struct {
        unsigned code;
        std::string value;
    } rows[] = {{10, "\0\0\0\0\0\0\xf0\x3f"s},
                {70, "\x01\x02"s},
                {90, "\x01\x02\x03\x04"s},
                {160, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
                {290, "\x01"s},
                {310, "\x02\xab\xcd"s}};
    for (const auto& row : rows) {
        const std::string code = group(row.code, "");
        EXPECT_EQ(listingOf(start + code.substr(0, 1)), listingOf(twinStart)) << row.code;
        for (std::size_t cut = 0; cut < row.value.size(); ++cut)
            EXPECT_EQ(listingOf(start + code + row.value.substr(0, cut)),
                      listingOf(twinStart + crlf({std::to_string(row.code)})))
                << row.code << " cut after " << cut;
    }
}

std::string littleEndian(std::uint64_t bits, std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i, bits >>= 8) bytes += static_cast<char>(bits & 255);
    return bytes;
}

std::string contentOf(const TextRef& text, InputFile& file) {
    if (!text.inFile) return std::string(text.mem);
    std::string bytes(static_cast<std::size_t>(text.region.size), '\0');
    file.readAt(text.region.offset, bytes.data(), bytes.size());
    return bytes;
}

// Groups of every value type, strings and binary chunks of every length from none to past the
// smaller buffers, read at every chunk size from 16 bytes on, so that the buffer's end falls
// everywhere in the groups and strings are held in memory or left in the file; with two-byte
// codes and with one-byte codes (escaped from 255 on).
TEST(BinaryReaderTest, ReadsEveryGroupAtEveryChunkSize) {
    struct Group {
        unsigned code;
        std::string bytes;
        std::string text;
    };
    std::vector<Group> groups = {{0, std::string("SECTION\0", 8), "SECTION"}};
    for (unsigned i = 0; i < 120; ++i) {
        const auto letter = static_cast<char>('a' + i % 26);
        groups.push_back(
            {i % 2 ? 1u : 1000u, std::string(i, letter) + '\0', std::string(i, letter)});
        groups.push_back({i % 2 ? 10u : 1040u,
                          littleEndian(std::bit_cast<std::uint64_t>(i + 0.25), 8),
                          std::to_string(i) + ".25"});
        groups.push_back(
            {i % 2 ? 70u : 1070u, littleEndian(-i, 2), std::to_string(-static_cast<int>(i))});
        groups.push_back(
            {90, littleEndian(i << 24, 4), std::to_string(static_cast<std::int32_t>(i << 24))});
        groups.push_back(
            {160, littleEndian(~std::uint64_t{i}, 8), std::to_string(~std::int64_t{i})});
        groups.push_back({290, littleEndian(i % 2, 1), std::to_string(i % 2)});
        std::string chunk(1, static_cast<char>(i)), hex;
        for (unsigned k = 0; k < i; ++k) {
            chunk += static_cast<char>(k * 37 + i);
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(chunk.back()));
            hex += digits;
        }
        groups.push_back({i % 2 ? 310u : 1004u, chunk, hex});
    }
    TempDir dir;
    for (const bool twoByteCodes : {true, false}) {
        std::string bytes("AutoCAD Binary DXF\r\n\x1a", 22);
        for (const Group& g : groups)
            bytes += (twoByteCodes   ? littleEndian(g.code, 2)
                      : g.code < 255 ? littleEndian(g.code, 1)
                                     : "\xff" + littleEndian(g.code, 2)) +
                     g.bytes;
        writeFile(dir / "in.dxf", bytes);
        for (std::size_t chunk = 16; chunk <= 300; chunk += chunk < 100 ? 1 : 100) {
            SCOPED_TRACE(::testing::Message()
                         << "two-byte codes " << twoByteCodes << " chunk " << chunk);
            InputFile file(dir / "in.dxf");
            BinaryReader reader(file, chunk);
            std::size_t index = 0;
            while (!reader.atEnd()) {
                ASSERT_LT(index, groups.size());
                const PairRead read = reader.next();
                EXPECT_EQ(read.pair(), index + 1 < groups.size());
                EXPECT_EQ(reader.atEnd(), index + 1 == groups.size());
                EXPECT_EQ(reader.pair().codeLine, static_cast<std::int32_t>(2 * index + 1));
                EXPECT_EQ(contentOf(reader.pair().grpCode, file),
                          std::to_string(groups[index].code));
                EXPECT_EQ(contentOf(reader.pair().grpValue, file), groups[index].text) << index;
                ++index;
            }
            EXPECT_EQ(index, groups.size());
        }
    }
}

// The README's table of which codes have which type, both ends of each range: each is read as
// its type; a code next to a range that no range holds is refused, in a whole run (where the
// fast lane looks at the group first) as by the reader, 1072 (past the last code) among them.
TEST(BinaryReaderTest, EachCodeHasTheTypeTheReadmeGives) {
    using namespace std::string_literals;
    using enum BinaryType;
    const struct {
        unsigned first, last;
        BinaryType type;
    } readme[] = {
        {0, 9, String},       {100, 102, String}, {105, 105, String},   {300, 309, String},
        {320, 369, String},   {390, 399, String}, {410, 419, String},   {430, 439, String},
        {470, 481, String},   {999, 999, String}, {1000, 1003, String}, {1005, 1009, String},
        {10, 59, Double},     {110, 149, Double}, {210, 239, Double},   {460, 469, Double},
        {1010, 1059, Double}, {60, 79, Int16},    {170, 179, Int16},    {270, 289, Int16},
        {370, 389, Int16},    {400, 409, Int16},  {1060, 1070, Int16},  {90, 99, Int32},
        {420, 429, Int32},    {440, 459, Int32},  {1071, 1071, Int32},  {160, 169, Int64},
        {290, 299, Bool},     {310, 319, Chunk},  {1004, 1004, Chunk},
    };
    const auto valueOf = [](BinaryType type) -> std::pair<std::string, std::string> {
        switch (type) {
            case String:
                return {"ab\0"s, "ab"};
            case Double:
                return {littleEndian(std::bit_cast<std::uint64_t>(0.5), 8), "0.5"};
            case Int16:
                return {littleEndian(-2, 2), "-2"};
            case Int32:
                return {littleEndian(-2, 4), "-2"};
            case Int64:
                return {littleEndian(-2, 8), "-2"};
            case Bool:
                return {"\x01"s, "1"};
            default:
                return {"\x02\xab\x01"s, "AB01"};
        }
    };
    const auto inReadme = [&](unsigned code) {
        return std::ranges::any_of(
            readme, [&](const auto& r) { return r.first <= code && code <= r.last; });
    };
    // Usual groups on both sides, so that the lane is running when it meets the code, with
    // room behind it to take whatever it would read for it.
    std::string usual;
    for (int i = 0; i < 40; ++i) usual += group(8, "0\0"s);
    TempDir dir;
    for (const auto& range : readme) {
        for (const unsigned code : {range.first, range.last}) {
            const auto [bytes, text] = valueOf(range.type);
            writeFile(dir / "in.dxf", std::string("AutoCAD Binary DXF\r\n\x1a", 22) +
                                          group(999, "x\0"s) + group(code, bytes));
            InputFile file(dir / "in.dxf");
            BinaryReader reader(file);
            reader.next();
            reader.next();
            EXPECT_EQ(contentOf(reader.pair().grpValue, file), text) << code;
        }
        for (const unsigned code : {range.first - 1, range.last + 1}) {
            if (range.first == 0 || inReadme(code)) continue;
            const std::string message = failureOf([&] {
                listingOf(binaryDxf(group(2, "ENTITIES\0"s) + usual +
                                    group(code, "\0\0\0\0\0\0\0\0"s) + usual));
            });
            EXPECT_NE(message.find("グループコード " + std::to_string(code) + " は DXF にない"),
                      std::string::npos)
                << message;
        }
    }
}

// Only the chosen file's own first bytes make a drawing binary. A binary DXF whose CR LF were
// turned into LF (sent as text) has Unix line ends: its CR LF copy begins with the sentinel
// again, but is text, listed as the lines it holds (the first two, not numeric, skipped).
TEST(BinaryReaderTest, ACopyWithUnixLineEndsIsText) {
    using namespace std::string_literals;
    // The copy ends its last line with CR LF, as the CR LF drawing here.
    const std::string crLf = crlf({"  0", "SECTION", "  2", "ENTITIES", "  0", "LINE", " 10", "1.5",
                                   "  0", "ENDSEC", "  0", "EOF"});
    std::string body = crLf;
    std::erase(body, '\r');
    body.pop_back();
    const std::string listed = listingOf("AutoCAD Binary DXF\n\x1a\0\n"s + body);
    EXPECT_EQ(listed, listingOf(crLf));
    EXPECT_NE(listed.find("ENTITIES"), std::string::npos) << listed;
}

// Lines are counted as in the twin, and past 2,147,483,647 the run fails: the five groups here
// take ten lines.
TEST(BinaryReaderTest, FailsWhereTheLineCountWouldPassItsLimit) {
    using namespace std::string_literals;
    TempDir dir;
    writeFile(dir / "in.dxf",
              binaryDxf(group(2, "ENTITIES\0"s) + group(0, "LINE\0"s) + group(8, "0\0"s)));
    for (const auto& [before, fails] : {std::pair{1, true}, {9, true}, {10, false}}) {
        const std::string listed = listFromCount(listBinaryPairs, 2147483647 - before, dir);
        EXPECT_EQ(listed.find("2,147,483,647") != std::string::npos, fails) << before << listed;
    }
}

}  // namespace
}  // namespace dxflist::test
