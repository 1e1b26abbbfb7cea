#pragma once
// One buffered writer for the listing and for the CR LF copy.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "engine/os_file.h"
#include "engine/text.h"

namespace dxflist {

// Appends bytes to a file through one large buffer. When the file cannot be written, or the
// writer is dropped by a failure, the file is cut back to its last whole line, so it never ends
// in half a line.
class TextWriter {
  public:
    static constexpr std::size_t kDefaultBuffer = std::size_t{1} << 20;

    explicit TextWriter(const std::filesystem::path& path, std::size_t bufferSize = kDefaultBuffer);
    ~TextWriter();  // without finish(): keeps whole lines only, closes, reports nothing
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // The file that TextRef and Rope regions are copied from.
    void setRegionSource(InputFile* source) { source_ = source; }

    void put(std::string_view bytes) {
        if (bytes.size() <= capacity_ - used_) {
            copyShort(buffer_.get() + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            putSlow(bytes);
        }
    }
    void put(const TextRef& text) {
        if (text.padded && text.mem.size() <= kReadPadding && capacity_ - used_ >= kReadPadding) {
            std::memcpy(buffer_.get() + used_, text.mem.data(), kReadPadding);
            used_ += text.mem.size();
        } else if (text.inFile) {
            putRegion(text.region);
        } else {
            put(text.mem);
        }
    }
    void put(const Rope& text);
    // The number as a line-number prefix: at least six digits, zero-filled, then ":".
    void putLineNumber(std::int32_t number) {
        const auto value = static_cast<std::uint32_t>(number);
        if (value >= 100000000 || capacity_ - used_ < kReadPadding) {
            putLongLineNumber(value);
            return;
        }
        used_ =
            static_cast<std::size_t>(writeLineNumber(buffer_.get() + used_, value) - buffer_.get());
    }
    // A whole generic line: number, gap, code, ",", value, CR LF. The usual line, short code
    // and value, is copied in fixed-size pieces after one check for room.
    void putGenericLine(std::int32_t number, const TextRef& code, const TextRef& value) {
        const auto n = static_cast<std::uint32_t>(number);
        constexpr std::size_t kMost = 9 + 3 * kReadPadding + 1 + 2;
        if (n < 100000000 && code.padded && code.mem.size() <= kReadPadding && value.padded &&
            value.mem.size() <= kReadPadding && gap_.size() <= kReadPadding &&
            capacity_ - used_ >= kMost + kReadPadding) {
            char* to = writeLineNumber(buffer_.get() + used_, n);
            std::memcpy(to, gapPadded_, kReadPadding);
            to += gap_.size();
            std::memcpy(to, code.mem.data(), kReadPadding);
            to += code.mem.size();
            *to++ = ',';
            std::memcpy(to, value.mem.data(), kReadPadding);
            to += value.mem.size();
            std::memcpy(to, "\r\n", 2);
            used_ = lineEnd_ = static_cast<std::size_t>(to + 2 - buffer_.get());
            return;
        }
        putLineNumber(number);
        put(gap_);
        put(code);
        put(",");
        put(value);
        endLine();
    }
    // The text between a generic line's number and its code.
    void setGenericGap(std::string_view gap) {
        gap_ = gap;
        std::memcpy(gapPadded_, gap.data(), std::min(gap.size(), kReadPadding));
    }
    // Room for writing up to `size` bytes (at most the buffer's size) straight into the
    // buffer; commit() then takes the end of what was written.
    char* reserve(std::size_t size) {
        if (capacity_ - used_ < size) flush();
        return buffer_.get() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    // Ends the line with CR LF.
    void endLine() {
        put("\r\n");
        lineEnd_ = used_;
    }
    // Writes what is buffered and closes the file; throws on failure.
    void finish();
    const std::filesystem::path& path() const { return file_.path(); }

  private:
    // The number (below 100,000,000) as eight digits in one word, then shifted so that six,
    // seven or eight of them are stored, and the colon. Needs 9 bytes of room. The digits
    // are split off in all lanes of the word at once, by multiplications instead of
    // divisions and without a table: N% less time than table lookups into a stack array,
    // whose wider read-back stalled.
    static char* writeLineNumber(char* to, std::uint32_t value) {
        // Lanes of 32 bits: the first four digits and the last four, first in the low lane.
        const std::uint64_t fours = value / 10000 | std::uint64_t{value % 10000} << 32;
        // Lanes of 16 bits: two digits each; x * 10486 >> 20 is x / 100 for x < 10000.
        const std::uint64_t hundreds = (fours * 10486 >> 20) & 0x0000007F0000007Fu;
        const std::uint64_t twos = hundreds | (fours - 100 * hundreds) << 16;
        // Lanes of 8 bits: one digit each; x * 103 >> 10 is x / 10 for x < 100.
        const std::uint64_t tens = (twos * 103 >> 10) & 0x000F000F000F000Fu;
        const std::uint64_t digits = (tens | (twos - 10 * tens) << 8) | 0x3030303030303030u;
        const std::size_t count = value < 1000000 ? 6 : value < 10000000 ? 7 : 8;
        storeLittleEndian(to, digits >> (8 * (8 - count)));
        to[count] = ':';
        return to + count + 1;
    }
    static void storeLittleEndian(char* to, std::uint64_t word) {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(to, &word, sizeof word);
        } else {
            for (int i = 0; i < 8; ++i) to[i] = static_cast<char>(word >> (8 * i));
        }
    }
    void putLongLineNumber(std::uint32_t value);
    void putSlow(std::string_view bytes);
    void putRegion(const FileRegion& region);
    void flush();
    void keepWholeLines(std::size_t reached, std::uint64_t before);

    OutputFile file_;
    InputFile* source_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::size_t lineEnd_ = 0;       // end of the last whole line in the buffer; 0 if none
    std::uint64_t wholeLines_ = 0;  // bytes of whole lines already in the file
    bool finished_ = false;
    std::string_view gap_;
    char gapPadded_[kReadPadding] = {};
};

}  // namespace dxflist
