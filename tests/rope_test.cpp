#include "engine/rope.h"

#include "engine/listing_writer.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

// Texts built of literals, texts held in memory and regions of the source, in every mix: each
// reads back as the pieces in order, also after clear(), while the memory it holds stays
// bounded: never more than kInMemory bytes, never more than kMostRegions regions, whatever it
// was given (a drawing that grows during the run gives ever more long lines).
TEST(RopeTest, ReadsBackInOrderWithBoundedMemory) {
    TempDir dir;
    std::string source;
    for (int i = 0; source.size() < 300'000; ++i) source += std::to_string(i) + ",";
    writeFile(dir / "src.txt", source);
    InputFile file(dir / "src.txt");
    const std::string big(Rope::kInMemory + 1, 'b');
    struct Piece {
        std::string text;  // in memory; if empty, the region below
        FileRegion region = {};
    };
    const auto region = [&](std::uint64_t offset, std::uint64_t size) {
        return Piece{"", {offset, size}};
    };
    const std::vector<std::vector<Piece>> rows = {
        {{"a"}, {" , "}, {"bc"}},
        {{big}},
        {{"x"}, {big}, {"y"}, region(5, 7), {"z"}},
        std::vector<Piece>(3 * Rope::kMostRegions, region(100, 3)),
        {region(0, 9), {" , "}, region(200'000, 70'000), {std::string(Rope::kInMemory, 'm')}},
    };
    Rope rope(&file);
    for (const auto& row : rows) {
        for (const bool afterClear : {false, true}) {
            if (afterClear) rope.append(std::string_view("left over"));
            rope.clear();
            std::string expected;
            for (const Piece& piece : row) {
                if (!piece.text.empty()) {
                    rope.append(TextRef::of(piece.text));
                    expected += piece.text;
                } else {
                    rope.append(TextRef::inSource(piece.region));
                    expected += source.substr(piece.region.offset, piece.region.size);
                }
                EXPECT_LE(rope.mem().size(), Rope::kInMemory);
                EXPECT_LE(rope.splices().size(), Rope::kMostRegions);
            }
            {
                ListingWriter out(OutputFile(dir / "out.txt"), 4096, file, "");
                out.putLine(0, rope);
                out.finish();
            }
            EXPECT_TRUE(readFile(dir / "out.txt") == "000000:" + expected + "\r\n")
                << row.size() << " pieces";
            EXPECT_EQ(rope.empty(), expected.empty());
        }
    }
}

}  // namespace
}  // namespace dxflist::test
