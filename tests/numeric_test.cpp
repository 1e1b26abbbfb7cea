#include "engine/numeric.h"

#include <gtest/gtest.h>

#include <string>

namespace dxflist {
namespace {

// The decimal number form, whole and when the line arrives in two pieces split anywhere.
TEST(NumericTest, MatchesTheDecimalNumberForm) {
    const struct {
        const char* text;
        bool numeric;
    } rows[] = {
        {"0", true},     {"  0", true},      {"999", true},
        {" 10 ", true},  {"+0", true},       {"-5", true},
        {"00", true},    {"1.5", true},      {".5", true},
        {"5.", true},    {"-.5", true},      {"1e5", true},
        {"1E+05", true}, {"2.5e-3  ", true}, {".5e1", true},
        {"", false},     {"   ", false},     {"SECTION", false},
        {"EOF", false},  {".", false},       {"+", false},
        {"-.", false},   {"1e", false},      {"1e+", false},
        {"e5", false},   {"\t0", false},     {"0\t", false},
        {"0x1A", false}, {"&H1A", false},    {"1,000", false},
        {"$5", false},   {"(5)", false},     {"5-", false},
        {"1 0", false},  {"+ 5", false},     {"1.2.3", false},
        {"1d5", false},  {"0\n", false},     {"\xef\xbc\x90", false},
    };
    for (const auto& row : rows) {
        const std::string text = row.text;
        EXPECT_EQ(isNumeric(text), row.numeric) << '"' << text << '"';
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            NumericScanner scanner;
            scanner.feed(text.data(), cut);
            scanner.feed(text.data() + cut, text.size() - cut);
            EXPECT_EQ(scanner.numeric(), row.numeric) << '"' << text << "\" cut at " << cut;
        }
    }
}

}  // namespace
}  // namespace dxflist
