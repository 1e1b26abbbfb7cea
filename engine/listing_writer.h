#pragma once
// One buffered writer for the listing and for the CR LF copy.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#include "engine/os_file.h"
#include "engine/text.h"

namespace dxflist {

// Appends bytes to a file through one large buffer. When the file cannot be written, or the
// writer is dropped by a failure, the file is cut back to its last whole line, so it never ends
// in half a line.
class TextWriter {
  public:
    static constexpr std::size_t kDefaultBuffer = std::size_t{1} << 20;

    explicit TextWriter(const std::filesystem::path& path, std::size_t bufferSize = kDefaultBuffer);
    ~TextWriter();  // without finish(): keeps whole lines only, closes, reports nothing
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    // The file that TextRef and Rope regions are copied from.
    void setRegionSource(InputFile* source) { source_ = source; }

    void put(std::string_view bytes) {
        if (bytes.size() <= capacity_ - used_) {
            // An empty view may carry a null pointer, which memcpy must not be given.
            if (!bytes.empty()) std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            putSlow(bytes);
        }
    }
    void put(const TextRef& text);
    void put(const Rope& text);
    // The number as a line-number prefix: at least six digits, zero-filled, then ":".
    void putLineNumber(std::int32_t number);
    // Ends the line with CR LF.
    void endLine() {
        put("\r\n");
        lineEnd_ = used_;
    }
    // Writes what is buffered and closes the file; throws on failure.
    void finish();
    const std::filesystem::path& path() const { return file_.path(); }

  private:
    void putSlow(std::string_view bytes);
    void putRegion(const FileRegion& region);
    void flush();
    void keepWholeLines(std::size_t reached, std::uint64_t before);

    OutputFile file_;
    InputFile* source_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::size_t lineEnd_ = 0;       // end of the last whole line in the buffer; 0 if none
    std::uint64_t wholeLines_ = 0;  // bytes of whole lines already in the file
    bool finished_ = false;
};

}  // namespace dxflist
