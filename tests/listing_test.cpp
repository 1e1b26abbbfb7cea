// What the listing says for a given file: the structure rules, the run's frame (pairs, line
// numbers, end-of-file reports) and the CR LF copy of LF files. Each case is a file in
// data/listing with its expected listing (NAME.expected.txt) and, where one is made, its
// expected copy (NAME.copy.dxf); NAME.dxf is chosen as in.dxf, or as unix.dxf when NAME begins
// with unix_dxf_, the copy chosen itself.

#include "scan_paths.h"

namespace dxflist::test {
namespace {

std::vector<std::filesystem::path> cases() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataDir() / "data/listing"))
        if (entry.path().extension() == ".dxf" && entry.path().stem().extension() != ".copy")
            files.push_back(entry.path());
    return files;
}

class ListingTest : public ::testing::TestWithParam<std::filesystem::path> {};

// An earlier copy is always there to be replaced; the user is told of a new copy before the
// listing is begun; no temporary file is left. Over an earlier listing, longer than the new one,
// that is emptied on a thread of its own while the new one waits in an unnamed file, the listing
// is the same.
void listsAsExpected(const std::filesystem::path& param, bool overOldListing) {
    const std::filesystem::path golden = param.parent_path() / param.stem();
    const bool asCopy = golden.filename().string().starts_with("unix_dxf_");
    const std::string dxf = readFile(param);
    const std::filesystem::path copyFile = golden.string() + ".copy.dxf";
    const std::string copy = exists(copyFile) ? readFile(copyFile) : "earlier copy";
    test::TempDir dir;
    const std::filesystem::path chosen = dir / (asCopy ? "unix.dxf" : "in.dxf");
    test::writeFile(dir / "unix.dxf", "earlier copy");
    test::writeFile(chosen, dxf);
    std::string oldListing;
    if (overOldListing) {
        for (int i = 0; i < 5000; ++i)
            oldListing += "old listing line " + std::to_string(i) + "\r\n";
        test::writeFile(dir / "output.txt", oldListing);
    }
    const test::FileLayerAs paths(
        {.emptyBehindFrom = overOldListing ? 1u : UINT64_MAX, .spoolToTheEnd = overOldListing});
    test::FakeHost host;
    bool listingAtBox = false;
    host.onBox = [&] {
        listingAtBox = exists(dir / "output.txt") && readFile(dir / "output.txt") != oldListing;
    };
#ifdef __linux__
    // Every file the run opened is closed again: a window lists file after file.
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto openBefore = openFiles();
    subDXFver(chosen, host, test::appIn(dir.path));
    EXPECT_EQ(openFiles(), openBefore);
#else
    subDXFver(chosen, host, test::appIn(dir.path));
#endif

    EXPECT_EQ(readFile(dir / "output.txt"), readFile(golden.string() + ".expected.txt"));
    EXPECT_EQ(readFile(dir / "unix.dxf"), copy);
    const bool told = exists(copyFile) && copy != dxf;
    ASSERT_EQ(host.boxes.size(), told ? 1u : 0u);
    if (told) {
        EXPECT_EQ(host.boxes[0].first,
                  "\r\n\r\n指定されたファイルはUNIXの改行コード(0A)が使用されていたので、"
                  "一時ファイルを作成しました。\r\n\r\n一時ファイル名 : " +
                      pathText(dir / "unix.dxf"));
        EXPECT_EQ(host.boxes[0].second, kMsgBoxOk);
        EXPECT_FALSE(listingAtBox);
    }
    EXPECT_FALSE(exists(dir / "unix.dxf.tmp"));
}

TEST_P(ListingTest, ListsAsExpected) {
    forEachScanPath([](ScanPath) {
        for (const bool overOldListing : {false, true}) listsAsExpected(GetParam(), overOldListing);
    });
}

INSTANTIATE_TEST_SUITE_P(Cases, ListingTest, ::testing::ValuesIn(cases()),
                         [](const auto& param) { return param.param.stem().string(); });

// Lines longer than the reader's buffer stay in the file and are copied from there: as a
// value, as a section name, and spliced into a header variable's values.
TEST(RunTest, LinesLongerThanTheBufferAreListedWhole) {
    const std::string x(3'000'000, 'x'), y(3'000'000, 'y'), z(3'000'000, 'z');
    const std::string dxf =
        crlf({" 1", x, std::string(3'000'000, ' ') + "0", "SECTION", "  2", y, "  0", "ENDSEC"}) +
        crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$A", " 10", z, " 20", "1"}) +
        crlf({"  0", "ENDSEC", "  0", "EOF"});
    EXPECT_TRUE(test::listingOf(dxf) ==
                test::listing({"000001:　　1," + x, "000003:セクションの始まり",
                               "000005:" + y + " セクション", "000007:セクションの終わり",
                               "000009:セクションの始まり", "000011:HEADER セクション",
                               "000013:$A=" + z + " , 1", "000019:セクションの終わり",
                               "000022:終端検出[EOF] - グループ値読み込み時"}));
}

