#include "engine/listing_texts.h"

#include "engine/cp932.h"

namespace dxflist {

const ListingTexts& listingTexts() {
    static const ListingTexts texts{
        .genericGap = toCp932("　　").str(),
        .comment = toCp932("コメント > ").str(),
        .sectionStart = toCp932("セクションの始まり").str(),
        .sectionSuffix = toCp932(" セクション").str(),
        .tablesSection = toCp932("TABLESセクション").str(),
        .tableStart = toCp932("TABLEの始まり").str(),
        .tableEnd = toCp932("TABLEの終わり").str(),
        .sectionEnd = toCp932("セクションの終わり").str(),
        .fileEnd = toCp932("DXFファイルの終了").str(),
        .unhandled = toCp932("未処理オブジェクト ").str(),
        .endAtCodeLine = toCp932("終端検出[EOF] - グループコード読み込み時").str(),
        .endAtCodeLineCounted =
            toCp932("終端検出[EOF] - グループコード読み込み時 チェック出たところ").str(),
        .endAtValueLine = toCp932("終端検出[EOF] - グループ値読み込み時").str(),
    };
    return texts;
}

}  // namespace dxflist
