#pragma once
// The listing's own texts, in code page 932 as the listing is.

#include <string>

namespace dxflist {

struct ListingTexts {
    std::string genericGap;     // two ideographic spaces after a generic line's number
    std::string comment;        // "コメント > "
    std::string sectionStart;   // "セクションの始まり"
    std::string sectionSuffix;  // " セクション"
    std::string tablesSection;  // "TABLESセクション"
    std::string tableStart;     // "TABLEの始まり"
    std::string tableEnd;       // "TABLEの終わり"
    std::string sectionEnd;     // "セクションの終わり"
    std::string fileEnd;        // "DXFファイルの終了"
    std::string unhandled;      // "未処理オブジェクト "
    // Where the end of the file was met: the last line was a code line (reported before and
    // after it is counted), or a value line.
    std::string endAtCodeLine;
    std::string endAtCodeLineCounted;
    std::string endAtValueLine;
};

// The texts (in code page 932 from the build on).
const ListingTexts& listingTexts();

}  // namespace dxflist
