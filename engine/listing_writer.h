#pragma once
// One buffered writer for the listing and for the CR LF copy.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "engine/os_file.h"
#include "engine/rope.h"
#include "engine/text.h"
#include "engine/worker.h"

namespace dxflist {

// Appends bytes to a file through one large buffer. When the file cannot be written, or the
// writer is dropped by a failure, the file is cut back to its last whole line, so it never ends
// in half a line.
class TextWriter {
  public:
    static constexpr std::size_t kDefaultBuffer = std::size_t{1} << 20;

    explicit TextWriter(const std::filesystem::path& path, std::size_t bufferSize = kDefaultBuffer);
    explicit TextWriter(OutputFile file, std::size_t bufferSize = kDefaultBuffer);
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
    // The room behind reserve()'s pointer; commit() of whole lines only.
    std::size_t room() const { return capacity_ - used_; }
    void commitLines(const char* end) {
        commit(end);
        lineEnd_ = used_;
    }
    // Ends the line with CR LF.
    void endLine() {
        put("\r\n");
        lineEnd_ = used_;
    }
    // Takes back the line begun since the last endLine(), so that the file ends with whole lines.
    void dropPartialLine();
    // Writes what is buffered and closes the file; throws on failure.
    void finish();
    const std::filesystem::path& path() const { return file_.path(); }

  private:
    static constexpr char kDigitPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // Eight digits from two halves of four, two digits at a time; then a fixed-size copy of
    // the wanted ones (six, seven or eight) and the colon. Needs kReadPadding bytes of room.
    static char* writeLineNumber(char* to, std::uint32_t value) {
        const std::uint32_t high = value / 10000;
        const std::uint32_t low = value % 10000;
        char digits[8 + kReadPadding];
        std::memcpy(digits, kDigitPairs + 2 * (high / 100), 2);
        std::memcpy(digits + 2, kDigitPairs + 2 * (high % 100), 2);
        std::memcpy(digits + 4, kDigitPairs + 2 * (low / 100), 2);
        std::memcpy(digits + 6, kDigitPairs + 2 * (low % 100), 2);
        digits[8] = ':';
        const std::size_t count = value < 1000000 ? 6 : value < 10000000 ? 7 : 8;
        std::memcpy(to, digits + 8 - count, kReadPadding);
        return to + count + 1;
    }
    void putLongLineNumber(std::uint32_t value);
    void putSlow(std::string_view bytes);
    void putRegion(const FileRegion& region);
    template <class File>
    void copyRegion(File& file, const FileRegion& region);
    void flush();
    void writeNow();
    void finishBackgroundWrite();
    void keepWholeLines(const char* written, std::size_t lineEnd, std::size_t reached,
                        std::uint64_t before);

    OutputFile file_;
    InputFile* source_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::unique_ptr<char[]> spare_;  // the buffer being written in the background, if any
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::size_t lineEnd_ = 0;       // end of the last whole line in the buffer; 0 if none
    std::uint64_t wholeLines_ = 0;  // bytes of whole lines already in the file
    bool writing_ = false;          // spare_ is being written, from file offset writingFrom_
    std::uint64_t writingFrom_ = 0;
    std::size_t writingLineEnd_ = 0;  // lineEnd_ of spare_
    bool flushedMidLine_ = false;     // the last buffer written ended inside a line
    bool finished_ = false;
    std::string_view gap_;
    char gapPadded_[kReadPadding] = {};
    Worker background_;  // last, so that its thread ends before all else
};

}  // namespace dxflist
