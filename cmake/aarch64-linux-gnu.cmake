# Cross-building the Linux programs and targetsim for arm64 (aarch64)
# with Debian's cross compiler (g++-aarch64-linux-gnu):
#
#   cmake -S . -B build-aarch64-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DBUILD_TESTING=OFF
#   cmake --build build-aarch64-linux-gnu -j2 --target package
#
# gives the .deb for that architecture. There is no GoogleTest for the
# target, so the tests stay off; qemu-user runs the programs on the build
# host (tests/cross/qemu_smoke.sh).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CROSS_TRIPLET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
