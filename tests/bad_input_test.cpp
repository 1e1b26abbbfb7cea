// Files that change while they are read: each ends in the listing of the file as it was then.

#include <fstream>

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

// A header variable's long value stays in the file until the variable is written; if the file
// has shrunk by then, the listing fails saying so rather than writing other bytes.
TEST(BadInputTest, ValueGoneFromAShrunkFileIsAFailure) {
    TempDir dir;
    writeFile(dir / "in.dxf", crlf({"  0", "SECTION", "  2", "HEADER", "  9", "$A", " 10",
                                    std::string(3'000'000, 'z'), "  9", "$B", " 10", "1"}));
    FakeHost host;
    host.onEvents = [&, passes = 0]() mutable {
        if (++passes == 5) std::filesystem::resize_file(dir / "in.dxf", 1000);
    };
    const std::string message =
        failureOf([&] { subDXFver(dir / "in.dxf", host, appIn(dir.path)); });
    EXPECT_NE(message.find("変更されました"), std::string::npos) << message;
}

}  // namespace
}  // namespace dxflist::test
