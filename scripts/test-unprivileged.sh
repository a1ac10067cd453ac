#!/bin/bash
# Runs the native suite (unit, pseudo-terminal and end-to-end cases, the
# dry run of docs/simulated-target.md among them) as an ordinary user, the simulated target
# running as that user too: root is exempt from checks that bite everyone
# else (a port claimed for exclusive use, a file of mode 000, a read-only
# folder), so the suite as root alone would not show them.
#
# As root: makes the user (Z80_TEST_USER, default z80tester) when missing,
# copies the sources to a folder it owns (the checkout may lie where it
# cannot reach, such as root's home), and builds and tests there as it, with
# no Windows cross build (no Wine cases, no packages). As any other user the
# main suite already runs unprivileged, and this does nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
    echo "test-unprivileged: already an ordinary user; the main suite covers this"
    exit 0
fi
user=${Z80_TEST_USER:-z80tester}
if ! id "$user" >/dev/null 2>&1; then
    useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
fi

work=$(mktemp -d /tmp/z80-unprivileged.XXXXXX)
trap 'rm -rf "$work"' EXIT
tar --exclude='./build*' --exclude='./.git' -cf - . | tar -xf - -C "$work"
chown -R "$user:" "$work"
chmod 755 "$work"

# runuser runs the command itself, not the user's shell (which is nologin).
# SHELL is unset, as on a machine that sets none: whatever the tests start
# must not fall back on the login shell.
runuser -u "$user" -- env -u SHELL HOME="$work" /bin/sh -c '
    set -e
    cd "$1"
    cmake -S . -B build -DZ80_WINDOWS_PROGRAMS=OFF >/dev/null
    cmake --build build -j2 >/dev/null
    echo "test-unprivileged: running the native suite as $(id -un) (uid $(id -u))"
    ctest --test-dir build -j8 -E "Wine|wine_prefix|packaging" --output-on-failure
' sh "$work"
