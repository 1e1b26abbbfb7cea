#include "engine/byte_writer.h"

#ifdef __linux__
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#endif

#include <bit>
#include <chrono>
#include <csignal>
#include <cstring>
#include <random>
#include <thread>

#include "engine/binary_values.h"
#include "test_support.h"

namespace dxflist::test {
namespace {

// The ways a writer's file is opened: new, or over a longer old file that is emptied first, at
// once, or on a thread of its own with what is written meanwhile spooled until it is empty, or
// to the end (as when emptying it outlasts the run).
// The spool is copied in by the system where it can, through a buffer elsewhere.
enum class Over {
    Nothing,
    OldEmptiedAtOnce,
    OldEmptiedBehind,
    OldSpooledToTheEnd,
    OldSpooledThroughABuffer
};
constexpr Over kEveryWay[] = {Over::Nothing, Over::OldEmptiedAtOnce, Over::OldEmptiedBehind,
                              Over::OldSpooledToTheEnd, Over::OldSpooledThroughABuffer};

const char* nameOf(Over way) {
    constexpr const char* kNames[] = {
        "new", "over an old file emptied at once", "over an old file emptied behind",
        "over an old file spooled to the end", "over an old file spooled, copied by the program"};
    return kNames[static_cast<int>(way)];
}

// The file layer as `way` needs it, for as long as the writer lives.
FileLayerPaths layerFor(Over way) {
    FileLayerPaths paths;
    paths.emptyBehindFrom = way == Over::OldEmptiedAtOnce ? UINT64_MAX : 1;
    paths.spoolToTheEnd = way == Over::OldSpooledToTheEnd || way == Over::OldSpooledThroughABuffer;
    paths.copyInKernel = way != Over::OldSpooledThroughABuffer;
    return paths;
}

// An old file of 20,000 lines, longer than anything a test writes over it; returns its bytes.
std::string writeOldFile(const std::filesystem::path& path) {
    std::string old;
    for (int i = 0; i < 20000; ++i) old += "old line " + std::to_string(i) + "\r\n";
    writeFile(path, old);
    return old;
}

OutputFile openOver(const std::filesystem::path& path, Over way) {
    if (way == Over::Nothing) return OutputFile(path);
    writeOldFile(path);
    OutputFile file(path, OutputFile::Mode::Keep);
    file.truncate();
    return file;
}

// A writer dropped by a failure keeps whole lines only: also when part of an unfinished long
// line had already been flushed, and when the last whole line is still being written in the
// background as the writer goes.
TEST(ByteWriterTest, DroppedWriterKeepsWholeLinesOnly) {
    const struct {
        std::size_t buffer;
        std::vector<std::string_view> lines;  // each but the last ended with CR LF
        const char* kept;
    } rows[] = {
        {8, {"first", "second line, longer than the buffer"}, "first\r\n"},
        {16, {"0123456789ABCD", "xy", "partial"}, "0123456789ABCD\r\nxy\r\n"},
    };
    for (const auto& row : rows) {
        for (const Over way : kEveryWay) {
            TempDir dir;
            const FileLayerAs paths(layerFor(way));
            try {
                ByteWriter out(openOver(dir / "out.txt", way), row.buffer);
                for (std::size_t i = 0; i < row.lines.size(); ++i) {
                    out.put(row.lines[i]);
                    if (i + 1 < row.lines.size()) out.endLine();
                }
                throw std::runtime_error("stop");
            } catch (const std::runtime_error&) {
            }
            EXPECT_EQ(readFile(dir / "out.txt"), row.kept) << nameOf(way);
        }
    }
}

// Lines carried from a full buffer to the next, or written in pieces when longer than a
// buffer, reach the file once each and in order.
TEST(ByteWriterTest, EveryByteOnceThroughSmallBuffers) {
    for (const std::size_t buffer : {4, 8, 16, 61, 4096}) {
        for (const Over way : kEveryWay) {
            TempDir dir;
            const FileLayerAs paths(layerFor(way));
            std::string expected;
            {
                ByteWriter out(openOver(dir / "out.txt", way), buffer);
                for (std::size_t i = 0; i < 200; ++i) {
                    const std::string line(i * 7 % 23, static_cast<char>('a' + i % 26));
                    out.put(line);
                    out.endLine();
                    expected += line + "\r\n";
                }
                out.put("end");
                out.finish();
            }
            EXPECT_EQ(readFile(dir / "out.txt"), expected + "end")
                << "buffer " << buffer << ", " << nameOf(way);
        }
    }
}

// Doubles whose text the writer makes as it writes each buffer, in lines of every kind: whole,
// begun when the buffer fills (the line moves on with its doubles), longer than a buffer
// (written in pieces), taken back (from the buffer, or from the file where part of it was
// written), and the line left unfinished when a failure drops the writer. The file holds each
// double's text where its room was, and no line that was taken back.
TEST(ByteWriterTest, DeferredDoublesTakeTheirPlaceInEveryKindOfLine) {
    const double kValues[] = {0.0, -0.0, 1e-05, 1.5e+16, 123456.789, 0.5, -1.2345678901234567e-100};
    const auto textOf = [](double value) {
        char text[kDoubleTextMost];
        return std::string(text, formatDouble(value, text));
    };
    for (const std::size_t buffer : {std::size_t{64}, std::size_t{100}, std::size_t{4096}}) {
        for (const bool dropped : {false, true}) {
            for (const Over way : kEveryWay) {
                TempDir dir;
                const FileLayerAs paths(layerFor(way));
                std::mt19937_64 random(buffer);
                std::string expected;
                std::size_t next = 0;
                const auto value = [&] {
                    const std::uint64_t bits = next < std::size(kValues)
                                                   ? std::bit_cast<std::uint64_t>(kValues[next])
                                                   : random();
                    ++next;
                    return std::bit_cast<double>(bits);
                };
                // A piece of a line: "n=", a deferred double and ";", written straight into the
                // buffer; its text as the file should have it.
                const auto putPiece = [&](ByteWriter& out) {
                    const double v = value();
                    char* to = out.reserve(2 + ByteWriter::kDeferredDoubleRoom + 1);
                    std::memcpy(to, "n=", 2);
                    char bits[8];
                    std::memcpy(bits, &v, 8);
                    to = out.putDeferredDouble(to + 2, bits);
                    *to++ = ';';
                    out.commit(to);
                    return "n=" + textOf(v) + ";";
                };
                try {
                    ByteWriter out(openOver(dir / "out.txt", way), buffer);
                    for (std::size_t i = 0; i < 120; ++i) {
                        std::string line;
                        const std::string text(i * 7 % 150, static_cast<char>('a' + i % 26));
                        switch (i % 5) {
                            case 0:  // whole lines of pieces, some buffers full
                                for (std::size_t k = 0; k <= i % 4; ++k) line += putPiece(out);
                                break;
                            case 1:  // a piece, then text that may not fit the buffer
                                line = putPiece(out);
                                out.put(text);
                                line += text;
                                break;
                            case 2:  // taken back: a piece alone, or with text longer than a buffer
                                putPiece(out);
                                if (i % 2 == 0) out.put(text);
                                out.dropPartialLine();
                                continue;
                            default:
                                out.put(text);
                                line = text;
                                break;
                        }
                        out.endLine();
                        expected += line + "\r\n";
                    }
                    const std::string last = putPiece(out);
                    if (dropped) throw std::runtime_error("stop");
                    out.finish();
                    expected += last;  // unfinished: written by finish() alone
                } catch (const std::runtime_error&) {
                }
                EXPECT_EQ(readFile(dir / "out.txt"), expected)
                    << "buffer " << buffer << (dropped ? ", dropped, " : ", ") << nameOf(way);
            }
        }
    }
}

#ifdef __linux__
// Writes past `bytes` fail (EFBIG) while this lives, as on a full disk; the signal that comes
// with them is ignored, as the program ignores it.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before);
        signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, before.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, signalBefore);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    rlimit before{};
    void (*signalBefore)(int) = nullptr;
};

