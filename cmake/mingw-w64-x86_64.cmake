# Cross-building the Windows programs (64-bit console executables) with the
# MinGW-w64 compiler:
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-win
#
# The executables are linked statically, so they need no runtime DLLs beside
# them on the Windows machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The win32 threading flavour needs no winpthread library; plain g++ is the
# name other distributions use.
find_program(MINGW_CXX NAMES ${MINGW_TRIPLET}-g++-win32 ${MINGW_TRIPLET}-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${MINGW_CXX})
find_program(MINGW_WINDRES NAMES ${MINGW_TRIPLET}-windres)
if(MINGW_WINDRES)
  set(CMAKE_RC_COMPILER ${MINGW_WINDRES})
endif()

# Headers and libraries come from the MinGW tree only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
