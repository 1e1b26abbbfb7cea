#include "engine/byte_writer.h"

#include "test_support.h"

namespace dxflist::test {
namespace {

// A writer dropped by a failure keeps whole lines only: also when part of an unfinished long
// line had already been flushed, and when the last whole line is still being written in the
// background as the writer goes.
TEST(ByteWriterTest, DroppedWriterKeepsWholeLinesOnly) {
    const struct {
        std::size_t buffer;
        std::vector<std::string_view> lines;  // each but the last ended with CR LF
        const char* kept;
    } rows[] = {
        {8, {"first", "second line, longer than the buffer"}, "first\r\n"},
        {16, {"0123456789ABCD", "xy", "partial"}, "0123456789ABCD\r\nxy\r\n"},
    };
    for (const auto& row : rows) {
        TempDir dir;
        try {
            ByteWriter out(dir / "out.txt", row.buffer);
            for (std::size_t i = 0; i < row.lines.size(); ++i) {
                out.put(row.lines[i]);
                if (i + 1 < row.lines.size()) out.endLine();
            }
            throw std::runtime_error("stop");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(readFile(dir / "out.txt"), row.kept);
    }
}

// Lines carried from a full buffer to the next, or written in pieces when longer than a
// buffer, reach the file once each and in order.
TEST(ByteWriterTest, EveryByteOnceThroughSmallBuffers) {
    for (const std::size_t buffer : {4, 8, 16, 61}) {
        TempDir dir;
        std::string expected;
        {
            ByteWriter out(dir / "out.txt", buffer);
            for (std::size_t i = 0; i < 200; ++i) {
                const std::string line(i * 7 % 23, static_cast<char>('a' + i % 26));
                out.put(line);
                out.endLine();
                expected += line + "\r\n";
            }
            out.put("end");
            out.finish();
        }
        EXPECT_EQ(readFile(dir / "out.txt"), expected + "end") << "buffer " << buffer;
    }
}

}  // namespace
}  // namespace dxflist::test
