# Cross-building the Linux programs and targetsim for armhf (32-bit ARM, hard float)
# with Debian's cross compiler (g++-arm-linux-gnueabihf):
#
#   cmake -S . -B build-arm-linux-gnueabihf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake -DBUILD_TESTING=OFF
#   cmake --build build-arm-linux-gnueabihf -j2 --target package
#
# gives the .deb for that architecture. There is no GoogleTest for the
# target, so the tests stay off; qemu-user runs the programs on the build
# host (scripts/cross-smoke.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CROSS_TRIPLET arm-linux-gnueabihf)
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
