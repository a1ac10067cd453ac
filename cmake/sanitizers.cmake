# -DZ80_SANITIZE=ON builds every program, the simulated target and the tests
# with AddressSanitizer and UndefinedBehaviorSanitizer (gcc or clang). Any
# finding ends the process with an error, so a test that meets one fails.
# Turn the Windows cross build off with it (-DZ80_WINDOWS_PROGRAMS=OFF): the
# sanitizers are for the native build only.
option(Z80_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(Z80_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "Z80_SANITIZE is for the native build only")
  endif()
  set(Z80_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                         -fno-omit-frame-pointer)
  add_compile_options(${Z80_SANITIZE_FLAGS})
  # The sanitizers' instrumentation makes gcc report uninitialized values in
  # the standard library's own headers (std::function inside std::regex)
  # that are not there; the warning stays on in the ordinary build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(${Z80_SANITIZE_FLAGS})
endif()
