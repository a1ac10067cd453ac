# Cross-building the Linux programs and targetsim for armhf (32-bit ARM, hard float)
# with Debian's cross compiler (g++-arm-linux-gnueabihf):
#
#   cmake -S . -B build-arm-linux-gnueabihf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake -DBUILD_TESTING=OFF
#   cmake --build build-arm-linux-gnueabihf -j2 --target package
#
# gives the .deb for that architecture. There is no GoogleTest for the
# target, so the tests stay off; qemu-user runs the programs on the build
# host (tests/cross/qemu_smoke.sh).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CROSS_TRIPLET arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
