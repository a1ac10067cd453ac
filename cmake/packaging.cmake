# Install rules and packages.
#
# Linux (Debian/Ubuntu): the four programs and targetsim in bin/, their
# manual pages in share/man/man1, the README and the example HEX file in
# share/doc/z80-host-tools; packaged as a .deb:
#
#   cmake -S . -B build-pkg && cmake --build build-pkg -j2 --target package
#
# Windows (cross-built with MinGW-w64): the three statically linked .exe
# files and the text guide README.txt, packaged as a .zip:
#
#   cmake -S . -B build-pkg-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     && cmake --build build-pkg-win -j2 --target package
#
# The package lands in the build directory. CPack's archive and Debian
# generators need no tools beyond CMake; dpkg-shlibdeps (dpkg-dev) works out
# the .deb's library dependencies.
set(Z80_PACKAGE_NAME z80-host-tools)

if(WIN32)
  # Everything at the top of the zip's one folder, where a double click on
  # README.txt and a command prompt opened there find it all.
  install(TARGETS Torvane Quilmark Ferrolt RUNTIME DESTINATION .)
  # The guide is written with CR LF line ends, for every Windows editor.
  configure_file(${PROJECT_SOURCE_DIR}/docs/windows/README.txt
                 ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)
else()
  include(GNUInstallDirs)
  install(TARGETS Torvanex Torvane Quilmark Ferrolt targetsim
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

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

  set(_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${Z80_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${_doc_dir})
  install(FILES ${PROJECT_SOURCE_DIR}/examples/hello.hex DESTINATION ${_doc_dir}/examples)
endif()

set(CPACK_PACKAGE_NAME ${Z80_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Z80 host tools")
set(CPACK_PACKAGE_CONTACT "Z80 host tools maintainers <maintainers@z80-host-tools.invalid>")
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
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