// A disk that fills while the old file is being emptied fails the spool's write too: the file
// keeps the same whole lines as where nothing was spooled.
TEST(ByteWriterTest, AFullDiskKeepsTheSameWholeLinesHoweverTheFileWasEmptied) {
    std::vector<std::string> lines;
    std::string all;
    for (int i = 0; all.size() < 40000; ++i) {
        lines.push_back(std::string(static_cast<std::size_t>(i * 37 % 90), 'a' + i % 26));
        all += lines.back() + "\r\n";
    }
    for (const std::size_t limit : {0, 1, 4095, 12345, 39000}) {
        // The whole lines that fit.
        std::size_t kept = 0;
        for (std::size_t end = all.find("\r\n"); end + 2 <= limit; end = all.find("\r\n", end + 2))
            kept = end + 2;
        for (const Over way : kEveryWay) {
            TempDir dir;
            const FileLayerAs paths(layerFor(way));
            std::string message;
            {
                OutputFile file = openOver(dir / "out.txt", way);
                const FileSizeLimit full(limit);
                message = failureOf([&] {
                    ByteWriter out(std::move(file), 4096);
                    for (const std::string& line : lines) {
                        out.put(line);
                        out.endLine();
                    }
                    out.finish();
                });
            }
            EXPECT_TRUE(readFile(dir / "out.txt") == all.substr(0, kept))
                << "limit " << limit << ", " << nameOf(way) << ": "
                << readFile(dir / "out.txt").size() << " bytes, not " << kept;
            EXPECT_NE(message.find("out.txt"), std::string::npos) << message;
        }
    }
}

