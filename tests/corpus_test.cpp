// Real drawings from CAD and GIS programs: every listing must hold what can be defended
// without knowing the file.

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::FakeHost;
using test::readFile;
using test::TempDir;

std::vector<std::filesystem::path> corpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(test::dataDir() / "corpus/public"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Lines by the reader's rules: they end at CR or CR LF.
std::vector<std::string_view> linesOf(std::string_view bytes, bool splitAtCr = true) {
    std::vector<std::string_view> lines;
    const std::string_view end = splitAtCr ? "\r" : "\r\n";
    while (!bytes.empty()) {
        const std::size_t at = bytes.find(end);
        lines.push_back(bytes.substr(0, at));
        if (at == std::string_view::npos) break;
        bytes.remove_prefix(at + end.size());
        if (splitAtCr && !bytes.empty() && bytes.front() == '\n') bytes.remove_prefix(1);
    }
    return lines;
}

long lineNumberOf(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon < 6) return -1;
    long number = 0;
    for (char c : line.substr(0, colon)) {
        if (c < '0' || c > '9') return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

class CorpusTest : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(CorpusTest, ListingKeepsItsInvariants) {
    TempDir dir;
    FakeHost host;
    subDXFver(GetParam(), host, test::appIn(dir.path()));
    const std::string out = readFile(dir / "output.txt");
    const bool copied = std::filesystem::exists(dir / "unix.dxf");
    const std::string source = readFile(copied ? dir / "unix.dxf" : GetParam());
    EXPECT_EQ(host.boxes.size(), copied ? 1u : 0u);

    std::unordered_set<std::string_view> sourceLines;
    for (std::string_view line : linesOf(source)) sourceLines.insert(line);

    ASSERT_TRUE(out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0);
    const std::vector<std::string_view> lines =
        linesOf(std::string_view(out).substr(0, out.size() - 2), false);
    const ListingTexts& texts = listingTexts();
    const std::string_view last = lines.back().substr(lines.back().find(':') + 1);
    EXPECT_TRUE(last == texts.eofAtValue || last == texts.eofAtCodeChecked) << "last line";

    long previous = 0;
    for (std::string_view line : lines) {
        ASSERT_EQ(line.find('\r'), std::string_view::npos) << "CR inside a listing line";
        const long number = lineNumberOf(line);
        ASSERT_GE(number, 0) << line;
        EXPECT_GE(number, previous) << line;
        previous = number;
        const std::string_view text = line.substr(line.find(':') + 1);
        if (text.substr(0, texts.genericGap.size()) != texts.genericGap) continue;
        const std::string_view group = text.substr(texts.genericGap.size());
        const std::size_t comma = group.find(',');
        ASSERT_NE(comma, std::string_view::npos) << line;
        const std::string_view code = group.substr(0, comma);
        EXPECT_TRUE(code != "5" && code != "100" && code != "102" && code != "330") << line;
        EXPECT_TRUE(sourceLines.count(group.substr(comma + 1)))
            << "value not in the input: " << line;
    }
}

INSTANTIATE_TEST_SUITE_P(PublicFiles, CorpusTest, ::testing::ValuesIn(corpusFiles()),
                         [](const auto& param) {
                             std::string name = param.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
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
    const std::size_t crlfBody = crlf.rfind("\r\n", crlf.size() - 3) + 2;
    std::size_t lfBody = lf.size() - 2;
    for (int i = 0; i < 3; ++i) lfBody = lf.rfind("\r\n", lfBody - 1);
    EXPECT_EQ(lf.substr(0, lfBody + 2), crlf.substr(0, crlfBody));
    EXPECT_NE(lf.find(listingTexts().fileEnd, lfBody), std::string::npos);
}

}  // namespace
}  // namespace dxflist
