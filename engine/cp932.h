#pragma once
// The program's own Japanese texts in code page 932, the listing's encoding.

#include <string>
#include <string_view>

namespace dxflist {

// Converts UTF-8 text to code page 932 with the platform's converter; throws a Failure when a
// character has no code page 932 form or the converter is missing.
std::string utf8ToCp932(std::string_view utf8);

// The fixed texts of the listing, converted once.
struct ListingTexts {
    std::string genericGap;        // two ideographic spaces after a generic line's number
    std::string comment;           // "コメント > "
    std::string sectionStart;      // "セクションの始まり"
    std::string sectionSuffix;     // " セクション"
    std::string tablesSection;     // "TABLESセクション"
    std::string tableStart;        // "TABLEの始まり"
    std::string tableEnd;          // "TABLEの終わり"
    std::string sectionEnd;        // "セクションの終わり"
    std::string fileEnd;           // "DXFファイルの終了"
    std::string unhandled;         // "未処理オブジェクト "
    std::string eofAtCode;         // end met while reading a code line
    std::string eofAtCodeChecked;  // the same, seen by the check after counting it
    std::string eofAtValue;        // end met while reading a value line
};

const ListingTexts& listingTexts();

}  // namespace dxflist
