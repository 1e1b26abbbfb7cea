// The run's frame: pairs, line numbers, end-of-file reports, progress and event processing.

#include "engine/dxflist.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/cp932.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::crlf;
using test::FakeHost;
using test::listing;
using test::listingOf;
using test::readFile;

TEST(RunTest, WorkedExampleGivesItsListingByteForByte) {
    EXPECT_EQ(listingOf(readFile(test::dataDir() / "data/worked_example.dxf")),
              readFile(test::dataDir() / "data/worked_example.expected.txt"));
}

// The program's own texts, checked against their code page 932 bytes.
TEST(RunTest, ListingTextsAreCodePage932Bytes) {
    const ListingTexts& t = listingTexts();
    EXPECT_EQ(t.genericGap, "\x81\x40\x81\x40");
    EXPECT_EQ(t.comment, "\x83\x52\x83\x81\x83\x93\x83\x67 > ");
    EXPECT_EQ(t.sectionSuffix, " \x83\x5A\x83\x4E\x83\x56\x83\x87\x83\x93");
    EXPECT_EQ(t.tableStart, "TABLE\x82\xCC\x8E\x6E\x82\xDC\x82\xE8");
    EXPECT_EQ(t.fileEnd, "DXF\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x8F\x49\x97\xB9");
    EXPECT_EQ(t.unhandled,
              "\x96\xA2\x8F\x88\x97\x9D\x83\x49\x83\x75\x83\x57\x83\x46\x83\x4E\x83\x67 ");
    EXPECT_EQ(t.eofAtValue,
              "\x8F\x49\x92\x5B\x8C\x9F\x8F\x6F[EOF] - \x83\x4F\x83\x8B\x81\x5B\x83\x76\x92\x6C"
              "\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x8E\x9E");
}

TEST(RunTest, EndAtTheValueLineIsReportedWithItsNumber) {
    EXPECT_EQ(listingOf(crlf({"  0", "SECTION"})),
              listing({"000002:終端検出[EOF] - グループ値読み込み時"}));
    EXPECT_EQ(listingOf("  0\r\nSECTION"),
              listing({"000002:終端検出[EOF] - グループ値読み込み時"}));
}

TEST(RunTest, EndAtACodeLineGivesTwoReports) {
    EXPECT_EQ(
        listingOf(crlf({"  0", "SECTION", "  2"})),
        listing({"000001:セクションの始まり", "000002:終端検出[EOF] - グループコード読み込み時",
                 "000003:終端検出[EOF] - グループコード読み込み時 チェック出たところ"}));
    // A last line that is not numeric ends the file all the same.
    EXPECT_EQ(listingOf(crlf({" 70", "1", "junk"})),
              listing({"000001:　　70,1", "000002:終端検出[EOF] - グループコード読み込み時",
                       "000003:終端検出[EOF] - グループコード読み込み時 チェック出たところ"}));
}

// Lines that cannot be codes are skipped and not counted; values keep their spaces; a tab
// makes a code line non-numeric.
TEST(RunTest, NonNumericCodeLinesAreSkippedAndValuesKeptAsRead) {
    EXPECT_EQ(listingOf(crlf(
                  {"", "junk", "  8", "  layer 1  ", "\t62", "  62", "7", "  8", "", " 70", "1"})),
              listing({"000001:　　8,  layer 1  ", "000003:　　62,7", "000005:　　8,",
                       "000008:終端検出[EOF] - グループ値読み込み時"}));
}

TEST(RunTest, LineNumbersOfSevenDigitsPrintInFull) {
    std::string dxf;
    for (int i = 0; i < 500001; ++i) dxf += " 70\r\n1\r\n";
    dxf += " 70\r\n2\r\n";
    const std::string out = listingOf(dxf);
    const std::string tail = listing(
        {"999999:　　70,1", "1000001:　　70,1", "1000004:終端検出[EOF] - グループ値読み込み時"});
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

// Once per pass, a re-processed pair's pass included: the worked example has 34 pairs and one
// of them comes round twice.
TEST(RunTest, EventsRunOncePerPass) {
    FakeHost host;
    listingOf(readFile(test::dataDir() / "data/worked_example.dxf"), &host);
    EXPECT_EQ(host.events, 35);
}

TEST(RunTest, CaptionShowsProgressWhenTheSecondChangesAndTheNameAfterwards) {
    FakeHost host;
    int calls = 0;
    host.clock = [&] {
        ++calls;
        return calls == 1 ? 0 : (calls <= 4 ? 7 : 8);
    };
    listingOf(crlf({" 70", "1", " 70", "1", " 70", "1", " 70", "1"}), &host);
    ASSERT_EQ(host.captions.size(), 3u);
    EXPECT_EQ(host.captions[0], "dxflist 2:　-- 変換中　--");
    EXPECT_EQ(host.captions[1], "dxflist 6:　-- 変換中　--");
    EXPECT_EQ(host.captions[2], "dxflist");
}

// The clock's second starts out as 0, so a run inside second 0 shows no progress.
TEST(RunTest, NoProgressCaptionWhileTheSecondIsZero) {
    FakeHost host;
    listingOf(crlf({" 70", "1", " 70", "1"}), &host);
    EXPECT_EQ(host.captions, std::vector<std::string>{"dxflist"});
}

}  // namespace
}  // namespace dxflist
