# Cross-builds the Windows programs from this same source tree with
# MinGW-w64, as part of the native build, into ${CMAKE_BINARY_DIR}/win (the
# executables in win/bin), so one build gives both and the end-to-end tests
# can run the Windows build under Wine. Sets WINDOWS_BIN_DIR, empty when no
# MinGW-w64 compiler is found or Z80_WINDOWS_PROGRAMS is OFF.
option(Z80_WINDOWS_PROGRAMS "Also build the Windows programs with MinGW-w64" ON)
set(WINDOWS_BIN_DIR "")
if(Z80_WINDOWS_PROGRAMS)
  find_program(MINGW_WINDOWS_CXX NAMES x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++)
  if(MINGW_WINDOWS_CXX)
    include(ExternalProject)
    ExternalProject_Add(windows_programs
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${CMAKE_BINARY_DIR}/win
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
                 -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
                 -DZ80_WERROR=${Z80_WERROR}
      INSTALL_COMMAND ""
      # The sources are shared with the native build: let the inner build
      # decide each time what is out of date.
      BUILD_ALWAYS ON)
    set(WINDOWS_BIN_DIR ${CMAKE_BINARY_DIR}/win/bin)
  else()
    message(STATUS "No MinGW-w64 compiler: the Windows programs are not built, "
                   "and their Wine cases cannot run")
  endif()
endif()
