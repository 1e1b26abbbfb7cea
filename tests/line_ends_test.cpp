// The CR LF copy "unix.dxf" of files whose first line holds LF characters.

#include <gtest/gtest.h>

#include <string>

#include "engine/dxflist.h"
#include "engine/failure.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::FakeHost;
using test::listing;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string expectedBox(const std::filesystem::path& copy) {
    return "\r\n\r\n指定されたファイルはUNIXの改行コード(0A)"
           "が使用されていたので、一時ファイルを作成しました。"
           "\r\n\r\n一時ファイル名 : " +
           pathText(copy);
}

struct ListingRun {
    TempDir dir;
    FakeHost host;
    bool listingExistedAtBox = false;

    // Lists `bytes` written to `name` in the application folder.
    void list(std::string_view bytes, std::string_view name = "in.dxf") {
        writeFile(dir / name, bytes);
        host.onBox = [this](std::string_view) {
            listingExistedAtBox = std::filesystem::exists(dir / "output.txt");
        };
        subDXFver(dir / name, host, test::appIn(dir.path()));
    }
    std::string output() const { return readFile(dir / "output.txt"); }
    std::string copy() const { return readFile(dir / "unix.dxf"); }
};

TEST(LineEndsTest, CrLfFileIsReadDirectly) {
    ListingRun run;
    run.list("  0\r\nEOF\r\n");
    EXPECT_TRUE(run.host.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(run.dir / "unix.dxf"));
}

// The copy holds the lines with CR LF ends and one extra empty line, so the EOF pair is
// annotated and the listing ends with the two code-reading reports.
TEST(LineEndsTest, LfFileIsCopiedWithCrLfAndTheUserIsToldBeforeTheListingStarts) {
    ListingRun run;
    run.list("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n");
    EXPECT_EQ(run.copy(),
              "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n\r\n");
    ASSERT_EQ(run.host.boxes.size(), 1u);
    EXPECT_EQ(run.host.boxes[0].first, expectedBox(run.dir / "unix.dxf"));
    EXPECT_EQ(run.host.boxes[0].second, kMsgBoxOk);
    EXPECT_FALSE(run.listingExistedAtBox);
    EXPECT_EQ(run.output(),
              listing({"000001:セクションの始まり", "000003:ENTITIES セクション", "000005:ENDSEC",
                       "000005:セクションの終わり", "000007:DXFファイルの終了",
                       "000008:終端検出[EOF] - グループコード読み込み時",
                       "000009:終端検出[EOF] - グループコード読み込み時 チェック出たところ"}));
    EXPECT_FALSE(std::filesystem::exists(run.dir / "unix.dxf.tmp"));
}

TEST(LineEndsTest, LfFileWithoutFinalLfEndsAtTheValueLine) {
    ListingRun run;
    run.list("  0\nSECTION\n  0\nEOF");
    EXPECT_EQ(run.copy(), "  0\r\nSECTION\r\n  0\r\nEOF\r\n");
    EXPECT_EQ(run.output(), listing({"000001:セクションの始まり",
                                     "000004:終端検出[EOF] - グループ値読み込み時"}));
}

// Only the first line counts: with LF before the first CR, the rest is not copied; with CR LF
// first, LF stretches further on reach the reader as lines holding LF characters.
TEST(LineEndsTest, OnlyTheFirstLineDecides) {
    ListingRun mixed;
    mixed.list(" 70\n1\n 70\r\n2\r\n 70\r\n3\r\n");
    EXPECT_EQ(mixed.copy(), " 70\r\n1\r\n 70\r\n");
    EXPECT_EQ(mixed.output(),
              listing({"000001:　　70,1", "000002:終端検出[EOF] - グループコード読み込み時",
                       "000003:終端検出[EOF] - グループコード読み込み時 チェック出たところ"}));

    ListingRun crFirst;
    crFirst.list(" 70\r\n1\n 70\n2\r\n 70\r\n3\r\n");
    EXPECT_TRUE(crFirst.host.boxes.empty());
    EXPECT_EQ(crFirst.output(),
              listing({"000001:　　70,1\n 70\n2", "000004:終端検出[EOF] - グループ値読み込み時"}));
}

TEST(LineEndsTest, CrOnlyFileListsLikeItsCrLfTwin) {
    const std::string crOnly =
        " 70\r1\r  0\rSECTION\r  2\rHEADER\r  9\r$A\r 10\r1\r  0\rENDSEC\r  0\rEOF\r";
    std::string crLf;
    for (char c : crOnly) crLf += c == '\r' ? std::string("\r\n") : std::string(1, c);
    ListingRun run;
    run.list(crOnly);
    EXPECT_TRUE(run.host.boxes.empty());
    EXPECT_EQ(run.output(), test::listingOf(crLf));
}

// The copy goes block by block and piece by piece between LFs: lines of every length up to
// beyond a block, at every place in a block and across the slices between window events.
TEST(LineEndsTest, CopyIsRightWhereverTheLineEndsFall) {
    std::string bytes;
    for (int round = 0; round < 3; ++round)
        for (std::size_t size = 0; size <= 80; ++size)
            bytes += std::string(size, 'a' + round) + '\n';
    std::string expected;
    for (char c : bytes) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ListingRun run;
    run.list(bytes);
    EXPECT_EQ(run.copy(), expected + "\r\n");
}

TEST(LineEndsTest, AnEarlierCopyIsReplaced) {
    ListingRun run;
    writeFile(run.dir / "unix.dxf", std::string(1000, 'x'));
    run.list(" 70\n1\n");
    EXPECT_EQ(run.copy(), " 70\r\n1\r\n\r\n");
}

// The copy chosen as the source: when its first line is the whole file, rewriting it loses
// nothing; when a CR follows, it is read as it is and left untouched.
TEST(LineEndsTest, TheCopyItselfIsNeverDamaged) {
    ListingRun whole;
    whole.list(" 70\n1\n 70\n2", "unix.dxf");
    EXPECT_EQ(whole.copy(), " 70\r\n1\r\n 70\r\n2\r\n");
    EXPECT_EQ(whole.output(),
              listing({"000001:　　70,1", "000004:終端検出[EOF] - グループ値読み込み時"}));

    ListingRun mixed;
    const std::string bytes = " 70\n1\r\n 70\r\n2\r\n 70\r\n3\r\n";
    mixed.list(bytes, "unix.dxf");
    EXPECT_EQ(mixed.copy(), bytes);
    EXPECT_TRUE(mixed.host.boxes.empty());
    EXPECT_EQ(mixed.output(),
              listing({"000001:　　70,2", "000004:終端検出[EOF] - グループ値読み込み時"}));
    EXPECT_FALSE(std::filesystem::exists(mixed.dir / "unix.dxf.tmp"));
}

}  // namespace
}  // namespace dxflist
