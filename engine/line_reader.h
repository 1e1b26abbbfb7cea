#pragma once
// Reads a byte file line by line. A line ends at CR or at CR LF (one terminator); a lone LF
// belongs to the line; the last line may end at the end of the file.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/byte_scan.h"
#include "engine/numeric.h"
#include "engine/os_file.h"
#include "engine/read_ahead.h"
#include "engine/text.h"

namespace dxflist {

class LineReader {
  public:
    // Lines of up to `chunk` bytes are held in memory; longer ones become file regions. The
    // reader's buffers hold a chunk and a line each, which with the listing's buffers keeps a
    // run under 10 MiB whatever the drawing.
    static constexpr std::size_t kDefaultChunk = std::size_t{512} << 10;
    // The buffer being scanned and those read ahead meanwhile.
    static constexpr std::size_t kBuffers = 4;

    // A chunk for a file of this size: the default, or less for a small file, so that small
    // files do not cost large buffers. Still, no line of the file is longer than its chunk.
    static std::size_t chunkFor(std::uint64_t fileSize) {
        constexpr std::uint64_t kSmallest = 4096;
        return static_cast<std::size_t>(
            std::clamp(std::bit_ceil(fileSize + 1), kSmallest, std::uint64_t{kDefaultChunk}));
    }

    explicit LineReader(InputFile& file, std::size_t chunk = kDefaultChunk);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // True when no unread byte is left.
    bool atEnd() { return begin_ == end_ && !fill(); }
    // Bytes of the file consumed so far.
    std::uint64_t consumed() const { return bufferStart_ + begin_; }
    // The file offset of a byte of the buffer.
    std::uint64_t offsetOf(const char* inBuffer) const {
        return bufferStart_ + static_cast<std::size_t>(inBuffer - buffer_);
    }

    // Reads the next line; reading when no byte is left is a failure.
    void readLine() {
        // The usual case: the line, its CR and the byte after it are all in the buffer.
        const char* from = buffer_ + begin_;
        const char* cr = nextCr();
        if (cr + 1 < buffer_ + end_ && static_cast<std::size_t>(cr - from) <= chunk_) {
            takeLine(from, cr);
            return;
        }
        readLineSlow();
    }

    // The line last read; a view stays valid until the next readLine() or atEnd().
    TextRef line() const {
        if (longLine_) return TextRef::inSource(region_);
        return TextRef::ofPadded({buffer_ + lineStart_, lineSize_});
    }
    // The line last read without its leading and trailing space bytes.
    TextRef trimmedLine() const;
    bool lineIsNumeric() const;
    // Reads the next line as a code line: returns whether it is numeric, and sets `trimmed`
    // to the line without its spaces at both ends.
    bool readCodeLine(TextRef& trimmed) {
        readLine();
        trimmed = trimmedLine();
        return lineIsNumeric();
    }

    // Reads a code line and the value line after it in one go, when the code line is up to
    // eight bytes of spaces then digits and both lines and a byte after them are in the
    // buffer, so that neither line leaves the source at end. Sets `code` to the code without
    // its spaces and `value` to the value line, views into the buffer that stay valid until
    // the next read. Returns false, having read nothing, for any other pair. One check for
    // the end instead of three, and no copy of the code: against reading the pair line by
    // line, 35% fewer instructions (callgrind, the plain reader alone, first 10 MB of the
    // 100 MB CR LF drawing) and 53% less CPU time (the whole drawing).
    bool readUsualPair(TextRef& code, TextRef& value) {
        const char* base = buffer_;
        std::size_t block = blockStart_;
        std::uint64_t bits = crBits_;
        const char* codeCr = nextCrFrom(block, bits);
        const char* codeLine = base + begin_;
        const auto codeSize = static_cast<std::size_t>(codeCr - codeLine);
        if (codeSize > 8 || codeCr + 1 >= base + end_) return false;
        const int lead = leadingSpacesOfCode(codeLine, codeSize);
        const char* valueLine = codeCr + 1 + (codeCr[1] == '\n');
        bits &= bits - 1;
        const char* valueCr = nextCrFrom(block, bits);
        const char* next = valueCr + 1 + (valueCr[1] == '\n');
        const auto valueSize = static_cast<std::size_t>(valueCr - valueLine);
        if (lead < 0 || next >= base + end_ || valueSize > chunk_) return false;
        code = TextRef::ofPadded({codeLine + lead, codeSize - static_cast<std::size_t>(lead)});
        value = TextRef::ofPadded({valueLine, valueSize});
        longLine_ = false;
        lineStart_ = static_cast<std::size_t>(valueLine - base);
        lineSize_ = valueSize;
        begin_ = static_cast<std::size_t>(next - base);
        blockStart_ = block;
        crBits_ = bits & (bits - 1);
        return true;
    }

