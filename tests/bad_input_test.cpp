// Files that change while they are read: each ends in the listing of the file as it was then.

#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "scan_paths.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

// A drawing of a few megabytes, changed in the tenth pass, while the reader is still far from
// its end: listed as far as it goes then.
TEST(BadInputTest, FileChangedWhileReadIsListedAsItIsThen) {
    std::string bytes;
    for (int i = 0; i < 400'000; ++i) bytes += " 70\r\n1\r\n";
    const std::string more = " 70\r\n2\r\n 70\r\n3\r\n";
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> change;
        std::string listed;
    } rows[] = {
        {"truncated", [](const auto& p) { std::filesystem::resize_file(p, 2'500'003); },
         bytes.substr(0, 2'500'003)},
        {"grown",
         [&](const auto& p) { std::ofstream(p, std::ios::binary | std::ios::app) << more; },
         bytes + more},
        {"deleted", [](const auto& p) { std::filesystem::remove(p); }, bytes},
    };
    for (const auto& row : rows) {
        TempDir dir;
        writeFile(dir / "in.dxf", bytes);
        test::FakeHost host;
        host.onEvents = [&, passes = 0]() mutable {
            if (++passes == 10) row.change(dir / "in.dxf");
        };
        subDXFver(dir / "in.dxf", host, test::appIn(dir.path));
        EXPECT_TRUE(readFile(dir / "output.txt") == listingOf(row.listed)) << row.name;
    }
}

// A drawing as group pairs, as text and as its binary twin (two-byte codes; 70 is a 16-bit
// integer, every other code here a string).
using Pairs = std::vector<std::pair<int, std::string>>;

std::string textOf(const Pairs& pairs) {
    std::string dxf;
    for (const auto& [code, value] : pairs) {
        const std::string codeText = std::to_string(code);
        dxf += std::string(3 - std::min<std::size_t>(codeText.size(), 3), ' ') + codeText + "\r\n" +
               value + "\r\n";
    }
    return dxf;
}

std::string binaryOf(const Pairs& pairs) {
    std::string dxf("AutoCAD Binary DXF\r\n\x1a", 22);
    const auto putTwoBytes = [&](int value) {
        dxf += static_cast<char>(value & 255);
        dxf += static_cast<char>((value >> 8) & 255);
    };
    for (const auto& [code, value] : pairs) {
        putTwoBytes(code);
        if (code == 70) {
            putTwoBytes(std::stoi(value));
        } else {
            dxf += value;
            dxf += '\0';
        }
    }
    return dxf;
}

// Lines too long to hold stay in the file until they are written. If the file has been cut
// short by then, the listing ends there as at the end of the file, with whole lines only: a
// header variable's value gone (also when half of it is still there, and half the variable's
// line had been written), a table's name gone when an entry names it. A binary drawing ends as
// its text twin, on every scan path: the pair whose rules find the value gone is counted, also
// when a fast lane took it.
TEST(BadInputTest, LongLineGoneFromAShrunkFileEndsTheListing) {
    const std::string z(3'000'000, 'z'), t(3'000'000, 't');
    const Pairs header = {{0, "SECTION"}, {2, "HEADER"}, {9, "$A"}, {1, z}, {9, "$B"}, {1, "1"}};
    const Pairs tables = {{0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, t},
                          {0, "LAYER"},   {2, "L1"},     {70, "0"}};
    const struct {
        const char* name;
        const Pairs& pairs;
        int pass;              // the pass in which the file is cut
        std::uintmax_t cutTo;  // its size then
        std::vector<std::string> listed;
    } rows[] = {
        {"value gone",
         header,
         5,
         1000,
         {"000001:セクションの始まり", "000003:HEADER セクション",
          "000010:終端検出[EOF] - グループ値読み込み時"}},
        {"half the value gone",
         header,
         5,
         1'500'000,
         {"000001:セクションの始まり", "000003:HEADER セクション",
          "000010:終端検出[EOF] - グループ値読み込み時"}},
        {"table name gone",
         tables,
         6,
         1000,
         {"000001:セクションの始まり", "000003:TABLES セクション", "000005:TABLEの始まり",
          "000007:<" + t + ">TABLEの始まり", "000009:---------------------  LAYER",
          "000012:終端検出[EOF] - グループ値読み込み時"}},
    };
    forEachScanPath([&](ScanPath) {
        for (const auto& row : rows) {
            for (const bool binary : {false, true}) {
                TempDir dir;
                writeFile(dir / "in.dxf", binary ? binaryOf(row.pairs) : textOf(row.pairs));
                FakeHost host;
                host.onEvents = [&, passes = 0]() mutable {
                    if (++passes == row.pass)
                        std::filesystem::resize_file(dir / "in.dxf", row.cutTo);
                };
                subDXFver(dir / "in.dxf", host, appIn(dir.path));
                std::string expected;
                for (const std::string& line : row.listed) expected += listing({line});
                EXPECT_TRUE(readFile(dir / "output.txt") == expected)
                    << row.name << (binary ? ", binary" : ", text");
            }
        }
    });
}

}  // namespace
}  // namespace dxflist::test
