#include "engine/line_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/failure.h"
#include "engine/line_index.h"

namespace dxflist {

LineReader::LineReader(InputFile& file, std::size_t chunk)
    : file_(file),
      chunk_(chunk),
      chunkAt_(chunk + kBlock),
      // The plain reader alone (ScanPath::Off) has no use for the chunks' line index.
      ahead_(file, chunk, chunkAt_, chunkAt_ + chunk + 1 + kBlock, kBuffers,
             scanPath() == ScanPath::Off ? ReadAhead::Prepare{} : indexChunk(chunkAt_)),
      buffer_(ahead_.borrow()) {
    std::memset(buffer_, 0, 1 + kBlock);
    buffer_[0] = '\r';
    resyncCrBits();
}

// The chunk's line ends are found where it is read, on the I/O thread, so that the scanning
// thread finds them ready: on the AVX-512 path they were a tenth of its time. They go where the
// bytes kept from the buffer before will go, which are few but for a long line: with arrays of
// their own, a drawing whose long lines fill that room and whose short lines fill the index went
// past 10 MiB. `at` is a multiple of 4, so that the entries are aligned.
ReadAhead::Prepare LineReader::indexChunk(std::size_t at) {
    return [at](char* buffer, std::size_t got) -> std::size_t {
        if (got <= 2) return 0;
        char* const chunk = buffer + at;
        std::memset(chunk + got, 0, kBlock + 1);  // defined bytes for the reads past the end
        return indexChunkLineEnds(chunk, chunk + got - 2, reinterpret_cast<std::uint32_t*>(buffer),
                                  static_cast<std::uint32_t>(at), at / sizeof(std::uint32_t));
    };
}

// Goes on in the buffer of the next chunk, behind room for the bytes kept from this one: the
// current line and its terminator, which never exceed a chunk and two bytes. The chunks after
// it are read ahead on the run's I/O thread while this one is scanned, and the listing is
// written there too, so that the scanning thread does neither the system's copy of the file
// nor that of the listing.
bool LineReader::fill() {
    const std::size_t keep = longLine_ ? begin_ : std::min(lineStart_, begin_);
    const std::size_t kept = end_ - keep;
    const ReadAhead::Chunk next = ahead_.next();
    const std::size_t at = chunkAt_ - kept;
    std::memcpy(next.buffer + at, buffer_ + keep, kept);
    ahead_.giveBack(std::exchange(buffer_, next.buffer));
    ++loads_;
    // The index lies before the chunk, where the kept bytes go: a long line kept cuts it short.
    chunkEnds_ = reinterpret_cast<const std::uint32_t*>(next.buffer);
    chunkEndCount_ = std::min(next.prepared, at / sizeof(std::uint32_t));
    // Offsets are taken modulo 2^64: the buffer may begin before the file does.
    bufferStart_ = bufferStart_ + keep - at;
    begin_ = begin_ - keep + at;
    lineStart_ = at + lineStart_ - std::min(lineStart_, keep);
    end_ = chunkAt_ + next.size;
    // The scan stop behind the data, and defined bytes for the reads that go past it.
    buffer_[end_] = '\r';
    std::memset(buffer_ + end_ + 1, 0, kBlock);
    resyncCrBits();
    return next.size > 0;
}

void LineReader::consumeTerminator(std::size_t crIndex) {
    begin_ = crIndex + 1;
    if (begin_ == end_ && !fill()) return;
    if (buffer_[begin_] == '\n') ++begin_;
}

// Any line: one that reaches past the buffer, a long one, the last one. The line end is
// searched for without the block index, which is made again afterwards.
void LineReader::readLineSlow() {
    if (atEnd())
        throwFileFailure(
            "ファイルの終わりを越えて読み込もうとしました。", file_.path(),
            "読み込む行が残っていません（空のファイルか、読み込み中に短くなったファイルです）。");
    longLine_ = false;
    lineStart_ = begin_;
    std::size_t scanFrom = begin_;
    for (;;) {
        const std::size_t limit = std::min(end_, lineStart_ + chunk_ + 1);
        const void* cr = std::memchr(buffer_ + scanFrom, '\r', limit - scanFrom);
        if (cr) {
            const std::size_t crIndex = static_cast<const char*>(cr) - buffer_;
            lineSize_ = crIndex - lineStart_;
            consumeTerminator(crIndex);
            break;
        }
        if (end_ - lineStart_ > chunk_) {
            readLongLine();
            break;
        }
        scanFrom = end_ - lineStart_;  // as an offset: fill() may move the line down
        if (!fill()) {
            lineSize_ = end_ - lineStart_;
            begin_ = end_;
            break;
        }
        scanFrom += lineStart_;
    }
    resyncCrBits();
}

// A line longer than a chunk streams past: only its place in the file and what the numeric
// test and trimming need are kept.
void LineReader::readLongLine() {
    longLine_ = true;
    region_ = {bufferStart_ + lineStart_, 0};
    leadingSpaces_ = 0;
    trailingSpaces_ = 0;
    onlySpacesSoFar_ = true;
    numeric_ = NumericScanner();
    for (;;) {
        const void* cr = std::memchr(buffer_ + begin_, '\r', end_ - begin_);
        const std::size_t stop = cr ? static_cast<const char*>(cr) - buffer_ : end_;
        noteLongLinePiece(buffer_ + begin_, stop - begin_);
        if (cr) {
            consumeTerminator(stop);
            return;
        }
        begin_ = end_;
        if (!fill()) return;
    }
}

// Takes in a piece of a long line as it streams past: its length, the numeric test, the spaces
// at both ends.
void LineReader::noteLongLinePiece(const char* data, std::size_t size) {
    region_.size += size;
    numeric_.feed(data, size);
    std::size_t lead = 0;
    while (onlySpacesSoFar_ && lead < size && data[lead] == ' ') ++lead;
    leadingSpaces_ += lead;
    if (lead < size) onlySpacesSoFar_ = false;
    std::size_t trail = 0;
    while (trail < size && data[size - 1 - trail] == ' ') ++trail;
    trailingSpaces_ = trail == size ? trailingSpaces_ + size : trail;
}

TextRef LineReader::trimmedLine() const {
    if (!longLine_) {
        std::string_view text(buffer_ + lineStart_, lineSize_);
        const std::size_t first = text.find_first_not_of(' ');
        if (first == std::string_view::npos) return {};
        return TextRef::ofPadded(text.substr(first, text.find_last_not_of(' ') - first + 1));
    }
    if (onlySpacesSoFar_) return {};
    const FileRegion trimmed{region_.offset + leadingSpaces_,
                             region_.size - leadingSpaces_ - trailingSpaces_};
    return TextRef::inSource(trimmed);
}

bool LineReader::lineIsNumeric() const {
    if (longLine_) return numeric_.numeric();
    return isNumeric(std::string_view(buffer_ + lineStart_, lineSize_));
}

}  // namespace dxflist
