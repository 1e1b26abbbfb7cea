# CMake toolchain file: cross-build for 64-bit Windows with Debian's MinGW-w64.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The static MSW wxWidgets comes from scripts/win-deps.sh; its location is the
# DXFLIST_WX_MSW_PREFIX cache variable (or environment variable), with the same
# default as that script.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
# The "posix" thread model gives std::thread/std::mutex; wx is built with it too.
set(CMAKE_C_COMPILER   ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_triple}-windres)

if(NOT DXFLIST_WX_MSW_PREFIX)
  if(DEFINED ENV{DXFLIST_WX_MSW_PREFIX})
    set(_wx "$ENV{DXFLIST_WX_MSW_PREFIX}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(_wx "$ENV{XDG_CACHE_HOME}/dxflist/wx-msw-3.2")
  else()
    set(_wx "$ENV{HOME}/.cache/dxflist/wx-msw-3.2")
  endif()
  set(DXFLIST_WX_MSW_PREFIX "${_wx}" CACHE PATH "Prefix of the static wxWidgets for MSW")
endif()
# try_compile() projects re-read this file; hand them the same value.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DXFLIST_WX_MSW_PREFIX)

# FindwxWidgets looks for wx-config only inside CMAKE_FIND_ROOT_PATH, so the wx
# prefix must be a root too.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} "${DXFLIST_WX_MSW_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the MinGW runtime (libstdc++, libgcc, winpthread) statically: the .exe
# then runs without DLLs next to it. GUI targets add -mwindows themselves
# (or use add_executable(... WIN32)).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Let ctest (and add_test) run the test .exe files through Wine, in the private
# prefix that scripts/wine-prefix.sh creates on first use.
# Debian's Wine has no preloader: about one start in 3000 fails (exit status 1, no message)
# when address space randomisation puts a library where Wine needs room. setarch -R turns the
# randomisation off for Wine and its children.
find_program(DXFLIST_WINE wine NO_CMAKE_FIND_ROOT_PATH)
find_program(DXFLIST_SETARCH setarch NO_CMAKE_FIND_ROOT_PATH)
if(DXFLIST_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(_scripts "${CMAKE_CURRENT_LIST_DIR}/../scripts" ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_scripts}/wine-prefix.sh;${DXFLIST_WINE}")
  if(DXFLIST_SETARCH)
    list(PREPEND CMAKE_CROSSCOMPILING_EMULATOR "${DXFLIST_SETARCH}" -R)
  endif()
endif()
