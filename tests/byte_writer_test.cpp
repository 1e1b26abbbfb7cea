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

}  // namespace
}  // namespace dxflist::test
