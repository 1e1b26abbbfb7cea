#include "engine/byte_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <utility>

#include "engine/binary_values.h"
#include "engine/byte_scan.h"
#include "engine/failure.h"

namespace dxflist {

ByteWriter::ByteWriter(const std::filesystem::path& path, std::size_t bufferSize)
    : ByteWriter(OutputFile(path), bufferSize) {}

ByteWriter::ByteWriter(OutputFile file, std::size_t bufferSize)
    : file_(std::move(file)), slots_(kBuffers), capacity_(bufferSize), io_(IoThread::shared()) {
    // One block for all the buffers; the pages of those never filled are never touched.
    const std::size_t stride = (bufferSize + 63) / 64 * 64;
    block_ = BufferBlock(stride * kBuffers);
    for (std::size_t i = 0; i < kBuffers; ++i) slots_[i].data = block_.data() + i * stride;
    buffer_ = slots_[0].data;
    deferred_ = &slots_[0].deferred;
}

ByteWriter::~ByteWriter() {
    if (finished_) return;
    try {
        finishWrites();
        used_ = lineEnd_;
        writeNow();
    } catch (...) {
        // The failure that dropped this writer is the one the user needs to hear about.
    }
    if (file_.written() != keptLines()) file_.cutBackTo(keptLines());
}

// Hands the buffer's whole lines to the I/O thread and goes on in the next buffer, once that
// one's own write is done; the line begun moves along to it. A write that ends at a line end
// leaves the file whole where a kill stops the program between two writes, as one that ended
// wherever the buffer filled did not (at 26 of 560 random kills of a CR LF listing).
void ByteWriter::flush() {
    const std::size_t size = lineEnd_ > 0 ? lineEnd_ : used_;
    if (size == 0) return;
    Slot& full = slots_[current_];
    const std::size_t nextIndex = (current_ + 1) % slots_.size();
    Slot& next = slots_[nextIndex];
    ioBehind_ = next.writing && !io_->ran(next.ticket);
    finishWrite(next);
    full.size = size;
    full.lineEnd = lineEnd_;
    next.deferred.clear();
    // Deferred doubles lie in whole lines; any behind them would go with the line begun.
    const auto moved = std::lower_bound(full.deferred.begin(), full.deferred.end(), size);
    for (auto at = moved; at != full.deferred.end(); ++at)
        next.deferred.push_back(static_cast<std::uint32_t>(*at - size));
    full.deferred.erase(moved, full.deferred.end());
    // The buffers change places only once the write is queued: if it cannot be, this buffer
    // still holds the lines that a failure keeps.
    full.written = false;
    full.ticket = io_->post([this, &full] {
        // Where the buffer goes is known only here: its deferred doubles make it shorter.
        full.from = file_.written();
        if (failed_) return;  // the file stops at the failed write's whole lines
        try {
            formatDeferred(full.data, full.size, full.lineEnd, full.deferred);
            file_.write(full.data, full.size);
            full.written = true;
        } catch (...) {
            failed_ = true;
            throw;
        }
    });
    full.writing = true;
    flushedMidLine_ = lineEnd_ == 0;
    std::memcpy(next.data, buffer_ + size, used_ - size);
    current_ = nextIndex;
    buffer_ = next.data;
    deferred_ = &next.deferred;
    used_ -= size;
    lineEnd_ = 0;
}

// Waits for a buffer's write; after a failure the file keeps the whole lines that reached it,
// and nothing buffered since is written.
void ByteWriter::finishWrite(Slot& slot) {
    if (!slot.writing) return;
    slot.writing = false;
    try {
        io_->wait(slot.ticket);
    } catch (...) {
        keepWholeLines(slot.data, slot.lineEnd, slot.from);
        used_ = lineEnd_ = 0;
        throw;
    }
    // A later write may have failed already; this one's lines are in the file all the same.
    if (slot.lineEnd > 0 && slot.written) wholeLines_ = slot.from + slot.lineEnd;
}

// Waits for every write, oldest first; throws the first failure once all are done.
void ByteWriter::finishWrites() {
    std::exception_ptr failure;
    for (std::size_t i = 1; i <= slots_.size(); ++i) {
        try {
            finishWrite(slots_[(current_ + i) % slots_.size()]);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

// Writes what is buffered on this thread, once no write is left on the I/O thread.
void ByteWriter::writeNow() {
    if (failed_) used_ = lineEnd_ = 0;
    const std::uint64_t before = file_.written();
    try {
        formatDeferred(buffer_, used_, lineEnd_, *deferred_);
        file_.write(buffer_, used_);
    } catch (...) {
        keepWholeLines(buffer_, lineEnd_, before);
        used_ = lineEnd_ = 0;
        throw;
    }
    if (lineEnd_ > 0) wholeLines_ = before + lineEnd_;
    used_ = lineEnd_ = 0;
}

static_assert(ByteWriter::kDeferredDoubleRoom >= kDoubleTextMost);
static_assert(ByteWriter::kDeferredDoubleRoom >= 32, "a piece's last block may end in the room");

// Puts the text of each deferred double of `data` in its room and closes up the rest, which
// makes the `size` bytes, and the whole lines in them, shorter. A text is never longer than its
// room, so each piece moves towards the start, and a double's bytes are read before its text
// is written over them.
void ByteWriter::formatDeferred(char* data, std::size_t& size, std::size_t& lineEnd,
                                std::vector<std::uint32_t>& deferred) {
    // Any behind `size` went with a line taken back.
    while (!deferred.empty() && deferred.back() + kDeferredDoubleRoom > size) deferred.pop_back();
    if (deferred.empty()) return;
    char* out = data + deferred.front();
    const char* in = out;
    for (const std::uint32_t at : deferred) {
        const char* const room = data + at;
        const double value = std::bit_cast<double>(littleEndianWord(room));
        // The piece before the room, in blocks of 32 bytes, each read before it is written: the
        // last block ends within the room, whose double was read above. Most pieces (the end of
        // a line and the start of the next) take one block.
        const auto piece = static_cast<std::size_t>(room - in);
        for (std::size_t done = 0;;) {
            char block[32];
            std::memcpy(block, in + done, 32);
            std::memcpy(out + done, block, 32);
            done += 32;
            if (done >= piece) break;
        }
        out = formatDouble(value, out + piece);
        in = room + kDeferredDoubleRoom;
    }
    const auto rest = static_cast<std::size_t>(data + size - in);
    std::memmove(out, in, rest);
    const auto saved = static_cast<std::size_t>(in - out);
    size -= saved;
    if (lineEnd != 0) lineEnd -= saved;
    deferred.clear();
}

// After a failed write of `written`, begun at file offset `before`: of the bytes that reached
// the file, keep the whole lines. Written text has no CR but in its line ends, so CR LF marks
// them. A failed copy of what was written while the file was being emptied leaves the file
// shorter than the lines written before (OutputFile::truncate()).
void ByteWriter::keepWholeLines(const char* written, std::size_t lineEnd, std::uint64_t before) {
    const std::uint64_t end = file_.written();
    const auto reached = static_cast<std::size_t>(end > before ? end - before : 0);
    for (std::size_t i = std::min(reached, lineEnd); i >= 2; --i) {
        if (written[i - 2] == '\r' && written[i - 1] == '\n') {
            wholeLines_ = before + i;
            break;
        }
    }
    file_.cutBackTo(keptLines());
}

void ByteWriter::putSlow(std::string_view bytes) {
    while (!bytes.empty()) {
        if (used_ == capacity_) flush();
        const std::size_t n = std::min(bytes.size(), capacity_ - used_);
        std::memcpy(buffer_ + used_, bytes.data(), n);
        used_ += n;
        bytes.remove_prefix(n);
    }
}

// The line begun since the last line end goes, from the buffer or, where part of it was written
// already, from the file.
void ByteWriter::dropPartialLine() {
    while (!deferred_->empty() && deferred_->back() >= lineEnd_) deferred_->pop_back();
    if (lineEnd_ > 0 || !flushedMidLine_) {
        used_ = lineEnd_;
        return;
    }
    finishWrites();
    if (!file_.cutBackTo(keptLines()))
        throwFileFailure("ファイルに書き込めません。", path(), "書きかけの行を取り消せません。");
    used_ = 0;
    flushedMidLine_ = false;
}

void ByteWriter::finish() {
    lineEnd_ = used_;  // what is buffered now is meant to be written, whole or not
    finishWrites();
    writeNow();
    finished_ = true;
    file_.close();
}

}  // namespace dxflist
