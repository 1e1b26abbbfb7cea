#include "engine/binary_lane.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <string_view>

#include "engine/byte_scan.h"
#include "engine/failure.h"
#include "engine/line_index.h"

namespace dxflist {
namespace {

// The last code line number the lane gives, so that the count after its group stays below the
// limit, which the reader reports.
constexpr std::int32_t kLastLaneCode = 2147483647 - 2;

template <class Integer>
char* putInteger(Integer value, char* to) {
    return std::to_chars(to, to + 24, value).ptr;
}

DoubleTexts& doubleTextsChosen() {
    static DoubleTexts way = DoubleTexts::ByTheLessBusy;
    return way;
}

// Whether a "0" group's value in ENTITIES or BLOCKS is more than an entity line.
bool isEntityRunEnd(std::string_view value) {
    return std::ranges::find(kEntityRunEnds, value) != kEntityRunEnds.end();
}

}  // namespace

void useDoubleTexts(DoubleTexts way) {
    doubleTextsChosen() = way;
}

// The lane stays off where the plain reader alone is asked for, so that the two can be held
// against each other, as the text lane is.
BinaryLane::BinaryLane(BinaryReader& reader, StructureAnnotator& annotator, ListingWriter& listing,
                       const ListingTexts& texts)
    : reader_(reader),
      annotator_(annotator),
      listing_(listing),
      bytes_(listing.bytes()),
      on_(scanPath() != ScanPath::Off && LaneHead::fits(texts.genericGap)),
      doubleTexts_(doubleTextsChosen()),
      head_(texts.genericGap) {
    for (unsigned code = 0; code < kBinaryCodeEnd; ++code) {
        CodeEntry& entry = codes_[code];
        char* end = std::to_chars(entry.text, entry.text + sizeof entry.text, code).ptr;
        *end++ = line_format::kCodeEnd;
        entry.size = static_cast<std::uint8_t>(end - entry.text);
        entry.kind = static_cast<std::uint8_t>(StructureAnnotator::classify(
            TextRef::of({entry.text, static_cast<std::size_t>(entry.size - 1)})));
        entry.type = binaryTypeOf(code);
        entry.fixed = static_cast<std::uint8_t>(fixedSizeOf(entry.type));
    }
}

void BinaryLane::run(HostServices& host, int& lastSec,
                     const std::function<void(std::int32_t, std::uint64_t)>& showProgress) {
    const char* at = reader_.unread();
    Group group;
    const bool twoByteCodes = reader_.twoByteCodes();
    if (!on_ || !(twoByteCodes ? takes<true>(at, reader_.bufferEnd(), group)
                               : takes<false>(at, reader_.bufferEnd(), group)))
        return;
    std::int32_t lineCnt = reader_.lineCnt();
    if (lineCnt >= kLastLaneCode) return;
    host_ = &host;
    showProgress_ = &showProgress;
    shown_ = lastSec;
    if (headNumber_ != lineCnt + 1) {
        headNumber_ = lineCnt + 1;
        head_.show(headNumber_);
    }
    needs_ = annotator_.needs();
    if (twoByteCodes)
        passes<true>(at, lineCnt);
    else
        passes<false>(at, lineCnt);
    lastSec = shown_;
}

// The group at `at`, when the lane takes it: a code DXF has, a value of up to kValueMost
// bytes, and a whole code behind it before `end`, so that the reader is not at its end there.
template <bool kTwoByteCodes>
DXFLIST_ALWAYS_INLINE bool BinaryLane::takes(const char* at, const char* end, Group& group) const {
    const auto left = static_cast<std::size_t>(end - at);
    if (left < kGroupLeast) return false;
    // The bytes read past a short group lie in the buffer's zeros behind the data.
    unsigned code = static_cast<unsigned char>(at[0]);
    const char* value = at + 1;
    if (kTwoByteCodes || code == 255) {
        const char* bytes = kTwoByteCodes ? at : at + 1;
        code = static_cast<unsigned char>(bytes[0]) | unsigned{static_cast<unsigned char>(bytes[1])}
                                                          << 8;
        value = bytes + 2;
    }
    if (code >= kBinaryCodeEnd) return false;
    const CodeEntry& entry = codes_[code];
    group.code = &entry;
    group.value = value;
    const std::size_t room = left - static_cast<std::size_t>(value - at);
    std::size_t bytes = entry.fixed;
    if (bytes != 0) {
    } else if (entry.type == BinaryType::String) {
        // Most strings are short: their NUL is looked for in two words at once, without a
        // branch on which word holds it (a branch there was mispredicted for one string in
        // three), and memchr is asked only for longer ones.
        const std::size_t inFirst = firstZeroByte(littleEndianWord(value));
        const std::size_t inSecond = firstZeroByte(littleEndianWord(value + 8));
        std::size_t size = inFirst + (inFirst == 8 ? inSecond : 0);
        if (size == 16) {
            const std::size_t limit = std::min(room, kValueMost + 1);
            const void* nul = limit > 16 ? std::memchr(value + 16, 0, limit - 16) : nullptr;
            if (!nul) return false;
            size = static_cast<std::size_t>(static_cast<const char*>(nul) - value);
        }
        group.size = size;
        bytes = size + 1;
    } else if (entry.type == BinaryType::Chunk) {
        group.size = static_cast<unsigned char>(value[0]);
        bytes = 1 + group.size;
    } else {
        return false;
    }
    // A whole code of either width behind the group.
    if (bytes + 3 > room) return false;
    group.next = value + bytes;
    return true;
}

// The buffer's end stays in a register: the lane's writes, being bytes, could be taken to change
// any member. One loop for each width of codes.
template <bool kTwoByteCodes>
void BinaryLane::passes(const char* at, std::int32_t lineCnt) {
    const char* end = reader_.bufferEnd();
    Group group;
    char* to = nullptr;
    try {
        to = reserve();
        while (lineCnt < kLastLaneCode && takes<kTwoByteCodes>(at, end, group)) {
            pass(at, lineCnt);
            const Need need = needs_[group.code->kind];
            if (need == Need::Generic) {
                std::memcpy(to, head_.start(), LaneHead::kCopy);
                to += head_.genericSize();
                std::memcpy(to, group.code->text, sizeof CodeEntry::text);
                to += group.code->size;
                // Strings first, then doubles, whose text the writer makes on the I/O thread as
                // it writes the buffer, unless that thread is the busier one (formatHere_).
                const BinaryType type = group.code->type;
                if (type == BinaryType::String) {
                    to = putString(group, to);
                } else if (type == BinaryType::Double) {
                    to = formatHere_ ? formatDouble(
                                           std::bit_cast<double>(littleEndianWord(group.value)), to)
                                     : bytes_.putDeferredDouble(to, group.value);
                } else {
                    to = putNumber(group, to);
                }
                std::memcpy(to, "\r\n", 2);
                to += 2;
            } else if (need != Need::Hidden) {
                to = special(need, to, group, lineCnt);
            }
            head_.advance();
            lineCnt += 2;
            at = group.next;
            if (to > limit_) {
                bytes_.commitLines(to);
                to = reserve();
            }
        }
    } catch (const SourceCut&) {
        // The rules found the file cut short while they wrote this group, which was read: the
        // run ends here, its count including the group.
        leave(to, group.next, lineCnt + 2);
        throw;
    } catch (...) {
        leave(to, at, lineCnt);
        throw;
    }
    leave(to, at, lineCnt);
}

// The progress check and the host's events, as every pass of the run's loop begins.
DXFLIST_ALWAYS_INLINE void BinaryLane::pass(const char* at, std::int32_t lineCnt) {
    if (host_->currentSecond() != shown_) {
        (*showProgress_)(lineCnt, reader_.offsetOf(at));
        shown_ = host_->currentSecond();
    }
    host_->doEvents();
}

// A value other than a string as its ASCII twin has it, as the reader writes it, for the rules
// (they read a string where it lies).
DXFLIST_ALWAYS_INLINE char* BinaryLane::putValue(const Group& group, char* to) {
    if (group.code->type == BinaryType::Double)
        return formatDouble(std::bit_cast<double>(littleEndianWord(group.value)), to);
    return putNumber(group, to);
}

// A string, copied in blocks of 16 bytes, which the buffer's zeros behind the data and the room
// for a group allow.
DXFLIST_ALWAYS_INLINE char* BinaryLane::putString(const Group& group, char* to) {
    std::memcpy(to, group.value, 16);
    if (group.size > 16) std::memcpy(to + 16, group.value + 16, group.size - 16);
    return to + group.size;
}

// The other values: integers, booleans and chunks.
char* BinaryLane::putNumber(const Group& group, char* to) {
    const std::uint64_t bits = littleEndianWord(group.value);
    switch (group.code->type) {
        case BinaryType::Int16:
            return putInteger(static_cast<std::int16_t>(bits), to);
        case BinaryType::Int32:
            return putInteger(static_cast<std::int32_t>(bits), to);
        case BinaryType::Int64:
            return putInteger(static_cast<std::int64_t>(bits), to);
        case BinaryType::Bool:
            return putInteger(static_cast<unsigned>(bits & 255), to);
        case BinaryType::Chunk:
            return formatHex(reinterpret_cast<const unsigned char*>(group.value + 1), group.size,
                             to);
        default:
            return to;
    }
}

// An entity line, or the rules for a group that needs them.
char* BinaryLane::special(Need need, char* to, const Group& group, std::int32_t lineCnt) {
    const std::string_view value(group.value, group.size);
    if (need == Need::Entity && !isEntityRunEnd(value)) {
        std::memcpy(to, head_.start(), LaneHead::kCopy);
        to += head_.numberSize();
        annotator_.enterEntity(TextRef::ofPadded(value));
        copyShort(to, value.data(), value.size());
        to += value.size();
        std::memcpy(to, "\r\n", 2);
        return to + 2;
    }
    bytes_.commitLines(to);
    lent_ = true;
    // Strings are read in the buffer, padded by its zeros; other values as text.
    const TextRef valueText =
        group.code->type == BinaryType::String
            ? TextRef::ofPadded(value)
            : TextRef::ofPadded({text_, static_cast<std::size_t>(putValue(group, text_) - text_)});
    const GroupPair pair{
        TextRef::ofPadded({group.code->text, static_cast<std::size_t>(group.code->size - 1)}),
        valueText, lineCnt + 1};
    for (;;) {
        const StructureAnnotator::Outcome outcome = annotator_.annotate(pair, listing_);
        if (outcome == StructureAnnotator::Outcome::NotTaken)
            listing_.putGenericLine(pair.codeLine, pair.grpCode, pair.grpValue);
        if (outcome != StructureAnnotator::Outcome::TakenAndAgain) break;
        pass(group.next, lineCnt + 2);
    }
    needs_ = annotator_.needs();
    return reserve();
}

// Room for a group or more; the writer's buffer is handed to its background write when full.
// Who makes the doubles' text is settled again for each buffer: which of the two threads has
// more to do changes with the drawing and with the machine. On the binary twin of the
// benchmark's 100 MB drawing (2 cores, 51 interleaved rounds), against one double in four made
// here: 0.957 x the time, and 0.969 x that of leaving them all to the writer; the same as making
// every other double here while the writer is behind.
char* BinaryLane::reserve() {
    lent_ = true;
    char* to = bytes_.reserve(2 * kGroupMost);
    limit_ = to + bytes_.room() - kGroupMost;
    formatHere_ = doubleTexts_ == DoubleTexts::ByTheLane ||
                  (doubleTexts_ == DoubleTexts::ByTheLessBusy && bytes_.ioBehind());
    lent_ = false;
    return to;
}

// Hands over to the reader, also when a hook or the rules throw.
void BinaryLane::leave(char* to, const char* at, std::int32_t lineCnt) {
    if (!lent_ && to) bytes_.commitLines(to);
    lent_ = false;
    reader_.skipTo(at, lineCnt);
    headNumber_ = lineCnt + 1;
}

}  // namespace dxflist
