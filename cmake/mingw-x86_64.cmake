# Cross-compiles the program for Windows (x86_64) with MinGW-w64.
#   cmake -S . -B build/win-x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
#         -DLANDMOSAIC_TESTS=OFF -DLANDMOSAIC_BENCH=OFF
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LANDMOSAIC_MINGW_TRIPLE x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
