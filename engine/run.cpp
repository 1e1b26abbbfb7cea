#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/annotate.h"
#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/listing_writer.h"
#include "engine/os_file.h"
#include "engine/pair_lane.h"
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

// Locks the listing before anything is truncated, so that a second run in the same folder
// (another copy of the program, the batch driver) stops at once instead of writing into the
// listing of the first.
void lockListing(OutputFile& listing) {
    if (!listing.tryLock())
        throwFileFailure("このフォルダでは、別の実行が一覧を書き込んでいます。", listing.path(),
                         "同じフォルダのプログラムが、別のファイルの一覧を作っている最中です。そ"
                         "の実行が終わってから、もう一度開いてください。");
}

std::string progressCaption(const AppInfo& app, std::int32_t lineCnt) {
    return app.EXEName + " " + std::to_string(lineCnt) + ":　-- 変換中　--";
}

}  // namespace

std::filesystem::path listingPath(const AppInfo& app) {
    return app.Path / "output.txt";
}

void subDXFver(const std::filesystem::path& selFn, HostServices& host, const AppInfo& app) {
    const ListingTexts& texts = listingTexts();
    const std::filesystem::path listingFile = listingPath(app);
    refuseListingAsSource(selFn, listingFile);
    // An existing listing is locked right away, so that a second run neither makes a copy nor
    // shows a box; a new one is created only once the source is open.
    std::optional<OutputFile> listingOut = OutputFile::openExisting(listingFile);
    if (listingOut) lockListing(*listingOut);

    PreparedSource prepared = prepareLineEnds(selFn, host, app);
    if (prepared.copy) refuseListingAsCopy(prepared.srcPath, listingFile);
    // The source first: if it cannot be opened, no listing is created.
    const std::unique_ptr<InputFile> opened =
        prepared.copy ? std::move(prepared.copy) : std::make_unique<InputFile>(selFn);
    InputFile& source = *opened;
    if (!listingOut) {
        listingOut.emplace(listingFile, OutputFile::Mode::Keep);
        lockListing(*listingOut);
    }
    listingOut->truncate();
    const std::size_t chunk = LineReader::chunkFor(source.size());
    TextWriter listing(std::move(*listingOut), chunk);
    listing.setRegionSource(&source);
    listing.setGenericGap(texts.genericGap);

    PairReader reader(source, listing, texts, chunk);
    StructureAnnotator annotator(texts);
    annotator.reset();
    PairLane lane(reader, annotator, listing, texts);
    const std::function<void(std::int32_t)> showProgress = [&host, &app](std::int32_t lineCnt) {
        host.setCaption(progressCaption(app, lineCnt));
    };
    bool reuseFlag = false;
    int lastSec = 0;
    for (;;) {
        if (!reuseFlag) lane.run(host, lastSec, showProgress);
        const int second = host.currentSecond();
        if (second != lastSec) {
            host.setCaption(progressCaption(app, reader.lineCnt()));
            lastSec = host.currentSecond();
        }
        host.doEvents();

        if (reuseFlag)
            reuseFlag = false;
        else if (!reader.next())
            break;

        const GroupPair& pair = reader.pair();
        if (!annotator.annotate(pair, listing, reuseFlag))
            listing.putGenericLine(pair.codeLine, pair.grpCode, pair.grpValue);
        if (reader.atEnd()) break;
    }
    listing.finish();
    host.setCaption(app.EXEName);
}

}  // namespace dxflist
