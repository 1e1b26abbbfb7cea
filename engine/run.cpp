#include <string>

#include "engine/annotate.h"
#include "engine/cp932.h"
#include "engine/dxflist.h"
#include "engine/failure.h"
#include "engine/listing_writer.h"
#include "engine/os_file.h"
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

    const std::filesystem::path srcPath = prepareLineEnds(selFn, host, app);
    // The source first: if it cannot be opened, no listing is created.
    InputFile source(srcPath);
    const std::size_t chunk = LineReader::chunkFor(source.size());
    TextWriter listing(listingFile, chunk);
    listing.setRegionSource(&source);
    listing.setGenericGap(texts.genericGap);

    PairReader reader(source, listing, texts, chunk);
    StructureAnnotator annotator(texts);
    annotator.reset();
    bool reuseFlag = false;
    int lastSec = 0;
    for (;;) {
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
