#include "engine/listing_writer.h"

#include <limits>

#include "test_support.h"

namespace dxflist::test {
namespace {

// Every buffer size from one that holds a bare line number to more than the whole text: each
// line takes the fast way when there is room and the piece by piece way near the buffer's end;
// texts longer than the buffer, regions copied in several reads, splices at both ends of a rope,
// literals between padded texts and line numbers of six digits and more give the same bytes
// everywhere.
TEST(ListingWriterTest, WritesTheSameBytesWhereverTheBufferEnds) {
    TempDir dir;
    test::writeFile(dir / "src.txt", "0123456789abcdefghijklmnopqrstuvwxyz");
    InputFile source(dir / "src.txt");
    // Views into padded storage, as the reader hands them out.
    const std::string storage = std::string("  70,1") + std::string(kReadPadding, '#');
    const TextRef code = TextRef::ofPadded({storage.data() + 2, 2});
    const TextRef value = TextRef::ofPadded({storage.data() + 5, 1});
    const TextRef inFile = TextRef::inSource({10, 26});
    Rope rope(&source);
    rope.append(TextRef::inSource({0, 10}));
    rope.append(std::string_view(" , "));
    rope.append(inFile);
    // Each length's bounds, and numbers of six to ten digits with every digit in every place.
    std::vector<std::int32_t> numbers = {
        0,        12,        999999,
        1000000,  9999999,   10000000,
        99999999, 100000000, std::numeric_limits<std::int32_t>::max()};
    for (int digits = 6; digits <= 10; ++digits)
        for (int d = 0; d < 10; ++d) {
            std::int64_t n = digits == 10;
            for (int i = digits == 10; i < digits; ++i) n = n * 10 + (d + i) % 10;
            numbers.push_back(static_cast<std::int32_t>(n));
        }
    std::string expected;
    for (std::int32_t n : numbers) {
        const std::string number = std::to_string(n);
        const std::string prefix =
            std::string(number.size() < 6 ? 6 - number.size() : 0, '0') + number + ":";
        expected +=
            prefix + "<>70,1\r\n1234567:<>70,abcdefghijklmnopqrstuvwxyz\r\n" + prefix + "\r\n";
        expected += prefix + "a much longer text than the buffer56789abcdefghijklmno\r\n";
        expected += prefix + "0123456789 , abcdefghijklmnopqrstuvwxyz\r\n";
        expected += prefix + "<70:1>\r\n";
    }
    for (std::size_t bufferSize = 7; bufferSize <= 200; ++bufferSize) {
        {
            ListingWriter out(OutputFile(dir / "out.txt"), bufferSize, source, "<>");
            for (std::int32_t n : numbers) {
                out.putGenericLine(n, code, value);
                out.putGenericLine(1234567, code, inFile);
                out.putLine(n);
                out.putLine(n, "a much longer text than the buffer", TextRef::inSource({5, 20}));
                out.putLine(n, rope);
                out.putLine(n, "<", code, ":", value, ">");
            }
            out.finish();
        }
        ASSERT_EQ(readFile(dir / "out.txt"), expected) << "buffer of " << bufferSize;
    }
}

}  // namespace
}  // namespace dxflist::test
