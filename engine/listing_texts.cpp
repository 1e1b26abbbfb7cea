#include "engine/listing_texts.h"

#include "engine/cp932.h"

namespace dxflist {

const ListingTexts& listingTexts() {
    static const ListingTexts texts{
        .genericGap = std::string(toCp932("　　").view()),
        .comment = std::string(toCp932("コメント > ").view()),
        .sectionStart = std::string(toCp932("セクションの始まり").view()),
        .sectionSuffix = std::string(toCp932(" セクション").view()),
        .tablesSection = std::string(toCp932("TABLESセクション").view()),
        .tableStart = std::string(toCp932("TABLEの始まり").view()),
        .tableEnd = std::string(toCp932("TABLEの終わり").view()),
        .sectionEnd = std::string(toCp932("セクションの終わり").view()),
        .fileEnd = std::string(toCp932("DXFファイルの終了").view()),
        .unhandled = std::string(toCp932("未処理オブジェクト ").view()),
        .endAtCodeLine = std::string(toCp932("終端検出[EOF] - グループコード読み込み時").view()),
        .endAtCodeLineCounted = std::string(
            toCp932("終端検出[EOF] - グループコード読み込み時 チェック出たところ").view()),
        .endAtValueLine = std::string(toCp932("終端検出[EOF] - グループ値読み込み時").view()),
    };
    return texts;
}

}  // namespace dxflist
