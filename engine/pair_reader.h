#pragma once
// Reads the source as group pairs: a numeric code line, then a value line. Lines are counted
// as they are consumed, and where the file ends is told, for the end-of-file reports.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/line_reader.h"
#include "engine/text.h"

namespace dxflist {

// One group: its code (trimmed), its value (as read) and the line number of its code line.
struct GroupPair {
    TextRef grpCode;            // the code line without its spaces at both ends
    TextRef grpValue;           // the value line exactly as read
    std::int32_t codeLine = 0;  // the number of the code line, as the reader counts lines
};

// What reading a pair met: the pair, or the end of the file, which the listing reports where it
// was met. The end is met as a code line is read when that line is the last; then, unless the
// file grows just then, at the same line once it is counted, and no pair follows. Otherwise the
// end may be met at the value line, and no pair follows either.
class PairRead {
  public:
    enum : std::uint8_t {
        kNoPair = 1,                // pair() holds none
        kEndAtCodeLine = 2,         // reported at the code line's number less one
        kEndAtCountedCodeLine = 4,  // reported at the code line's number
        kEndAtValueLine = 8,        // reported at the code line's number plus one
    };
    PairRead(std::uint8_t met = 0) : met_(met) {}
    bool pair() const { return !(met_ & kNoPair); }
    bool met(std::uint8_t end) const { return met_ & end; }
    // A pair read as most are: no end met on the way.
    bool usual() const { return met_ == 0; }

  private:
    std::uint8_t met_;  // the bits above
};

// A 32-bit line count that fails instead of passing 2,147,483,647.
class LineCounter {
  public:
    explicit LineCounter(const std::filesystem::path& file, std::int32_t start = 0)
        : file_(file), value_(start) {}
    std::int32_t value() const { return value_; }
    void set(std::int32_t value) { value_ = value; }
    std::int32_t next() {
        if (value_ == kLast) overflow();
        return ++value_;
    }

  private:
    static constexpr std::int32_t kLast = 2147483647;
    [[noreturn]] void overflow() const;

    std::filesystem::path file_;
    std::int32_t value_;
};

class PairReader {
  public:
    explicit PairReader(InputFile& source, std::size_t chunk = LineReader::kDefaultChunk);

    // Reads the next pair, or as far as the file goes.
    PairRead next() {
        if (lines_.readUsualPair(pair_.grpCode, pair_.grpValue)) {
            pair_.codeLine = lineCnt_.next();
            lineCnt_.next();
            return {};
        }
        return nextOneLineAtATime();
    }
    // The number of the code line of the last read that went line by line (all but the usual
    // ones): where the reports of an end are numbered from.
    std::int32_t codeLine() const { return codeLine_; }
    // True when no unread byte is left.
    bool atEnd() { return lines_.atEnd(); }
    // The current pair, filled in place; valid until the next call of next(). A copy per pass
    // was written field by field and read back in wider words, which stalls store
    // forwarding: handing out the pair itself took 30% off the CPU time.
    const GroupPair& pair() const { return pair_; }
    // The lines consumed as codes and values so far (lineCnt).
    std::int32_t lineCnt() const { return lineCnt_.value(); }
    std::uint64_t bytesRead() const { return lines_.consumed(); }
    // For the fast lane (engine/pair_lane.h): the lines it reads, and the count it reached.
    LineReader& lines() { return lines_; }
    void setLineCnt(std::int32_t lineCnt) { lineCnt_.set(lineCnt); }

  private:
    // Any pair: skipped lines, long lines, and the end of the file.
    PairRead nextOneLineAtATime() {
        std::uint8_t met = 0;
        // Lines that are not numeric cannot be codes: they are skipped and not counted.
        TextRef trimmed;
        for (;;) {
            const bool numeric = lines_.readCodeLine(trimmed);
            // Copied before the end check, which may move the reader's buffer.
            keepCode(trimmed);
            if (lines_.atEnd()) {
                met = PairRead::kEndAtCodeLine;
                break;
            }
            if (numeric) break;
        }
        codeLine_ = lineCnt_.next();
        // Looked at again: the file may have grown since.
        if (lines_.atEnd()) return met | PairRead::kNoPair | PairRead::kEndAtCountedCodeLine;
        lines_.readLine();
        lineCnt_.next();
        if (lines_.atEnd()) return met | PairRead::kNoPair | PairRead::kEndAtValueLine;
        pair_ = GroupPair{grpCode_, lines_.line(), codeLine_};
        return met;
    }
    // The code is copied out of the reader, which reuses its buffer for the value line.
    void keepCode(const TextRef& trimmed) {
        if (trimmed.padded && trimmed.mem.size() <= kReadPadding) {
            std::memcpy(shortCode_, trimmed.mem.data(), kReadPadding);
            grpCode_ = TextRef::ofPadded({shortCode_, trimmed.mem.size()});
        } else {
            keepLongCode(trimmed);
        }
    }
    void keepLongCode(const TextRef& trimmed);

    InputFile& source_;
    LineReader lines_;
    std::size_t chunk_;
    LineCounter lineCnt_;
    std::int32_t codeLine_ = 0;
    char shortCode_[kReadPadding];  // the usual code, copied without allocation
    std::string longCode_;          // a code too long for shortCode_
    TextRef grpCode_;
    GroupPair pair_;
};

}  // namespace dxflist
