// Every failure is an exception that names the file and says why; none destroys a file.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/os_file.h"
#include "engine/pair_reader.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace dxflist {
namespace {

using test::failureOf;
using test::readFile;
using test::TempDir;
using test::writeFile;

bool mentions(const std::string& message, const std::filesystem::path& path) {
    return message.find(pathText(path)) != std::string::npos;
}

TEST(FailureTest, MissingSourceCreatesNoListing) {
    TempDir dir;
    const std::string message = failureOf(dir / "missing.dxf", dir.path());
    EXPECT_TRUE(mentions(message, dir / "missing.dxf")) << message;
    EXPECT_NE(message.find(osErrorText(ENOENT)), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(dir / "output.txt"));
}

TEST(FailureTest, EmptySourceFailsBeforeTheListingIsCreated) {
    TempDir dir;
    writeFile(dir / "empty.dxf", "");
    writeFile(dir / "output.txt", "earlier listing\r\n");
    const std::string message = failureOf(dir / "empty.dxf", dir.path());
    EXPECT_TRUE(mentions(message, dir / "empty.dxf")) << message;
    EXPECT_EQ(readFile(dir / "output.txt"), "earlier listing\r\n");
}

TEST(FailureTest, FolderAsSourceIsRefused) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.dxf");
    EXPECT_TRUE(mentions(failureOf(dir / "folder.dxf", dir.path()), dir / "folder.dxf"));
}

#ifndef _WIN32
// A FIFO would block the run for ever waiting for a writer.
TEST(FailureTest, FifoAsSourceIsRefusedWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe.dxf").c_str(), 0600), 0);
    EXPECT_TRUE(mentions(failureOf(dir / "pipe.dxf", dir.path()), dir / "pipe.dxf"));
}

TEST(FailureTest, ListingThatCannotBeWrittenIsAFailure) {
    TempDir dir;
    writeFile(dir / "in.dxf", " 70\r\n1\r\n 70\r\n2\r\n");
    std::filesystem::create_symlink("/dev/full", dir / "output.txt");
    const std::string message = failureOf(dir / "in.dxf", dir.path());
    EXPECT_TRUE(mentions(message, dir / "output.txt")) << message;
    EXPECT_NE(message.find(osErrorText(ENOSPC)), std::string::npos) << message;
}
#endif

TEST(FailureTest, ListingThatCannotBeCreatedIsAFailure) {
    TempDir dir;
    writeFile(dir / "in.dxf", " 70\r\n1\r\n");
    const std::string message = failureOf(dir / "in.dxf", dir / "no such folder");
    EXPECT_TRUE(mentions(message, dir / "no such folder" / "output.txt")) << message;
}

TEST(FailureTest, CopyThatCannotBeCreatedIsAFailureAndLeavesNothing) {
    TempDir dir;
    writeFile(dir / "in.dxf", " 70\n1\n");
    const std::string message = failureOf(dir / "in.dxf", dir / "no such folder");
    EXPECT_NE(message.find("unix.dxf"), std::string::npos) << message;
    EXPECT_EQ(readFile(dir / "in.dxf"), " 70\n1\n");
}

// Creating the listing would empty the chosen file before it is read.
TEST(FailureTest, ListingChosenAsSourceIsLeftAlone) {
    TempDir dir;
    const std::string before = " 70\r\n1\r\n";
    writeFile(dir / "output.txt", before);
    EXPECT_TRUE(mentions(failureOf(dir / "output.txt", dir.path()), dir / "output.txt"));
    EXPECT_EQ(readFile(dir / "output.txt"), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "unix.dxf"));
}

// Files already in the application folder that a run must neither write through nor destroy:
// leftovers and links where the copy's temporary file goes, a listing that leads to the copy,
// a listing another run is writing. Each row prepares the folder and chooses an LF drawing.
struct FolderCase {
    const char* name;
    std::function<void(const TempDir&)> prepare;
    const char* chosen;
    bool lockListing;               // another run holds the listing
    const char* failureNames;       // the failure's message names this file; null: success
    std::vector<const char*> keep;  // files whose bytes must stay as prepared
};

const std::string kLfDrawing = "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  0\nENDSEC\n  0\nEOF\n";
const std::string kCrLfCopy =
    "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n\r\n";

