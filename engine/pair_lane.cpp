#include "engine/pair_lane.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/byte_scan.h"
#include "engine/failure.h"
#include "engine/line_index.h"

namespace dxflist {
namespace {

// The last code line number the lane gives, so that the count after its pair stays below
// the limit, which the plain reader reports.
constexpr std::int32_t kLastLaneCode = 2147483647 - 2;

// The first bytes of a word, by their number.
constexpr std::uint64_t kFirstBytes[] = {0,
                                         0xFF,
                                         0xFFFF,
                                         0xFFFFFF,
                                         0xFFFFFFFF,
                                         0xFFFFFFFFFF,
                                         0xFFFFFFFFFFFF,
                                         0xFFFFFFFFFFFFFF,
                                         ~std::uint64_t{0}};

// A code line of 1 to 6 bytes and its CR LF as one word. Lines of other lengths have other
// words: a line holds no CR.
std::uint64_t codeKeyOf(const char* line, std::size_t size) {
    return littleEndianWord(line) & kFirstBytes[size + 2];
}

// A value of 1 to 7 bytes as one word: its bytes, zeros, and its length in the top byte.
std::uint64_t valueKeyOf(const char* value, std::size_t size) {
    return (littleEndianWord(value) & kFirstBytes[size]) | std::uint64_t{size} << 56;
}

constexpr std::uint64_t valueKeyOf(std::string_view text) {
    std::uint64_t key = std::uint64_t{text.size()} << 56;
    for (std::size_t i = 0; i < text.size(); ++i)
        key |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
    return key;
}

// The keys of kEntityRunEnds (engine/annotate.h), each of which fits one.
constexpr std::array<std::uint64_t, kEntityRunEnds.size()> kEntityRunEndKeys = [] {
    std::array<std::uint64_t, kEntityRunEnds.size()> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = valueKeyOf(kEntityRunEnds[i]);
    return keys;
}();
static_assert(std::ranges::all_of(kEntityRunEnds,
                                  [](std::string_view end) { return end.size() - 1 < 7; }),
              "every entity-run end is 1 to 7 bytes");

// Whether a "0" pair's value in ENTITIES or BLOCKS is more than an entity line.
bool isEntityRunEnd(const char* value, std::size_t size) {
    if (size - 1 >= 7) return false;
    const std::uint64_t key = valueKeyOf(value, size);
    return std::ranges::any_of(kEntityRunEndKeys, [key](std::uint64_t end) { return key == end; });
}

// Two places for each code line, from one multiply: the top byte and the one below it.
constexpr std::uint64_t kSpread = 0x9E3779B97F4A7C15ull;
std::size_t slotOf(std::uint64_t key) {
    return static_cast<std::size_t>((key * kSpread) >> 56);
}
std::size_t otherSlotOf(std::uint64_t key) {
    return static_cast<std::size_t>((key * kSpread) >> 48) & 255;
}

}  // namespace

PairLane::PairLane(PairReader& reader, StructureAnnotator& annotator, ListingWriter& listing,
                   const ListingTexts& texts)
    : reader_(reader),
      lines_(reader.lines()),
      annotator_(annotator),
      listing_(listing),
      bytes_(listing.bytes()),
      rest_(scanPath() != ScanPath::Off && LaneHead::fits(texts.genericGap) ? 0 : SIZE_MAX),
      head_(texts.genericGap) {}

// A try that takes no pair costs more than a plain pass: without the rests, a file with CR
// line ends took 61% more instructions than with the plain reader alone; with them, 1%.
void PairLane::takePairs(HostServices& host, int& lastSec,
                         const std::function<void(std::int32_t, std::uint64_t)>& showProgress) {
    const std::int32_t before = reader_.lineCnt();
    if (before >= kLastLaneCode || !seek(lines_.unread())) {
        rest_ = (std::size_t{1} << std::min(misses_++, 6u)) - 1;
        return;
    }
    host_ = &host;
    showProgress_ = &showProgress;
    shown_ = lastSec;
    bias_ = reader_.lineCnt() + 1 - static_cast<std::int64_t>(cursor_);
    if (headNumber_ != reader_.lineCnt() + 1) {
        headNumber_ = reader_.lineCnt() + 1;
        head_.show(headNumber_);
    }
    needs_ = annotator_.needs();
    setStop(cursor_);
    passes();
    lastSec = shown_;
    if (reader_.lineCnt() != before)
        misses_ = 0;
    else
        rest_ = (std::size_t{1} << std::min(misses_++, 6u)) - 1;
}

void PairLane::passes() {
    std::size_t entry = cursor_;
    const char* line = lineStartAt(entry);
    char* to = nullptr;
    try {
        to = reserve();
        for (;;) {
            const CodeEntry* code = takes(entry, line);
            if (!code) break;
            pass(entry);
            const Need need = needs_[code->kind];
            if (need == Need::Generic) {
                std::memcpy(to, head_.start(), LaneHead::kCopy);
                to += head_.genericSize();
                std::memcpy(to, code->text, kCodeCopy);
                to += code->size;
                // The value and its CR LF straight from the input. The usual value is copied as
                // 16 bytes whatever its size: the buffer has zeros behind its data, and the
                // listing's room behind the pair (kPairMost).
                const char* value = origin_ + ends_[entry] + 2;
                const std::size_t size = ends_[entry + 1] - ends_[entry];
                if (size <= kValueCopy) {
                    std::memcpy(to, value, kValueCopy);
                    to += size;
                } else if (size <= kValueMost) {
                    std::memcpy(to, value, size);
                    to += size;
                } else {
                    to = putLongValue(to, value, size - 2);
                }
            } else if (need != Need::Hidden) {
                to = special(need, to, *code, entry);
            }
            head_.advance();
            entry += 2;
            line = origin_ + ends_[entry - 1] + 2;
            if (to > limit_) {
                bytes_.commitLines(to);
                to = reserve();
            }
        }
    } catch (const SourceCut&) {
        // The rules found the file cut short while they wrote this pair, which was read: the
        // run ends here, its count including the pair.
        leave(to, entry + 2, line);
        throw;
    } catch (...) {
        leave(to, entry, line);
        throw;
    }
    leave(to, entry, line);
}

// The code of the pair whose code line begins at `line` and ends at entry `entry`, when the
// lane takes that pair; null when the plain reader must. The lane takes a pair whose two lines
// end in CR LF within an indexed window of the buffer, with a byte of the buffer behind them
// (so that the source is not at end), below the stop (the line count stays far from its
// limit), and whose code line is 1 to kCodeLineMost bytes of spaces, one to five digits and
// spaces. A pair beyond the window indexes the next one from `line` first, which moves `entry`.
DXFLIST_ALWAYS_INLINE const PairLane::CodeEntry* PairLane::takes(std::size_t& entry,
                                                                 const char* line) {
    if (entry >= last_) {
        bias_ += static_cast<std::int64_t>(entry);
        entry = 0;
        if (!index(line)) return nullptr;
        setStop(0);
        if (entry >= last_) return nullptr;
    }
    const auto codeSize = static_cast<std::size_t>(origin_ + ends_[entry] - line);
    if (codeSize - 1 >= kCodeLineMost) return nullptr;
    const std::uint64_t key = codeKeyOf(line, codeSize);
    const CodeEntry* code = &codes_[slotOf(key)];
    if (code->key != key) {
        code = &codes_[otherSlotOf(key)];
        if (code->key != key) code = learn(key, line, codeSize);
    }
    return code;
}

// The progress check and the host's events, as every pass of the run's loop begins.
DXFLIST_ALWAYS_INLINE void PairLane::pass(std::size_t entry) {
    if (host_->currentSecond() != shown_) showProgress(entry);
    host_->doEvents();
}

void PairLane::showProgress(std::size_t entry) {
    (*showProgress_)(static_cast<std::int32_t>(bias_ + static_cast<std::int64_t>(entry) - 1),
                     lines_.offsetOf(lineStartAt(entry)));
    shown_ = host_->currentSecond();
}

// An entity line, or the rules for a pair that needs them.
char* PairLane::special(Need need, char* to, const CodeEntry& code, std::size_t entry) {
    const char* line = lineStartAt(entry);
    const char* value = origin_ + ends_[entry] + 2;
    const auto valueSize = static_cast<std::size_t>(ends_[entry + 1] - ends_[entry] - 2);
    if (need == Need::Entity && !isEntityRunEnd(value, valueSize)) {
        std::memcpy(to, head_.start(), LaneHead::kCopy);
        to += head_.numberSize();
        annotator_.enterEntity(TextRef::ofPadded({value, valueSize}));
        if (valueSize + 2 > kValueMost) return putLongValue(to, value, valueSize);
        copyShort(to, value, valueSize + 2);
        return to + valueSize + 2;
    }
    bytes_.commitLines(to);
    lent_ = true;
    const char* trimmed = line;
    while (*trimmed == ' ') ++trimmed;
    const GroupPair pair{TextRef::ofPadded({trimmed, code.size - 1u}),
                         TextRef::ofPadded({value, valueSize}),
                         static_cast<std::int32_t>(bias_ + static_cast<std::int64_t>(entry))};
    for (;;) {
        const StructureAnnotator::Outcome outcome = annotator_.annotate(pair, listing_);
        if (outcome == StructureAnnotator::Outcome::NotTaken)
            listing_.putGenericLine(pair.codeLine, pair.grpCode, pair.grpValue);
        if (outcome != StructureAnnotator::Outcome::TakenAndAgain) break;
        pass(entry + 2);
    }
    needs_ = annotator_.needs();
    return reserve();
}

// A long value goes through the writer, which has room for any.
char* PairLane::putLongValue(char* to, const char* value, std::size_t size) {
    bytes_.commit(to);
    lent_ = true;
    bytes_.put(std::string_view(value, size));
    bytes_.endLine();
    return reserve();
}

// Room for a pair or more; the writer's buffer is handed to its background write when full.
char* PairLane::reserve() {
    lent_ = true;
    char* to = bytes_.reserve(2 * kPairMost);
    limit_ = to + bytes_.room() - kPairMost;
    lent_ = false;
    return to;
}

// Hands over to the plain reader, also when a hook or the rules throw.
void PairLane::leave(char* to, std::size_t entry, const char* line) {
    if (!lent_) bytes_.commitLines(to);
    lent_ = false;
    reader_.setLineCnt(static_cast<std::int32_t>(bias_ + static_cast<std::int64_t>(entry) - 1));
    lines_.skipTo(line);
    cursor_ = entry;
    headNumber_ = bias_ + static_cast<std::int64_t>(entry);
}

// Finds the pair that begins at `line` in the index made before, or indexes a new window.
bool PairLane::seek(const char* line) {
    if (lines_.loads() == loads_ && line >= start_) {
        while (cursor_ < count_ && lineStartAt(cursor_) < line) ++cursor_;
        if (cursor_ + 1 < count_ && lineStartAt(cursor_) == line) return true;
    }
    return index(line);
}

// Indexes the window from `line`: from the chunk's index, made where the chunk was read, when
// it covers the line, or else here. Only CRs two bytes or more before the end of the buffer
// count: a pair must leave a byte behind it, so that the source is not at end.
bool PairLane::index(const char* line) {
    start_ = line;
    cursor_ = 0;
    loads_ = lines_.loads();
    if (line >= lines_.chunkStart()) {
        // The line ends from `line` on are the entries from the first past it: the chunk's
        // index ends at the first CR that no LF follows, as a window's does.
        const LineReader::ChunkIndex chunk = lines_.chunkIndex();
        const auto from = static_cast<std::uint32_t>(line - chunk.buffer);
        const std::uint32_t* first = std::lower_bound(chunk.ends, chunk.ends + chunk.count, from);
        const auto count = static_cast<std::size_t>(chunk.ends + chunk.count - first);
        if (count >= 2) {
            origin_ = chunk.buffer;
            ends_ = first;
            count_ = count;
            return true;
        }
    }
    origin_ = line;
    ends_ = own_.data();
    const auto left = static_cast<std::size_t>(lines_.bufferEnd() - line);
    count_ =
        left > 2 ? indexLineEnds(line, line + std::min(left - 2, kIndexWindow), own_.data()) : 0;
    return count_ >= 2;
}

// Pairs are taken from the entries below stop_, where the line count nears its limit.
void PairLane::setStop(std::size_t from) {
    const std::int64_t next = bias_ + static_cast<std::int64_t>(from);
    const std::uint64_t pairs =
        next <= kLastLaneCode ? static_cast<std::uint64_t>(kLastLaneCode - next) / 2 + 1 : 0;
    stop_ = static_cast<std::size_t>(std::min<std::uint64_t>(count_, from + 2 * pairs));
    last_ = stop_ > 0 ? stop_ - 1 : 0;
}

// The entry of a code line in neither of its places, learnt into one of them. Null for a
// code line other than spaces, one to five digits and spaces, which the plain reader takes.
const PairLane::CodeEntry* PairLane::learn(std::uint64_t key, const char* line, std::size_t size) {
    std::size_t lead = 0;
    while (lead < size && line[lead] == ' ') ++lead;
    std::size_t end = lead;
    while (end < size && line[end] >= '0' && line[end] <= '9') ++end;
    if (end == lead || end - lead >= sizeof CodeEntry::text) return nullptr;
    for (std::size_t i = end; i < size; ++i)
        if (line[i] != ' ') return nullptr;
    const std::string_view code(line + lead, end - lead);
    CodeEntry& first = codes_[slotOf(key)];
    CodeEntry& entry = first.key == 0 ? first : codes_[otherSlotOf(key)];
    entry.key = key;
    std::memset(entry.text, 0, sizeof entry.text);
    std::memcpy(entry.text, code.data(), code.size());
    entry.text[code.size()] = line_format::kCodeEnd;
    const auto kind = static_cast<unsigned>(StructureAnnotator::classify(TextRef::of(code)));
    entry.size = static_cast<std::uint8_t>(code.size() + 1);
    entry.kind = static_cast<std::uint8_t>(kind);
    return &entry;
}

}  // namespace dxflist
