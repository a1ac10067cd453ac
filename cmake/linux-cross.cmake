# Shared by the Linux cross toolchain files: the caller sets CROSS_TRIPLET
# and CMAKE_SYSTEM_PROCESSOR, then includes this.
set(CMAKE_SYSTEM_NAME Linux)

find_program(CROSS_CXX NAMES ${CROSS_TRIPLET}-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${CROSS_CXX})
find_program(CROSS_STRIP NAMES ${CROSS_TRIPLET}-strip REQUIRED)
set(CMAKE_STRIP ${CROSS_STRIP})

# Headers and libraries come from the cross tree only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
