#pragma once
// An owned text built by appending lines and literals, which costs little memory however long
// it grows: a header variable of millions of values, or names as long as a line can be.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/os_file.h"
#include "engine/text.h"

namespace dxflist {

class Rope {
  public:
    // Bytes held in memory; a text that grows beyond them goes on in a scratch file of its
    // own, and so does one with more regions of the source than kMostRegions. Lines too long
    // to hold stay regions of the source until then, so that the usual long value costs no
    // copy; the bound keeps a drawing of ever more such lines from costing ever more memory.
    static constexpr std::size_t kInMemory = std::size_t{64} << 10;
    static constexpr std::size_t kMostRegions = 64;

    // A region of the source, or of the scratch file, whose bytes belong at `at` in mem().
    struct Splice {
        std::size_t at;
        FileRegion region;
        const ScratchFile* file = nullptr;  // the scratch file; the source if null
    };

    // `source` is the file that regions appended to this text are in.
    explicit Rope(InputFile* source = nullptr) : source_(source) {}

    void clear();
    bool empty() const { return mem_.empty() && splices_.empty(); }
    bool is(std::string_view text) const { return splices_.empty() && mem_ == text; }
    void append(std::string_view text) {
        if (mem_.size() + text.size() <= kInMemory)
            mem_.append(text);
        else
            appendToScratch(text);
    }
    void append(const TextRef& text) {
        if (!text.inFile)
            append(text.mem);
        else if (splices_.size() < kMostRegions && !spilled())
            splices_.push_back({mem_.size(), text.region});
        else
            appendRegionToScratch(text.region);
    }
    void assign(const TextRef& text) {
        clear();
        append(text);
    }
    // The text: the bytes of mem() with the regions of splices() put in, in order.
    const std::string& mem() const { return mem_; }
    const std::vector<Splice>& splices() const { return splices_; }

  private:
    // Once spilled, the text is one region at the start of the scratch file, then mem_.
    bool spilled() const { return !splices_.empty() && splices_.front().file; }
    void appendToScratch(std::string_view text);
    void appendRegionToScratch(const FileRegion& region);
    void spill();
    void writeToScratch(const char* data, std::size_t size);
    void copyToScratch(const FileRegion& region);

    InputFile* source_;
    std::string mem_;
    std::vector<Splice> splices_;
    std::unique_ptr<ScratchFile> scratch_;  // made when the text first needs it
};

}  // namespace dxflist
