#pragma once
// Reads a binary DXF as the group pairs its ASCII twin holds: group k (from 0) has its code at
// line 2k + 1 and its value at 2k + 2, each written as the ASCII DXF writes it.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/binary_values.h"
#include "engine/line_reader.h"
#include "engine/os_file.h"
#include "engine/pair_reader.h"
#include "engine/read_ahead.h"
#include "engine/text.h"

namespace dxflist {

// Whether the file starts with the binary DXF sentinel, "AutoCAD Binary DXF" CR LF SUB NUL.
// Reads from the start and leaves the file there.
bool hasBinarySentinel(InputFile& source);

// The binary counterpart of PairReader, with the face the run's loop needs.
class BinaryReader {
  public:
    static constexpr std::size_t kSentinelSize = 22;

    // Reads `source` from its start, past the sentinel; strings of up to `chunk` bytes are held
    // in memory, longer ones become file regions. Fails when the first group fits neither code
    // width.
    explicit BinaryReader(InputFile& source, std::size_t chunk = LineReader::kDefaultChunk);
    BinaryReader(const BinaryReader&) = delete;
    BinaryReader& operator=(const BinaryReader&) = delete;

    // Reads the next group, or as far as the file goes. Only called while !atEnd(), and at the
    // start, where the constructor has seen a whole code.
    PairRead next();
    // The current pair; valid until the next call of next().
    const GroupPair& pair() const { return pair_; }
    // The number of the code line of the last group read.
    std::int32_t codeLine() const { return codeLine_; }
    // True when what is left cannot hold a whole group code: the ASCII twin ends here.
    bool atEnd() {
        const std::size_t need = twoByteCodes_ ? 2 : 1;
        if (!have(need)) return true;
        return !twoByteCodes_ && byteAt(begin_) == kCodeEscape && !have(3);
    }
    std::int32_t lineCnt() const { return lineCnt_.value(); }
    std::uint64_t bytesRead() const { return bufferStart_ + begin_; }
    void setLineCnt(std::int32_t lineCnt) { lineCnt_.set(lineCnt); }

    // For the binary lane (engine/binary_lane.h), which takes usual groups itself: the unread
    // bytes [unread(), bufferEnd()), behind which lie kTail zeros; the codes' width;
    // the file offset of a byte of the buffer; and the end of the groups it took, with the line
    // count there.
    static constexpr std::size_t kTail = 16 + kReadPadding;
    const char* unread() const { return buffer_ + begin_; }
    const char* bufferEnd() const { return buffer_ + end_; }
    bool twoByteCodes() const { return twoByteCodes_; }
    std::uint64_t offsetOf(const char* inBuffer) const {
        return bufferStart_ + static_cast<std::size_t>(inBuffer - buffer_);
    }
    void skipTo(const char* next, std::int32_t lineCnt) {
        begin_ = static_cast<std::size_t>(next - buffer_);
        // The value read last is behind: it need not be kept when the buffer moves.
        valueInBuffer_ = false;
        lineCnt_.set(lineCnt);
    }

  private:
    // Room before a chunk beyond a chunk's bytes, for what is kept from the buffer before: a
    // string value of up to a chunk, its NUL and the next code's bytes; or a binary chunk.
    static constexpr std::size_t kKeptMore = 256 + 16;

    unsigned char byteAt(std::size_t index) const {
        return static_cast<unsigned char>(buffer_[index]);
    }
    // Whether `need` unread bytes are in the buffer, reading more if it can.
    bool have(std::size_t need) { return end_ - begin_ >= need || fill(need); }
    bool fill(std::size_t need);
    void detectCodeWidth();
    unsigned readCode();
    bool readValue(BinaryType type, unsigned code);
    template <std::size_t kSize>
    bool readFixed(std::uint64_t& bits);
    bool readChunk();
    void readString(unsigned code);
    void takeString(std::size_t size);
    void readLongString(unsigned code, std::size_t scanned);
    // The value in memory, padded: only the view changes, but after a value left in the file.
    void setValue(std::string_view value) {
        if (longValue_) {
            longValue_ = false;
            pair_.grpValue = TextRef::ofPadded({});
        }
        pair_.grpValue.mem = value;
    }
    [[noreturn]] void unknownCode(unsigned code, std::uint64_t at) const;
    [[noreturn]] void unendedString(unsigned code, std::uint64_t at) const;

    InputFile& source_;
    std::size_t chunk_;
    // The buffer: [0, chunkAt_) room for the bytes kept from the buffer before; then the chunk
    // read last; then kTail zeros. Chunks are read ahead on the run's I/O thread.
    std::size_t chunkAt_;
    ReadAhead ahead_;  // owns the buffers
    char* buffer_;
    std::size_t begin_ = 0;          // first unread byte
    std::size_t end_ = 0;            // end of the bytes read
    std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    bool twoByteCodes_ = true;       // R13 and later; one byte with an escape before

    // The string value held in the buffer, [valueAt_, valueAt_ + valueSize_), kept there when
    // the buffer moves until the next group is read.
    bool valueInBuffer_ = false;
    std::size_t valueAt_ = 0;
    std::size_t valueSize_ = 0;
    // A value written as text: a number, or a chunk's hex digits.
    char text_[2 * 255 + kReadPadding];

    LineCounter lineCnt_;
    std::int32_t codeLine_ = 0;
    GroupPair pair_{TextRef::ofPadded({}), TextRef::ofPadded({}), 0};
    bool longValue_ = false;  // pair_.grpValue is a region of the file
};

}  // namespace dxflist