    // For the fast lane (engine/pair_lane.h), which takes usual lines itself: the unread bytes
    // [unread(), bufferEnd()), behind which lie a CR and a block of zeros; a count of the
    // buffer's loads, which move the bytes; and the end of the lines it took.
    const char* unread() const { return buffer_ + begin_; }
    const char* bufferEnd() const { return buffer_ + end_; }
    std::uint64_t loads() const { return loads_; }
    // The line ends of the chunk read last, as the I/O thread indexed them: offsets from
    // `buffer`, in order, from the chunk's first CR that an LF follows up to the end of the
    // index (see indexChunk). None before the first chunk.
    struct ChunkIndex {
        const char* buffer;
        const std::uint32_t* ends;
        std::size_t count;
    };
    ChunkIndex chunkIndex() const { return {buffer_, chunkEnds_, chunkEndCount_}; }
    // The bytes from which the chunk index begins: line starts at or after this are covered.
    const char* chunkStart() const { return buffer_ + chunkAt_; }
    void skipTo(const char* next) {
        begin_ = lineStart_ = static_cast<std::size_t>(next - buffer_);
        lineSize_ = 0;
        longLine_ = false;
        resyncCrBits();
    }

  private:
    // The first CR at or after the one of bit 0 of `bits`, moving on block by block; there
    // is always one, the one behind the data.
    const char* nextCrFrom(std::size_t& block, std::uint64_t& bits) const {
        while (bits == 0) {
            block += kBlock;
            bits = byteBits(buffer_ + block, '\r');
        }
        return buffer_ + block + std::countr_zero(bits);
    }
    // The next CR at or after begin_; there is always one, the one behind the data. The CRs
    // of a 64-byte block are found at once and kept as bits, so most lines cost a
    // countr_zero instead of a scan with a varying trip count: 12% less CPU time than testing
    // eight bytes at a time per line (100 MB CR LF drawing).
    const char* nextCr() { return nextCrFrom(blockStart_, crBits_); }
    // The CR bits again from begin_ on, after the buffer or begin_ changed in other ways.
    void resyncCrBits() {
        blockStart_ = begin_;
        crBits_ = byteBits(buffer_ + blockStart_, '\r');
    }
    // Takes [from, cr) as the line; cr is the CR nextCr() found, and the byte after it is data.
    void takeLine(const char* from, const char* cr) {
        longLine_ = false;
        lineStart_ = begin_;
        lineSize_ = static_cast<std::size_t>(cr - from);
        begin_ += lineSize_ + (cr[1] == '\n' ? 2 : 1);
        crBits_ &= crBits_ - 1;
    }
    // For a line of `size` bytes that is spaces and then at least one digit, the number of
    // spaces; -1 for any other line.
    static int leadingSpacesOfCode(const char* line, std::size_t size) {
        std::size_t lead = 0;
        while (lead < size && line[lead] == ' ') ++lead;
        if (lead == size) return -1;
        for (std::size_t i = lead; i < size; ++i)
            if (static_cast<unsigned char>(line[i] - '0') >= 10) return -1;
        return static_cast<int>(lead);
    }
    void readLineSlow();
    static ReadAhead::Prepare indexChunk(std::size_t at);
    bool fill();
    void readLongLine();
    void noteLongLinePiece(const char* data, std::size_t size);
    void consumeTerminator(std::size_t crIndex);

    InputFile& file_;
    std::size_t chunk_;
    // The buffer, from its start:
    //   [0, chunkAt_)                 room for the bytes kept from the buffer before, the current
    //                                 line and its terminator, which end at chunkAt_;
    //   [chunkAt_, end_)              the chunk read last, up to chunk_ bytes;
    //   end_                          a CR, at which every scan for a line end stops;
    //   (end_, end_ + kBlock]         zeros, for the reads that go past the data: the block
    //                                 index reads whole blocks, and a view may be read
    //                                 kReadPadding bytes from its start (TextRef::padded).
    static_assert(kBlock >= kReadPadding, "a view's padded read stays within the zeros");
    std::size_t chunkAt_;
    ReadAhead ahead_;  // owns the buffers
    char* buffer_;
    std::size_t begin_ = 0;          // first unread byte
    std::size_t end_ = 0;            // end of the bytes read so far
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    std::size_t blockStart_ = 0;     // the block that nextCr() looks at
    std::uint64_t crBits_ = 0;       // its CRs at or after begin_, bit i for byte blockStart_ + i
    std::uint64_t loads_ = 0;        // fill()s so far
    const std::uint32_t* chunkEnds_ = nullptr;
    std::size_t chunkEndCount_ = 0;

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
