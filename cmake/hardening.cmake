# The hardening flags Debian builds its packages with, for the Linux build
# (native and the arm64 and armhf cross builds): fortified string and memory
# functions, stack protector and stack clash protection, position-independent
# executables, and full RELRO (relocations read-only, every symbol bound at
# start). Off under the sanitizers, which bring their own checks, and for the
# Windows build.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

set(_hardening_default ON)
if(WIN32 OR Z80_SANITIZE)
  set(_hardening_default OFF)
endif()
option(Z80_HARDENING "Build with the distribution's hardening flags" ${_hardening_default})

if(Z80_HARDENING)
  if(WIN32)
    message(FATAL_ERROR "Z80_HARDENING is for the Linux build")
  endif()
  # A compiler that defines its own level would warn about a redefinition.
  # Fortify needs optimisation: none in a Debug build, where it would warn.
  add_compile_options(-U_FORTIFY_SOURCE $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>
                      -fstack-protector-strong -Wformat -Werror=format-security)
  # Not every target architecture has these (-fcf-protection is x86 only).
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "Z80_HAS${flag}" _have)
    check_cxx_compiler_flag(${flag} ${_have})
    if(${_have})
      add_compile_options(${flag})
    endif()
  endforeach()
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
