// The doubles formatted ahead of the scanning thread: each entry holds the text of the double at
// its offset, whatever the chunks' sizes; none is written where the chunk or the kept bytes lie;
// and the lane finds the entry of each value it takes, or formats the value itself.

#include "engine/doubles_ahead.h"

#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace dxflist::test {
namespace {

constexpr std::size_t kSentinel = 22;

// A binary drawing of every type of value, and where its doubles are.
struct Drawing {
    std::string bytes;
    struct Double {
        std::size_t groupStart;  // file offsets
        std::size_t value;
    };
    std::vector<Double> doubles;
    std::size_t unknownStart = 0;  // the group of a code DXF does not have, if any
};

Drawing randomDrawing(std::mt19937& random, bool twoByteCodes, std::size_t groups,
                      unsigned unknownCode = 0) {
    // Escaped codes among them in one-byte files: 1000 (string), 1040 (double), 1071 (int32),
    // 310 (binary chunk).
    const unsigned codes[] = {0, 8, 999, 10, 20, 40, 42, 62, 90, 160, 290, 310, 1000, 1040, 1071};
    const double values[] = {0.0, -0.5, 474.1382, 12345.6789, 1.0 / 3, 1e-5, 2460285.387453704};
    Drawing drawing;
    std::string& dxf = drawing.bytes;
    dxf.assign("AutoCAD Binary DXF\r\n\x1a\0", kSentinel);
    const auto putCode = [&](unsigned code) {
        if (!twoByteCodes && code < 255) {
            dxf += static_cast<char>(code);
            return;
        }
        if (!twoByteCodes) dxf += '\xff';
        dxf += static_cast<char>(code & 255);
        dxf += static_cast<char>(code >> 8);
    };
    const auto putBytes = [&](std::uint64_t bits, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i, bits >>= 8) dxf += static_cast<char>(bits & 255);
    };
    putCode(0);
    dxf.append("SECTION", 8);
    for (std::size_t i = 0; i < groups; ++i) {
        const unsigned code =
            unknownCode != 0 && i == groups / 2 ? unknownCode : codes[random() % std::size(codes)];
        const std::size_t start = dxf.size();
        putCode(code);
        switch (binaryTypeOf(code)) {
            case BinaryType::String: {
                const std::size_t size = random() % 4 == 0 ? 17 + random() % 40 : random() % 9;
                for (std::size_t j = 0; j < size; ++j)
                    dxf += static_cast<char>('A' + random() % 26);
                dxf += '\0';
                break;
            }
            case BinaryType::Double:
                drawing.doubles.push_back({start, dxf.size()});
                putBytes(std::bit_cast<std::uint64_t>(values[random() % std::size(values)]), 8);
                break;
            case BinaryType::Chunk: {
                const std::size_t size = random() % 12;
                dxf += static_cast<char>(size);
                putBytes(random(), std::min<std::size_t>(size, 4));
                dxf.append(size - std::min<std::size_t>(size, 4), '\0');
                break;
            }
            default:
                if (code == unknownCode) drawing.unknownStart = start;
                putBytes(random() | std::uint64_t{random()} << 32,
                         code == unknownCode ? 3 : fixedSizeOf(binaryTypeOf(code)));
                break;
        }
    }
    return drawing;
}

// The entries prepare() wrote for each chunk, by file offset of their value.
struct Prepared {
    std::map<std::size_t, std::string> texts;
    bool chunksKept = true;  // no byte of a chunk changed
    bool entriesInRoom = true;
};

// Reads `dxf` in chunks of `first` bytes, then of `chunk`, at byte `at` of a buffer, as the
// reader's I/O thread does.
Prepared prepareInChunks(const std::string& dxf, std::size_t first, std::size_t chunk,
                         std::size_t at, std::size_t sixteenths) {
    DoublesAhead ahead(at, kSentinel, sixteenths);
    std::vector<char> buffer(at + std::max(first, chunk) + DoublesAhead::kPastChunk);
    Prepared prepared;
    for (std::size_t from = 0; from < dxf.size();) {
        const std::size_t got = std::min(from == 0 ? first : chunk, dxf.size() - from);
        std::fill(buffer.begin(), buffer.end(), '\xee');
        std::copy_n(dxf.data() + from, got, buffer.data() + at);
        const std::size_t size = ahead.prepare(buffer.data(), got);
        prepared.chunksKept &=
            std::equal(buffer.data() + at, buffer.data() + at + got, dxf.data() + from);
        for (std::size_t entry = 0; entry < size;) {
            std::uint32_t offset;
            std::memcpy(&offset, buffer.data() + entry, sizeof offset);
            const auto textSize = static_cast<unsigned char>(buffer[entry + 4]);
            prepared.entriesInRoom &= entry + DoublesAhead::kEntryRoom <= at;
            prepared.texts[from + offset - at] =
                std::string(buffer.data() + entry + DoublesAhead::kEntryHead, textSize);
            entry += DoublesAhead::kEntryHead + textSize;
        }
        from += got;
    }
    return prepared;
}

std::string formatted(const std::string& dxf, std::size_t at) {
    std::uint64_t bits = 0;
    for (std::size_t i = 8; i-- > 0;) bits = bits << 8 | static_cast<unsigned char>(dxf[at + i]);
    char text[kDoubleTextMost];
    return {text, formatDouble(std::bit_cast<double>(bits), text)};
}

