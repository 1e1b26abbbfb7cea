#include "engine/byte_writer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/failure.h"

namespace dxflist {

ByteWriter::ByteWriter(const std::filesystem::path& path, std::size_t bufferSize)
    : ByteWriter(OutputFile(path), bufferSize) {}

ByteWriter::ByteWriter(OutputFile file, std::size_t bufferSize)
    : file_(std::move(file)),
      buffer_(std::make_unique_for_overwrite<char[]>(bufferSize)),
      capacity_(bufferSize) {}

ByteWriter::~ByteWriter() {
    if (finished_) return;
    try {
        finishBackgroundWrite();
        used_ = lineEnd_;
        writeNow();
    } catch (...) {
        // The failure that dropped this writer is the one the user needs to hear about.
    }
    if (file_.written() != wholeLines_) file_.cutBackTo(wholeLines_);
}

// Hands the full buffer to the background write and goes on in the other one, so that the
// system's copy of the text into the file overlaps the work on the next (see LineReader::fill
// for what the two together gained).
void ByteWriter::flush() {
    finishBackgroundWrite();
    if (!spare_) spare_ = std::make_unique_for_overwrite<char[]>(capacity_);
    writingFrom_ = file_.written();
    writingLineEnd_ = lineEnd_;
    flushedMidLine_ = used_ != lineEnd_;
    // The buffers change places only once the write has started: if it cannot start, this
    // buffer still holds the lines that a failure keeps.
    background_.start([this, data = buffer_.get(), size = used_] { file_.write(data, size); });
    writing_ = true;
    std::swap(buffer_, spare_);
    used_ = lineEnd_ = 0;
}

// Waits for the background write; after a failure the file keeps the whole lines that reached
// it, and nothing buffered since is written.
void ByteWriter::finishBackgroundWrite() {
    if (!writing_) return;
    writing_ = false;
    try {
        background_.wait();
    } catch (...) {
        keepWholeLines(spare_.get(), writingLineEnd_,
                       static_cast<std::size_t>(file_.written() - writingFrom_), writingFrom_);
        used_ = lineEnd_ = 0;
        throw;
    }
    if (writingLineEnd_ > 0) wholeLines_ = writingFrom_ + writingLineEnd_;
}

// Writes what is buffered on this thread, once no background write is left.
void ByteWriter::writeNow() {
    const std::uint64_t before = file_.written();
    try {
        file_.write(buffer_.get(), used_);
    } catch (...) {
        keepWholeLines(buffer_.get(), lineEnd_, static_cast<std::size_t>(file_.written() - before),
                       before);
        used_ = lineEnd_ = 0;
        throw;
    }
    if (lineEnd_ > 0) wholeLines_ = before + lineEnd_;
    used_ = lineEnd_ = 0;
}

// After a failed write: of the bytes that reached the file, keep the whole lines. Written text
// has no CR but in its line ends, so CR LF marks them.
void ByteWriter::keepWholeLines(const char* written, std::size_t lineEnd, std::size_t reached,
                                std::uint64_t before) {
    for (std::size_t i = std::min(reached, lineEnd); i >= 2; --i) {
        if (written[i - 2] == '\r' && written[i - 1] == '\n') {
            wholeLines_ = before + i;
            break;
        }
    }
    file_.cutBackTo(wholeLines_);
}

void ByteWriter::putSlow(std::string_view bytes) {
    while (!bytes.empty()) {
        if (used_ == capacity_) flush();
        const std::size_t n = std::min(bytes.size(), capacity_ - used_);
        std::memcpy(buffer_.get() + used_, bytes.data(), n);
        used_ += n;
        bytes.remove_prefix(n);
    }
}

// The line begun since the last line end goes, from the buffer or, where part of it was written
// already, from the file.
void ByteWriter::dropPartialLine() {
    if (lineEnd_ > 0 || !flushedMidLine_) {
        used_ = lineEnd_;
        return;
    }
    finishBackgroundWrite();
    if (!file_.cutBackTo(wholeLines_))
        throwFileFailure("ファイルに書き込めません。", path(), "書きかけの行を取り消せません。");
    used_ = 0;
    flushedMidLine_ = false;
}

void ByteWriter::finish() {
    lineEnd_ = used_;  // what is buffered now is meant to be written, whole or not
    finishBackgroundWrite();
    writeNow();
    finished_ = true;
    file_.close();
}

}  // namespace dxflist
