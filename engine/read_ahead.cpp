#include "engine/read_ahead.h"

#include <algorithm>
#include <utility>

namespace dxflist {

ReadAhead::ReadAhead(InputFile& file, std::size_t chunk, std::size_t at, std::size_t bufferSize,
                     std::size_t count, Prepare prepare)
    : file_(file),
      chunk_(chunk),
      at_(at),
      bufferSize_(bufferSize),
      prepare_(std::move(prepare)),
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

void ReadAhead::readInto(Slot& slot) {
    slot.got = file_.read(slot.buffer + at_, chunk_);
    slot.prepared = prepare_ ? prepare_(slot.buffer, slot.got) : 0;
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
    return {slot->buffer, slot->got, slot->prepared};
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
