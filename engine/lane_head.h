#pragma once
// The head of the lines that the run's fast lanes (engine/pair_lane.h, engine/binary_lane.h)
// write themselves: the next pair's number as text, its colon and the generic gap, kept as one
// block that a line copies at once and moved on by two a pair. The digits are line_format's.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/line_format.h"

namespace dxflist {

class LaneHead {
  public:
    // The bytes a line copies from start(): kMostDigits digits zero-filled, the colon and the
    // gap, of which the listed digits begin at start().
    static constexpr std::size_t kCopy = 16;
    // The most bytes the gap may have; the lanes stay off otherwise.
    static constexpr std::size_t kGapMost = kCopy - line_format::kMostDigits - 1;
    static_assert(kGapMost >= 4, "two ideographic spaces in code page 932 fit the head");

    explicit LaneHead(std::string_view gap) : gap_(gap.size()) {
        head_[line_format::kMostDigits] = line_format::kNumberEnd;
        std::memcpy(head_ + line_format::kMostDigits + 1, gap.data(), std::min(gap_, kGapMost));
    }

    // Whether a gap of this size fits the head.
    static bool fits(std::string_view gap) { return gap.size() <= kGapMost; }

    const char* start() const { return start_; }
    // The listed digits and the colon: the head of a line other than the generic one.
    std::size_t numberSize() const { return digits_ + 1; }
    // The listed digits, the colon and the gap.
    std::size_t genericSize() const { return genericSize_; }

    void show(std::int64_t number) {
        auto value = static_cast<std::uint64_t>(number);
        for (std::size_t i = line_format::kMostDigits; i-- > 0; value /= 10)
            head_[i] = static_cast<char>('0' + value % 10);
        setDigits(line_format::listedDigits(static_cast<std::uint32_t>(number)));
    }

    // The number of the next pair's code line: two more. The usual step changes the last digit,
    // nine in ten of the rest the last two. Both are made on the whole block that the next line
    // copies: the next line's 16-byte load of a block whose digit was stored as one byte cannot
    // take it from the store and waits for the store to reach the cache (on an AMD EPYC, a
    // tenth of a binary drawing's run).
    void advance() {
        if (head_[line_format::kMostDigits - 1] < '8')
            step(plusTwo_);
        else if (head_[line_format::kMostDigits - 2] < '9')
            step(carryOne_);
        else
            carry();
    }

  private:
    // The number after a units digit of 8 or 9 goes up by two; a carry into a digit not yet
    // listed lists it from now on.
    void carry() {
        head_[line_format::kMostDigits - 1] =
            static_cast<char>(head_[line_format::kMostDigits - 1] - 8);
        std::size_t i = line_format::kMostDigits - 2;
        while (head_[i] == '9') head_[i--] = '0';
        ++head_[i];
        if (line_format::kMostDigits - i > digits_) setDigits(line_format::kMostDigits - i);
    }

    using Block = char __attribute__((vector_size(kCopy)));

    void setDigits(std::size_t digits) {
        digits_ = digits;
        start_ = head_ + line_format::kMostDigits - digits;
        genericSize_ = digits + 1 + gap_;
        plusTwo_ = Block{};
        plusTwo_[digits - 1] = 2;
        carryOne_ = Block{};
        carryOne_[digits - 1] = -8;
        carryOne_[digits - 2] = 1;
    }

    void step(const Block& by) {
        Block block;
        std::memcpy(&block, start_, kCopy);
        block += by;
        std::memcpy(start_, &block, kCopy);
    }

    char head_[32] = {};
    std::size_t gap_;
    std::size_t digits_ = 0;  // the number's listed digits
    char* start_ = head_;
    std::size_t genericSize_ = 0;
    Block plusTwo_{};   // adds two to the units digit of the block at start_
    Block carryOne_{};  // turns its last two digits from x8 or x9 into (x+1)0 or (x+1)1
};

}  // namespace dxflist
