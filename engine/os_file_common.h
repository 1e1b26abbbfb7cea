#pragma once
// What the POSIX and Windows halves of the file layer share: the messages, the numbered names
// and the exact positioned read. Only the file layer includes this.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/os_file.h"

namespace dxflist {

// What is written to an OutputFile while its old content is emptied on a thread of its own: the
// bytes wait in an unnamed file beside it, at the offsets they will have in the file (made on
// Linux only).
struct OutputFile::Spool {
    std::intptr_t handle = -1;  // the unnamed file
    std::thread emptying;
    std::atomic<bool> emptied = false;
    unsigned long error = 0;  // why the emptying failed
    // Where the spooled writes that ended with a line end end: a copy cut short keeps the file
    // up to the last of these that it reached.
    std::vector<std::uint64_t> lineEnds;
};

}  // namespace dxflist

namespace dxflist::os {

inline constexpr const char* kOpenFailed = "ファイルを開けません。";
inline constexpr const char* kReadFailed = "ファイルを読み込めません。";
inline constexpr const char* kNotRegularReason =
    "通常のファイルではありません（フォルダ、デバイス、パイプなど）。";
inline constexpr const char* kChanged = "ファイルが読み込み中に変更されました。";
inline constexpr const char* kChangedReason =
    "読み込んだ部分をもう一度読むと、ファイルがそこまで届いていません。";
inline constexpr const char* kCreateFailed = "ファイルを作成できません。";
inline constexpr const char* kNotOwnFileReason =
    "リンクか、別の名前でも使われているファイルなので、書き換えません。";
inline constexpr const char* kWriteFailed = "ファイルに書き込めません。";
inline constexpr const char* kScratchFailed = "一時ファイルを作成できません。";
inline constexpr const char* kScratchWriteFailed = "一時ファイルに書き込めません。";
inline constexpr const char* kScratchReadFailed = "一時ファイルを読み込めません。";
inline constexpr const char* kFolderFailed = "プログラムのフォルダを現在のフォルダにできません。";
inline constexpr const char* kCloseFailed =
    "ファイルを閉じられません（書き込みが完了していない可能性があります）。";

// Names tried after the usual one is taken: name.1 to name.99. Both platforms use the same
// names, so that a folder shared between them looks the same to either.
inline constexpr int kOtherNames = 99;

// `path`, or `path`.number for number > 0.
std::filesystem::path numberedName(const std::filesystem::path& path, int number);

// The temporary name of the replacement of `target` when `number` names are taken: target.tmp,
// then target.tmp.1 to .99.
std::filesystem::path temporaryName(const std::filesystem::path& target, int number);

// Every temporary name of the replacement of `target` is taken.
[[noreturn]] void temporaryNamesTaken(const std::filesystem::path& target);

// The platform's read of up to `size` bytes at `offset`, which moves no file position;
// 0 only at the end of the file. Throws a FileFailure with `readFailed` on an error.
std::size_t readSomeAt(std::intptr_t handle, std::uint64_t offset, char* buffer, std::size_t size,
                       const std::filesystem::path& path, const char* readFailed);

// Reads exactly `size` bytes at `offset`; false when the file ends before them.
bool readExactlyAt(std::intptr_t handle, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::filesystem::path& path, const char* readFailed);

// The path as the platform's calls want it (long paths prefixed on Windows).
std::filesystem::path nativePath(const std::filesystem::path& path);

}  // namespace dxflist::os
