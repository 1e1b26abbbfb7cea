#pragma once
// The numeric test for code lines: spaces, an optional sign, digits with an optional "." and
// fraction (".5" and "5." count), an optional exponent, spaces. Nothing else is numeric.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dxflist {

// Runs the numeric test over a line given in pieces, so a line too long to hold can be tested.
class NumericScanner {
  public:
    void feed(const char* data, std::size_t size);
    bool numeric() const;

  private:
    std::uint8_t state_ = 0;
};

bool isNumeric(std::string_view line);

}  // namespace dxflist
