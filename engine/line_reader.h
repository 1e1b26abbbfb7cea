#pragma once
// Reads a byte file line by line. A line ends at CR or at CR LF (one terminator); a lone LF
// belongs to the line; the last line may end at the end of the file.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/numeric.h"
#include "engine/os_file.h"
#include "engine/text.h"

namespace dxflist {

class LineReader {
  public:
    // Lines of up to `chunk` bytes are held in memory; longer ones become file regions.
    static constexpr std::size_t kDefaultChunk = std::size_t{1} << 20;

    explicit LineReader(InputFile& file, std::size_t chunk = kDefaultChunk);

    // True when no unread byte is left.
    bool atEnd();
    // Reads the next line; reading when no byte is left is a failure.
    void readLine();

    // The line last read; a view stays valid until the next readLine() or atEnd().
    TextRef line() const;
    // The line last read without its leading and trailing space bytes.
    TextRef trimmedLine() const;
    bool lineIsNumeric() const;

  private:
    bool fill();
    void readLongLine();
    void summarise(const char* data, std::size_t size);
    void consumeTerminator(std::size_t crIndex);

    InputFile& file_;
    std::size_t chunk_;
    std::size_t capacity_;
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
