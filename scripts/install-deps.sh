#!/bin/bash
# Installs the Debian packages the build and the tests need, those missing.
# Needs root (or sudo) only when something is missing. With "native", only
# what the native build and the demo need (no Windows cross build, no Wine).
set -euo pipefail

packages=(cmake make g++ libgtest-dev binutils)
# The .deb: dpkg-shlibdeps (dpkg-dev) for its dependencies, gzip for the
# manual pages, and man to check them.
packages+=(dpkg-dev gzip man-db)
# The network ports' end-to-end cases run a real serial-port server.
packages+=(ser2net)
# targetsim --cpu: the Z80 core it emulates the board with, and the
# assembler for the board's monitor firmware and the example program.
packages+=(libz80ex-dev z80asm)
if [ "${1:-all}" != "native" ]; then
    packages+=(g++-mingw-w64-x86-64 wine wine64)
    # The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
    packages+=(clang libclang-rt-dev)
    # The format check of the sources, and the load for scripts/load-check.sh.
    packages+=(clang-format stress-ng)
    # A screen for the Windows programs under Wine, as a person sees it.
    packages+=(tmux)
    # The packages' checks: lintian; the arm64 and armhf cross builds and
    # their smoke under qemu-user.
    packages+=(lintian g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user)
fi
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
((${#missing[@]} == 0)) && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
