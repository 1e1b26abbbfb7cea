#pragma once
// The run's fast lane: the usual pairs of a drawing read from an index of the buffer's line
// ends (engine/line_index.h), each pass as the run's loop makes it, with the work each pair
// needs in the annotation's current state and nothing more. Everything unusual is left to the
// plain reader, which stays the reference: the lane stops before it. Against the plain reader
// alone: 53% fewer instructions (first 10 MB of the 100 MB CR LF drawing, AVX2), and on the
// whole drawing 35% less CPU time and 31% less wall time (AVX-512; AVX2: 22% and 23%; medians
// of 21).
//
// What a change to the lane must keep (the tests compare it with the plain reader on every
// scan path, so a broken promise shows as a listing or a host call that differs):
// - The same listing bytes and the same host calls, in the same order, as the plain reader.
// - pass() before each pair: the progress check and the host's events, as every pass of the
//   run's loop begins, also before a pair processed once more for the rules (reuseFlag).
// - The number text goes up by two a pair (a code line and a value line), and shows the
//   digits line_format lists (engine/line_format.h).
// - At most kPairMost bytes written past `to` for one pair: room is checked once a pair.
// - commitLines() only at a line end, so that a failure keeps whole lines.
// - The annotator's answer (StructureAnnotator::needs) read again after any call into it that
//   may change its state: the lane keeps no copy of the rules or of their state.
// - leave() on every way out, a throw included: the reader, the line count and the listing
//   then stand where the plain reader goes on.
// - takes() alone says whether the lane takes the pair ahead.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/annotate.h"
#include "engine/host.h"
#include "engine/lane_head.h"
#include "engine/line_format.h"
#include "engine/line_index.h"
#include "engine/listing_texts.h"
#include "engine/listing_writer.h"
#include "engine/pair_reader.h"

namespace dxflist {

class PairLane {
  public:
    PairLane(PairReader& reader, StructureAnnotator& annotator, ListingWriter& listing,
             const ListingTexts& texts);
    PairLane(const PairLane&) = delete;
    PairLane& operator=(const PairLane&) = delete;

    // Makes passes of the run's loop for the pairs ahead, each in the loop's order: the
    // progress check (showProgress(the line count, the bytes read) when the second is not
    // lastSec), the host's events, the pair, its annotation or generic line, and a
    // re-processing pass where the rules ask for one. Returns before the pass of the first pair
    // it does not take (see takes()), with the reader and its line count where that pass goes
    // on. After tries that took no pair it makes no pass for a while (rest_).
    void run(HostServices& host, int& lastSec,
             const std::function<void(std::int32_t, std::uint64_t)>& showProgress) {
        if (rest_ != 0) {
            --rest_;
            return;
        }
        takePairs(host, lastSec, showProgress);
    }

  private:
    using Need = StructureAnnotator::Need;
    // A code line seen before, by its bytes and CR LF: its code trimmed and a comma, the
    // length of these, and the code's class. Text, length and class are copied as one word.
    struct CodeEntry {
        std::uint64_t key = 0;
        char text[6] = {};
        std::uint8_t size = 0;
        std::uint8_t kind = 0;  // StructureAnnotator::Code
    };
    // The longest code line the lane takes: with its CR LF it is one word (codeKeyOf).
    static constexpr std::size_t kCodeLineMost = 6;
    // The bytes of a CodeEntry's text copied per pair (the size and class behind it are
    // overwritten by the value).
    static constexpr std::size_t kCodeCopy = 8;
    static_assert(sizeof CodeEntry::text + 2 == kCodeCopy, "the copy ends within the entry");
    // The longest value and CR LF the lane copies itself; longer ones go through the writer.
    static constexpr std::size_t kValueMost = 64;
    // The bytes copied for a value and CR LF of up to this many: read past the line into the
    // buffer's zeros at worst (LineReader), written past it within kPairMost.
    static constexpr std::size_t kValueCopy = 16;
    static_assert(kValueCopy <= kReadPadding && kValueCopy <= kValueMost);
    // The most a pair writes past the listing's pointer in the lane: the head, the code and
    // comma, the value and its CR LF.
    static constexpr std::size_t kPairMost = LaneHead::kCopy + kCodeCopy + kValueMost;

    void takePairs(HostServices& host, int& lastSec,
                   const std::function<void(std::int32_t, std::uint64_t)>& showProgress);
    void passes();
    const CodeEntry* takes(std::size_t& entry, const char* line);
    void pass(std::size_t entry);
    void showProgress(std::size_t entry);
    char* special(Need need, char* to, const CodeEntry& code, std::size_t entry);
    char* putLongValue(char* to, const char* value, std::size_t size);
    char* reserve();
    void leave(char* to, std::size_t entry, const char* line);
    bool seek(const char* line);
    bool index(const char* line);
    void setStop(std::size_t from);
    const char* lineStartAt(std::size_t entry) const {
        return entry == 0 ? start_ : origin_ + ends_[entry - 1] + 2;
    }
    const CodeEntry* learn(std::uint64_t key, const char* line, std::size_t size);

    PairReader& reader_;
    LineReader& lines_;
    StructureAnnotator& annotator_;
    ListingWriter& listing_;
    ByteWriter& bytes_;  // the listing's bytes, which the lane writes its usual lines into
    // Passes left to the plain reader before the lane tries again: after tries that took no
    // pair, more and more (a file with CR line ends has no pair for the lane).
    std::size_t rest_;
    unsigned misses_ = 0;

    // Set for one call of run().
    HostServices* host_ = nullptr;
    const std::function<void(std::int32_t, std::uint64_t)>* showProgress_ = nullptr;
    int shown_ = 0;
    bool lent_ = false;      // the listing writer is writing, not the lane
    char* limit_ = nullptr;  // the lane writes a pair while its pointer is below this

    // The index of the window from start_, and where the pairs taken from it stop. Entries are
    // offsets from origin_: start_ for a window indexed here, the buffer for the chunk's index.
    const char* start_ = nullptr;
    const char* origin_ = nullptr;
    const std::uint32_t* ends_ = nullptr;
    std::size_t count_ = 0;
    std::size_t cursor_ = 0;                   // the entry of the next pair's code line end
    std::uint64_t loads_ = ~std::uint64_t{0};  // the reader's loads when the index was made
    std::int64_t bias_ = 0;                    // a pair's code line number less its entry
    std::size_t stop_ = 0;                     // pairs are taken from entries below this
    std::size_t last_ = 0;                     // stop_ - 1, or 0

    std::array<CodeEntry, 256> codes_{};
    // The annotator's answer, by code class, as it gave it after the last call into it: a
    // copy at hand is one load a pair less than asking it each time.
    StructureAnnotator::Needs needs_{};

    LaneHead head_;
    std::int64_t headNumber_ = -1;  // the number the head shows

    std::array<std::uint32_t, kIndexEntries> own_;  // a window indexed here
};

}  // namespace dxflist
