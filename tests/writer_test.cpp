#include "engine/listing_writer.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "engine/failure.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::readFile;
using test::TempDir;

// Every buffer size: the fast path needs room, and near the buffer's end the other one runs.
TEST(TextWriterTest, LineNumbersHaveAtLeastSixDigits) {
    TempDir dir;
    for (std::size_t bufferSize : {7u, 8u, 13u, 16u, 17u, 64u, 1u << 20}) {
        {
            TextWriter out(dir / "out.txt", bufferSize);
            for (std::int32_t n : {0, 12, 999999, 1000000, 1234567, 99999999, 100000000,
                                   std::numeric_limits<std::int32_t>::max()}) {
                out.putLineNumber(n);
                out.endLine();
            }
            out.finish();
        }
        EXPECT_EQ(readFile(dir / "out.txt"),
                  "000000:\r\n000012:\r\n999999:\r\n1000000:\r\n1234567:\r\n99999999:\r\n"
                  "100000000:\r\n2147483647:\r\n")
            << "buffer of " << bufferSize;
    }
}

// Small buffers force every path: texts longer than the buffer, regions copied from the
// source in several reads, splices at both ends of a rope.
TEST(TextWriterTest, WritesTextsRegionsAndRopesThroughASmallBuffer) {
    TempDir dir;
    test::writeFile(dir / "src.txt", "0123456789abcdefghijklmnopqrstuvwxyz");
    InputFile source(dir / "src.txt");
    Rope rope;
    rope.append(TextRef{{}, {0, 10}, true});
    rope.append(std::string_view(" , "));
    rope.append(TextRef{{}, {10, 26}, true});
    {
        TextWriter out(dir / "out.txt", 7);
        out.setRegionSource(&source);
        out.put(std::string_view("a much longer text than the buffer"));
        out.put(TextRef{{}, {5, 20}, true});
        out.endLine();
        out.put(rope);
        out.endLine();
        out.finish();
    }
    EXPECT_EQ(readFile(dir / "out.txt"),
              "a much longer text than the buffer56789abcdefghijklmno\r\n"
              "0123456789 , abcdefghijklmnopqrstuvwxyz\r\n");
}

// Generic lines take one fixed-size copy per piece when there is room, and the piece by piece
// way near the buffer's end, for long texts and for texts in the file: both give the same bytes.
TEST(TextWriterTest, GenericLinesAreTheSameWhereverTheBufferEnds) {
    TempDir dir;
    test::writeFile(dir / "src.txt", "a value longer than sixteen bytes");
    InputFile source(dir / "src.txt");
    // Views into padded storage, as the reader hands them out.
    const std::string storage = std::string("  70,1") + std::string(kReadPadding, '#');
    const TextRef code{{storage.data() + 2, 2}, {}, false, true};
    const TextRef value{{storage.data() + 5, 1}, {}, false, true};
    const TextRef inFile{{}, {0, 33}, true, false};
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        expected += (i < 10 ? "00000" : "0000") + std::to_string(i) + ":<>70,1\r\n";
        expected += "1234567:<>70,a value longer than sixteen bytes\r\n";
    }
    for (std::size_t bufferSize = 7; bufferSize <= 90; ++bufferSize) {
        {
            TextWriter out(dir / "out.txt", bufferSize);
            out.setRegionSource(&source);
            out.setGenericGap("<>");
            for (int i = 0; i < 40; ++i) {
                out.putGenericLine(i, code, value);
                out.putGenericLine(1234567, code, inFile);
            }
            out.finish();
        }
        ASSERT_EQ(readFile(dir / "out.txt"), expected) << "buffer of " << bufferSize;
    }
}

// A writer dropped by a failure keeps whole lines only, even when part of an unfinished long
// line had already been flushed.
TEST(TextWriterTest, DroppedWriterKeepsWholeLinesOnly) {
    TempDir dir;
    try {
        TextWriter out(dir / "out.txt", 8);
        out.put(std::string_view("first"));
        out.endLine();
        out.put(std::string_view("second line, longer than the buffer"));
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(readFile(dir / "out.txt"), "first\r\n");
}

#ifndef _WIN32
// /dev/full refuses every write with "no space left on device".
TEST(TextWriterTest, FullDiskIsAFailureNamingTheFile) {
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir / "out.txt");
    TextWriter out(dir / "out.txt");
    out.put(std::string_view("text"));
    out.endLine();
    try {
        out.finish();
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find(pathText(dir / "out.txt")), std::string::npos);
        EXPECT_NE(std::string(failure.what()).find(osErrorText(ENOSPC)), std::string::npos);
    }
}
#endif

}  // namespace
}  // namespace dxflist
