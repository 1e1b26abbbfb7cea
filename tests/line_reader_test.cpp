#include "engine/line_reader.h"
#include "engine/read_ahead.h"

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <random>

#include "listing_check.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

std::string contentOf(const TextRef& text, InputFile& file) {
    if (!text.inFile) return std::string(text.mem);
    std::string bytes(static_cast<std::size_t>(text.region.size), '\0');
    file.readAt(text.region.offset, bytes.data(), bytes.size());
    return bytes;
}

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

// Files read with small buffers against the line rules, line by line as values or code lines,
// or two lines at once as a pair. 300 random files of the bytes that matter (CR, LF, space,
// digits, signs, letters) with lines of every length around the buffer's size, each line read
// in a way chosen at random; then a file of pairs of every code shape, with values of up to 70
// bytes, read in pairs where it can be at every chunk size, so that the buffer's end falls
// everywhere in the pairs and the line ends everywhere in the 64-byte blocks.
TEST(LineReaderTest, AgreesWithTheLineRules) {
    test::TempDir dir;
    std::mt19937 random(20261206);
    const std::string alphabet = "\r\n\r\n   0123456789+-.eEAZ\t\x81\x5c";
    const char* codes[] = {"  0", "10", " 999", "   1000", "123456789", "  7 "};
    const char* ends[] = {"\r\n", "\r", "\r\n"};
    std::string pairs;
    for (std::size_t i = 0; i < 90; ++i) {
        pairs += codes[i % 6];
        pairs += ends[i % 3];
        pairs += std::string(i % 71, i % 5 == 0 ? '\n' : 'v');
        pairs += ends[(i + 1) % 3];
    }
    for (int round = 0; round <= 300; ++round) {
        const bool inPairs = round == 300;
        std::string bytes = inPairs ? pairs : "";
        const bool longLines = random() % 4 == 0;
        for (int i = 0, size = inPairs ? 0 : static_cast<int>(random() % 200); i < size; ++i) {
            const char c = alphabet[random() % alphabet.size()];
            bytes += longLines && random() % 8 != 0 && (c == '\r' || c == '\n') ? '7' : c;
        }
        const std::vector<std::string_view> lines = linesOf(bytes);
        test::writeFile(dir / "f.txt", bytes);
        std::vector<std::size_t> chunks = {16, 17, 23, 64};
        for (std::size_t chunk = 18; inPairs && chunk <= 100; ++chunk) chunks.push_back(chunk);
        for (std::size_t chunk : chunks) {
            SCOPED_TRACE(::testing::Message() << "round " << round << " chunk " << chunk);
            InputFile file(dir / "f.txt");
            LineReader reader(file, chunk);
            std::size_t index = 0, inOneGo = 0;
            while (!reader.atEnd()) {
                ASSERT_LT(index, lines.size());
                const std::string_view want = lines[index];
                const unsigned way = inPairs ? 0 : random() % 3;
                TextRef code, value;
                if (way == 0 && reader.readUsualPair(code, value)) {
                    ASSERT_LT(index + 1, lines.size());
                    EXPECT_TRUE(isNumeric(want)) << want;
                    EXPECT_EQ(contentOf(value, file), lines[++index]);
                    ++inOneGo;
                } else if (way != 2) {
                    EXPECT_EQ(reader.readCodeLine(code), isNumeric(want)) << want;
                } else {
                    reader.readLine();
                    EXPECT_EQ(reader.lineIsNumeric(), isNumeric(want)) << want;
                    code = reader.trimmedLine();
                }
                EXPECT_EQ(contentOf(code, file), trimmed(want));
                // The view must survive the end check, which may refill the buffer.
                (void)reader.atEnd();
                EXPECT_EQ(contentOf(reader.line(), file), lines[index++]);
            }
            EXPECT_EQ(index, lines.size());
            EXPECT_TRUE(!inPairs || inOneGo > 0);
        }
    }
}

// A reader dropped while its reads ahead still wait for the I/O thread (a run stopped by Exit or
// by a failure) waits for them: they read into its buffers and call its hook. The I/O thread is
// held back until the check: a reader that does not wait is gone at once, one that waits cannot
// be gone before the release, so the bounded wait cannot fail on a slow machine.
TEST(ReadAheadTest, ADroppedReaderWaitsForItsReadsAhead) {
    constexpr std::size_t kChunk = 4096;
    TempDir dir;
    writeFile(dir / "in.dxf", std::string(5 * kChunk, 'x'));
    InputFile file(dir / "in.dxf");
    const std::shared_ptr<IoThread> io = IoThread::shared();
    std::promise<void> release;
    const IoThread::Ticket held = io->post([gate = release.get_future().share()] { gate.wait(); });
    std::atomic<int> chunksRead = 0;
    auto reader = std::make_unique<ReadAhead>(file, kChunk, 0, kChunk, 3,
                                              [&chunksRead](char*, std::size_t got) {
                                                  ++chunksRead;
                                                  return got;
                                              });
    ASSERT_EQ(reader->next().size, kChunk);  // read here; the next two are read ahead
    auto dropped = std::async(std::launch::async, [&reader] { reader.reset(); });
    EXPECT_EQ(dropped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "the reader was gone while its reads ahead still waited";
    release.set_value();
    dropped.get();
    io->wait(held);
    EXPECT_EQ(chunksRead, 3);
}

}  // namespace
}  // namespace dxflist::test
