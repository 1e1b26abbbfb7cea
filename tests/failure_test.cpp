// Every failure is an exception that names the file and says why; none changes, creates or
// leaves behind a file.

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/os_file.h"
#include "engine/pair_reader.h"
#include "test_support.h"
#include "tests/platform_cp932.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#endif

namespace dxflist::test {
namespace {

// The folder's files: a name and its bytes, or what it is instead: "<dir>", a "<fifo>", a
// link to "<full>" (/dev/full) or to the "<copy>" (unix.dxf), a listing another run is writing
// ("<run>"), or a file another program holds, "<locked>" without sharing (a CAD program its
// drawing) or "<seen>" sharing reading (a viewer the listing or the copy). A file named ""
// stands for the folder: "<run>" there is another run working in it.
struct FailureRow {
    const char* name;
    std::vector<std::pair<const char*, const char*>> files;
    const char* chosen;    // in the folder, or a full path
    const char* named;     // the file the message must name ("": the folder); none: listed
    std::string why = "";  // the reason the message must give
    const char* appDir = "";
};

const char* const kCrLf = " 70\r\n1\r\n";
const char* const kLf = " 70\n1\n";
const char* const kNotAFile = "通常のファイルではありません";
#ifdef _WIN32
const char* const kPipe = "\\\\.\\pipe\\dxflist-test";
const std::string kShared = osErrorText(ERROR_SHARING_VIOLATION);
#endif

const FailureRow kRows[] = {
    {"MissingSource", {}, "missing.dxf", "missing.dxf", osErrorText(ENOENT)},
    {"EmptySource", {{"empty.dxf", ""}, {"output.txt", "earlier"}}, "empty.dxf", "empty.dxf"},
    {"FolderAsSource", {{"f.dxf", "<dir>"}}, "f.dxf", "f.dxf", kNotAFile},
    {"ListingCannotBeCreated", {{"in.dxf", kCrLf}}, "in.dxf", "none/output.txt", "", "none"},
    {"CopyCannotBeCreated", {{"in.dxf", kLf}}, "in.dxf", "none/unix.dxf", "", "none"},
    // Creating the listing would empty the chosen file before it is read.
    {"ListingChosenAsSource", {{"output.txt", kCrLf}}, "output.txt", "output.txt"},
    // Another run in the folder stops the second at once: no copy, no box, the listing as it
    // was, or none.
    {"FolderOfAnotherRun",
     {{"in.dxf", kLf}, {"output.txt", "earlier"}, {"", "<run>"}},
     "in.dxf",
     "output.txt",
     "別の実行が一覧を書き込んでいます"},
    {"FolderOfAnotherRunWithoutListing",
     {{"in.dxf", kLf}, {"", "<run>"}},
     "in.dxf",
     "output.txt",
     "別の実行が一覧を書き込んでいます"},
    // A listing another run holds (through a link from its folder) stops the run too.
    {"ListingOfAnotherRun",
     {{"in.dxf", kCrLf}, {"output.txt", "<run>"}},
     "in.dxf",
     "output.txt",
     "別の実行が一覧を書き込んでいます"},
    // Only a folder that lets nobody create files has its copy written in place.
    {"EveryTemporaryNameTaken",
     {{"in.dxf", kLf}, {"unix.dxf", "old"}, {"unix.dxf.tmp", "<taken>"}},
     "in.dxf",
     "",
     "unix.dxf.tmp.99"},
    // Only the last of them is free: the copy takes it.
    {"AllButTheLastTemporaryNameTaken",
     {{"in.dxf", kLf}, {"unix.dxf", "old"}, {"unix.dxf.tmp", "<taken but the last>"}},
     "in.dxf",
     nullptr},
#ifndef _WIN32
    // A FIFO would keep the run waiting for a writer, a device would never end.
    {"FifoAsSource", {{"p.dxf", "<fifo>"}}, "p.dxf", "p.dxf", kNotAFile},
    {"DeviceAsSource", {}, "/dev/zero", "/dev/zero", kNotAFile},
    {"DiskFull",
     {{"in.dxf", kCrLf}, {"output.txt", "<full>"}},
     "in.dxf",
     "output.txt",
     osErrorText(ENOSPC)},
    // The listing would empty the copy before it is read; the copy is made as ever.
    {"ListingLinkedToTheCopy",
     {{"in.dxf", kLf}, {"unix.dxf", " 70\r\n1\r\n\r\n"}, {"output.txt", "<copy>"}},
     "in.dxf",
     "output.txt",
     "読み込むファイル"},
#else
    {"DrawingHeld", {{"in.dxf", "<locked>"}}, "in.dxf", "in.dxf", kShared},
    {"ListingHeld", {{"in.dxf", kCrLf}, {"output.txt", "<seen>"}}, "in.dxf", "output.txt", kShared},
    {"CopyHeld", {{"in.dxf", kLf}, {"unix.dxf", "<seen>"}}, "in.dxf", "unix.dxf"},
    // A named pipe would keep the run waiting for ever.
    {"NamedPipeAsSource", {{kPipe, "<pipe>"}}, kPipe, kPipe, kNotAFile},
#endif
    // What a run finds where it writes its copy: a leftover temporary file (chosen, or not), a
    // hard link to the drawing, a link to another file. None is written through or removed.
    {"TemporaryFileChosen", {{"in.dxf", kLf}, {"unix.dxf.tmp", kLf}}, "unix.dxf.tmp", nullptr},
    {"TemporaryFilesLeftAlone",
     {{"in.dxf", kLf}, {"unix.dxf.tmp", kLf}, {"unix.dxf.tmp.1", "x"}},
     "in.dxf",
     nullptr},
    // The copy of an earlier run is replaced, and nothing of it is left under another name.
    {"EarlierCopyReplaced", {{"in.dxf", kLf}, {"unix.dxf", "earlier"}}, "in.dxf", nullptr},
#ifndef _WIN32
    // A link in the copy's place is replaced itself; the file it leads to is left alone.
    {"CopyNameLinkedToAnotherFile",
     {{"in.dxf", kLf}, {"notes.dxf", "notes"}, {"unix.dxf", "<notes>"}},
     "in.dxf",
     nullptr},
    // A folder in the copy's place is neither replaced nor moved.
    {"FolderInTheCopysPlace",
     {{"in.dxf", kLf}, {"unix.dxf", "<dir>"}, {"unix.dxf/keep.txt", "kept"}},
     "in.dxf",
     "unix.dxf",
     osErrorText(EISDIR)},
    {"TemporaryNameLinkedToTheDrawing",
     {{"in.dxf", kLf}, {"unix.dxf.tmp", "<drawing>"}},
     "in.dxf",
     nullptr},
    {"TemporaryNameLinkedToAnotherFile",
     {{"in.dxf", kLf}, {"notes.dxf", "notes"}, {"unix.dxf.tmp", "<notes>"}},
     "in.dxf",
     nullptr},
#endif
};

std::filesystem::path pathIn(const test::TempDir& dir, const char* name) {
    const std::filesystem::path path(name);
    return path.is_absolute() || name[0] == '/' || name[0] == '\\' ? path
                                                                   : (dir / name).make_preferred();
}

// The descriptors the process has open (Linux; elsewhere 0): a run must close all it opened.
int openDescriptors() {
#ifdef __linux__
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
#else
    return 0;
#endif
}

// Every file in the folder with its bytes: what a failure must leave as it was.
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        files[entry.path().string()] =
            entry.is_regular_file() && !entry.is_symlink() ? test::readFile(entry.path()) : "-";
    return files;
}

// Makes the files of a row.
void makeFiles(const test::TempDir& dir,
               const std::vector<std::pair<const char*, const char*>>& files) {
    for (const auto& [name, bytes] : files) {
        const std::string what = bytes;
        if (what == "<dir>") std::filesystem::create_directory(dir / name);
        if (what == "<full>") std::filesystem::create_symlink("/dev/full", dir / name);
        if (what == "<copy>") std::filesystem::create_symlink("unix.dxf", dir / name);
        if (what == "<drawing>") std::filesystem::create_hard_link(dir / "in.dxf", dir / name);
        if (what == "<notes>") std::filesystem::create_symlink(dir / "notes.dxf", dir / name);
        const int taken = what == "<taken>" ? 100 : what == "<taken but the last>" ? 99 : 0;
        for (int i = 0; i < taken; ++i)
            test::writeFile(dir / (name + (i ? "." + std::to_string(i) : "")), "");
#ifndef _WIN32
        if (what == "<fifo>") {
            EXPECT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        }
#endif
        if (std::string_view(name).empty()) continue;
        if (!what.starts_with('<') || what == "<locked>" || what == "<seen>" || what == "<run>")
            test::writeFile(dir / name, what == "<locked>" ? kCrLf : bytes);
    }
}

class FailureTest : public ::testing::TestWithParam<FailureRow> {};
void checkRow(const FailureRow& row);

// Each row runs twice: with the copy unnamed until it is complete, and as on file systems that
// have no unnamed files, where it has a temporary name of its own from the start.
TEST_P(FailureTest, NamesTheFileAndTouchesNothingElse) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed copy" : "named copy");
        const FileLayerAs paths({.unnamedFiles = unnamed});
        const int descriptors = openDescriptors();
        checkRow(GetParam());
        EXPECT_EQ(openDescriptors(), descriptors);
    }
}

