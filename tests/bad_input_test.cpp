// Input that no CAD program meant to write: odd bytes, binary files, endless lines, files that
// change while they are read. Each ends in a correct listing or a clear failure.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::crlf;
using test::FakeHost;
using test::listing;
using test::listingOf;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Bytes a code page 932 or UTF-8 decoder would reject, and NUL bytes, reach the listing as
// they are in the file.
TEST(BadInputTest, AnyBytesPassThroughUnchanged) {
    const std::string odd[] = {std::string("a\0b", 3), "\x81",        "\xff\xfe", "\xe3\x81",
                               "\x82\xa0\x5c",         "\x80\x7f\x1a"};
    std::string dxf, expected;
    int line = 1;
    for (const std::string& value : odd) {
        dxf += " 1\r\n" + value + "\r\n";
        char number[16];
        std::snprintf(number, sizeof number, "%06d:", line);
        expected += number + test::listing({"　　1,"});
        expected.insert(expected.size() - 2, value);
        line += 2;
    }
    dxf += "  0\r\nEOF\r\n";
    expected += listing({"000014:終端検出[EOF] - グループ値読み込み時"});
    EXPECT_EQ(listingOf(dxf), expected);
}

TEST(BadInputTest, BinaryDxfGivesAListingNotAFailure) {
    for (const char* name : {"gdal_BINARY_wipeout.dxf", "ixmilia_diamond-bin.dxf"}) {
        const std::string out = listingOf(readFile(test::dataDir() / "corpus/odd" / name));
        EXPECT_NE(out.find(listingTexts().eofAtCode), std::string::npos) << name;
        EXPECT_EQ(out.substr(out.size() - 2), "\r\n") << name;
    }
}

// Lines longer than the reader's buffer stay in the file and are copied from there: as a
// value, as a section name, and spliced into a header variable's values.
TEST(BadInputTest, LinesLongerThanTheBufferAreListedWhole) {
    const std::string x(3'000'000, 'x'), y(3'000'000, 'y'), z(3'000'000, 'z');
    const std::string spaces(3'000'000, ' ');
    const std::string dxf =
        crlf({" 1",  x,         spaces + "0", "SECTION", "  2", y,    "  0", "ENDSEC",
              "  0", "SECTION", "  2",        "HEADER",  "  9", "$A", " 10", z,
              " 20", "1",       "  0",        "ENDSEC",  "  0", "EOF"});
    std::string expected = listing({"000001:　　1,"});
    expected.insert(expected.size() - 2, x);
    expected += listing({"000003:セクションの始まり"});
    expected += "000005:" + y + listing({" セクション"});
    expected += listing(
        {"000007:セクションの終わり", "000009:セクションの始まり", "000011:HEADER セクション"});
    expected += "000013:$A=" + z + " , 1\r\n";
    expected +=
        listing({"000019:セクションの終わり", "000022:終端検出[EOF] - グループ値読み込み時"});
    EXPECT_EQ(listingOf(dxf), expected);
}

// A header variable whose values outgrow memory waits in a scratch file and is listed as it
// would be from memory: values before and after a line too long for the buffer, then a comment
// and a section start, which are written before the variable.
TEST(BadInputTest, HeaderVariableLargerThanMemoryAllowsIsListedWhole) {
    std::string dxf = crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$V"});
    std::string values;
    int line = 7;
    const auto add = [&](const std::string& value) {
        dxf += " 10\r\n" + value + "\r\n";
        values += (values.empty() ? "" : " , ") + value;
        line += 2;
    };
    for (int i = 0; i < 300'000; ++i) add(std::to_string(i % 10));
    add(std::string(3'000'000, 'x'));
    for (int i = 0; i < 300'000; ++i) add(std::to_string(i % 7));
    dxf += crlf({"999", "note", "  0", "SECTION", " 70", "1", "  0", "ENDSEC", "  0", "EOF"});
    const auto numbered = [](int number, std::string_view utf8) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%06d:", number);
        return prefix + test::listing({utf8});
    };
    const std::string expected =
        listing({"000001:セクションの始まり", "000003:HEADER セクション"}) +
        numbered(line, "コメント > note") + numbered(line + 2, "セクションの始まり") +
        numbered(line + 4, "　　70,1") + "000005:$V=" + values + "\r\n" +
        numbered(line + 6, "セクションの終わり") +
        numbered(line + 9, "終端検出[EOF] - グループ値読み込み時");
    EXPECT_TRUE(listingOf(dxf) == expected);
}

// A drawing of a few megabytes, so that the reader is still far from its end when the file
// is changed under it.
std::string manyPairs(int count, const char* value) {
    std::string dxf;
    for (int i = 0; i < count; ++i) dxf += std::string(" 70\r\n") + value + "\r\n";
    return dxf;
}

struct ChangingFile {
    TempDir dir;
    FakeHost host;

    // Lists `bytes`, calling `change` with the source path once, in the tenth pass.
    std::string list(const std::string& bytes,
                     const std::function<void(const std::filesystem::path&)>& change) {
        writeFile(dir / "in.dxf", bytes);
        host.onEvents = [&, passes = 0]() mutable {
            if (++passes == 10) change(dir / "in.dxf");
        };
        subDXFver(dir / "in.dxf", host, test::appIn(dir.path()));
        return readFile(dir / "output.txt");
    }
};

TEST(BadInputTest, FileTruncatedWhileReadIsListedAsFarAsItGoes) {
    const std::string bytes = manyPairs(400'000, "1");
    ChangingFile run;
    const std::string out = run.list(bytes, [](const std::filesystem::path& path) {
        std::filesystem::resize_file(path, 2'500'003);
    });
    EXPECT_EQ(out, listingOf(bytes.substr(0, 2'500'003)));
}

TEST(BadInputTest, FileGrowingWhileReadIsListedWithWhatWasAdded) {
    const std::string bytes = manyPairs(400'000, "1");
    const std::string more = manyPairs(1000, "2");
    ChangingFile run;
    const std::string out = run.list(bytes, [&](const std::filesystem::path& path) {
        std::ofstream(path, std::ios::binary | std::ios::app) << more;
    });
    EXPECT_EQ(out, listingOf(bytes + more));
}

TEST(BadInputTest, FileDeletedWhileReadIsListedWhole) {
    const std::string bytes = manyPairs(400'000, "1");
    ChangingFile run;
    const std::string out =
        run.list(bytes, [](const std::filesystem::path& path) { std::filesystem::remove(path); });
    EXPECT_EQ(out, listingOf(bytes));
}

#ifndef _WIN32
// A device has no end; reading it would never finish.
TEST(BadInputTest, DeviceAsSourceIsRefused) {
    TempDir dir;
    FakeHost host;
    EXPECT_THROW(subDXFver("/dev/zero", host, test::appIn(dir.path())), Failure);
    EXPECT_FALSE(std::filesystem::exists(dir / "output.txt"));
}
#endif

}  // namespace
}  // namespace dxflist
