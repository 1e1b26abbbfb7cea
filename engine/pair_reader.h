#pragma once
// Reads the source as group pairs: a numeric code line, then a value line. Lines are counted
// as they are consumed, and where the file ends the matching report goes into the listing.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/annotate.h"
#include "engine/line_reader.h"
#include "engine/listing_texts.h"
#include "engine/listing_writer.h"

namespace dxflist {

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
    PairReader(InputFile& source, TextWriter& listing, const ListingTexts& texts,
               std::size_t chunk = LineReader::kDefaultChunk);

    // Reads the next pair. Returns false when the file ended on the way; the end-of-file
    // report is then written and there is no pair to process.
    bool next() {
        if (lines_.readUsualPair(pair_.grpCode, pair_.grpValue)) {
            pair_.codeLine = lineCnt_.next();
            lineCnt_.next();
            return true;
        }
        return nextOneLineAtATime();
    }
    // True when no unread byte is left.
    bool atEnd() { return lines_.atEnd(); }
    // The current pair, filled in place; valid until the next call of next(). A copy per pass
    // was written field by field and read back in wider words, which stalls store
    // forwarding: handing out the pair itself took 30% off the CPU time.
    const GroupPair& pair() const { return pair_; }
    std::int32_t lineCnt() const { return lineCnt_.value(); }
    std::uint64_t bytesRead() const { return lines_.consumed(); }
    // For the fast lane (engine/pair_lane.h): the lines it reads, and the count it reached.
    LineReader& lines() { return lines_; }
    void setLineCnt(std::int32_t lineCnt) { lineCnt_.set(lineCnt); }

  private:
    // Any pair: skipped lines, long lines, and the end of the file with its reports.
    bool nextOneLineAtATime() {
        // Lines that are not numeric cannot be codes: they are skipped and not counted.
        TextRef trimmed;
        for (;;) {
            const bool numeric = lines_.readCodeLine(trimmed);
            // Copied before the end check, which may move the reader's buffer.
            keepCode(trimmed);
            if (lines_.atEnd()) {
                report(texts_.endAtCodeLine);
                break;
            }
            if (numeric) break;
        }
        codeLine_ = lineCnt_.next();
        if (lines_.atEnd()) {
            report(texts_.endAtCodeLineCounted);
            return false;
        }
        lines_.readLine();
        lineCnt_.next();
        if (lines_.atEnd()) {
            report(texts_.endAtValueLine);
            return false;
        }
        pair_ = GroupPair{grpCode_, lines_.line(), codeLine_};
        return true;
    }
    void report(const std::string& text);
    // The code is copied out of the reader, which reuses its buffer for the value line.
    void keepCode(const TextRef& trimmed) {
        if (trimmed.padded && trimmed.mem.size() <= kReadPadding) {
            std::memcpy(shortCode_, trimmed.mem.data(), kReadPadding);
            grpCode_ = TextRef{{shortCode_, trimmed.mem.size()}, {}, false, true};
        } else {
            keepLongCode(trimmed);
        }
    }
    void keepLongCode(const TextRef& trimmed);

    InputFile& source_;
    TextWriter& listing_;
    const ListingTexts& texts_;
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
