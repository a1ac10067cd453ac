#!/bin/sh
# Makes the Debian package from a finished build, as `--target package` does,
# and checks it: its control fields, that the programs and targetsim land in
# /usr/bin with their manual pages, the copyright file and changelog Debian
# wants, lintian finding no error or warning, and that, unpacked, every
# program answers --version and man finds and renders every page without a
# warning.
#
#   check_deb.sh BUILD_DIR VERSION
#
# Without lintian installed its check is left out with a note, except under
# CI, where that is a failure.
set -eu

build=$1
version=$2
programs="Torvanex Torvane Quilmark Ferrolt targetsim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

# Packs what the build made. Naming a generator without a pre-install step
# keeps cpack from building the tree again while other tests run from it.
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" -D CPACK_CMAKE_GENERATOR=Ninja \
    >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack did not make the package"
fi
deb="$work/out/z80-host-tools_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $deb; cpack made: $(ls "$work/out")"

# Control fields: the name, the project's version, and the libraries the
# programs link, as dpkg-shlibdeps found them.
[ "$(dpkg-deb -f "$deb" Package)" = z80-host-tools ] || fail "Package: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
*libc6*libstdc++6*) ;;
*) fail "Depends lacks libc6 or libstdc++6: $depends" ;;
esac

# Contents: every executable in /usr/bin, and nothing else there; every
# manual page compressed in section 1.
dpkg-deb -c "$deb" >"$work/contents"
for program in $programs; do
    grep -Eq "^-rwxr-xr-x root/root +[0-9]+ .* \./usr/bin/$program\$" "$work/contents" ||
        fail "no executable /usr/bin/$program"
    grep -Eq "^-rw-r--r-- root/root +[0-9]+ .* \./usr/share/man/man1/$program\.1\.gz\$" \
        "$work/contents" || fail "no manual page /usr/share/man/man1/$program.1.gz"
done
in_bin=$(grep -c ' \./usr/bin/[^/]' "$work/contents" || true)
[ "$in_bin" -eq 5 ] || fail "/usr/bin holds $in_bin files, not 5: $(grep ' ./usr/bin/' "$work/contents")"
doc=./usr/share/doc/z80-host-tools
# The pages the README links to go with it.
pages=$(cd "$(dirname "$0")/../../docs" && ls -- *.md | sed 's|^|docs/|')
for file in README.md $pages copyright changelog.gz examples/hello.hex examples/hello.bas \
    examples/hello.asm; do
    grep -Eq "^-rw-r--r-- root/root +[0-9]+ .* $doc/$file\$" "$work/contents" || fail "no $doc/$file"
done
# A build with the emulated board (targetsim --cpu) carries its firmware
# where the installed targetsim looks for it.
if [ -f "$build/bin/z80-monitor.rom" ]; then
    grep -Eq "^-rw-r--r-- root/root +[0-9]+ .* \./usr/share/z80-host-tools/z80-monitor\.rom\$" \
        "$work/contents" || fail "no /usr/share/z80-host-tools/z80-monitor.rom"
    # The unpacked targetsim finds it beside its bin/, wherever that is.
    dpkg-deb -x "$deb" "$work/root"
    mkfifo "$work/started"
    "$work/root/usr/bin/targetsim" --cpu --transcript "$work/cpu.transcript" >"$work/started" &
    sim=$!
    read -r first <"$work/started" || first=""
    kill -TERM "$sim" 2>/dev/null || true
    wait "$sim" || fail "the unpacked targetsim --cpu did not start: '$first'"
    grep -q "board started, ROM $work/root/usr/bin/../share/z80-host-tools/z80-monitor.rom" \
        "$work/cpu.transcript" || fail "the unpacked targetsim --cpu ran no ROM of its package"
fi

# The maintainer is the project; the copyright file is machine-readable and
# under the MIT (Expat) licence; the changelog's newest entry is this version.
case "$(dpkg-deb -f "$deb" Maintainer)" in
"z80-host-tools authors <"*">") ;;
*) fail "Maintainer: $(dpkg-deb -f "$deb" Maintainer)" ;;
esac
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "$doc/copyright" >"$work/copyright"
head -n 1 "$work/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
    fail "copyright is not machine-readable: $(head -n 1 "$work/copyright")"
grep -q '^Copyright: 2026 the z80-host-tools authors$' "$work/copyright" || fail "copyright names no holder"
grep -q '^License: Expat$' "$work/copyright" || fail "copyright names no MIT (Expat) licence"
grep -q '^License: GPL-2+$' "$work/copyright" || fail "copyright does not say targetsim is under GPL-2+"
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "$doc/changelog.gz" | gzip -dc | head -n 1 >"$work/newest"
grep -q "^z80-host-tools ($version) " "$work/newest" || fail "changelog starts with: $(cat "$work/newest")"

# lintian: no error and no warning (its findings are printed either way).
if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 || {
        cat "$work/lintian"
        fail "lintian finds errors or warnings"
    }
    echo "lintian: $(grep -v 'running with root privileges' "$work/lintian" | wc -l) findings"
    grep -v 'running with root privileges' "$work/lintian" || true
else
    [ -z "${CI:-}" ] || fail "lintian is not installed"
    echo "NOTE: lintian is not installed; its check is left out"
fi

# Unpacked: what a user gets on the PATH and from man.
dpkg-deb -x "$deb" "$work/root"
for program in $programs; do
    answer=$("$work/root/usr/bin/$program" --version) || fail "$program --version failed"
    [ "$answer" = "$program $version" ] || fail "$program --version printed '$answer'"

    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -M "$work/root/usr/share/man" "$program" \
        >"$work/page" 2>"$work/warnings" || fail "man $program failed: $(cat "$work/warnings")"
    [ ! -s "$work/warnings" ] || fail "man $program warns: $(cat "$work/warnings")"
    grep -Eq "^ +$program +\\\\?- " "$work/page" || fail "man $program shows no NAME line"
    grep -q "z80-host-tools $version" "$work/page" || fail "man $program does not show $version"
done
echo "PASS: $deb"