// The size of the unnamed file in `dir` that this process has open, once it has at least
// `bytes`; what it has after 20 s otherwise.
std::uintmax_t spooledAtLeast(const TempDir& dir, std::uintmax_t bytes) {
    std::uintmax_t size = 0;
    const std::string folder = (dir / "").string();
    for (int tries = 0; tries < 20000 && size < bytes; ++tries) {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
            if (!error && target.starts_with(folder) && target.ends_with(" (deleted)"))
                size = std::filesystem::file_size(entry.path(), error);
        }
        if (size < bytes) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return size;
}

// The same when the copy fails after the writer's buffers were spooled: the file keeps whole
// lines only, none that the copy did not bring, and nothing past them.
TEST(ByteWriterTest, ACopyCutShortKeepsWholeLinesOnly) {
    for (const Over way : {Over::OldSpooledToTheEnd, Over::OldSpooledThroughABuffer}) {
        std::string all;
        TempDir dir;
        const FileLayerAs paths(layerFor(way));
        constexpr std::size_t kLimit = 30000;
        const std::string message = failureOf([&] {
            ByteWriter out(openOver(dir / "out.txt", way), 4096);
            for (int i = 0; all.size() < 40000; ++i) {
                const std::string line(static_cast<std::size_t>(i * 37 % 90), 'a' + i % 26);
                out.put(line);
                out.endLine();
                all += line + "\r\n";
            }
            ASSERT_GE(spooledAtLeast(dir, 36000), 36000u);
            const FileSizeLimit full(kLimit);
            out.finish();
        });
        EXPECT_NE(message.find("out.txt"), std::string::npos) << message;
        const std::string kept = readFile(dir / "out.txt");
        EXPECT_TRUE(all.starts_with(kept))
            << kept.size() << " bytes, not all written, " << nameOf(way);
        EXPECT_TRUE(kept.ends_with("\r\n")) << nameOf(way);
        EXPECT_LE(kept.size(), kLimit) << nameOf(way);
        EXPECT_GT(kept.size(), kLimit - 4096 - 92) << nameOf(way);
    }
}

// Spooled bytes arrive once each and in order, in any number of the copy's own steps.
TEST(OutputFileTest, SpooledBytesArriveOnceEach) {
    std::string bytes;
    for (int i = 0; bytes.size() < 700000; ++i) bytes += std::to_string(i) + "\r\n";
    for (const std::size_t size : {std::size_t{1}, std::size_t{262143}, std::size_t{262145},
                                   std::size_t{524288}, bytes.size()}) {
        for (const Over way : {Over::OldSpooledToTheEnd, Over::OldSpooledThroughABuffer}) {
            TempDir dir;
            const FileLayerAs paths(layerFor(way));
            OutputFile file = openOver(dir / "out.txt", way);
            for (std::size_t at = 0; at < size; at += 10007)
                file.write(bytes.data() + at, std::min<std::size_t>(10007, size - at));
            file.close();
            EXPECT_TRUE(readFile(dir / "out.txt") == bytes.substr(0, size))
                << size << " bytes, " << nameOf(way);
        }
    }
}

// A file moved to another variable, its spool with it: the bytes written before and after the
// move arrive, in order, however the old file was emptied.
TEST(OutputFileTest, AMovedFileKeepsItsSpool) {
    for (const Over way : kEveryWay) {
        TempDir dir;
        const FileLayerAs paths(layerFor(way));
        OutputFile file = OutputFile(dir / "other.txt");
        {
            OutputFile over = openOver(dir / "out.txt", way);
            over.write("before\r\n", 8);
            file = std::move(over);
        }
        file.write("after\r\n", 7);
        file.close();
        EXPECT_EQ(readFile(dir / "out.txt"), "before\r\nafter\r\n") << nameOf(way);
    }
}

