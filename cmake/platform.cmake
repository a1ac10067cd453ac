# z80_platform_source(VAR base): the source of `base` for this host, base_win32.cpp
# on Windows and base_posix.cpp elsewhere, in VAR. Every platform split is
# picked here, so no source holds an #ifdef for it.
function(z80_platform_source var base)
  if(WIN32)
    set(${var} ${base}_win32.cpp PARENT_SCOPE)
  else()
    set(${var} ${base}_posix.cpp PARENT_SCOPE)
  endif()
endfunction()
