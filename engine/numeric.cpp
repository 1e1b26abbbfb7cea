#include "engine/numeric.h"

#include <array>

namespace dxflist {
namespace {

enum State : std::uint8_t {
    kLead,       // leading spaces
    kSign,       // after the sign
    kInt,        // integer digits (accepts)
    kDotOnly,    // "." with no digit before it
    kFraction,   // after "5." or ".5" (accepts)
    kExp,        // after "e"
    kExpSign,    // after "e+"
    kExpDigits,  // exponent digits (accepts)
    kTrail,      // trailing spaces after a number (accepts)
    kBad,
    kStateCount
};

enum Class : std::uint8_t { kSpace, kDigit, kSignChar, kDot, kE, kOther, kClassCount };

constexpr std::array<Class, 256> makeClasses() {
    std::array<Class, 256> classes{};
    for (auto& c : classes) c = kOther;
    classes[' '] = kSpace;
    for (int d = '0'; d <= '9'; ++d) classes[d] = kDigit;
    classes['+'] = kSignChar;
    classes['-'] = kSignChar;
    classes['.'] = kDot;
    classes['e'] = kE;
    classes['E'] = kE;
    return classes;
}

constexpr std::array<Class, 256> kClasses = makeClasses();

//                                                 space      digit       sign      dot        e
//                                                 other
constexpr State kNext[kStateCount][kClassCount] = {
    /* kLead      */ {kLead, kInt, kSign, kDotOnly, kBad, kBad},
    /* kSign      */ {kBad, kInt, kBad, kDotOnly, kBad, kBad},
    /* kInt       */ {kTrail, kInt, kBad, kFraction, kExp, kBad},
    /* kDotOnly   */ {kBad, kFraction, kBad, kBad, kBad, kBad},
    /* kFraction  */ {kTrail, kFraction, kBad, kBad, kExp, kBad},
    /* kExp       */ {kBad, kExpDigits, kExpSign, kBad, kBad, kBad},
    /* kExpSign   */ {kBad, kExpDigits, kBad, kBad, kBad, kBad},
    /* kExpDigits */ {kTrail, kExpDigits, kBad, kBad, kBad, kBad},
    /* kTrail     */ {kTrail, kBad, kBad, kBad, kBad, kBad},
    /* kBad       */ {kBad, kBad, kBad, kBad, kBad, kBad},
};

}  // namespace

void NumericScanner::feed(const char* data, std::size_t size) {
    State state = static_cast<State>(state_);
    for (std::size_t i = 0; i < size && state != kBad; ++i)
        state = kNext[state][kClasses[static_cast<unsigned char>(data[i])]];
    state_ = state;
}

bool NumericScanner::numeric() const {
    return state_ == kInt || state_ == kFraction || state_ == kExpDigits || state_ == kTrail;
}

bool isNumeric(std::string_view line) {
    NumericScanner scanner;
    scanner.feed(line.data(), line.size());
    return scanner.numeric();
}

}  // namespace dxflist