// When copying the spooled bytes in fails half-way, the file keeps what the copy brought up to
// the end of the last spooled write that ended a line.
TEST(OutputFileTest, ACopyCutShortKeepsTheSpooledWholeLines) {
    const std::string line = std::string(98, 'x') + "\r\n";
    std::string tenLines;
    for (int i = 0; i < 10; ++i) tenLines += line;
    for (const Over way : {Over::OldSpooledToTheEnd, Over::OldSpooledThroughABuffer}) {
        TempDir dir;
        const FileLayerAs paths(layerFor(way));
        OutputFile file = openOver(dir / "out.txt", way);
        for (int i = 0; i < 10; ++i) file.write(tenLines.data(), tenLines.size());  // to 10,000
        file.write(tenLines.data(), 550);  // to 10,550, in the middle of a line
        file.write(tenLines.data() + 550, 450);
        ASSERT_EQ(file.written(), 11000u);
        const std::string message = [&] {
            const FileSizeLimit full(10800);
            return failureOf([&] { file.close(); });
        }();
        EXPECT_NE(message.find("out.txt"), std::string::npos) << message;
        EXPECT_EQ(file.written(), 10000u) << nameOf(way);
        std::string expected;
        for (int i = 0; i < 10; ++i) expected += tenLines;
        EXPECT_EQ(readFile(dir / "out.txt"), expected) << nameOf(way);
    }
}

#if defined(__x86_64__)
// Makes every call `number` of the calling thread, and of the threads it starts from then on,
// fail with `error`, as a file system that refuses it would; the other threads are untouched.
bool failCallsOnThisThread(long number, int error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K,
                 SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

// Where the system cannot copy between the spool and the file in the kernel (network and FUSE
// file systems answer so), the spooled bytes go through the program: the file gets them all.
TEST(OutputFileTest, ASpoolTheKernelCannotCopyIsCopiedThroughTheProgram) {
    for (const int error : {EXDEV, EINVAL, ENOSYS, EOPNOTSUPP}) {
        TempDir dir;
        const FileLayerAs paths(layerFor(Over::OldSpooledToTheEnd));
        writeOldFile(dir / "out.txt");
        std::string lines;
        for (int i = 0; i < 5000; ++i) lines += "line " + std::to_string(i) + "\r\n";
        bool filtered = false;
        std::string failure;
        std::thread([&] {
            filtered = failCallsOnThisThread(SYS_copy_file_range, error);
            if (!filtered) return;
            try {
                OutputFile file(dir / "out.txt", OutputFile::Mode::Keep);
                file.truncate();
                file.write(lines.data(), lines.size() / 2);
                file.write(lines.data() + lines.size() / 2, lines.size() - lines.size() / 2);
                file.close();
            } catch (const Failure& caught) {
                failure = caught.what();
            }
        }).join();
        ASSERT_TRUE(filtered) << "no system call filter here";
        EXPECT_EQ(failure, "") << osErrorText(error);
        EXPECT_TRUE(readFile(dir / "out.txt") == lines) << osErrorText(error);
    }
}

// An old file that cannot be emptied, at once or on a thread of its own: the failure names the
// file and the system's reason, at the truncation itself or at the first write or close after
// it, and the old file is left as it was, none of the new bytes in it.
TEST(OutputFileTest, AnOldFileThatCannotBeEmptiedIsLeftAsItWas) {
    for (const Over way : {Over::OldEmptiedAtOnce, Over::OldEmptiedBehind}) {
        TempDir dir;
        const FileLayerAs paths(layerFor(way));
        const std::string old = writeOldFile(dir / "out.txt");
        std::string message;
        bool filtered = false;
        // A thread of its own, so that the filter goes with it.
        std::thread([&] {
            filtered = failCallsOnThisThread(SYS_ftruncate, EIO);
            if (!filtered) return;
            message = failureOf([&] {
                OutputFile file(dir / "out.txt", OutputFile::Mode::Keep);
                file.truncate();
                file.write("new line\r\n", 10);
                file.close();
            });
        }).join();
        ASSERT_TRUE(filtered) << "no system call filter here";
        EXPECT_NE(message.find("ファイルを作成できません。"), std::string::npos) << message;
        EXPECT_NE(message.find("out.txt"), std::string::npos) << message;
        EXPECT_NE(message.find(osErrorText(EIO)), std::string::npos) << message;
        EXPECT_TRUE(readFile(dir / "out.txt") == old) << nameOf(way);
    }
}
#endif
#endif

}  // namespace
}  // namespace dxflist::test
