// Every failure is an exception that names the file and says why; none changes, creates or
// leaves behind a file.

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/pair_reader.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace dxflist {
namespace {

// The folder's files: a name and its bytes, or what it is instead: "<dir>", a "<fifo>", a
// link to "<full>" (/dev/full), or a file another program holds, "<locked>" without sharing
// (a CAD program its drawing) or "<seen>" sharing reading (a viewer the listing or the copy).
struct FailureRow {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;
    const char* chosen;    // in the folder, or a full path
    const char* appDir;    // the application folder, in the folder
    const char* named;     // the file the message must name
    std::string why = "";  // the reason the message must give
};

const char* const kCrLf = " 70\r\n1\r\n";
const char* const kLf = " 70\n1\n";
const char* const kNotAFile = "通常のファイルではありません";
#ifdef _WIN32
const char* const kPipe = "\\\\.\\pipe\\dxflist-test";
const std::string kShared = osErrorText(ERROR_SHARING_VIOLATION);
#endif

const FailureRow kRows[] = {
    {"MissingSource", {}, "missing.dxf", "", "missing.dxf", osErrorText(ENOENT)},
    {"EmptySource", {{"empty.dxf", ""}, {"output.txt", "earlier"}}, "empty.dxf", "", "empty.dxf"},
    {"FolderAsSource", {{"f.dxf", "<dir>"}}, "f.dxf", "", "f.dxf", kNotAFile},
    {"ListingCannotBeCreated", {{"in.dxf", kCrLf}}, "in.dxf", "none", "none/output.txt"},
    {"CopyCannotBeCreated", {{"in.dxf", kLf}}, "in.dxf", "none", "none/unix.dxf"},
    // Creating the listing would empty the chosen file before it is read.
    {"ListingChosenAsSource", {{"output.txt", kCrLf}}, "output.txt", "", "output.txt"},
#ifndef _WIN32
    // A FIFO would keep the run waiting for a writer, a device would never end.
    {"FifoAsSource", {{"p.dxf", "<fifo>"}}, "p.dxf", "", "p.dxf", kNotAFile},
    {"DeviceAsSource", {}, "/dev/zero", "", "/dev/zero", kNotAFile},
    {"DiskFull",
     {{"in.dxf", kCrLf}, {"output.txt", "<full>"}},
     "in.dxf",
     "",
     "output.txt",
     osErrorText(ENOSPC)},
#else
    {"DrawingHeld", {{"in.dxf", "<locked>"}}, "in.dxf", "", "in.dxf", kShared},
    {"ListingHeld",
     {{"in.dxf", kCrLf}, {"output.txt", "<seen>"}},
     "in.dxf",
     "",
     "output.txt",
     kShared},
    {"CopyHeld", {{"in.dxf", kLf}, {"unix.dxf", "<seen>"}}, "in.dxf", "", "unix.dxf", kShared},
    // A named pipe would keep the run waiting for ever.
    {"NamedPipeAsSource", {{kPipe, "<pipe>"}}, kPipe, "", kPipe, kNotAFile},
#endif
};

std::filesystem::path in(const test::TempDir& dir, const char* name) {
    const std::filesystem::path path(name);
    return path.is_absolute() || name[0] == '/' ? path : (dir / name).make_preferred();
}

// Every file in the folder with its bytes: what a failure must leave as it was.
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        files[entry.path().string()] =
            entry.is_regular_file() && !entry.is_symlink() ? test::readFile(entry.path()) : "-";
    return files;
}

class FailureTest : public ::testing::TestWithParam<FailureRow> {};

TEST_P(FailureTest, NamesTheFileAndTouchesNothing) {
    const FailureRow& row = GetParam();
    test::TempDir dir;
    for (const auto& [name, bytes] : row.files) {
        const std::string what = bytes;
        if (what == "<dir>") std::filesystem::create_directory(dir / name);
        if (what == "<full>") std::filesystem::create_symlink("/dev/full", dir / name);
#ifndef _WIN32
        if (what == "<fifo>") {
            EXPECT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        }
#endif
        if (!what.starts_with('<') || what == "<locked>" || what == "<seen>")
            test::writeFile(dir / name, what == "<locked>" ? kCrLf : bytes);
    }
    const auto before = snapshot(dir.path);
    std::vector<std::shared_ptr<void>> held;
#ifdef _WIN32
    for (const auto& [name, bytes] : row.files) {
        const std::string what = bytes;
        const DWORD share = what == "<seen>" ? FILE_SHARE_READ : 0;
        if (what == "<locked>" || what == "<seen>")
            held.emplace_back(CreateFileW(in(dir, name).c_str(), GENERIC_READ, share, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                              CloseHandle);
        if (what == "<pipe>")
            held.emplace_back(CreateNamedPipeW(in(dir, name).c_str(), PIPE_ACCESS_OUTBOUND,
                                               PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr),
                              CloseHandle);
    }
#endif
    const std::string message = test::failureOf(in(dir, row.chosen), dir / row.appDir);
    held.clear();
    EXPECT_NE(message.find(pathText(in(dir, row.named))), std::string::npos) << message;
    EXPECT_NE(message.find(row.why), std::string::npos) << message;
    EXPECT_EQ(snapshot(dir.path), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, FailureTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(LineCounterTest, FailsInsteadOfPassingTheLargest32BitNumber) {
    LineCounter counter("in.dxf", std::numeric_limits<std::int32_t>::max() - 1);
    EXPECT_EQ(counter.next(), std::numeric_limits<std::int32_t>::max());
    EXPECT_THROW(counter.next(), Failure);
    EXPECT_EQ(counter.value(), std::numeric_limits<std::int32_t>::max());
}

// A header variable beyond line 32,767 is listed like any other.
TEST(LineCounterTest, HeaderVariableBeyondLine32767IsListed) {
    std::string dxf = "  0\r\nSECTION\r\n  2\r\nHEADER\r\n";
    for (int i = 0; i < 20000; ++i) dxf += "  9\r\n$V" + std::to_string(i) + "\r\n 70\r\n1\r\n";
    const std::string out = test::listingOf(dxf + "  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
    EXPECT_NE(out.find("\r\n040001:$V9999=1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\n080001:$V19999=1\r\n"), std::string::npos);
}

}  // namespace
}  // namespace dxflist
