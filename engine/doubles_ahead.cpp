#include "engine/doubles_ahead.h"

#include <algorithm>
#include <array>
#include <bit>

#include "engine/byte_scan.h"

namespace dxflist {
namespace {

// The code at `bytes`, of which `left` are there: the bytes it takes, 0 when they are not all
// there.
std::size_t decodeCode(const unsigned char* bytes, std::size_t left, bool twoByteCodes,
                       unsigned& code) {
    std::size_t skip = 0;
    if (!twoByteCodes) {
        if (left == 0) return 0;
        if (bytes[0] != kCodeEscape) {
            code = bytes[0];
            return 1;
        }
        skip = 1;
    }
    if (left < skip + 2) return 0;
    code = bytes[skip] | unsigned{bytes[skip + 1]} << 8;
    return skip + 2;
}

// What framing needs of each code's value, in one byte: its size when fixed (1 to 8, in the low
// four bits), or one of these, whose low four bits are clear.
constexpr std::uint8_t kSizeBits = 15;
constexpr std::uint8_t kStringValue = 16;
constexpr std::uint8_t kChunkValue = 32;
constexpr std::uint8_t kNoValue = 0;  // no DXF code
constexpr std::uint8_t kDoubleValue = 64 | 8;

constexpr std::array<std::uint8_t, kBinaryCodeEnd> kFraming = [] {
    std::array<std::uint8_t, kBinaryCodeEnd> framing{};
    for (unsigned code = 0; code < kBinaryCodeEnd; ++code) {
        const BinaryType type = kBinaryTypes[code];
        framing[code] = type == BinaryType::Double   ? kDoubleValue
                        : type == BinaryType::String ? kStringValue
                        : type == BinaryType::Chunk  ? kChunkValue
                                                     : static_cast<std::uint8_t>(fixedSizeOf(type));
    }
    return framing;
}();

std::uint8_t framingOf(unsigned code) {
    return code < kBinaryCodeEnd ? kFraming[code] : kNoValue;
}

// The first NUL in [from, end), or end; bytes up to 8 past `end` are read.
const unsigned char* findNul(const unsigned char* from, const unsigned char* end) {
    // Most strings are short: two words are looked at before memchr is asked.
    for (int i = 0; i < 2; ++i, from += 8) {
        const std::size_t inWord =
            firstZeroByte(littleEndianWord(reinterpret_cast<const char*>(from)));
        if (inWord != 8) return std::min(from + inWord, end);
        if (from + 8 >= end) return end;
    }
    const void* nul = std::memchr(from, 0, static_cast<std::size_t>(end - from));
    return nul ? static_cast<const unsigned char*>(nul) : end;
}

}  // namespace

// The group cut off by the chunk before is passed over first, however many chunks it spans.
// Returns where the first group of this chunk begins, with state_ Code, unless this chunk ends
// within that group too.
std::size_t DoublesAhead::finishCarried(const unsigned char* chunk, std::size_t got) {
    std::size_t p = 0;
    for (;;) {
        switch (state_) {
            case State::Code: {
                if (codeSize_ == 0) return p;
                unsigned char bytes[sizeof codeBytes_ * 2];
                std::copy_n(codeBytes_, codeSize_, bytes);
                const std::size_t more = std::min(got - p, sizeof codeBytes_);
                std::copy_n(chunk + p, more, bytes + codeSize_);
                unsigned code = 0;
                const std::size_t used = decodeCode(bytes, codeSize_ + more, twoByteCodes_, code);
                if (used == 0) {
                    std::copy_n(chunk + p, more, codeBytes_ + codeSize_);
                    codeSize_ += more;
                    return got;
                }
                p += used - codeSize_;
                codeSize_ = 0;
                const std::uint8_t framing = framingOf(code);
                skip_ = framing & kSizeBits;
                state_ = skip_ != 0                ? State::Skip
                         : framing == kStringValue ? State::String
                         : framing == kChunkValue  ? State::ChunkSize
                                                   : State::Lost;
                break;
            }
            case State::Skip: {
                const std::size_t passed = std::min(skip_, got - p);
                p += passed;
                skip_ -= passed;
                if (skip_ != 0) return p;
                state_ = State::Code;
                break;
            }
            case State::String: {
                const void* nul = std::memchr(chunk + p, 0, got - p);
                if (!nul) return got;
                p = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - chunk) + 1;
                state_ = State::Code;
                break;
            }
            case State::ChunkSize:
                if (p == got) return p;
                skip_ = chunk[p++];
                state_ = State::Skip;
                break;
            case State::Start:
            case State::Lost:
                return p;
        }
    }
}

