#!/bin/bash
# Cross-builds the Linux programs and targetsim for arm64 or armhf (the
# toolchain files in cmake/, every warning an error, no tests: there is no
# GoogleTest for the target), packs the .deb, checks it (its name,
# Architecture, the programs' machine, lintian) and runs the smoke of
# tests/cross/qemu_smoke.sh: the cross-built Torvanex, Quilmark and Ferrolt
# under qemu-user against the simulated target of the native build in
# NATIVE_BUILD (default build, built when missing).
#
#   scripts/cross.sh arm64|armhf [NATIVE_BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
arch=$1
native=${2:-build}

case "$arch" in
arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 machine=AArch64 ;;
armhf) triplet=arm-linux-gnueabihf qemu=qemu-arm machine=ARM ;;
*)
    echo "usage: scripts/cross.sh arm64|armhf [NATIVE_BUILD]" >&2
    exit 2
    ;;
esac
build=build-$arch

fail() {
    echo "FAIL ($arch): $*"
    exit 1
}

cmake -S . -B "$build" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="cmake/$triplet.cmake" \
    -DBUILD_TESTING=OFF -DZ80_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target package >"$build/package.log" 2>&1 || {
    cat "$build/package.log"
    fail "the cross build or its package failed"
}

# The package: named for the architecture, saying it, holding its programs.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/z80-host-tools_${version}_$arch.deb"
[ -f "$deb" ] || fail "no $deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "Architecture: $(dpkg-deb -f "$deb" Architecture)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
rm -rf "$build/unpacked"
dpkg-deb -x "$deb" "$build/unpacked"
for program in Torvanex Torvane Quilmark Ferrolt targetsim; do
    readelf -h "$build/unpacked/usr/bin/$program" | grep -Eq "Machine: +$machine\$" ||
        fail "/usr/bin/$program is not built for $machine"
done
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian finds errors or warnings"
echo "ok ($arch): $deb, $(stat -c %s "$deb") bytes, Architecture $arch, lintian clean"

# The smoke, against the build host's simulated target.
[ -x "$native/bin/targetsim" ] || {
    cmake -S . -B "$native" >/dev/null
    cmake --build "$native" -j2 --target targetsim >/dev/null
}
sh tests/cross/qemu_smoke.sh "$native/bin/targetsim" "$build/bin" "$qemu" "/usr/$triplet"
