#pragma once
// Text in code page 932 made by the platform's own converter (iconv, or Windows' code page
// functions): the expected listings of the tests, converted independently of the engine's table.

#include <string>
#include <string_view>

namespace dxflist::test {

// Converts UTF-8 text to code page 932; throws a Failure when a character has no code page 932
// form or the converter is missing.
std::string utf8ToCp932(std::string_view utf8);

}  // namespace dxflist::test
