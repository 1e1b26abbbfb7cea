// Every failure is an exception that names the file and says why; none destroys a file.

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "engine/dxflist.h"
#include "engine/failure.h"
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
