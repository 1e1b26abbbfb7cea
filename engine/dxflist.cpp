#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "engine/binary_reader.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/listing_texts.h"
#include "engine/listing_writer.h"
#include "engine/os_file.h"
#include "engine/pair_loop.h"
#include "engine/pair_reader.h"

namespace dxflist {
namespace {

// Creating the listing truncates it; if it is the chosen file, that would empty the file
// before a byte of it was read.
void refuseListingAsSource(const std::filesystem::path& selFn,
                           const std::filesystem::path& listing) {
    if (sameFile(selFn, listing))
        throwFileFailure("このファイルは一覧の出力先そのものなので、一覧を作れません。", selFn,
                         "一覧を書き始めると、このファイルの内容が消えてしまいます。別の場所にコピ"
                         "ーしてから開いてください。");
}

// The file that is read must not be the listing either: "output.txt" may be a link to the
// CR LF copy, which would then be emptied before it was read.
void refuseListingAsCopy(const std::filesystem::path& srcPath,
                         const std::filesystem::path& listing) {
    if (sameFile(srcPath, listing))
        throwFileFailure(
            "一覧の出力先が、読み込むファイルと同じファイルを指しているので、一覧を"
            "作れません。",
            listing,
            "一覧の出力先は、読み込むファイル " + pathText(srcPath) +
                " へのリンクです。一覧の出力先を削除するか通常のファイルにしてか"
                "ら、もう一度開いてください。");
}

[[noreturn]] void anotherRunIsWriting(const std::filesystem::path& listing) {
    throwFileFailure("このフォルダでは、別の実行が一覧を書き込んでいます。", listing,
                     "同じフォルダのプログラムが、別のファイルの一覧を作っている最中です。その実"
                     "行が終わってから、もう一度開いてください。");
}

// Locks the listing before anything is truncated: a listing shared with another folder through
// a link is never written by two runs either.
void lockListing(OutputFile& listing) {
    if (!listing.tryLock()) anotherRunIsWriting(listing.path());
}

std::string progressCaption(const AppInfo& app, std::int32_t lineCnt) {
    return app.EXEName + " " + std::to_string(lineCnt) + ":　-- 変換中　--";
}

}  // namespace

std::filesystem::path listingPath(const AppInfo& app) {
    return app.Path / "output.txt";
}

namespace {

void listDrawing(const std::filesystem::path& selFn, HostServices& host, const AppInfo& app) {
    const ListingTexts& texts = listingTexts();
    const std::filesystem::path listingFile = listingPath(app);
    refuseListingAsSource(selFn, listingFile);
    // Whether this run may work in the folder is settled before anything is written: a second
    // run in the same folder (another copy of the program, the batch driver) stops here with one
    // box, having made no copy.
    const FolderLock folder(app.Path);
    if (folder.heldElsewhere()) anotherRunIsWriting(listingFile);
    // An existing listing is locked right away too; a new one is created only once the source
    // is open.
    std::optional<OutputFile> listingOut = OutputFile::openExisting(listingFile);
    if (listingOut) lockListing(*listingOut);
    // Where the folder could not be claimed at all, the listing is the claim, made before a
    // copy is: a second run then stops before it replaces the copy. If the listing cannot be
    // created, no run can list here, and the copy's own failure or the listing's below says why.
    const auto claimBeforeCopy = [&] {
        if (folder.held() || listingOut) return;
        try {
            listingOut.emplace(listingFile, OutputFile::Mode::Keep);
        } catch (const FileFailure&) {
            return;
        }
        lockListing(*listingOut);
    };

    // The source is open before the listing is: if it cannot be opened, no listing is created.
    const PreparedSource prepared = prepareLineEnds(selFn, listingFile, host, app, claimBeforeCopy);
    if (prepared.isCopy) refuseListingAsCopy(prepared.source->path(), listingFile);
    InputFile& source = *prepared.source;
    if (!listingOut) {
        listingOut.emplace(listingFile, OutputFile::Mode::Keep);
        lockListing(*listingOut);
    }
    listingOut->truncate();
    const std::size_t chunk = LineReader::chunkFor(source.size());
    ListingWriter listing(std::move(*listingOut), chunk, source, texts.genericGap);

    const ShowProgress showProgress = [&host, &app, &source](std::int32_t lineCnt,
                                                             std::uint64_t bytesRead) {
        host.setCaption(progressCaption(app, lineCnt));
        host.setProgress(bytesRead, source.size());
    };
    // A copy is text by its making: a sentinel at its start was made by the copy, from a file
    // whose CR LF had been turned into LF (a binary DXF sent as text, say).
    if (!prepared.isCopy && hasBinarySentinel(source))
        listBinaryPairs(source, chunk, listing, host, showProgress);
    else
        listPairs(source, chunk, listing, host, showProgress);
    listing.finish();
    host.setCaption(app.EXEName);
}

}  // namespace

// Running out of memory, or of threads, can happen anywhere; by the time it is reported here
// the run's buffers are gone, so there is memory again for the message.
void subDXFver(const std::filesystem::path& selFn, HostServices& host, const AppInfo& app) {
    try {
        listDrawing(selFn, host, app);
    } catch (const std::bad_alloc&) {
        throwFileFailure("メモリが足りないため、一覧を作れません。", selFn,
                         "必要なメモリを確保できませんでした。");
    } catch (const std::system_error& failure) {
        throwFileFailure("一覧を作れません。", selFn, failure.code().message());
    }
}

}  // namespace dxflist
