#include "engine/pair_reader.h"

#include <limits>

#include "engine/failure.h"

namespace dxflist {

std::int32_t LineCounter::next() {
    if (value_ == std::numeric_limits<std::int32_t>::max())
        throwFileFailure("行数が多すぎるため、一覧を作れません。", file_,
                         "行番号が 2,147,483,647 を超えます。");
    return ++value_;
}

PairReader::PairReader(InputFile& source, TextWriter& listing, const ListingTexts& texts,
                       std::size_t chunk)
    : source_(source),
      listing_(listing),
      texts_(texts),
      lines_(source, chunk),
      chunk_(chunk),
      lineCnt_(source.path()) {}

void PairReader::report(const std::string& text) {
    listing_.putLineNumber(lineCnt_.value());
    listing_.put(text);
    listing_.endLine();
}

// The code is copied out of the reader, which reuses its buffer for the value line. A long
// line whose trimmed text is short (a code behind many spaces) is brought into memory too, so
// it compares like any other code.
void PairReader::keepTrimmedCode() {
    const TextRef trimmed = lines_.trimmedLine();
    if (!trimmed.inFile) {
        codeBytes_.assign(trimmed.mem);
        grpCode_ = TextRef::of(codeBytes_);
    } else if (trimmed.region.size <= chunk_) {
        codeBytes_.resize(static_cast<std::size_t>(trimmed.region.size));
        source_.readAt(trimmed.region.offset, codeBytes_.data(), codeBytes_.size());
        grpCode_ = TextRef::of(codeBytes_);
    } else {
        grpCode_ = trimmed;
    }
}

bool PairReader::next() {
    // Lines that are not numeric cannot be codes: they are skipped and not counted.
    for (;;) {
        lines_.readLine();
        if (lines_.atEnd()) {
            report(texts_.eofAtCode);
            break;
        }
        if (lines_.lineIsNumeric()) break;
    }
    codeLine_ = lineCnt_.next();
    keepTrimmedCode();
    if (lines_.atEnd()) {
        report(texts_.eofAtCodeChecked);
        return false;
    }
    lines_.readLine();
    lineCnt_.next();
    if (lines_.atEnd()) {
        report(texts_.eofAtValue);
        return false;
    }
    return true;
}

}  // namespace dxflist
