#include "engine/line_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/failure.h"
#include "test_support.h"

namespace dxflist {
namespace {

std::string contentOf(const TextRef& text, InputFile& file) {
    if (!text.inFile) return std::string(text.mem);
    std::string bytes(static_cast<std::size_t>(text.region.size), '\0');
    file.readAt(text.region.offset, bytes.data(), bytes.size());
    return bytes;
}

// Random files of the bytes that matter (CR, LF, space, digits, signs, letters), with lines
// of every length around the buffer's size, read with small buffers, each line as a value or
// as a code line (the fast path for spaces, digits and CR, and the general one), against the
// rules written out plainly: a line ends at CR or CR LF, a lone LF stays in it.
TEST(LineReaderTest, AgreesWithTheLineRulesOnRandomFiles) {
    test::TempDir dir;
    std::mt19937 random(20261206);
    const std::string alphabet = "\r\n\r\n   0123456789+-.eEAZ\t\x81\x5c";
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const bool longLines = random() % 4 == 0;
        for (int i = 0, size = static_cast<int>(random() % 200); i < size; ++i) {
            const char c = alphabet[random() % alphabet.size()];
            bytes += longLines && random() % 8 != 0 && (c == '\r' || c == '\n') ? '7' : c;
        }
        std::vector<std::string> lines;
        for (std::size_t start = 0; start < bytes.size();) {
            const std::size_t cr = std::min(bytes.find('\r', start), bytes.size());
            lines.push_back(bytes.substr(start, cr - start));
            start = cr + 1 + (cr + 1 < bytes.size() && bytes[cr + 1] == '\n');
        }
        test::writeFile(dir / "f.txt", bytes);
        for (std::size_t chunk : {16u, 17u, 23u, 64u}) {
            InputFile file(dir / "f.txt");
            LineReader reader(file, chunk);
            std::size_t index = 0;
            for (; !reader.atEnd(); ++index) {
                ASSERT_LT(index, lines.size());
                const std::string& want = lines[index];
                const std::size_t first = want.find_first_not_of(' ');
                const std::string trimmed =
                    first == std::string::npos
                        ? ""
                        : want.substr(first, want.find_last_not_of(' ') - first + 1);
                TextRef code;
                if (random() % 2) {
                    EXPECT_EQ(reader.readCodeLine(code), isNumeric(want)) << want;
                } else {
                    reader.readLine();
                    EXPECT_EQ(reader.lineIsNumeric(), isNumeric(want)) << want;
                    code = reader.trimmedLine();
                }
                EXPECT_EQ(contentOf(code, file), trimmed) << "round " << round;
                // The view must survive the end check, which may refill the buffer.
                (void)reader.atEnd();
                EXPECT_EQ(contentOf(reader.line(), file), want) << "round " << round;
            }
            EXPECT_EQ(index, lines.size()) << "round " << round << " chunk " << chunk;
        }
    }
}

TEST(LineReaderTest, AtEndMeansNoUnreadByteIsLeft) {
    test::TempDir dir;
    test::writeFile(dir / "f.txt", "a\r\n\r\nb\r");
    InputFile file(dir / "f.txt");
    LineReader reader(file, 16);
    reader.readLine();
    EXPECT_FALSE(reader.atEnd());  // an empty line is still unread
    reader.readLine();
    reader.readLine();
    EXPECT_EQ(reader.line().mem, "b");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_THROW(reader.readLine(), Failure);
}

}  // namespace
}  // namespace dxflist
