# What the MinGW-w64 toolchain files share; LANDMOSAIC_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives std::thread and std::mutex on every compiler version;
# the win32 model lacks them before GCC 13.
find_program(LANDMOSAIC_MINGW_CXX NAMES ${LANDMOSAIC_MINGW_TRIPLE}-g++-posix ${LANDMOSAIC_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(LANDMOSAIC_MINGW_CC NAMES ${LANDMOSAIC_MINGW_TRIPLE}-gcc-posix ${LANDMOSAIC_MINGW_TRIPLE}-gcc)
find_program(LANDMOSAIC_MINGW_RC NAMES ${LANDMOSAIC_MINGW_TRIPLE}-windres)
set(CMAKE_CXX_COMPILER ${LANDMOSAIC_MINGW_CXX})
if(LANDMOSAIC_MINGW_CC)
    set(CMAKE_C_COMPILER ${LANDMOSAIC_MINGW_CC})
endif()
if(LANDMOSAIC_MINGW_RC)
    set(CMAKE_RC_COMPILER ${LANDMOSAIC_MINGW_RC})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${LANDMOSAIC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run without any DLL beside them: the C++ runtime and the thread
# library are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
