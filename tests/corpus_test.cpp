// Real drawings from CAD and GIS programs, binary ones too: every listing must hold what can
// be defended without knowing the file.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "listing_check.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::readFile;

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

INSTANTIATE_TEST_SUITE_P(
    Files, CorpusTest, ::testing::ValuesIn(corpusFiles()), [](const auto& param) {
        std::string name = param.param.stem().string();
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

// The same drawing with other line ends lists the same: CR only exactly, LF through the copy
// with its extra empty line (the EOF pair is then annotated and two reports follow).
TEST(CorpusVariantsTest, LineEndVariantsListTheSame) {
    const std::filesystem::path dir = test::dataDir() / "corpus/public";
    const std::string crlf = test::listingOf(readFile(dir / "librecad_alg1.dxf"));
    EXPECT_EQ(test::listingOf(readFile(dir / "derived_cr_only__librecad_alg1.dxf")), crlf);
    const std::string lf =
        test::listingOf(readFile(dir / "derived_lf_final_nl__librecad_alg1.dxf"));
    std::size_t lfBody = lf.size() - 2;
    for (int i = 0; i < 3; ++i) lfBody = lf.rfind("\r\n", lfBody - 1);
    EXPECT_EQ(lf.substr(0, lfBody + 2), crlf.substr(0, crlf.rfind("\r\n", crlf.size() - 3) + 2));
    EXPECT_NE(lf.find(listingTexts().fileEnd, lfBody), std::string::npos);
}

}  // namespace
}  // namespace dxflist
