#include "engine/line_reader.h"

#include <random>

#include "test_support.h"

namespace dxflist::test {
namespace {

std::string contentOf(const TextRef& text, InputFile& file) {
    if (!text.inFile) return std::string(text.mem);
    std::string bytes(static_cast<std::size_t>(text.region.size), '\0');
    file.readAt(text.region.offset, bytes.data(), bytes.size());
    return bytes;
}

// The lines of `bytes` by the rules written out plainly: a line ends at CR or CR LF, a lone LF
// stays in it.
std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t cr = std::min(bytes.find('\r', start), bytes.size());
        lines.push_back(bytes.substr(start, cr - start));
        start = cr + 1 + (cr + 1 < bytes.size() && bytes[cr + 1] == '\n');
    }
    return lines;
}

std::string trimmed(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

// Random files of the bytes that matter (CR, LF, space, digits, signs, letters), with lines
// of every length around the buffer's size, read with small buffers, each line as a value or
// as a code line, against the line rules.
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
        const std::vector<std::string> lines = linesOf(bytes);
        test::writeFile(dir / "f.txt", bytes);
        for (std::size_t chunk : {16u, 17u, 23u, 64u}) {
            InputFile file(dir / "f.txt");
            LineReader reader(file, chunk);
            std::size_t index = 0;
            for (; !reader.atEnd(); ++index) {
                ASSERT_LT(index, lines.size());
                const std::string& want = lines[index];
                TextRef code;
                if (random() % 2) {
                    EXPECT_EQ(reader.readCodeLine(code), isNumeric(want)) << want;
                } else {
                    reader.readLine();
                    EXPECT_EQ(reader.lineIsNumeric(), isNumeric(want)) << want;
                    code = reader.trimmedLine();
                }
                EXPECT_EQ(contentOf(code, file), trimmed(want)) << "round " << round;
                // The view must survive the end check, which may refill the buffer.
                (void)reader.atEnd();
                EXPECT_EQ(contentOf(reader.line(), file), want) << "round " << round;
            }
            EXPECT_EQ(index, lines.size()) << "round " << round << " chunk " << chunk;
        }
    }
}

// Pairs are read in one go when the code is short and both lines are in the buffer, and line by
// line otherwise; with every chunk size the buffer's end falls everywhere in the pairs, and
// lines of up to 70 bytes put the line ends everywhere in the 64-byte blocks.
TEST(LineReaderTest, PairsReadInOneGoAgreeWithTheLineRules) {
    test::TempDir dir;
    const char* codes[] = {"  0", "10", " 999", "   1000", "123456789", "  7 "};
    const char* ends[] = {"\r\n", "\r", "\r\n"};
    std::string bytes;
    for (std::size_t i = 0; i < 90; ++i) {
        bytes += codes[i % 6];
        bytes += ends[i % 3];
        bytes += std::string(i % 71, i % 5 == 0 ? '\n' : 'v');
        bytes += ends[(i + 1) % 3];
    }
    test::writeFile(dir / "f.txt", bytes);
    const std::vector<std::string> expected = linesOf(bytes);
    for (std::size_t chunk = 16; chunk <= 100; ++chunk) {
        InputFile file(dir / "f.txt");
        LineReader reader(file, chunk);
        std::size_t index = 0, inOneGo = 0;
        while (!reader.atEnd()) {
            TextRef code, value;
            std::string codeText;
            if (reader.readUsualPair(code, value)) {
                ++inOneGo;
                codeText = contentOf(code, file);
            } else {
                reader.readCodeLine(code);
                codeText = contentOf(code, file);  // the next read reuses the buffer
                if (reader.atEnd()) break;
                reader.readLine();
                value = reader.line();
            }
            ASSERT_LT(index + 1, expected.size());
            EXPECT_EQ(codeText, trimmed(expected[index])) << "chunk " << chunk;
            EXPECT_EQ(contentOf(value, file), expected[index + 1]) << "chunk " << chunk;
            index += 2;
        }
        EXPECT_EQ(index, expected.size()) << "chunk " << chunk;
        EXPECT_GT(inOneGo, 0u);
    }
}

}  // namespace
}  // namespace dxflist::test
