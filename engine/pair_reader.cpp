#include "engine/pair_reader.h"

#include "engine/failure.h"

namespace dxflist {

void LineCounter::overflow() const {
    throwFileFailure("行数が多すぎるため、一覧を作れません。", file_,
                     "行番号が 2,147,483,647 を超えます。");
}

PairReader::PairReader(InputFile& source, std::size_t chunk)
    : source_(source), lines_(source, chunk), chunk_(chunk), lineCnt_(source.path()) {}

// A code that does not fit the short buffer: a long line whose trimmed text is short (a code
// behind many spaces) is brought into memory too, so it compares like any other code.
void PairReader::keepLongCode(const TextRef& trimmed) {
    if (!trimmed.inFile) {
        longCode_.assign(trimmed.mem);
        grpCode_ = TextRef::of(longCode_);
    } else if (trimmed.region.size <= chunk_) {
        longCode_.resize(static_cast<std::size_t>(trimmed.region.size));
        source_.readAt(trimmed.region.offset, longCode_.data(), longCode_.size());
        grpCode_ = TextRef::of(longCode_);
    } else {
        grpCode_ = trimmed;
    }
}

}  // namespace dxflist
