// Real drawings from CAD and GIS programs, binary ones too: every listing must hold what can
// be defended without knowing the file.

#include <algorithm>

#include "listing_check.h"
#include "scan_paths.h"

namespace dxflist::test {
namespace {

std::vector<std::filesystem::path> corpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const char* folder : {"corpus/public", "corpus/odd"})
        for (const auto& entry : std::filesystem::directory_iterator(test::dataDir() / folder))
            if (entry.file_size() > 0) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusTest : public ::testing::TestWithParam<std::filesystem::path> {};

// Every scan path lists the file as the plain reader does.
TEST_P(CorpusTest, ListingKeepsItsInvariants) {
    std::string plain;
    forEachScanPath([&](ScanPath path) {
        test::TempDir dir;
        test::FakeHost host;
        subDXFver(GetParam(), host, test::appIn(dir.path));
        const bool copied = exists(dir / "unix.dxf");
        EXPECT_EQ(host.boxes.size(), copied ? 1u : 0u);
        const std::string listing = readFile(dir / "output.txt");
        EXPECT_EQ(test::listingFault(listing, readFile(copied ? dir / "unix.dxf" : GetParam())),
                  "");
        if (path == ScanPath::Off) plain = listing;
        EXPECT_TRUE(listing == plain) << "not the plain reader's listing";
    });
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(corpusFiles()),
                         [](const auto& param) {
                             std::string name = param.param.stem().string();
                             std::ranges::replace_if(
                                 name, [](unsigned char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

}  // namespace
}  // namespace dxflist::test
