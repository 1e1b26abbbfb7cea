#pragma once
// The fast lane of a binary drawing: the usual groups taken straight from the reader's buffer,
// each pass as the run's loop makes it, with the work each group needs in the annotation's
// current state and nothing more. Everything else is left to the reader (BinaryReader), which
// stays the reference: the lane stops before it. Against the reader alone (dxflist-run-path
// off): 52% fewer instructions, 309 to 148 a group (callgrind, the binary twin of the first
// 10 MB of the 100 MB CR LF drawing). With the doubles' faster digits, the whole binary twin
// went from 2.82 to 2.32 times its I/O floor (medians of 11 interleaved runs, quiet machine).
//
// It keeps the promises of the text lane (engine/pair_lane.h): the same listing bytes and host
// calls, in the same order, as the reader alone; pass() before each group, also before a group
// processed once more; the number up by two a group, in line_format's digits (LaneHead); room
// checked once a group (kGroupMost); commitLines() only at a line end; the annotator's answer
// read again after any call into it; leave() on every way out, a throw included; takes() alone
// says whether the lane takes the group ahead.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/annotate.h"
#include "engine/binary_reader.h"
#include "engine/binary_values.h"
#include "engine/host.h"
#include "engine/lane_head.h"
#include "engine/listing_texts.h"
#include "engine/listing_writer.h"

namespace dxflist {

// Who makes the text of a binary drawing's doubles: the lane while the listing's writer, on the
// I/O thread, is behind, and the writer otherwise (the run's way); or always one of them.
enum class DoubleTexts { ByTheLessBusy, ByTheLane, ByTheWriter };
// Makes later runs use `way`; for tests, which must see both threads make them.
void useDoubleTexts(DoubleTexts way);

class BinaryLane {
  public:
    BinaryLane(BinaryReader& reader, StructureAnnotator& annotator, ListingWriter& listing,
               const ListingTexts& texts);
    BinaryLane(const BinaryLane&) = delete;
    BinaryLane& operator=(const BinaryLane&) = delete;

    // Makes passes of the run's loop for the groups ahead, each in the loop's order: the
    // progress check (showProgress(the line count, the bytes read) when the second is not
    // lastSec), the host's events, the group, its annotation or generic line, and a
    // re-processing pass where the rules ask for one. Returns before the pass of the first
    // group it does not take (see takes()), with the reader and its line count there.
    void run(HostServices& host, int& lastSec,
             const std::function<void(std::int32_t, std::uint64_t)>& showProgress);

  private:
    using Need = StructureAnnotator::Need;
    // A code's text and comma, their length, the code's class, its value's type and the size
    // of a value of fixed size (0 for strings and chunks): 16 bytes, so that an entry is found
    // with a shift, and its text may be read as a padded view.
    struct CodeEntry {
        char text[8] = {};
        std::uint8_t size = 0;
        std::uint8_t kind = 0;  // StructureAnnotator::Code
        BinaryType type = BinaryType::Unknown;
        std::uint8_t fixed = 0;
        char padding[4] = {};
    };
    static_assert(sizeof(CodeEntry) == 16 && sizeof CodeEntry::text + 8 >= kReadPadding);
    // A group in the buffer: its code, and its value's bytes (a string without its NUL).
    struct Group {
        const CodeEntry* code = nullptr;
        const char* value = nullptr;
        std::size_t size = 0;
        const char* next = nullptr;
    };
    // The longest string the lane takes, as long as a chunk's hex digits.
    static constexpr std::size_t kValueMost = 2 * 255;
    // The most a group writes past the listing's pointer: the head, the code and comma as one
    // block, the value (a double writes at most kDoubleTextMost) and CR LF.
    static constexpr std::size_t kGroupMost =
        LaneHead::kCopy + sizeof CodeEntry::text + kValueMost + 2;
    // The least a group and the code after it take (a one-byte code, an empty string, an
    // escaped code): the lane takes no group with fewer bytes behind it.
    static constexpr std::size_t kGroupLeast = 1 + 1 + 3;

    template <bool kTwoByteCodes>
    bool takes(const char* at, const char* end, Group& group) const;
    template <bool kTwoByteCodes>
    void passes(const char* at, std::int32_t lineCnt);
    void pass(const char* at, std::int32_t lineCnt);
    static char* putValue(const Group& group, char* to);
    static char* putString(const Group& group, char* to);
    // These two take the group where the loop keeps it: a copy made for each call was written in
    // 8-byte pieces and read back in 16-byte ones, and cost 5 instructions a group on average.
    static char* putNumber(const Group& group, char* to);
    char* special(Need need, char* to, const Group& group, std::int32_t lineCnt);
    char* reserve();
    void leave(char* to, const char* at, std::int32_t lineCnt);

    BinaryReader& reader_;
    StructureAnnotator& annotator_;
    ListingWriter& listing_;
    ByteWriter& bytes_;
    const bool on_;
    const DoubleTexts doubleTexts_;

    // Set for one call of run().
    HostServices* host_ = nullptr;
    const std::function<void(std::int32_t, std::uint64_t)>* showProgress_ = nullptr;
    int shown_ = 0;
    bool lent_ = false;        // the listing writer is writing, not the lane
    bool formatHere_ = false;  // the lane makes the doubles' text, not the listing's writer
    char* limit_ = nullptr;    // the lane writes a group while its pointer is below this

    CodeEntry codes_[kBinaryCodeEnd];
    StructureAnnotator::Needs needs_{};
    LaneHead head_;
    std::int64_t headNumber_ = -1;  // the number the head shows
    // A value written as text for the rules, with read padding.
    char text_[kValueMost + kReadPadding] = {};
};

}  // namespace dxflist
