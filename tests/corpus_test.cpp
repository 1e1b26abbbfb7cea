// Real drawings from CAD and GIS programs, binary ones too: every listing must hold what can
// be defended without knowing the file.

#include <algorithm>

#include "listing_check.h"
#include "test_support.h"

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

TEST_P(CorpusTest, ListingKeepsItsInvariants) {
    test::TempDir dir;
    test::FakeHost host;
    subDXFver(GetParam(), host, test::appIn(dir.path));
    const bool copied = exists(dir / "unix.dxf");
    EXPECT_EQ(host.boxes.size(), copied ? 1u : 0u);
    EXPECT_EQ(test::listingFault(readFile(dir / "output.txt"),
                                 readFile(copied ? dir / "unix.dxf" : GetParam())),
              "");
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
