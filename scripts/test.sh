#!/bin/bash
# Checks that the sources are formatted, builds everything with warnings as
# errors and runs the whole test suite: unit, pseudo-terminal and
# end-to-end tests, natively and for the Windows build under Wine; then the
# native suite again as an ordinary user; the packages: the amd64 .deb through
# lintian, and the arm64 and armhf cross builds, packed, checked and run under
# qemu-user against the simulated target (the suite itself checks the .deb and
# the Windows zip with its version resources); the native suite again built
# with AddressSanitizer and UndefinedBehaviorSanitizer; and every fuzz target
# for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
cmake -S . -B build -DZ80_WERROR=ON
cmake --build build -j2
ctest --test-dir build -j8 --output-on-failure

# The native suite again as an ordinary user, who gets none of root's
# exemptions (when run as root; see the script).
scripts/test-unprivileged.sh

# The amd64 package as the README makes it, without the test suite (the
# suite itself checked the one of its own build), and what lintian says of it.
{
    cmake -S . -B build-pkg -DBUILD_TESTING=OFF -DZ80_WERROR=ON &&
        cmake --build build-pkg -j2 --target package
} >build/package.log 2>&1 || {
    cat build/package.log
    exit 1
}
for deb in build-pkg/z80-host-tools_*_"$(dpkg --print-architecture)".deb; do
    lintian=0
    lintian --fail-on error,warning "$deb" >build/lintian.log 2>&1 || lintian=$?
    echo "$deb: $(stat -c %s "$deb") bytes; lintian (status $lintian):"
    grep -v 'running with root privileges' build/lintian.log || echo "  (nothing to report)"
    ((lintian == 0))
done

# The Raspberry Pi hosts: arm64 and armhf packages, and their smoke.
scripts/cross.sh arm64 build
scripts/cross.sh armhf build

# The unit and native end-to-end tests under the sanitizers: no Windows cross
# build, so no Wine cases (and no Windows package to check).
cmake -S . -B build-asan -DZ80_SANITIZE=ON -DZ80_WINDOWS_PROGRAMS=OFF
cmake --build build-asan -j2
ctest --test-dir build-asan -j8 -E "Wine|wine_prefix|packaging" --output-on-failure

# Each fuzz target for 15 s from its seed corpus.
scripts/fuzz.sh 15