// Whether the first line holds an LF is decided however far into the file the line ends: the
// first page is read on its own, the rest in larger pieces. An LF there means a CR LF copy of the
// first line, up to the first CR (one box), whose last line is the comment's value; a CR LF, the
// file read as it is.
TEST(RunTest, AnLfEndingALongFirstLineIsFoundWhereverItLies) {
    for (const std::size_t spaces : {4000, 4091, 4092, 4093, 4096, 5000, 600'000}) {
        for (const std::string_view lineEnd : {"\n", "\r\n"}) {
            SCOPED_TRACE(std::to_string(spaces) + (lineEnd == "\n" ? " LF" : " CR LF"));
            // The line end begins at byte spaces + 3: the page's last byte for 4093.
            const std::string dxf =
                std::string(spaces, ' ') + "999" + std::string(lineEnd) + "note\r\n  0\r\nEOF\r\n";
            test::FakeHost host;
            EXPECT_EQ(test::listingOf(dxf, &host),
                      lineEnd == "\n"
                          ? test::listing({"000002:終端検出[EOF] - グループ値読み込み時"})
                          : test::listing({"000001:コメント > note",
                                           "000004:終端検出[EOF] - グループ値読み込み時"}));
            EXPECT_EQ(host.boxes.size(), lineEnd == "\n" ? 1u : 0u);
        }
    }
}

// A header variable whose values outgrow memory waits in a scratch file and is listed the same:
// values before and after a line too long for the buffer, then a comment and a section start,
// which are written before the variable.
TEST(RunTest, HeaderVariableLargerThanMemoryIsListedWhole) {
    std::string dxf = crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$V"}), values;
    for (int i = 0; i <= 600'000; ++i) {
        const std::string value =
            i == 300'000 ? std::string(3'000'000, 'x') : std::to_string(i % 7);
        dxf += " 10\r\n" + value + "\r\n";
        values += (i ? " , " : "") + value;
    }
    dxf += crlf({"999", "note", "  0", "SECTION", " 70", "1", "  0", "ENDSEC", "  0", "EOF"});
    EXPECT_TRUE(
        test::listingOf(dxf) ==
        test::listing({"000001:セクションの始まり", "000003:HEADER セクション",
                       "1200009:コメント > note", "1200011:セクションの始まり", "1200013:　　70,1",
                       "000005:$V=" + values, "1200015:セクションの終わり",
                       "1200018:終端検出[EOF] - グループ値読み込み時"}));
}

// The caption shows the line count when the clock's second changes, the second starting out
// as 0, and the program's name at the end. With each count the taskbar is told the bytes read
// of the file's (8 a pair, 32 in all).
TEST(RunTest, CaptionShowsProgressWhenTheSecondChanges) {
    using Progress = std::vector<std::pair<std::uint64_t, std::uint64_t>>;
    const std::vector<std::string> rows[] = {
        {"dxflist"}, {"dxflist 2:　-- 変換中　--", "dxflist 6:　-- 変換中　--", "dxflist"}};
    const Progress bytes[] = {{}, {{8, 32}, {24, 32}}};
    for (const std::vector<int>& seconds : {std::vector{0}, std::vector{0, 7, 7, 7, 8}}) {
        test::FakeHost host;
        std::size_t call = 0;
        host.clock = [&] { return seconds[std::min(call++, seconds.size() - 1)]; };
        test::listingOf(crlf({" 70", "1", " 70", "1", " 70", "1", " 70", "1"}), &host);
        EXPECT_EQ(host.captions, rows[seconds.size() > 1]);
        EXPECT_EQ(host.progress, bytes[seconds.size() > 1]);
        EXPECT_EQ(host.progressUnknown, 0);
    }
}

// The CR LF copy of an LF drawing has no known length: the taskbar shows it as busy, during
// the copy and its notice, once. The listing of the copy then counts the copy's bytes, here with
// a new second at every pass: a skipped line and a line longer than the reader's buffer count.
TEST(RunTest, TaskbarIsBusyDuringTheCopyThenCountsTheCopysBytes) {
    const std::string longValue(3'000'000, 'v');
    test::TempDir dir;
    writeFile(dir / "in.dxf", "x\n 70\n" + longValue + "\n  0\nEOF\n");
    test::FakeHost host;
    int busyInCopy = -1, busyAtBox = -1, second = 0;
    host.onEvents = [&] {
        if (busyInCopy < 0) busyInCopy = host.progressUnknown;
    };
    host.onBox = [&] { busyAtBox = host.progressUnknown; };
    host.clock = [&] { return ++second % 60; };
    subDXFver(dir / "in.dxf", host, appIn(dir.path));
    const std::uint64_t size = std::filesystem::file_size(dir / "unix.dxf");
    const std::uint64_t firstPair = 3 + 5 + longValue.size() + 2;
    EXPECT_EQ(busyInCopy, 1);
    EXPECT_EQ(busyAtBox, 1);
    EXPECT_EQ(host.progressUnknown, 1);
    EXPECT_EQ(host.progress, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{
                                 {0, size}, {firstPair, size}, {firstPair + 10, size}}));
    EXPECT_EQ(firstPair + 10 + 2, size);
}

}  // namespace
}  // namespace dxflist::test
