#pragma once
// Buffered writing of text files made of CR LF lines: the listing and the CR LF copy.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/buffer_block.h"
#include "engine/io_thread.h"
#include "engine/os_file.h"
#include "engine/text.h"

namespace dxflist {

// Appends bytes to a file through buffers, each written on the run's I/O thread while the next
// ones are filled. Each write ends at a line end: the line begun goes on in the next buffer,
// so that the file only ever grows by whole lines, even when the program is killed; only a
// line longer than a buffer is written in pieces. When the file cannot be written, or the
// writer is dropped by a failure, the file is cut back to its last whole line.
class ByteWriter {
  public:
    static constexpr std::size_t kDefaultBuffer = std::size_t{1} << 20;
    // The buffer being filled and those being written meanwhile.
    static constexpr std::size_t kBuffers = 4;

    explicit ByteWriter(const std::filesystem::path& path, std::size_t bufferSize = kDefaultBuffer);
    explicit ByteWriter(OutputFile file, std::size_t bufferSize = kDefaultBuffer);
    ~ByteWriter();  // without finish(): keeps whole lines only, closes, reports nothing
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;

    void put(std::string_view bytes) {
        if (bytes.size() <= room()) {
            copyShort(cursor(), bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            putSlow(bytes);
        }
    }
    // The bytes of a region of `file` (the source, or a scratch file).
    template <class File>
    void putFileBytes(File& file, const FileRegion& region);
    // Ends the line with CR LF.
    void endLine() {
        put("\r\n");
        lineEnd_ = used_;
    }

    // Writing straight into the buffer: cursor() is where the next byte goes, room() how many
    // may go there, and commit() takes the end of what was written (commitLines() when that
    // ends a line). reserve() first makes room for up to `size` bytes (at most the buffer's).
    char* cursor() { return buffer_ + used_; }
    std::size_t room() const { return capacity_ - used_; }
    char* reserve(std::size_t size) {
        // A second turn only when the line begun, moved to the next buffer, leaves too little.
        while (room() < size) flush();
        return cursor();
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_); }
    // A double whose text (formatDouble) the writer makes as it writes the buffer, on the I/O
    // thread: its 8 bytes (little-endian) go at `to`, among the bytes being written straight into
    // the buffer, and kDeferredDoubleRoom bytes are kept for its text; returns the end of that
    // room. In the file the text stands in the room's place. The double goes along with its line
    // when that moves to the next buffer or is taken back.
    char* putDeferredDouble(char* to, const char* bits) {
        std::memcpy(to, bits, 8);
        deferred_->push_back(static_cast<std::uint32_t>(to - buffer_));
        return to + kDeferredDoubleRoom;
    }
    static constexpr std::size_t kDeferredDoubleRoom = 32;
    // Whether the last buffer handed over found the next one still being written: the I/O
    // thread is the busier of the two, and the caller had better make its doubles' text itself.
    bool ioBehind() const { return ioBehind_; }
    void commitLines(const char* end) {
        commit(end);
        lineEnd_ = used_;
    }

    // Takes back the line begun since the last line end, so that the file ends with whole lines.
    void dropPartialLine();
    // Writes what is buffered and closes the file; throws on failure.
    void finish();
    const std::filesystem::path& path() const { return file_.path(); }

  private:
    // A buffer, and the write of its lines when one was started.
    struct Slot {
        char* data = nullptr;  // within block_
        bool writing = false;
        bool written = false;  // its write was made, whole
        IoThread::Ticket ticket = 0;
        std::uint64_t from = 0;               // the file offset it is written at
        std::size_t size = 0;                 // bytes written
        std::size_t lineEnd = 0;              // end of its last whole line; 0 if none
        std::vector<std::uint32_t> deferred;  // where its deferred doubles lie, in order
    };
    void putSlow(std::string_view bytes);
    void flush();
    void finishWrite(Slot& slot);
    void finishWrites();
    void writeNow();
    static void formatDeferred(char* data, std::size_t& size, std::size_t& lineEnd,
                               std::vector<std::uint32_t>& deferred);
    void keepWholeLines(const char* written, std::size_t lineEnd, std::uint64_t before);
    // The whole lines the file is to keep: those written, as far as they reached the file.
    std::uint64_t keptLines() const { return std::min(wholeLines_, file_.written()); }

    OutputFile file_;
    BufferBlock block_;
    std::vector<Slot> slots_;
    std::size_t current_ = 0;               // the slot being filled
    char* buffer_;                          // its data
    std::vector<std::uint32_t>* deferred_;  // its deferred doubles
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::size_t lineEnd_ = 0;           // end of the last whole line in the buffer; 0 if none
    std::uint64_t wholeLines_ = 0;      // bytes of whole lines already in the file
    std::atomic<bool> failed_ = false;  // a write failed: the writes after it are not made
    bool flushedMidLine_ = false;       // the last buffer written ended inside a line
    bool ioBehind_ = false;
    bool finished_ = false;
    std::shared_ptr<IoThread> io_;
};

template <class File>
void ByteWriter::putFileBytes(File& file, const FileRegion& region) {
    std::uint64_t offset = region.offset;
    std::uint64_t left = region.size;
    while (left > 0) {
        if (room() == 0) flush();
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, room()));
        file.readAt(offset, cursor(), n);
        used_ += n;
        offset += n;
        left -= n;
    }
}

}  // namespace dxflist
