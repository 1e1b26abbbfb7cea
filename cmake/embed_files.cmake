# Writes a C++ header with the bytes of files as arrays, for data the program carries inside
# itself (the window icons on platforms without resources).
#   cmake -DOUTPUT=file.h -DNAME=kArrays -DINPUTS="a.png;b.png" -P embed_files.cmake
# The header defines NAME as an array of {data, size} in the order of INPUTS.
set(text "// Written by the build from ${NAME}'s files; do not edit.\n#pragma once\n#include <cstddef>\n\n")
set(entries "")
set(index 0)
foreach(input IN LISTS INPUTS)
  file(READ "${input}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    "
         bytes "${bytes}")
  string(APPEND text "inline constexpr unsigned char ${NAME}${index}[] = {\n    ${bytes}};\n")
  string(APPEND entries "    {${NAME}${index}, sizeof ${NAME}${index}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "\ninline constexpr struct {\n    const unsigned char* data;\n    std::size_t size;\n} ${NAME}[] = {\n${entries}};\n")
file(WRITE "${OUTPUT}.tmp" "${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
