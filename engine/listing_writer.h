#pragma once
// The listing's lines: each a line number and a colon (engine/line_format.h), then a text, then
// CR LF; the generic line's text is the gap, the code, a comma and the value.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/byte_writer.h"
#include "engine/line_format.h"
#include "engine/os_file.h"
#include "engine/rope.h"
#include "engine/text.h"

namespace dxflist {

class ListingWriter {
  public:
    // Writes the listing into `file`; lines of the source kept as regions are copied from
    // `source`; `gap` stands between a generic line's number and its code.
    ListingWriter(OutputFile file, std::size_t bufferSize, InputFile& source, std::string_view gap);

    // A line: the number, then the parts (literals, texts, lines as read, ropes) one after
    // another, then CR LF. A line held in memory, as most are, is written after one check for
    // room.
    template <class... Parts>
    void putLine(std::int32_t number, const Parts&... parts) {
        const std::size_t most = (boundOf(parts) + ... + 0);
        const auto value = static_cast<std::uint32_t>(number);
        if (value < kFastNumbers && most < kInFile &&
            bytes_.room() >= kNumberMost + most + kReadPadding + 2) {
            char* to = writeLineNumber(bytes_.cursor(), value);
            ((to = copyPart(to, parts)), ...);
            std::memcpy(to, "\r\n", 2);
            bytes_.commitLines(to + 2);
            return;
        }
        putLineNumber(value);
        (putPart(parts), ...);
        bytes_.endLine();
    }
    // A generic line: number, gap, code, ",", value, CR LF. The usual one, short code and value
    // with read padding behind them, goes in fixed-size copies.
    void putGenericLine(std::int32_t number, const TextRef& code, const TextRef& value) {
        const auto n = static_cast<std::uint32_t>(number);
        if (n < kFastNumbers && gapFits_ && code.padded && code.mem.size() <= kReadPadding &&
            value.padded && value.mem.size() <= kReadPadding &&
            bytes_.room() >= kLongestUsualGenericLine + kReadPadding) {
            char* to = writeLineNumber(bytes_.cursor(), n);
            std::memcpy(to, gapPadded_, kReadPadding);
            to += gap_.size();
            std::memcpy(to, code.mem.data(), kReadPadding);
            to += code.mem.size();
            *to++ = line_format::kCodeEnd;
            std::memcpy(to, value.mem.data(), kReadPadding);
            to += value.mem.size();
            std::memcpy(to, "\r\n", 2);
            bytes_.commitLines(to + 2);
            return;
        }
        putLine(number, gap_, code, std::string_view(&line_format::kCodeEnd, 1), value);
    }

    void dropPartialLine() { bytes_.dropPartialLine(); }
    void finish() { bytes_.finish(); }
    // The bytes under the lines, for the fast lane, which writes its usual lines itself.
    ByteWriter& bytes() { return bytes_; }

  private:
    // Line numbers below this are written eight digits at once; the rest digit by digit.
    static constexpr std::uint32_t kFastNumbers = 100000000;
    // The most the number and colon take in the fast way.
    static constexpr std::size_t kNumberMost = 9;
    // The bound of a part that is not in memory: no line takes the fast way with one.
    static constexpr std::size_t kInFile = std::size_t{1} << 40;
    // The usual generic line at its longest: number and colon, the gap, code, ",", value, CR LF.
    static constexpr std::size_t kLongestUsualGenericLine = kNumberMost + 3 * kReadPadding + 1 + 2;

    static std::size_t boundOf(std::string_view text) { return text.size(); }
    static std::size_t boundOf(const TextRef& text) {
        return text.inFile ? kInFile : text.mem.size();
    }
    static std::size_t boundOf(const Rope& text) {
        return text.splices().empty() ? text.mem().size() : kInFile;
    }
    static char* copyPart(char* to, std::string_view text) {
        copyShort(to, text.data(), text.size());
        return to + text.size();
    }
    // A text with read padding behind it goes as one fixed-size copy when it is short.
    static char* copyPart(char* to, const TextRef& text) {
        if (text.padded && text.mem.size() <= kReadPadding) {
            std::memcpy(to, text.mem.data(), kReadPadding);
            return to + text.mem.size();
        }
        return copyPart(to, text.mem);
    }
    static char* copyPart(char* to, const Rope& text) { return copyPart(to, text.mem()); }

    void putPart(std::string_view text) { bytes_.put(text); }
    void putPart(const TextRef& text);
    void putPart(const Rope& text);
    void putLineNumber(std::uint32_t value);

    static constexpr char kDigitPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // Eight digits from two halves of four, two digits at a time; then a fixed-size copy of
    // the listed ones (six, seven or eight) and the colon. Needs kReadPadding bytes of room.
    // The same digits as line_format::putDigits, for numbers below kFastNumbers.
    static char* writeLineNumber(char* to, std::uint32_t value) {
        static_assert(line_format::kLeastDigits == 6, "the count below starts at six digits");
        const std::uint32_t high = value / 10000;
        const std::uint32_t low = value % 10000;
        char digits[8 + kReadPadding];
        std::memcpy(digits, kDigitPairs + 2 * (high / 100), 2);
        std::memcpy(digits + 2, kDigitPairs + 2 * (high % 100), 2);
        std::memcpy(digits + 4, kDigitPairs + 2 * (low / 100), 2);
        std::memcpy(digits + 6, kDigitPairs + 2 * (low % 100), 2);
        digits[8] = line_format::kNumberEnd;
        const std::size_t count = value < 1000000 ? 6 : value < 10000000 ? 7 : 8;
        std::memcpy(to, digits + 8 - count, kReadPadding);
        return to + count + 1;
    }

    ByteWriter bytes_;
    InputFile& source_;
    std::string gap_;
    bool gapFits_;  // the gap is copied as one block: gapPadded_
    char gapPadded_[kReadPadding] = {};
};

}  // namespace dxflist
