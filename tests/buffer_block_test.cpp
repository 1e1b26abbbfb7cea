// The writers' buffer memory: whole, on a page, and on Linux asked for on large pages, which
// is what spares the scanning thread a page fault for every 4 KiB it first writes.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "engine/buffer_block.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

TEST(BufferBlockTest, EveryByteAskedForIsThereAndTheBlockStartsOnAPage) {
    for (const std::size_t size :
         {std::size_t{1}, std::size_t{4095}, std::size_t{4097}, std::size_t{512} << 10,
          std::size_t{2} << 20, (std::size_t{2} << 20) + 1, std::size_t{5} << 20}) {
        SCOPED_TRACE(size);
        BufferBlock first(size);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first.data()) % 4096, 0u);
        for (std::size_t i = 0; i < size; ++i) first.data()[i] = static_cast<char>(i * 7);
        // A block moved keeps its bytes; the one it replaces is given back.
        BufferBlock second(size);
        char* const bytes = first.data();
        second = std::move(first);
        EXPECT_EQ(second.data(), bytes);
        EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): moved from on purpose
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < size; ++i)
            if (second.data()[i] != static_cast<char>(i * 7)) ++wrong;
        EXPECT_EQ(wrong, 0u);
    }
}

#if defined(__linux__) && !DXFLIST_TEST_SANITIZED
// The flags the system keeps for the mapping that holds `address` (smaps' VmFlags).
std::string mappingFlags(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-') {
            inside = from <= at && at < to;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line.substr(8) + " ";
        }
    }
    return {};
}

TEST(BufferBlockTest, LiesOnLargePagesWhereTheSystemHasThem) {
    BufferBlock block(std::size_t{2} << 20);
    // A large page of x86-64 and of most aarch64 systems begins on 2 MiB.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % (std::size_t{2} << 20), 0u);
    const std::string flags = mappingFlags(block.data());
    ASSERT_FALSE(flags.empty()) << "no mapping holds the block";
    EXPECT_NE(flags.find(" hg "), std::string::npos) << "VmFlags:" << flags;
}
#endif

}  // namespace
}  // namespace dxflist::test
