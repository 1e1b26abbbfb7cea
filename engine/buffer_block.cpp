#include "engine/buffer_block.h"

#include <cstdint>
#include <new>
#include <utility>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DXFLIST_PLAIN_BLOCKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define DXFLIST_PLAIN_BLOCKS 1
#endif
#if defined(__linux__) && !defined(DXFLIST_PLAIN_BLOCKS)
#include <sys/mman.h>
#define DXFLIST_LARGE_PAGES 1
#endif

namespace dxflist {
namespace {

constexpr std::size_t kPage = 4096;

std::size_t wholePages(std::size_t size) {
    return (size + kPage - 1) / kPage * kPage;
}

}  // namespace

#ifdef DXFLIST_LARGE_PAGES
// Mapped with a large page's worth to spare, so that the block begins on one (recent kernels
// place a mapping this large so by themselves; older ones do not); the spare is given back. madvise
// is only a request: where huge pages are off, the block has small ones.
BufferBlock::BufferBlock(std::size_t size) : size_(wholePages(size)) {
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const std::size_t mapped = size_ + kLargePage;
    void* map = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(map);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (aligned != start) ::munmap(map, aligned - start);
    const std::uintptr_t end = aligned + size_;
    if (start + mapped != end) ::munmap(reinterpret_cast<void*>(end), start + mapped - end);
    data_ = reinterpret_cast<char*>(aligned);
    ::madvise(data_, size_, MADV_HUGEPAGE);
}

void BufferBlock::release() noexcept {
    if (data_) ::munmap(data_, size_);
}
#else
BufferBlock::BufferBlock(std::size_t size)
    : data_(static_cast<char*>(::operator new[](wholePages(size), std::align_val_t{kPage}))),
      size_(wholePages(size)) {}

void BufferBlock::release() noexcept {
    if (data_) ::operator delete[](data_, std::align_val_t{kPage});
}
#endif

BufferBlock::~BufferBlock() {
    release();
}

BufferBlock::BufferBlock(BufferBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

BufferBlock& BufferBlock::operator=(BufferBlock&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

}  // namespace dxflist
