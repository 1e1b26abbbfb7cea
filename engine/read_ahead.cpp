#include "engine/read_ahead.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_scan.h"
#include "engine/line_index.h"

namespace dxflist {

ReadAhead::ReadAhead(InputFile& file, std::size_t chunk, std::size_t at, std::size_t bufferSize,
                     std::size_t count, bool indexLines)
    : file_(file),
      chunk_(chunk),
      at_(at),
      bufferSize_(bufferSize),
      lineEnds_(indexLines ? at / sizeof(std::uint32_t) : 0),
      slots_(count),
      io_(IoThread::shared()) {}

ReadAhead::~ReadAhead() {
    for (Slot* slot : reading_) {
        try {
            io_->wait(slot->ticket);
        } catch (...) {
            // The failure that dropped this reader is the one the user needs to hear about.
        }
    }
}

// Buffers are made when first needed: a small file needs one or two.
ReadAhead::Slot& ReadAhead::freeSlot() {
    Slot& slot = *std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.free; });
    if (!slot.buffer) {
        const std::size_t shift = (kReadAlign - at_ % kReadAlign) % kReadAlign;
        slot.storage.reset(static_cast<char*>(
            ::operator new[](bufferSize_ + shift, std::align_val_t{kReadAlign})));
        slot.buffer = slot.storage.get() + shift;
    }
    return slot;
}

// The chunk's line ends are found here, on the thread that read it, so that the scanning thread
// finds them ready: on the AVX-512 path they were a tenth of its time. They go where the bytes
// kept from the buffer before will go, which are few but for a long line: with arrays of their
// own, a drawing whose long lines fill that room and whose short lines fill the index went past
// 10 MiB.
void ReadAhead::readInto(Slot& slot) {
    slot.got = file_.read(slot.buffer + at_, chunk_);
    slot.lineEndCount = 0;
    if (lineEnds_ == 0 || slot.got <= 2) return;
    char* const chunk = slot.buffer + at_;
    std::memset(chunk + slot.got, 0, kBlock + 1);  // defined bytes for the reads past the end
    slot.lineEndCount = indexChunkLineEnds(chunk, chunk + slot.got - 2, lineEndsOf(slot),
                                           static_cast<std::uint32_t>(at_), lineEnds_);
}

void ReadAhead::readAheadInto(Slot& slot) {
    slot.ticket = io_->post([this, &slot] { readInto(slot); });
    slot.free = false;
    reading_.push_back(&slot);
}

ReadAhead::Chunk ReadAhead::next() {
    Slot* slot = nullptr;
    if (!reading_.empty()) {
        slot = reading_.front();
        reading_.pop_front();
        try {
            io_->wait(slot->ticket);
        } catch (...) {
            slot->free = true;
            throw;
        }
    } else {
        slot = &freeSlot();
        readInto(*slot);
        slot->free = false;
    }
    ahead_ = slot->got == chunk_;
    if (ahead_) {
        const auto freeCount =
            std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.free; });
        for (auto i = freeCount; i > 0; --i) readAheadInto(freeSlot());
    }
    return {slot->buffer, slot->got, lineEndsOf(*slot), slot->lineEndCount};
}

char* ReadAhead::borrow() {
    Slot& slot = freeSlot();
    slot.free = false;
    return slot.buffer;
}

void ReadAhead::giveBack(char* buffer) {
    Slot& slot = *std::find_if(slots_.begin(), slots_.end(),
                               [buffer](const Slot& s) { return s.buffer == buffer; });
    slot.free = true;
    if (ahead_) readAheadInto(slot);
}

}  // namespace dxflist
