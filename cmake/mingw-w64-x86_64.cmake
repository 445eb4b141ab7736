# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix threads flavour, which has
# std::thread) and zlib from libz-mingw-w64-dev:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Programs are linked statically (no DLLs to ship or to find), and the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GRIDMEAN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GRIDMEAN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GRIDMEAN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GRIDMEAN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GRIDMEAN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libstdc++, winpthread and zlib linked into each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs (and GoogleTest's discovery of their tests) run under Wine, quietly, in a Wine
# prefix of the build tree unless WINEPREFIX names one; its first start takes a few seconds.
if(DEFINED ENV{WINEPREFIX})
  set(GRIDMEAN_WINEPREFIX $ENV{WINEPREFIX})
else()
  set(GRIDMEAN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEPREFIX=${GRIDMEAN_WINEPREFIX} wine)
# The target has no GoogleTest of its own: the suite builds it from Debian's sources.
set(GRIDMEAN_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build the tests with")
