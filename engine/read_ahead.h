#pragma once
// A file read a chunk at a time, the chunks after the one in use read ahead on the run's I/O
// thread.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include "engine/io_thread.h"
#include "engine/os_file.h"

namespace dxflist {

class ReadAhead {
  public:
    // Work done on each chunk right after it is read, on the thread that read it (the I/O
    // thread, when read ahead), so that the scanning thread finds it done: given the buffer and
    // the bytes read at `at`, it returns what the caller gets as Chunk::prepared. It runs once a
    // chunk, in the order of the file, never on two chunks at once. What it writes goes in the
    // `at` bytes before the chunk, which the caller fills from their end only.
    using Prepare = std::function<std::size_t(char* buffer, std::size_t got)>;

    // Chunks of up to `chunk` bytes, each read at byte `at` of a buffer of `bufferSize` bytes of
    // its own; `count` buffers, of which those the caller does not hold are read into ahead.
    ReadAhead(InputFile& file, std::size_t chunk, std::size_t at, std::size_t bufferSize,
              std::size_t count, Prepare prepare = {});
    ~ReadAhead();  // waits for the reads still going
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    struct Chunk {
        char* buffer;
        std::size_t size;      // bytes read at `at`; 0 when the file has none left now
        std::size_t prepared;  // what Prepare returned; 0 without one
    };
    // The next chunk of the file. Its buffer is the caller's until given back.
    Chunk next();
    // A buffer to use without reading into it, given back like a chunk's.
    char* borrow();
    // Gives a buffer back, to read ahead into.
    void giveBack(char* buffer);

  private:
    // Each chunk is read to the start of a page. The system's copy of a cached file slows down
    // when its destination lies a few bytes past a page start (its loads wait on its own stores
    // to the same page offsets): on an AMD EPYC, 100 MB took 55-77 ms into a buffer 8 or 16
    // bytes into a page, where large allocations from malloc begin, and 17-23 ms into one on a
    // page or 32 bytes or more into it.
    static constexpr std::size_t kReadAlign = 4096;
    struct AlignedDelete {
        void operator()(char* storage) const {
            ::operator delete[](storage, std::align_val_t{kReadAlign});
        }
    };
    struct Slot {
        std::unique_ptr<char[], AlignedDelete> storage;
        char* buffer = nullptr;  // within storage, where buffer + at is on a page
        bool free = true;
        IoThread::Ticket ticket = 0;
        std::size_t got = 0;
        std::size_t prepared = 0;
    };
    Slot& freeSlot();
    void readAheadInto(Slot& slot);
    void readInto(Slot& slot);

    InputFile& file_;
    std::size_t chunk_;
    std::size_t at_;
    std::size_t bufferSize_;
    Prepare prepare_;
    std::vector<Slot> slots_;
    std::deque<Slot*> reading_;  // in the order of the file
    // The last chunk came whole, so the file likely goes on; after a short one the next is read
    // only when asked for, so that a file that grows is read as far as it has grown then.
    bool ahead_ = false;
    std::shared_ptr<IoThread> io_;
};

}  // namespace dxflist