// Every double whose group lies whole in a chunk, and whose value begins in the share of it
// asked for, has its entry, with its text; no other value has one. Chunks from one byte on put
// their ends everywhere in codes (escaped ones too), strings and binary chunks.
TEST(DoublesAheadTest, FormatsEachDoubleWholeInItsChunk) {
    std::mt19937 random(41);
    for (const bool twoByteCodes : {true, false}) {
        const Drawing drawing = randomDrawing(random, twoByteCodes, 600);
        const std::string& dxf = drawing.bytes;
        for (const std::size_t chunk : {1, 2, 3, 4, 5, 7, 16, 61, 256, 4096}) {
            for (const std::size_t sixteenths : {16, 12, 0}) {
                SCOPED_TRACE(::testing::Message() << "two-byte codes " << twoByteCodes << " chunk "
                                                  << chunk << " sixteenths " << sixteenths);
                // The first chunk shows the codes' width: it holds the sentinel and a code.
                const std::size_t first = std::max<std::size_t>(chunk, kSentinel + 3);
                const Prepared prepared =
                    prepareInChunks(dxf, first, chunk, 64 * chunk + 4096, sixteenths);
                EXPECT_TRUE(prepared.chunksKept);
                EXPECT_TRUE(prepared.entriesInRoom);
                std::map<std::size_t, std::string> expected;
                for (const auto& one : drawing.doubles) {
                    const std::size_t chunkStart =
                        one.groupStart < first ? 0
                                               : first + (one.groupStart - first) / chunk * chunk;
                    const std::size_t chunkSize = chunkStart == 0 ? first : chunk;
                    const std::size_t got = std::min(chunkSize, dxf.size() - chunkStart);
                    if (one.value + 8 <= chunkStart + chunkSize &&
                        one.value - chunkStart < got * sixteenths / 16)
                        expected[one.value] = formatted(dxf, one.value);
                }
                EXPECT_EQ(prepared.texts, expected);
            }
        }
    }
}

// Entries stay in the room before the chunk, however small, each with the room its text may
// take; a code DXF does not have ends the framing for good.
TEST(DoublesAheadTest, StaysInItsRoomAndStopsAtACodeDxfHasNot) {
    std::mt19937 random(43);
    const Drawing drawing = randomDrawing(random, true, 400);
    for (const std::size_t at : {0, 1, 28, 29, 30, 57, 1000}) {
        SCOPED_TRACE(at);
        const Prepared prepared = prepareInChunks(drawing.bytes, 512, 512, at, 16);
        EXPECT_TRUE(prepared.chunksKept);
        EXPECT_TRUE(prepared.entriesInRoom);
        EXPECT_EQ(prepared.texts.empty(), at < DoublesAhead::kEntryRoom);
        for (const auto& [offset, text] : prepared.texts)
            EXPECT_EQ(text, formatted(drawing.bytes, offset));
    }
    for (const bool twoByteCodes : {true, false}) {
        SCOPED_TRACE(twoByteCodes);
        const Drawing lost = randomDrawing(random, twoByteCodes, 400, 80);
        const Prepared prepared = prepareInChunks(lost.bytes, 100, 100, 4096, 16);
        ASSERT_GT(lost.unknownStart, 0u);
        ASSERT_FALSE(prepared.texts.empty());
        EXPECT_LT(prepared.texts.rbegin()->first, lost.unknownStart);
        EXPECT_GT(lost.doubles.back().value, lost.unknownStart + 100);
    }
}

// The lane's side: the entry of each value it takes, in order, also when it took some values
// without their entries (the reader had them) or asks for one that has none.
TEST(ReadyDoublesTest, FindsTheEntryOfEachValueTaken) {
    std::mt19937 random(47);
    const Drawing drawing = randomDrawing(random, true, 300);
    const std::string& dxf = drawing.bytes;
    const std::size_t at = 8192;
    std::vector<char> buffer(at + dxf.size() + DoublesAhead::kPastChunk);
    std::copy(dxf.begin(), dxf.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
    DoublesAhead ahead(at, kSentinel);
    const std::size_t size = ahead.prepare(buffer.data(), dxf.size());
    ASSERT_GT(drawing.doubles.size(), 40u);
    const struct {
        const char* what;
        std::size_t end;    // where the entries are cut short
        std::size_t every;  // the lane takes every nth value
        bool askMissing;    // and asks for values that have no entry
    } rows[] = {
        {"each value", size, 1, false},
        {"every third value", size, 3, false},
        {"offsets with no entry between", size, 1, true},
        {"entries cut short", size / 2, 1, false},
        {"no room", 3, 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ReadyDoubles ready(buffer.data(), buffer.data() + row.end);
        std::size_t found = 0;
        for (std::size_t i = 0; i < drawing.doubles.size(); i += row.every) {
            const std::size_t value = drawing.doubles[i].value;
            char text[kDoubleTextMost + 8];
            char* to = text;
            if (row.askMissing) {
                EXPECT_FALSE(ready.put(static_cast<std::uint32_t>(at + value - 1), to));
            }
            ASSERT_EQ(to, text);
            if (!ready.put(static_cast<std::uint32_t>(at + value), to)) continue;
            ++found;
            EXPECT_EQ(std::string(text, to), formatted(dxf, value));
        }
        // Each entry whose bytes lie before the cut is used; the last ones within the room an
        // entry is read with are not.
        std::size_t usable = 0;
        for (std::size_t entry = 0; entry + DoublesAhead::kEntryRoom <= row.end;
             entry += DoublesAhead::kEntryHead + static_cast<unsigned char>(buffer[entry + 4]))
            ++usable;
        EXPECT_EQ(found, (usable + row.every - 1) / row.every);
    }
}

}  // namespace
}  // namespace dxflist::test
