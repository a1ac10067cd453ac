# Install rules and packages.
#
# Linux (Debian/Ubuntu): the four programs and targetsim in bin/, their
# manual pages in share/man/man1, the README, the pages it links to, the
# examples, the copyright file and the changelog in share/doc/z80-host-tools;
# packaged as a .deb (for arm64 and armhf from a cross build: scripts/cross.sh):
#
#   cmake -S . -B build-pkg -DBUILD_TESTING=OFF && cmake --build build-pkg -j2 --target package
#
# (BUILD_TESTING=OFF: the package target builds everything the build has, the
# test suite included, and the package needs none of it.)
#
# Windows (cross-built with MinGW-w64): the three statically linked .exe
# files, the text guide README.txt, the licence and the examples, packaged as a .zip:
#
#   cmake -S . -B build-pkg-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     && cmake --build build-pkg-win -j2 --target package
#
# The package lands in the build directory. CPack's archive and Debian
# generators need no tools beyond CMake; dpkg-shlibdeps (dpkg-dev) works out
# the .deb's library dependencies.
set(Z80_PACKAGE_NAME z80-host-tools)
# The examples both packages carry: a HEX file and a BASIC program.
set(Z80_EXAMPLES ${PROJECT_SOURCE_DIR}/examples/hello.hex ${PROJECT_SOURCE_DIR}/examples/hello.bas)
# Who answers for the packages: the project itself. The reserved .invalid
# domain until the project publishes an address; set it for a release.
set(Z80_MAINTAINER "z80-host-tools authors <maintainers@z80-host-tools.invalid>"
    CACHE STRING "The packages' maintainer: name <address>")

if(WIN32)
  # Everything at the top of the zip's one folder, where a double click on
  # README.txt and a command prompt opened there find it all.
  install(TARGETS Torvane Quilmark Ferrolt RUNTIME DESTINATION .)
  # The guide is written with CR LF line ends, for every Windows editor.
  configure_file(${PROJECT_SOURCE_DIR}/docs/windows/README.txt
                 ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)
  # The licence, as LICENSE.txt so a double click opens it, with CR LF line
  # ends like the guide.
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/package/LICENSE.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/package/LICENSE.txt DESTINATION .)
  install(FILES ${Z80_EXAMPLES} DESTINATION examples)
else()
  include(GNUInstallDirs)
  install(TARGETS Torvanex Torvane Quilmark Ferrolt targetsim
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # targetsim --cpu's monitor firmware, where the installed targetsim looks
  # for it (a build without libz80ex has no --cpu and no ROM).
  if(TARGETSIM_CPU)
    install(FILES ${TARGETSIM_ROM} DESTINATION ${CMAKE_INSTALL_DATADIR}/${Z80_PACKAGE_NAME})
  endif()

  # Manual pages get the version filled in and, as Debian wants them, are
  # compressed.
  find_program(Z80_GZIP gzip)
  set(_man_outputs "")
  foreach(page Torvanex Torvane Quilmark Ferrolt targetsim)
    set(_page ${CMAKE_BINARY_DIR}/man/${page}.1)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${_page} @ONLY)
    if(Z80_GZIP)
      add_custom_command(OUTPUT ${_page}.gz
                         COMMAND ${Z80_GZIP} -9 -n -c ${_page} > ${_page}.gz
                         DEPENDS ${_page}
                         COMMENT "Compressing the manual page ${page}.1")
      list(APPEND _man_outputs ${_page}.gz)
    else()
      list(APPEND _man_outputs ${_page})
    endif()
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${_man_outputs})
  install(FILES ${_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The README with the pages it links to, the examples, and the licence and
  # changelog where and as Debian wants them: a machine-readable copyright
  # file and, for a package with no Debian revision, changelog.gz.
  set(_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${Z80_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${_doc_dir})
  set(_doc_pages programs ports network raspberry-pi simulated-target troubleshooting hardening
                 benchmark development emulated-board)
  list(TRANSFORM _doc_pages PREPEND ${PROJECT_SOURCE_DIR}/docs/)
  list(TRANSFORM _doc_pages APPEND .md)
  install(FILES ${_doc_pages} DESTINATION ${_doc_dir}/docs)
  # The .deb also carries the HEX file's source, for targetsim --cpu.
  install(FILES ${Z80_EXAMPLES} ${PROJECT_SOURCE_DIR}/examples/hello.asm
          DESTINATION ${_doc_dir}/examples)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in
                 ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/debian/copyright DESTINATION ${_doc_dir})
  # The changelog's newest entry must be this version.
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in _newest LIMIT_COUNT 1)
  if(NOT _newest MATCHES "^${Z80_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog.in does not start with version "
                        "${PROJECT_VERSION}: ${_newest}")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
                 ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
  if(Z80_GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
                       COMMAND ${Z80_GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/debian/changelog
                               > ${CMAKE_BINARY_DIR}/debian/changelog.gz
                       DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog
                       COMMENT "Compressing the changelog")
    add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
    install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${_doc_dir})
  endif()

  # A stripped package also loses the compiler's .comment and .note sections,
  # as Debian's own packages do (strip alone keeps them).
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(program Torvanex Torvane Quilmark Ferrolt targetsim)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                        RESULT_VARIABLE _stripped)
        if(NOT _stripped EQUAL 0)
          message(FATAL_ERROR \"Cannot strip \${program}\")
        endif()
      endforeach()
    endif()")
endif()

set(CPACK_PACKAGE_NAME ${Z80_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "z80-host-tools authors")
set(CPACK_PACKAGE_CONTACT "${Z80_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Host tools for a Z80 single-board computer's serial monitor")
set(CPACK_PACKAGE_DESCRIPTION
  "Console programs that talk over a 9600 baud 8N2 serial line to the resident\n"
  "monitor of a Z80 single-board computer: Torvanex and Torvane load Intel HEX\n"
  "files into the board, Quilmark saves a range of its memory as an Intel HEX\n"
  "file, and Ferrolt types a BASIC program into the board's BASIC, checking\n"
  "every echo. targetsim simulates the board on a pseudo-terminal, so\n"
  "everything can be tried without one.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# Packages carry no debugging information.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${Z80_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  if(CMAKE_CROSSCOMPILING)
    # The target architecture, as Debian names it, from the toolchain file.
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
    elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
    else()
      message(FATAL_ERROR "No Debian architecture for ${CMAKE_SYSTEM_PROCESSOR}")
    endif()
    # dpkg-shlibdeps knows only the build host's own libraries, not those of
    # the cross toolchain; these are what it finds for the same programs on
    # the build host, from the same compiler and C library versions.
    # armhf programs also call libgcc_s's unwinder (GCC_3.5 symbols).
    set(_libgcc_version 3.0)
    if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE STREQUAL "armhf")
      set(_libgcc_version 3.5)
    endif()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6 (>= 2.34), libgcc-s1 (>= ${_libgcc_version}), libstdc++6 (>= 11)")
  else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
  # A board on another machine is reached through ser2net there (README).
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ser2net")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
