#pragma once
// Text in code page 932, the listing's encoding.

#include <string>
#include <string_view>

namespace dxflist {

// Converts UTF-8 text to code page 932 with the platform's converter; throws a Failure when a
// character has no code page 932 form or the converter is missing.
std::string utf8ToCp932(std::string_view utf8);

}  // namespace dxflist
