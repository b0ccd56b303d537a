# Cross-compiles the program for Windows (i686) with MinGW-w64.
#   cmake -S . -B build/win-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
#         -DLANDMOSAIC_TESTS=OFF -DLANDMOSAIC_BENCH=OFF
set(CMAKE_SYSTEM_PROCESSOR i686)

set(LANDMOSAIC_MINGW_TRIPLE i686-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
