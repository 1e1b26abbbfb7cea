// The copy that replaces an earlier one: the earlier one's cached pages are dropped before the
// new one is written, so that memory is reused, but only where none waits to be written out.

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/os_file.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

struct PageCounts {
    std::uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
};

// The file's page counts (cachestat), or nothing where the system cannot tell them.
std::optional<PageCounts> pageCounts(const std::filesystem::path& path) {
#if defined(__x86_64__) || defined(__aarch64__)
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct {
        std::uint64_t offset = 0, length = 0;
    } range;
    PageCounts counts{};
    const long done = ::syscall(451, fd, &range, &counts, 0);
    ::close(fd);
    if (done == 0) return counts;
#else
    (void)path;
#endif
    return std::nullopt;
}

// The file's pages in memory, as mincore sees them through a mapping.
std::size_t residentPages(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(path));
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((size + page - 1) / page);
    const int done = ::mincore(map, size, in.data());
    ::munmap(map, size);
    ::close(fd);
    EXPECT_EQ(done, 0);
    return static_cast<std::size_t>(
        std::count_if(in.begin(), in.end(), [](unsigned char p) { return p & 1; }));
}

TEST(ReplacementTest, DropsTheEarlierFilesPagesOnlyWhereNoneWaitsToBeWrittenOut) {
    test::TempDir dir;
    struct statfs where {};
    ASSERT_EQ(::statfs(dir.path.c_str(), &where), 0);
    // tmpfs keeps a file's only copy in its pages, which are never dropped.
    if (where.f_type == 0x01021994) GTEST_SKIP() << "the test folder is on tmpfs";
    if (!pageCounts(dir.path)) GTEST_SKIP() << "this system cannot tell a file's dirty pages";
    for (const bool writtenOut : {true, false}) {
        SCOPED_TRACE(writtenOut ? "written out" : "waiting to be written out");
        const auto earlier = dir / (writtenOut ? "out.dxf" : "dirty.dxf");
        test::writeFile(earlier, std::string(std::size_t{1} << 20, 'x'));
        if (writtenOut) {
            const int fd = ::open(earlier.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_EQ(::fsync(fd), 0);
            ::close(fd);
        }
        ASSERT_GT(residentPages(earlier), 0u);
        const std::uint64_t dirtyBefore = pageCounts(earlier)->dirty;
        const ReplacementFile replacement(earlier);
        if (writtenOut) {
            EXPECT_EQ(residentPages(earlier), 0u);
        } else if (dirtyBefore > 0) {
            // Dropping would have started the write-out of the dirty pages; nothing else does
            // for a file written a moment ago, the test runs calling no sync.
            EXPECT_GT(pageCounts(earlier)->dirty, 0u);
            EXPECT_EQ(residentPages(earlier),
                      (std::size_t{1} << 20) / static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
        }
    }
}

// The temporary name is free again once the copy is in place: a file someone puts there before
// the copy is let go is theirs, and stays.
TEST(ReplacementTest, LeavesAFileThatTakesTheTemporaryNameOnceTheCopyIsInPlace) {
    test::TempDir dir;
    const auto target = dir / "unix.dxf";
    test::writeFile(target, "old");
    {
        ReplacementFile replacement(target);
        OutputFile output = replacement.output();
        output.write("new", 3);
        output.close();
        const auto copy = replacement.putInPlace();
        test::writeFile(dir / "unix.dxf.tmp", "someone else's");
    }
    EXPECT_EQ(test::readFile(target), "new");
    EXPECT_EQ(test::readFile(dir / "unix.dxf.tmp"), "someone else's");
}

}  // namespace
}  // namespace dxflist::test
#endif
