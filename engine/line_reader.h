#pragma once
// Reads a byte file line by line. A line ends at CR or at CR LF (one terminator); a lone LF
// belongs to the line; the last line may end at the end of the file.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/numeric.h"
#include "engine/os_file.h"
#include "engine/text.h"

namespace dxflist {

class LineReader {
  public:
    // Lines of up to `chunk` bytes are held in memory; longer ones become file regions.
    static constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

    // A chunk for a file of this size: the default, or less for a small file, so that small
    // files do not cost large buffers. Still, no line of the file is longer than its chunk.
    static std::size_t chunkFor(std::uint64_t fileSize) {
        constexpr std::uint64_t kSmallest = 4096;
        return static_cast<std::size_t>(
            std::clamp(std::bit_ceil(fileSize + 1), kSmallest, std::uint64_t{kDefaultChunk}));
    }

    explicit LineReader(InputFile& file, std::size_t chunk = kDefaultChunk);

    // True when no unread byte is left.
    bool atEnd() { return begin_ == end_ && !fill(); }

    // Reads the next line; reading when no byte is left is a failure.
    void readLine() {
        // The usual case: the line, its CR and the byte after it are all in the buffer. A CR
        // kept just behind the data ends the scan without a bounds check.
        const char* from = buffer_.get() + begin_;
        const char* cr = findCr(from);
        if (cr + 1 < buffer_.get() + end_ && static_cast<std::size_t>(cr - from) <= chunk_) {
            longLine_ = false;
            lineStart_ = begin_;
            lineSize_ = static_cast<std::size_t>(cr - from);
            begin_ += lineSize_ + (cr[1] == '\n' ? 2 : 1);
            return;
        }
        readLineSlow();
    }

    // The line last read; a view stays valid until the next readLine() or atEnd().
    TextRef line() const {
        if (longLine_) return TextRef{{}, region_, true, false};
        return TextRef{{buffer_.get() + lineStart_, lineSize_}, {}, false, true};
    }
    // The line last read without its leading and trailing space bytes.
    TextRef trimmedLine() const;
    bool lineIsNumeric() const;
    // Reads the next line as a code line: returns whether it is numeric, and sets `trimmed`
    // to the line without its spaces at both ends.
    bool readCodeLine(TextRef& trimmed) {
        // The usual code line, spaces then digits then CR, is read in one pass over it.
        const char* line = buffer_.get() + begin_;
        const char* digits = line;
        while (*digits == ' ') ++digits;
        const char* cr = digits;
        while (static_cast<unsigned char>(*cr - '0') < 10) ++cr;
        if (*cr == '\r' && cr != digits && cr + 1 < buffer_.get() + end_ &&
            static_cast<std::size_t>(cr - line) <= chunk_) {
            longLine_ = false;
            lineStart_ = begin_;
            lineSize_ = static_cast<std::size_t>(cr - line);
            begin_ += lineSize_ + (cr[1] == '\n' ? 2 : 1);
            trimmed = TextRef{{digits, static_cast<std::size_t>(cr - digits)}, {}, false, true};
            return true;
        }
        readLine();
        trimmed = trimmedLine();
        return lineIsNumeric();
    }

  private:
    // The first CR from `from` on; there is always one, the one behind the data. Eight bytes
    // are tested at a time where the byte order allows; the buffer has room for the last word.
    static const char* findCr(const char* from) {
        if constexpr (std::endian::native == std::endian::little) {
            constexpr std::uint64_t kOnes = 0x0101010101010101u;
            for (;; from += 8) {
                std::uint64_t word;
                std::memcpy(&word, from, sizeof word);
                const std::uint64_t x = word ^ (kOnes * '\r');
                // The lowest set high bit marks the first byte that equals CR.
                const std::uint64_t found = (x - kOnes) & ~x & (kOnes * 0x80);
                if (found) return from + std::countr_zero(found) / 8;
            }
        } else {
            while (*from != '\r') ++from;
            return from;
        }
    }
    void readLineSlow();
    bool fill();
    void readLongLine();
    void summarise(const char* data, std::size_t size);
    void consumeTerminator(std::size_t crIndex);

    InputFile& file_;
    std::size_t chunk_;
    std::size_t capacity_;
    // capacity_ bytes, a CR behind the data, then room for padded reads of views and words
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;          // first unread byte
    std::size_t end_ = 0;            // end of the bytes read so far
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]

    // The current line: [lineStart_, lineStart_ + lineSize_) in the buffer, or a file region
    // with its spaces and numeric test worked out while it streamed past.
    std::size_t lineStart_ = 0;
    std::size_t lineSize_ = 0;
    bool longLine_ = false;
    FileRegion region_;
    std::uint64_t leadingSpaces_ = 0;
    std::uint64_t trailingSpaces_ = 0;
    bool onlySpacesSoFar_ = true;
    NumericScanner numeric_;
};

}  // namespace dxflist
