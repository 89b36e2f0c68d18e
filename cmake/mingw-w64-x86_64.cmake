# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX threads flavour, which the C++
# standard library's threads need). x86_64 only: a 32-bit exe under a Wine without 32-bit
# support prints nothing and exits 0, which would pass every test falsely.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MingwTriplet x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${MingwTriplet}-gcc-posix ${MingwTriplet}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MingwTriplet}-g++-posix ${MingwTriplet}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MingwTriplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MingwTriplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of this build (and GoogleTest's discovery) run under Wine through a wrapper that fails
# a run in which Wine's debugger reported a crash.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
