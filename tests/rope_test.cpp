#include "engine/rope.h"

#ifdef __linux__
#include <stdlib.h>
#endif

#include "engine/listing_writer.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

// Texts built of literals, texts held in memory and regions of the source, in every mix: each
// reads back as the pieces in order, also after clear(), while the memory it holds stays
// bounded: never more than 64 KiB of bytes (as the README says), never more than kMostRegions
// regions, whatever it was given (a drawing that grows during the run gives ever more long
// lines).
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
        {{std::string(40 << 10, 'a')}, {std::string(40 << 10, 'b')}},
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
                EXPECT_LE(rope.mem().size(), std::size_t{64} << 10);
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

#ifdef __linux__
// TMPDIR and the current folder, as they were when this was made, put back when it goes, a
// failed check included.
struct PlaceOfScratch {
    PlaceOfScratch(const std::filesystem::path& temporary, const std::filesystem::path& current)
        : oldCurrent(std::filesystem::current_path()), hadTemporary(std::getenv("TMPDIR")) {
        if (hadTemporary) oldTemporary = std::getenv("TMPDIR");
        ::setenv("TMPDIR", temporary.c_str(), 1);
        std::filesystem::current_path(current);
    }
    ~PlaceOfScratch() {
        std::filesystem::current_path(oldCurrent);
        if (hadTemporary)
            ::setenv("TMPDIR", oldTemporary.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    std::filesystem::path oldCurrent;
    bool hadTemporary;
    std::string oldTemporary;
};

// The scratch file behind long texts lies in the system's temporary folder (TMPDIR), never in
// the current folder, which is the application folder: unnamed where the system allows, else
// named and removed at once. Its open descriptor shows where it lies.
TEST(RopeTest, ScratchFileLiesInTheTemporaryFolderAndLeavesNoName) {
    TempDir temporary;
    TempDir current;
    const PlaceOfScratch place(temporary.path, current.path);
    for (const bool unnamed : {true, false}) {
        FileLayerPaths paths;
        paths.unnamedFiles = unnamed;
        const FileLayerAs layer(paths);
        // The folders of the files open in either folder: the scratch file's alone.
        std::vector<std::string> places;
        {
            ScratchFile scratch;
            const FileRegion region = scratch.append("scratch", 7);
            char back[7] = {};
            scratch.readAt(region.offset, back, sizeof back);
            EXPECT_EQ(std::string(back, sizeof back), "scratch");
            for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
                std::error_code error;
                const auto folder =
                    std::filesystem::read_symlink(entry.path(), error).parent_path();
                if (!error && (folder == temporary.path || folder == current.path))
                    places.push_back(folder.string());
            }
            EXPECT_TRUE(std::filesystem::is_empty(temporary.path)) << unnamed;
            EXPECT_TRUE(std::filesystem::is_empty(current.path)) << unnamed;
        }
        EXPECT_EQ(places, std::vector<std::string>{temporary.path.string()}) << unnamed;
    }
}
#endif

}  // namespace
}  // namespace dxflist::test