// Frames the chunk from its group at `from` on, formatting the doubles; returns the end of the
// entries. Members are read into locals first and written at the end: the entries' bytes could
// be taken to change them.
template <bool kTwoByteCodes>
char* DoublesAhead::frame(char* buffer, std::size_t from, std::size_t got) {
    const std::size_t at = at_;
    const auto* const chunk = reinterpret_cast<const unsigned char*>(buffer + at);
    const unsigned char* const end = chunk + got;
    const unsigned char* group = chunk + from;
    char* out = buffer;
    // Entries begin up to here: a text may take kDoubleTextMost bytes.
    const std::size_t outLast = at >= kEntryRoom ? at - kEntryRoom : 0;
    // Doubles whose value begins below this are formatted; once the room is full, none.
    const unsigned char* formatBelow = at >= kEntryRoom ? chunk + got * sixteenths_ / 16 : chunk;
    for (;;) {
        unsigned code = 0;
        const std::size_t codeSize =
            decodeCode(group, static_cast<std::size_t>(end - group), kTwoByteCodes, code);
        if (codeSize == 0) {
            codeSize_ = static_cast<std::size_t>(end - group);
            std::copy_n(group, codeSize_, codeBytes_);
            break;
        }
        const unsigned char* const value = group + codeSize;
        const auto left = static_cast<std::size_t>(end - value);
        const std::uint8_t framing = framingOf(code);
        if (framing == kStringValue) {
            const unsigned char* nul = findNul(value, end);
            if (nul == end) {
                state_ = State::String;
                break;
            }
            group = nul + 1;
        } else if (const std::size_t fixed = framing & kSizeBits; fixed != 0) {
            if (left < fixed) {
                skip_ = fixed - left;
                state_ = State::Skip;
                break;
            }
            if (framing == kDoubleValue && value < formatBelow) {
                const auto offset = static_cast<std::uint32_t>(at + (value - chunk));
                std::memcpy(out, &offset, sizeof offset);
                char* const text = out + kEntryHead;
                char* const textEnd = formatDouble(
                    std::bit_cast<double>(littleEndianWord(reinterpret_cast<const char*>(value))),
                    text);
                out[4] = static_cast<char>(textEnd - text);
                out = textEnd;
                if (static_cast<std::size_t>(out - buffer) > outLast) formatBelow = chunk;
            }
            group = value + fixed;
        } else if (framing == kChunkValue) {
            if (left == 0) {
                state_ = State::ChunkSize;
                break;
            }
            const std::size_t size = value[0];
            if (left - 1 < size) {
                skip_ = size - (left - 1);
                state_ = State::Skip;
                break;
            }
            group = value + 1 + size;
        } else {
            state_ = State::Lost;
            break;
        }
    }
    return out;
}

std::size_t DoublesAhead::prepare(char* buffer, std::size_t got) {
    const auto* chunk = reinterpret_cast<const unsigned char*>(buffer + at_);
    std::size_t p = 0;
    if (state_ == State::Start) {
        // A first chunk too short to show the code width is left to the reader.
        const CodeWidth width =
            got >= sentinel_
                ? codeWidthOf(chunk + sentinel_, std::min<std::size_t>(got - sentinel_, 3))
                : CodeWidth::Unknown;
        if (width == CodeWidth::Unknown) {
            state_ = State::Lost;
            return 0;
        }
        twoByteCodes_ = width == CodeWidth::Two;
        p = sentinel_;
        state_ = State::Code;
    } else {
        p = finishCarried(chunk, got);
        if (state_ != State::Code || codeSize_ != 0) return 0;
    }
    // Defined bytes for findNul's reads past the chunk (the reader zeroes them again).
    std::memset(buffer + at_ + got, 0, kPastChunk);
    char* const out = twoByteCodes_ ? frame<true>(buffer, p, got) : frame<false>(buffer, p, got);
    return static_cast<std::size_t>(out - buffer);
}

}  // namespace dxflist