void checkRow(const FailureRow& row) {
    test::TempDir dir;
    makeFiles(dir, row.files);
    auto before = snapshot(dir.path);
    std::vector<std::shared_ptr<void>> held;
    std::optional<OutputFile> otherRun;
    std::optional<FolderLock> otherRunsFolder;
    for (const auto& [name, bytes] : row.files) {
        if (std::string(bytes) != "<run>") continue;
        if (std::string_view(name).empty()) {
            otherRunsFolder.emplace(dir.path);
            ASSERT_TRUE(otherRunsFolder->held());
            continue;
        }
        otherRun = OutputFile::openExisting(dir / name);
        ASSERT_TRUE(otherRun && otherRun->tryLock());
    }
#ifdef _WIN32
    for (const auto& [name, bytes] : row.files) {
        const std::string what = bytes;
        const DWORD share = what == "<seen>" ? FILE_SHARE_READ : 0;
        if (what == "<locked>" || what == "<seen>")
            held.emplace_back(CreateFileW(pathIn(dir, name).c_str(), GENERIC_READ, share, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                              CloseHandle);
        if (what == "<pipe>")
            held.emplace_back(CreateNamedPipeW(pathIn(dir, name).c_str(), PIPE_ACCESS_OUTBOUND,
                                               PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr),
                              CloseHandle);
    }
#endif
    test::FakeHost host;
    const auto run = [&] {
        subDXFver(pathIn(dir, row.chosen), host, test::appIn(dir / row.appDir));
    };
    if (!row.named) {
        run();
        EXPECT_EQ(test::readFile(dir / "unix.dxf"), " 70\r\n1\r\n\r\n");
        EXPECT_EQ(test::readFile(dir / "output.txt"), test::listingOf(" 70\r\n1\r\n\r\n"));
        for (const char* made : {"unix.dxf", "output.txt"})
            before[(dir / made).string()] = test::readFile(dir / made);
    } else {
        const std::string message = test::failureOf(run);
        const std::string named = *row.named ? "ファイル: " + pathText(pathIn(dir, row.named))
                                             : "フォルダ: " + pathText(dir.path);
        EXPECT_NE(message.find(named), std::string::npos) << message;
        EXPECT_NE(message.find(row.why), std::string::npos) << message;
    }
    held.clear();
    otherRun.reset();
    otherRunsFolder.reset();
    EXPECT_EQ(snapshot(dir.path), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, FailureTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

// Two runs in one folder: while the first shows its box about the copy, a second is started on
// another LF drawing. Whether or not there is an earlier listing, the second stops at once and
// changes nothing; the first then lists its own drawing. A listing that a run elsewhere (through
// a link) has taken meanwhile stops the first before it empties that listing. Where the folder
// cannot be claimed, the listing is the claim, taken before the copy is made.
TEST(TwoRunsTest, TheFirstListsItsOwnDrawing) {
    enum Meanwhile { kEarlierListing, kNoListing, kListingTakenElsewhere };
    for (const bool claims : {true, false})
        for (const Meanwhile meanwhile : {kEarlierListing, kNoListing, kListingTakenElsewhere}) {
            // Without a claim on the folder, the first holds the listing at its box already.
            if (!claims && meanwhile == kListingTakenElsewhere) continue;
            SCOPED_TRACE(std::to_string(meanwhile) + (claims ? " folder claimed" : " no claim"));
            const FileLayerAs paths({.folderClaims = claims});
            test::TempDir dir;
            test::writeFile(dir / "a.dxf", kLf);
            test::writeFile(dir / "b.dxf", " 70\n2\n");
            // Longer than the listing that replaces it: none of it may stay behind.
            const std::string old(1000, 'e');
            if (meanwhile == kEarlierListing) test::writeFile(dir / "output.txt", old);
            test::FakeHost first, second;
            std::string stopped;
            std::optional<OutputFile> elsewhere;
            first.onBox = [&] {
                EXPECT_EQ(std::filesystem::exists(dir / "output.txt"),
                          !claims || meanwhile == kEarlierListing);
                const auto before = snapshot(dir.path);
                stopped = test::failureOf(
                    [&] { subDXFver(dir / "b.dxf", second, test::appIn(dir.path)); });
                EXPECT_EQ(snapshot(dir.path), before);
                EXPECT_TRUE(second.boxes.empty());
                if (meanwhile != kListingTakenElsewhere) return;
                test::writeFile(dir / "output.txt", old);
                elsewhere = OutputFile::openExisting(dir / "output.txt");
                ASSERT_TRUE(elsewhere && elsewhere->tryLock());
            };
            const auto run = [&] { subDXFver(dir / "a.dxf", first, test::appIn(dir.path)); };
            if (meanwhile == kListingTakenElsewhere) {
                EXPECT_NE(test::failureOf(run).find("別の実行が一覧を書き込んでいます"),
                          std::string::npos);
                EXPECT_EQ(test::readFile(dir / "output.txt"), old);
            } else {
                run();
                EXPECT_EQ(test::readFile(dir / "output.txt"), test::listingOf(" 70\r\n1\r\n\r\n"));
            }
            EXPECT_NE(stopped.find("別の実行が一覧を書き込んでいます"), std::string::npos)
                << stopped;
            EXPECT_EQ(test::readFile(dir / "unix.dxf"), " 70\r\n1\r\n\r\n");
        }
}

// Without a claim on the folder too, a drawing that cannot be read creates no listing.
TEST(TwoRunsTest, WithoutAClaimAnUnreadableDrawingCreatesNoListing) {
    const FileLayerAs paths({.folderClaims = false});
    test::TempDir dir;
    test::writeFile(dir / "empty.dxf", "");
    for (const char* name : {"empty.dxf", "missing.dxf"}) {
        test::FakeHost host;
        EXPECT_NE(test::failureOf([&] { subDXFver(dir / name, host, test::appIn(dir.path)); }), "");
        EXPECT_FALSE(std::filesystem::exists(dir / "output.txt")) << name;
    }
}

#ifndef _WIN32
// Only a folder closed to new files has an old copy rewritten in place. A temporary name the
// system refuses for another reason (here a path one byte too long, where the copy's and the
// listing's own names still fit) fails the run and leaves the old copy and listing as they were:
// a copy rewritten in place is damaged by a failure or a kill on the way, a risk taken only
// where the folder allows nothing else.
TEST(CopyInPlaceTest, ATemporaryNameRefusedForAnotherReasonFailsTheRun) {
    const FileLayerAs paths({.unnamedFiles = false});
    test::TempDir dir;
    test::writeFile(dir / "in.dxf", kLf);
    // The longest folder whose "/output.txt" fits in a path: "/unix.dxf.tmp" then does not.
    constexpr std::size_t kFolderSize = PATH_MAX - 1 - std::string_view("/output.txt").size();
    std::string app = dir.path.string();
    for (std::size_t left = kFolderSize - app.size(); left > 0;) {
        std::size_t part = std::min<std::size_t>(200, left - 1);
        if (left - 1 - part == 1) --part;  // no single byte left over for a "/" alone
        app += '/' + std::string(part, 'd');
        left -= part + 1;
    }
    ASSERT_EQ(app.size(), kFolderSize);
    std::filesystem::create_directories(app);
    test::writeFile(std::filesystem::path(app) / "output.txt", "earlier");
    test::writeFile(std::filesystem::path(app) / "unix.dxf", "old");
    const auto before = snapshot(app);
    test::FakeHost host;
    const std::string message = test::failureOf(
        [&] { subDXFver(dir / "in.dxf", host, test::appIn(std::filesystem::path(app))); });
    EXPECT_NE(message.find(osErrorText(ENAMETOOLONG)), std::string::npos) << message;
    EXPECT_NE(message.find("unix.dxf.tmp"), std::string::npos) << message;
    EXPECT_EQ(snapshot(app), before);
}
#endif

// Exit or a closed window during the copy of a large LF drawing stops the run there: the
// window's events end the program through the event hook, which the copy calls every few
// kilobytes. The earlier copy stays, and no listing, box or temporary file appears. On Linux the
// copy has no name until it is complete, so that a run killed meanwhile leaves nothing either;
// where it has a name (file systems without unnamed files), the name goes with the stopped run.
TEST(StopTest, StopDuringTheCopyLeavesTheFolderAsItWas) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed copy" : "named copy");
        const FileLayerAs paths({.unnamedFiles = unnamed});
        test::TempDir dir;
        test::writeFile(dir / "in.dxf", std::string(100'000, '\n'));
        test::writeFile(dir / "unix.dxf", "earlier");
        const auto before = snapshot(dir.path);
        test::FakeHost host;
        host.onEvents = [&, calls = 0]() mutable {
#ifdef __linux__
            EXPECT_EQ(snapshot(dir.path) == before, unnamed);
#endif
            if (++calls == 3) throw std::runtime_error("end");
        };
        EXPECT_THROW(subDXFver(dir / "in.dxf", host, test::appIn(dir.path)), std::runtime_error);
        EXPECT_TRUE(host.boxes.empty());
        EXPECT_EQ(snapshot(dir.path), before);
    }
}

// Writes cut short (by a signal, a full pipe) go on where they stopped: with at most a few
// bytes per write, the listing, the copy and the scratch file of a long header variable are as
// ever, and every descriptor the runs opened is closed again.
TEST(ShortWriteTest, EveryByteArrivesOnce) {
    std::string dxf = "  0\nSECTION\n  2\nHEADER\n  9\n$V\n";
    for (int i = 0; i < 30000; ++i) dxf += " 10\n" + std::to_string(100000 + i) + "\n";
    dxf += "  0\nENDSEC\n  0\nEOF\n";
    const auto runIn = [&](const test::TempDir& dir) {
        test::writeFile(dir / "in.dxf", dxf);
        test::FakeHost host;
        subDXFver(dir / "in.dxf", host, test::appIn(dir.path));
        return std::pair(test::readFile(dir / "unix.dxf"), test::readFile(dir / "output.txt"));
    };
    // The scratch files' names, when they have one: none may stay behind.
    const auto scratchNames = [] {
        std::set<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("dxflist-") && name.size() == 14) names.insert(name);
        }
        return names;
    };
    test::TempDir whole, cut;
    const auto expected = runIn(whole);
    const int descriptors = openDescriptors();
    const auto scratch = scratchNames();
    // Named files, as some file systems make them, for the copy and the scratch file too.
    const FileLayerAs paths({.unnamedFiles = false, .writeLimit = 4093});
    EXPECT_EQ(runIn(cut), expected);
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(scratchNames(), scratch);
}

#ifdef __linux__
// A file moved into another's place brings its name and its count of bytes written: its
// failures name it, and the file it replaced is closed.
TEST(OutputFileTest, AFileMovedOverAnotherNamesItselfInItsFailures) {
    TempDir dir;
    const int descriptors = openDescriptors();
    {
        OutputFile file(dir / "first.txt");
        file.write("12345", 5);
        file = OutputFile("/dev/full", OutputFile::Mode::Keep);
        EXPECT_EQ(file.written(), 0u);
        EXPECT_EQ(openDescriptors(), descriptors + 1);
        try {
            file.write("x", 1);
            ADD_FAILURE() << "a write to /dev/full went through";
        } catch (const FileFailure& failure) {
            const std::string message = failure.what();
            EXPECT_NE(message.find("/dev/full"), std::string::npos) << message;
            EXPECT_EQ(message.find("first.txt"), std::string::npos) << message;
        }
    }
    EXPECT_EQ(openDescriptors(), descriptors);
}
#endif

#ifdef __linux__
// A run that holds only the folder's name (one that may not read the folder, so cannot lock it)
// stops another all the same. The name is the same in every version of the program, so that
// two versions see each other: "dxflist-folder-", then the folder's device and inode in hex, in
// the abstract namespace.
TEST(FolderClaimTest, ANameHeldElsewhereStopsTheRun) {
    test::TempDir dir;
    struct stat info {};
    ASSERT_EQ(::stat(dir.path.c_str(), &info), 0);
    const int other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(other, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int length = std::snprintf(
        address.sun_path + 1, sizeof address.sun_path - 1, "dxflist-folder-%llx-%llx",
        static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino));
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    ASSERT_EQ(::bind(other, reinterpret_cast<const sockaddr*>(&address), size), 0);
    {
        const FolderLock second(dir.path);
        EXPECT_TRUE(second.heldElsewhere());
    }
    ::close(other);
    const FolderLock alone(dir.path);
    EXPECT_TRUE(alone.held());
    EXPECT_FALSE(alone.heldElsewhere());
}

// The lock on the folder itself is what a run in another network namespace, or on another
// machine sharing the folder, sees, where the name does not reach: a run keeps it, and one
// finds it held by such a run (a lock without the name, as here).
TEST(FolderClaimTest, TheFolderItselfIsLockedAndALockElsewhereStopsTheRun) {
    test::TempDir dir;
    const auto lockedElsewhere = [&] {
        const int other = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool locked = ::flock(other, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(other);
        return locked;
    };
    {
        const FolderLock run(dir.path);
        ASSERT_TRUE(run.held());
        EXPECT_TRUE(lockedElsewhere());
    }
    EXPECT_FALSE(lockedElsewhere());

    const int other = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    {
        const FolderLock second(dir.path);
        EXPECT_TRUE(second.heldElsewhere());
    }
    ::close(other);
}
#endif

// The listing's texts are turned into code page 932 as the program is built, from a table of the
// characters they use: each entry is what the system's own converter makes of it, and a text is
// its characters' bytes in turn.
TEST(CodePageTest, TheBuiltTextsAreWhatTheSystemsConverterMakes) {
    for (const Cp932Char& entry : kCp932Chars) {
        std::string utf8;
        utf8 += static_cast<char>(0xE0 | entry.code >> 12);
        utf8 += static_cast<char>(0x80 | (entry.code >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (entry.code & 0x3F));
        EXPECT_EQ(test::utf8ToCp932(utf8),
                  std::string({static_cast<char>(entry.first), static_cast<char>(entry.second)}))
            << utf8;
    }
    constexpr Cp932Text kText = toCp932("終端検出[EOF] - 値");
    EXPECT_EQ(kText.view(), test::utf8ToCp932("終端検出[EOF] - 値"));
    EXPECT_EQ(kText.view(), "\x8f\x49\x92\x5b\x8c\x9f\x8f\x6f[EOF] - \x92\x6c");
}

// Open makes the program's folder current; a folder that is gone is named in the failure.
TEST(ProgramFolderTest, GoneIsAFailureThatNamesIt) {
    test::TempDir dir;
    const std::string message = test::failureOf([&] { setCurrentFolder(dir / "gone"); });
    EXPECT_NE(message.find(pathText(dir / "gone")), std::string::npos) << message;
}

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
}  // namespace dxflist::test