std::vector<std::string> temporaryNames(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        if (entry.path().filename().string().starts_with("unix.dxf.tmp"))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderTest, NoFileIsWrittenThroughOrLost) {
    const FolderCase& row = GetParam();
    TempDir dir;
    writeFile(dir / "drawing.dxf", kLfDrawing);
    row.prepare(dir);
    std::vector<std::string> kept;
    for (const char* name : row.keep) kept.push_back(readFile(dir / name));
    const std::vector<std::string> temporaryBefore = temporaryNames(dir);
    std::optional<OutputFile> otherRun;
    if (row.lockListing) {
        otherRun = OutputFile::openExisting(dir / "output.txt");
        ASSERT_TRUE(otherRun && otherRun->tryLock());
    }

    test::FakeHost host;
    std::string message;
    try {
        subDXFver(dir / row.chosen, host, test::appIn(dir.path()));
    } catch (const Failure& failure) {
        message = failure.what();
    }
    // A run stopped by another neither makes a copy nor shows a box.
    if (row.lockListing) {
        EXPECT_TRUE(host.boxes.empty());
    }
    if (row.failureNames) {
        EXPECT_TRUE(mentions(message, dir / row.failureNames)) << message;
    } else {
        EXPECT_EQ(message, "");
        EXPECT_EQ(readFile(dir / "output.txt"), test::listingOf(kCrLfCopy));
    }
    if (std::filesystem::exists(dir / "unix.dxf")) {
        EXPECT_FALSE(std::filesystem::is_symlink(dir / "unix.dxf"));
        EXPECT_EQ(readFile(dir / "unix.dxf"), kCrLfCopy);
    }
    for (std::size_t i = 0; i < row.keep.size(); ++i)
        EXPECT_EQ(readFile(dir / row.keep[i]), kept[i]) << row.keep[i];
    EXPECT_EQ(temporaryNames(dir), temporaryBefore);
}

void writeLeftover(const TempDir& dir) {
    writeFile(dir / "unix.dxf.tmp", kLfDrawing);
}

const FolderCase kFolderCases[] = {
    {"LeftoverTemporaryFileChosen",
     writeLeftover,
     "unix.dxf.tmp",
     false,
     nullptr,
     {"unix.dxf.tmp"}},
    {"LeftoverTemporaryFileLeftAlone",
     [](const TempDir& dir) {
         writeLeftover(dir);
         writeFile(dir / "unix.dxf.tmp.1", "another\r\n");
     },
     "drawing.dxf",
     false,
     nullptr,
     {"unix.dxf.tmp", "unix.dxf.tmp.1"}},
    {"ListingOfAnotherRun",
     [](const TempDir& dir) { writeFile(dir / "output.txt", "earlier listing\r\n"); },
     "drawing.dxf",
     true,
     "output.txt",
     {"output.txt"}},
#ifndef _WIN32
    {"TemporaryNameHardLinkedToTheDrawing",
     [](const TempDir& dir) {
         std::filesystem::create_hard_link(dir / "drawing.dxf", dir / "unix.dxf.tmp");
     },
     "drawing.dxf",
     false,
     nullptr,
     {"drawing.dxf"}},
    {"TemporaryNameLinkedToAnotherFile",
     [](const TempDir& dir) {
         writeFile(dir / "notes.dxf", "notes\r\n");
         std::filesystem::create_symlink(dir / "notes.dxf", dir / "unix.dxf.tmp");
     },
     "drawing.dxf",
     false,
     nullptr,
     {"notes.dxf"}},
    {"ListingLinkedToTheCopy",
     [](const TempDir& dir) {
         writeFile(dir / "unix.dxf", "earlier copy\r\n");
         std::filesystem::create_symlink("unix.dxf", dir / "output.txt");
     },
     "drawing.dxf",
     false,
     "output.txt",
     {"drawing.dxf"}},
#endif
};

INSTANTIATE_TEST_SUITE_P(Folder, FolderTest, testing::ValuesIn(kFolderCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Open makes the program's folder current; a folder that is gone is named in the failure.
TEST(FailureTest, ProgramFolderThatIsGoneIsNamed) {
    TempDir dir;
    try {
        setCurrentFolder(dir / "gone");
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_TRUE(mentions(failure.what(), dir / "gone")) << failure.what();
    }
}

TEST(FailureTest, LineCounterFailsInsteadOfPassingTheLargest32BitNumber) {
    LineCounter counter("in.dxf", std::numeric_limits<std::int32_t>::max() - 1);
    EXPECT_EQ(counter.next(), std::numeric_limits<std::int32_t>::max());
    EXPECT_THROW(counter.next(), Failure);
    EXPECT_EQ(counter.value(), std::numeric_limits<std::int32_t>::max());
}

// A header variable beyond line 32,767 is listed like any other.
TEST(FailureTest, HeaderVariableBeyondLine32767IsListed) {
    std::string dxf = "  0\r\nSECTION\r\n  2\r\nHEADER\r\n";
    for (int i = 0; i < 20000; ++i) dxf += "  9\r\n$V" + std::to_string(i) + "\r\n 70\r\n1\r\n";
    dxf += "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    const std::string out = test::listingOf(dxf);
    EXPECT_NE(out.find("\r\n040001:$V9999=1\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\n080001:$V19999=1\r\n"), std::string::npos);
}

}  // namespace
}  // namespace dxflist
