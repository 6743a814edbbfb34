# Shared part of the mingw-w64 toolchain files: cross-compiles for Windows
# with the Debian mingw-w64 compilers. The including file sets
# ZIV_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The win32 threading variant needs no winpthread DLL beside the programs;
# the plain names are alternatives that usually point at it.
find_program(CMAKE_C_COMPILER NAMES ${ZIV_MINGW_TRIPLE}-gcc-win32 ${ZIV_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZIV_MINGW_TRIPLE}-g++-win32 ${ZIV_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZIV_MINGW_TRIPLE}-windres REQUIRED)

# Libraries and headers come from the target's sysroot only; programs (the
# build tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZIV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
