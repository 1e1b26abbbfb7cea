#include "engine/numeric.h"

#include <gtest/gtest.h>

#include <string>

namespace dxflist {
namespace {

struct NumericCase {
    const char* text;
    bool numeric;
};

void PrintTo(const NumericCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class NumericTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericTest, MatchesTheDecimalNumberForm) {
    const NumericCase& c = GetParam();
    EXPECT_EQ(isNumeric(c.text), c.numeric) << '"' << c.text << '"';
}

// The same answer when the line arrives in pieces, split at every possible place.
TEST_P(NumericTest, GivesTheSameAnswerInPieces) {
    const std::string text = GetParam().text;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        NumericScanner scanner;
        scanner.feed(text.data(), cut);
        scanner.feed(text.data() + cut, text.size() - cut);
        EXPECT_EQ(scanner.numeric(), GetParam().numeric) << '"' << text << "\" cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NumericTest,
    ::testing::Values(
        NumericCase{"0", true}, NumericCase{"  0", true}, NumericCase{"999", true},
        NumericCase{" 10 ", true}, NumericCase{"+0", true}, NumericCase{"-5", true},
        NumericCase{"00", true}, NumericCase{"1.5", true}, NumericCase{".5", true},
        NumericCase{"5.", true}, NumericCase{"-.5", true}, NumericCase{"1e5", true},
        NumericCase{"1E+05", true}, NumericCase{"2.5e-3  ", true}, NumericCase{".5e1", true},
        NumericCase{"", false}, NumericCase{"   ", false}, NumericCase{"SECTION", false},
        NumericCase{"EOF", false}, NumericCase{".", false}, NumericCase{"+", false},
        NumericCase{"-.", false}, NumericCase{"1e", false}, NumericCase{"1e+", false},
        NumericCase{"e5", false}, NumericCase{"\t0", false}, NumericCase{"0\t", false},
        NumericCase{"0x1A", false}, NumericCase{"&H1A", false}, NumericCase{"1,000", false},
        NumericCase{"$5", false}, NumericCase{"(5)", false}, NumericCase{"5-", false},
        NumericCase{"1 0", false}, NumericCase{"+ 5", false}, NumericCase{"1.2.3", false},
        NumericCase{"1d5", false}, NumericCase{"0\n", false}, NumericCase{"\xef\xbc\x90", false}));

}  // namespace
}  // namespace dxflist
