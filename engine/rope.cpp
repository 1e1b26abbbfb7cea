#include "engine/rope.h"

#include <algorithm>

namespace dxflist {

void Rope::clear() {
    if (spilled()) scratch_->clear();
    mem_.clear();
    splices_.clear();
}

void Rope::appendToScratch(std::string_view text) {
    spill();
    writeToScratch(text.data(), text.size());
}

void Rope::appendRegionToScratch(const FileRegion& region) {
    spill();
    copyToScratch(region);
}

// Moves the whole text, in order, to the scratch file: it then stays one region there.
void Rope::spill() {
    if (!scratch_) scratch_ = std::make_unique<ScratchFile>();
    std::size_t done = 0;
    const std::vector<Splice> splices = std::move(splices_);
    splices_.clear();
    splices_.push_back({0, {0, 0}, scratch_.get()});
    for (const Splice& splice : splices) {
        writeToScratch(mem_.data() + done, splice.at - done);
        done = splice.at;
        // The scratch file's own region is already where it belongs: at its start.
        if (splice.file)
            splices_.front().region = splice.region;
        else
            copyToScratch(splice.region);
    }
    writeToScratch(mem_.data() + done, mem_.size() - done);
    mem_.clear();
}

void Rope::writeToScratch(const char* data, std::size_t size) {
    if (size == 0) return;
    scratch_->append(data, size);
    splices_.front().region.size += size;
}

void Rope::copyToScratch(const FileRegion& region) {
    constexpr std::size_t kPiece = std::size_t{64} << 10;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
    for (std::uint64_t done = 0; done < region.size;) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, region.size - done));
        source_->readAt(region.offset + done, buffer.get(), n);
        writeToScratch(buffer.get(), n);
        done += n;
    }
}

}  // namespace dxflist
