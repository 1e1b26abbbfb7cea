#pragma once
// A binary drawing's doubles, formatted where each chunk is read (on the I/O thread), so that
// the scanning thread copies their text: formatting them was a quarter of its time.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/binary_values.h"
#include "engine/byte_scan.h"

namespace dxflist {

// Frames the groups of a binary DXF chunk by chunk, carrying a group cut off by a chunk's end
// into the next, and formats each double that lies whole in its chunk (formatDouble) into a
// list of entries: the value's offset in the buffer (4 bytes, native order), the text's length
// (1 byte), the text. A wrong framing costs no listing byte: an entry is used only for the value
// at its offset, and its text is made from the bytes there. Framing stops for good at a code DXF
// does not have.
class DoublesAhead {
  public:
    static constexpr std::size_t kEntryHead = 5;
    // The room an entry needs ahead of it: formatDouble writes up to kDoubleTextMost bytes.
    static constexpr std::size_t kEntryRoom = kEntryHead + kDoubleTextMost;
    // The bytes a buffer needs behind its chunk, which prepare() zeroes.
    static constexpr std::size_t kPastChunk = 16;

    // The chunks are read at byte `at` of their buffers, the file's first one starting with the
    // binary sentinel of `sentinel` bytes; the entries go in the `at` bytes before each chunk.
    // Doubles whose value begins in the first `sixteenths` sixteenths of a chunk are formatted;
    // the others are left to the scanning thread.
    DoublesAhead(std::size_t at, std::size_t sentinel, std::size_t sixteenths = 16)
        : at_(at), sentinel_(sentinel), sixteenths_(sixteenths) {}

    // Frames the next chunk of the file, `got` bytes at `at` in `buffer`, and returns the bytes
    // of entries written at the buffer's start.
    std::size_t prepare(char* buffer, std::size_t got);

  private:
    enum class State : std::uint8_t { Start, Code, Skip, String, ChunkSize, Lost };
    std::size_t finishCarried(const unsigned char* chunk, std::size_t got);
    template <bool kTwoByteCodes>
    char* frame(char* buffer, std::size_t from, std::size_t got);

    std::size_t at_;
    std::size_t sentinel_;
    std::size_t sixteenths_;
    State state_ = State::Start;
    bool twoByteCodes_ = true;
    std::size_t skip_ = 0;             // Skip: bytes of the group in chunks still to come
    unsigned char codeBytes_[3] = {};  // Code: the bytes of a code cut off
    std::size_t codeSize_ = 0;
};

// The entries of the buffer in use, taken in the order of the values: those of values the lane
// did not take are passed over.
class ReadyDoubles {
  public:
    ReadyDoubles() = default;
    // Entries in [from, end): `end` is where the bytes kept from the buffer before begin, if
    // they cut the entries short. The last entries, within kEntryRoom of `end`, are not used:
    // an entry used is read as a block of kEntryRoom bytes.
    ReadyDoubles(const char* from, const char* end)
        : entries_(from),
          last_(end - from >= static_cast<std::ptrdiff_t>(DoublesAhead::kEntryRoom)
                    ? static_cast<std::size_t>(end - from) - DoublesAhead::kEntryRoom
                    : 0),
          next_(end - from >= static_cast<std::ptrdiff_t>(DoublesAhead::kEntryRoom) ? 0 : 1) {}

    // Writes the text of the double at `offset` in the buffer, when an entry has it, and moves
    // `to` behind it (kDoubleTextMost bytes are written).
    DXFLIST_ALWAYS_INLINE bool put(std::uint32_t offset, char*& to) {
        if (next_ > last_ || (offsetAt(next_) != offset && !find(offset))) return false;
        const char* const entry = entries_ + next_;
        const auto size = static_cast<unsigned char>(entry[4]);
        std::memcpy(to, entry + DoublesAhead::kEntryHead, kDoubleTextMost);
        to += size;
        next_ += DoublesAhead::kEntryHead + size;
        return true;
    }

  private:
    std::uint32_t offsetAt(std::size_t entry) const {
        std::uint32_t offset;
        std::memcpy(&offset, entries_ + entry, sizeof offset);
        return offset;
    }
    // Passes over the entries of values before `offset`; true when the next one is its.
    bool find(std::uint32_t offset) {
        while (next_ <= last_ && offsetAt(next_) < offset)
            next_ += DoublesAhead::kEntryHead + static_cast<unsigned char>(entries_[next_ + 4]);
        return next_ <= last_ && offsetAt(next_) == offset;
    }

    const char* entries_ = nullptr;
    std::size_t last_ = 0;  // the last place an entry is used from
    std::size_t next_ = 1;  // past last_: none left
};

}  // namespace dxflist
