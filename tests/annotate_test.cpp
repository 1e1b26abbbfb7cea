// How the structure rules work together, one small file per interaction.

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace dxflist {
namespace {

using test::crlf;
using test::listing;
using test::listingOf;

TEST(AnnotateTest, TwoVariablesInARowGiveTheFirstAnEmptyValue) {
    EXPECT_EQ(listingOf(crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$A", "  9", "$B", " 10",
                              "1.0", "  0", "ENDSEC", "  0", "EOF"})),
              listing({"000001:セクションの始まり", "000003:HEADER セクション",
                       "000005:$A=", "000007:$B=1.0", "000011:セクションの終わり",
                       "000014:終端検出[EOF] - グループ値読み込み時"}));
}

TEST(AnnotateTest, AnEmptyFirstValueVanishesALaterOneStays) {
    EXPECT_EQ(
        listingOf(crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$V", " 10", "", " 20", "b",
                        " 30", "", " 40", "c", "  0", "ENDSEC", "  0", "EOF"})),
        listing({"000001:セクションの始まり", "000003:HEADER セクション", "000005:$V=b ,  , c",
                 "000015:セクションの終わり", "000018:終端検出[EOF] - グループ値読み込み時"}));
}

// The comment ends the collection: later values are generic lines, and the variable is
// written with what it had when the next variable begins. The final empty line lets the EOF
// pair be annotated.
TEST(AnnotateTest, CommentInsideHeaderEndsTheVariablesValues) {
    EXPECT_EQ(
        listingOf(crlf({"  0", "SECTION", "  2",  "HEADER", "  9", "$A",  " 10",
                        "1",   "999",     "note", " 20",    "2",   "  9", "$B",
                        " 10", "3",       "  0",  "ENDSEC", "  0", "EOF", ""})),
        listing({"000001:セクションの始まり", "000003:HEADER セクション", "000009:コメント > note",
                 "000011:　　20,2", "000005:$A=1", "000013:$B=3", "000017:セクションの終わり",
                 "000019:DXFファイルの終了", "000020:終端検出[EOF] - グループコード読み込み時",
                 "000021:終端検出[EOF] - グループコード読み込み時 チェック出たところ"}));
}

TEST(AnnotateTest, HiddenGroupsAreNeverListedNorCollected) {
    EXPECT_EQ(
        listingOf(crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$HANDSEED", "  5", "20000",
                        "  9", "$X",      "100", "AcDbX",  "102", "{ACAD",     "330", "1F",
                        " 70", "4",       "  0", "ENDSEC", "  0", "SECTION",   "  2", "ENTITIES",
                        "  0", "LINE",    "  5", "2A",     "330", "1F",        "100", "AcDbEntity",
                        "  8", "0",       "  0", "ENDSEC", "  0", "EOF"})),
        listing({"000001:セクションの始まり", "000003:HEADER セクション", "000005:$HANDSEED=",
                 "000009:$X=4", "000019:セクションの終わり", "000021:セクションの始まり",
                 "000023:ENTITIES セクション", "000025:LINE", "000033:　　8,0", "000035:ENDSEC",
                 "000035:セクションの終わり", "000038:終端検出[EOF] - グループ値読み込み時"}));
}

// Keywords are exact: lower case, other spellings of the code, and trailing spaces match
// nothing, and such a pair is treated like any other of its code.
TEST(AnnotateTest, KeywordsAndCodesMatchOnlyExactly) {
    EXPECT_EQ(
        listingOf(crlf({"  0", "section", "  0", "SECTION ", " +0", "SECTION", " 00", "SECTION",
                        "  0", "SECTION", "  2", "ENTITIES", "  0", "endsec",  "  0", "ENDSEC",
                        "  0", "SECTION", "  2", "CLASSES",  "  0", "section", "  0", "ENDSEC",
                        "  0", "EOF"})),
        listing({"000001:未処理オブジェクト section", "000003:未処理オブジェクト SECTION ",
                 "000005:　　+0,SECTION", "000007:　　00,SECTION", "000009:セクションの始まり",
                 "000011:ENTITIES セクション", "000013:endsec", "000015:ENDSEC",
                 "000015:セクションの終わり", "000017:セクションの始まり",
                 "000019:CLASSES セクション", "000021:　　0,section", "000023:セクションの終わり",
                 "000026:終端検出[EOF] - グループ値読み込み時"}));
}

// A "2" after a comment names a section; a second section start inside an open section lets
// TABLES be named; a "0" between TABLE and its name is a generic line; entries show their
// table's name.
TEST(AnnotateTest, TablesAfterCommentsAndInsideAnOpenSection) {
    EXPECT_EQ(
        listingOf(crlf({"999",    "made by hand", "  2",    "HEADER", "  0", "SECTION", "  2",
                        "TABLES", "  0",          "TABLE",  "  0",    "odd", "  2",     "LTYPE",
                        "  0",    "LTYPE",        "  2",    "DASHED", " 72", "65",      "  0",
                        "ENDTAB", "  0",          "ENDSEC", "  0",    "XYZ", "  0",     "EOF"})),
        listing({"000001:コメント > made by hand", "000003:HEADER セクション",
                 "000005:セクションの始まり", "000007:TABLESセクション", "000009:TABLEの始まり",
                 "000011:　　0,odd", "000013:<LTYPE>TABLEの始まり",
                 "000015:---------------------  LTYPE", "000017:<LTYPE:DASHED>", "000019:　　72,65",
                 "000021:TABLEの終わり", "000023:セクションの終わり",
                 "000025:未処理オブジェクト XYZ", "000028:終端検出[EOF] - グループ値読み込み時"}));
}

// A header variable's value collection also swallows "0" pairs other than section starts and
// ends, EOF included, which is then written as well.
TEST(AnnotateTest, PendingVariableTakesOtherZeroPairsAsValues) {
    EXPECT_EQ(
        listingOf(crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$A", "  0", "LINE", "  0", "EOF",
                        "  0", "ENDSEC", "  0", "EOF"})),
        listing({"000001:セクションの始まり", "000003:HEADER セクション",
                 "000009:DXFファイルの終了", "000005:$A=LINE , EOF", "000011:セクションの終わり",
                 "000014:終端検出[EOF] - グループ値読み込み時"}));
}

}  // namespace
}  // namespace dxflist
