// Windows' own kinds of trouble with files. Files another program holds open without sharing
// (a CAD program the drawing, a viewer the listing or the copy): each is a failure that names
// the file and gives the system's reason, and no file is damaged or left behind. A named pipe
// chosen as the drawing, which would keep the run waiting for ever. Folders deeper than
// MAX_PATH, which Windows' plain calls refuse; Wine does not, so here the test shows that the
// engine's \\?\ form of such paths names the right files.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/dxflist.h"
#include "engine/failure.h"
#include "test_support.h"

namespace dxflist {
namespace {

using test::failureOf;
using test::FakeHost;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Another program's handle on a file, with the sharing it allows others.
class HeldFile {
  public:
    HeldFile(const std::filesystem::path& path, DWORD share)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldFile() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

void expectNames(const std::string& message, const std::filesystem::path& file) {
    EXPECT_NE(message.find(pathText(file)), std::string::npos) << message;
    EXPECT_NE(message.find(osErrorText(ERROR_SHARING_VIOLATION)), std::string::npos) << message;
}

TEST(SharingTest, DrawingHeldWithoutSharingCreatesNoListing) {
    TempDir dir;
    writeFile(dir / "in.dxf", " 70\r\n1\r\n");
    HeldFile cad(dir / "in.dxf", 0);
    ASSERT_TRUE(cad.held());
    expectNames(failureOf(dir / "in.dxf", dir.path()), dir / "in.dxf");
    EXPECT_FALSE(std::filesystem::exists(dir / "output.txt"));
}

TEST(SharingTest, ListingHeldByAViewerStaysAsItWas) {
    TempDir dir;
    writeFile(dir / "in.dxf", " 70\r\n1\r\n");
    writeFile(dir / "output.txt", "earlier listing\r\n");
    {
        HeldFile viewer(dir / "output.txt", FILE_SHARE_READ);
        ASSERT_TRUE(viewer.held());
        expectNames(failureOf(dir / "in.dxf", dir.path()), dir / "output.txt");
    }
    EXPECT_EQ(readFile(dir / "output.txt"), "earlier listing\r\n");
}

TEST(SharingTest, CopyHeldByAViewerStaysAsItWasAndNoTemporaryFileIsLeft) {
    TempDir dir;
    writeFile(dir / "in.dxf", " 70\n1\n");
    writeFile(dir / "unix.dxf", "earlier copy\r\n");
    {
        HeldFile viewer(dir / "unix.dxf", FILE_SHARE_READ);
        ASSERT_TRUE(viewer.held());
        const std::string message = failureOf(dir / "in.dxf", dir.path());
        EXPECT_NE(message.find(pathText(dir / "unix.dxf")), std::string::npos) << message;
    }
    EXPECT_EQ(readFile(dir / "unix.dxf"), "earlier copy\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "unix.dxf.tmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "output.txt"));
}

TEST(DeviceTest, NamedPipeAsDrawingIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::wstring name =
        L"\\\\.\\pipe\\dxflist-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    const std::string message = failureOf(name, dir.path());
    CloseHandle(server);
    EXPECT_NE(message.find(pathText(name)), std::string::npos) << message;
    EXPECT_FALSE(std::filesystem::exists(dir / "output.txt"));
}

// The test's own access to long paths goes through the \\?\ form, independently of the engine.
std::wstring longForm(const std::filesystem::path& path) {
    std::wstring text = path.lexically_normal().wstring();
    for (wchar_t& c : text)
        if (c == L'/') c = L'\\';
    return L"\\\\?\\" + text;
}

bool existsLong(const std::filesystem::path& path) {
    return GetFileAttributesW(longForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeLong(const std::filesystem::path& path, const std::string& bytes) {
    HANDLE h = CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
    CloseHandle(h);
}

std::string readLong(const std::filesystem::path& path) {
    HANDLE h = CreateFileW(longForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(missing)";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

// Folders nested under a temporary folder until the path passes MAX_PATH, removed at the end.
class DeepFolder {
  public:
    explicit DeepFolder(const std::filesystem::path& base) : path_(base) {
        while (path_.wstring().size() < 320) {
            path_ /= L"図面フォルダ-" + std::wstring(40, L'x');
            made_.push_back(path_);
            CreateDirectoryW(longForm(path_).c_str(), nullptr);
        }
    }
    ~DeepFolder() {
        for (const wchar_t* name : {L"in.dxf", L"output.txt", L"unix.dxf", L"unix.dxf.tmp"})
            DeleteFileW(longForm(path_ / name).c_str());
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            RemoveDirectoryW(longForm(*it).c_str());
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::vector<std::filesystem::path> made_;
};

TEST(LongPathTest, DrawingAndProgramInAFolderDeeperThanMaxPath) {
    TempDir dir;
    DeepFolder deep(dir.path());
    ASSERT_TRUE(existsLong(deep.path()));
    const std::string dxf = "999\ncomment\n  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n1.5\n";
    writeLong(deep.path() / "in.dxf", dxf);

    // The same run in a short folder gives what the deep one must.
    TempDir shallow;
    writeFile(shallow / "in.dxf", dxf);
    FakeHost host;
    subDXFver(shallow / "in.dxf", host, test::appIn(shallow.path()));
    subDXFver(deep.path() / "in.dxf", host, test::appIn(deep.path()));
    EXPECT_EQ(readLong(deep.path() / "output.txt"), readFile(shallow / "output.txt"));
    EXPECT_EQ(readLong(deep.path() / "unix.dxf"), readFile(shallow / "unix.dxf"));
    EXPECT_FALSE(existsLong(deep.path() / "unix.dxf.tmp"));

    // The listing itself chosen as the drawing is still recognised and left alone.
    const std::string listed = readLong(deep.path() / "output.txt");
    EXPECT_THROW(subDXFver(deep.path() / "output.txt", host, test::appIn(deep.path())), Failure);
    EXPECT_EQ(readLong(deep.path() / "output.txt"), listed);
}

}  // namespace
}  // namespace dxflist
