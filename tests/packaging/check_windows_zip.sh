#!/bin/sh
# Makes the Windows zip from the cross build of the Windows programs, as
# `--target package` does there, and checks it: exactly the three .exe files
# and the guide in one folder, the guide in CR LF lines naming the version
# and the programs, the .exe files 64-bit PE executables that need no DLL
# beyond those Windows has, and each, run under Wine from the unpacked zip,
# answering --help and --version.
#
#   check_windows_zip.sh VERSION WINE_PREFIX WINDOWS_BUILD_DIR
#
# WINDOWS_BUILD_DIR is empty (or left out) when there is no cross build.
# Exits 77 (skipped) when the cross build or Wine is missing, except under
# CI, where that is a failure.
set -eu

version=$1
prefix=$2
windows_build=${3:-}
programs="Torvane Quilmark Ferrolt"
folder="z80-host-tools-$version-win64"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

cannot_run() {
    echo "The Windows zip cannot be checked: $1"
    [ -z "${CI:-}" ] || exit 1
    exit 77
}

[ -n "$windows_build" ] || cannot_run "the Windows programs are not built (no MinGW-w64 compiler)"
[ -f "$windows_build/CPackConfig.cmake" ] || fail "no $windows_build/CPackConfig.cmake"

# Packs what the cross build made; a generator without a pre-install step
# keeps cpack from building it again while other tests run its programs.
if ! cpack --config "$windows_build/CPackConfig.cmake" -B "$work/out" \
    -D CPACK_CMAKE_GENERATOR=Ninja >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack did not make the zip"
fi
zip="$work/out/$folder.zip"
[ -f "$zip" ] || fail "no zip $zip; cpack made: $(ls "$work/out")"

# Contents: one folder holding the three programs and the guide, no more.
(cd "$work" && cmake -E tar tf "$zip") | sort >"$work/contents"
printf '%s\n' "$folder/Ferrolt.exe" "$folder/Quilmark.exe" "$folder/README.txt" \
    "$folder/Torvane.exe" >"$work/expected"
grep -v '/$' "$work/contents" | diff "$work/expected" - >"$work/diff" ||
    fail "the zip holds other files than expected: $(cat "$work/diff")"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
dir="$work/unpacked/$folder"

# The guide: Windows line ends throughout, the version, every program.
cr=$(printf '\r')
if grep -nv "$cr\$" "$dir/README.txt" >"$work/bare"; then
    fail "README.txt has lines without CR LF: $(head -3 "$work/bare")"
fi
grep -q "^Version $version$cr\$" "$dir/README.txt" || fail "README.txt does not give version $version"
for program in $programs; do
    grep -q "$program.exe {" "$dir/README.txt" || fail "README.txt does not show how to run $program.exe"
done

# The executables: 64-bit PE files, statically linked (no MinGW runtime DLLs).
for program in $programs; do
    exe="$dir/$program.exe"
    objdump -f "$exe" | grep -q 'file format pei-x86-64' || fail "$program.exe is not a PE32+ executable"
    objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' >"$work/dlls"
    [ -s "$work/dlls" ] || fail "$program.exe imports no DLL at all"
    if grep -Eiv '^(kernel32|msvcrt|ucrtbase|advapi32|winmm|api-ms-win-[a-z0-9-]+)\.dll$' \
        "$work/dlls" >"$work/foreign"; then
        fail "$program.exe needs DLLs Windows does not have: $(cat "$work/foreign")"
    fi
done

# Under Wine, from the unpacked zip, in the test run's Wine prefix.
command -v wine >/dev/null 2>&1 || cannot_run "wine is not installed"
[ -f "$prefix/z80-ready" ] || cannot_run "the Wine prefix $prefix is not ready"
run_wine() {
    env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$prefix" WINEDEBUG=-all wine "$@" </dev/null
}
for program in $programs; do
    answer=$(run_wine "$dir/$program.exe" --version) || fail "$program.exe --version failed"
    [ "$answer" = "$program $version$cr" ] || fail "$program.exe --version printed '$answer'"
    run_wine "$dir/$program.exe" --help >"$work/help" || fail "$program.exe --help failed"
    head -n 1 "$work/help" | grep -q "^Usage: $program {" ||
        fail "$program.exe --help shows no usage line: $(head -n 1 "$work/help")"
    # The Windows build's own text: COM numbers, and -1 as -1.
    grep -q '^  -1  ' "$work/help" || fail "$program.exe --help does not list status -1"
    tail -n 1 "$work/help" | grep -q "^$program $version$cr\$" ||
        fail "$program.exe --help does not end with the version"
done
echo "PASS: $zip"
