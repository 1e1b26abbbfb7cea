#include "engine/byte_writer.h"

#include <bit>
#include <cstring>
#include <random>

#include "engine/binary_values.h"
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

// Doubles whose text the writer makes as it writes each buffer, in lines of every kind: whole,
// begun when the buffer fills (the line moves on with its doubles), longer than a buffer
// (written in pieces), taken back (from the buffer, or from the file where part of it was
// written), and the line left unfinished when a failure drops the writer. The file holds each
// double's text where its room was, and no line that was taken back.
TEST(ByteWriterTest, DeferredDoublesTakeTheirPlaceInEveryKindOfLine) {
    const double kValues[] = {0.0, -0.0, 1e-05, 1.5e+16, 123456.789, 0.5, -1.2345678901234567e-100};
    const auto textOf = [](double value) {
        char text[kDoubleTextMost];
        return std::string(text, formatDouble(value, text));
    };
    for (const std::size_t buffer : {std::size_t{64}, std::size_t{100}, std::size_t{4096}}) {
        for (const bool dropped : {false, true}) {
            TempDir dir;
            std::mt19937_64 random(buffer);
            std::string expected;
            std::size_t next = 0;
            const auto value = [&] {
                const std::uint64_t bits = next < std::size(kValues)
                                               ? std::bit_cast<std::uint64_t>(kValues[next])
                                               : random();
                ++next;
                return std::bit_cast<double>(bits);
            };
            // A piece of a line: "n=", a deferred double and ";", written straight into the
            // buffer; its text as the file should have it.
            const auto putPiece = [&](ByteWriter& out) {
                const double v = value();
                char* to = out.reserve(2 + ByteWriter::kDeferredDoubleRoom + 1);
                std::memcpy(to, "n=", 2);
                char bits[8];
                std::memcpy(bits, &v, 8);
                to = out.putDeferredDouble(to + 2, bits);
                *to++ = ';';
                out.commit(to);
                return "n=" + textOf(v) + ";";
            };
            try {
                ByteWriter out(dir / "out.txt", buffer);
                for (std::size_t i = 0; i < 120; ++i) {
                    std::string line;
                    const std::string text(i * 7 % 150, static_cast<char>('a' + i % 26));
                    switch (i % 5) {
                        case 0:  // whole lines of pieces, some buffers full
                            for (std::size_t k = 0; k <= i % 4; ++k) line += putPiece(out);
                            break;
                        case 1:  // a piece, then text that may not fit the buffer
                            line = putPiece(out);
                            out.put(text);
                            line += text;
                            break;
                        case 2:  // taken back: a piece alone, or with text longer than a buffer
                            putPiece(out);
                            if (i % 2 == 0) out.put(text);
                            out.dropPartialLine();
                            continue;
                        default:
                            out.put(text);
                            line = text;
                            break;
                    }
                    out.endLine();
                    expected += line + "\r\n";
                }
                const std::string last = putPiece(out);
                if (dropped) throw std::runtime_error("stop");
                out.finish();
                expected += last;  // unfinished: written by finish() alone
            } catch (const std::runtime_error&) {
            }
            EXPECT_EQ(readFile(dir / "out.txt"), expected)
                << "buffer " << buffer << (dropped ? ", dropped" : "");
        }
    }
}

}  // namespace
}  // namespace dxflist::test
