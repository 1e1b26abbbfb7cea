#pragma once
// Memory for the buffers a run writes its listing (or its CR LF copy) into, laid on the
// system's large pages where it offers them (Linux's transparent huge pages, on request). On
// small pages the scanning thread takes a page fault for each 4 KiB it first writes, and where
// a fault goes through the hypervisor that is dear: on a Linux VM, first writes to 8 MiB took
// 20-22 ms on 4 KiB pages and 0.5 ms on 2 MiB ones, and the 100 MB drawing's run went from
// 150 to 130 ms (medians of 11). The reader's buffers stay on small pages: the I/O thread
// fills them, so their faults cost the scan nothing, and each has room for a line a chunk long
// that is rarely used, which large pages would make resident. Elsewhere, and in the sanitizer
// build (whose checks need its own allocator), a block is plain aligned memory.

#include <cstddef>

namespace dxflist {

class BufferBlock {
  public:
    // A block of at least `size` bytes that begins on a page; throws std::bad_alloc.
    explicit BufferBlock(std::size_t size);
    BufferBlock() = default;
    ~BufferBlock();
    BufferBlock(BufferBlock&& other) noexcept;
    BufferBlock& operator=(BufferBlock&& other) noexcept;
    BufferBlock(const BufferBlock&) = delete;
    BufferBlock& operator=(const BufferBlock&) = delete;

    char* data() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

  private:
    void release() noexcept;

    char* data_ = nullptr;
    std::size_t size_ = 0;  // as reserved: a whole number of pages
};

}  // namespace dxflist
