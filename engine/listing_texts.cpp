#include "engine/listing_texts.h"

#include "engine/cp932.h"

namespace dxflist {

const ListingTexts& listingTexts() {
    static const ListingTexts texts{
        .genericGap = utf8ToCp932("　　"),
        .comment = utf8ToCp932("コメント > "),
        .sectionStart = utf8ToCp932("セクションの始まり"),
        .sectionSuffix = utf8ToCp932(" セクション"),
        .tablesSection = utf8ToCp932("TABLESセクション"),
        .tableStart = utf8ToCp932("TABLEの始まり"),
        .tableEnd = utf8ToCp932("TABLEの終わり"),
        .sectionEnd = utf8ToCp932("セクションの終わり"),
        .fileEnd = utf8ToCp932("DXFファイルの終了"),
        .unhandled = utf8ToCp932("未処理オブジェクト "),
        .endAtCodeLine = utf8ToCp932("終端検出[EOF] - グループコード読み込み時"),
        .endAtCodeLineCounted =
            utf8ToCp932("終端検出[EOF] - グループコード読み込み時 チェック出たところ"),
        .endAtValueLine = utf8ToCp932("終端検出[EOF] - グループ値読み込み時"),
    };
    return texts;
}

}  // namespace dxflist
