#!/bin/sh
# Makes the Windows zip from the cross build of the Windows programs, as
# `--target package` does there, and checks it: exactly the three .exe files,
# the guide, the licence and the examples in one folder, the guide in CR LF lines naming
# the version, the programs and how to check the version, the .exe files
# 64-bit PE executables that need no DLL beyond those Windows has, each with
# a version resource of the project's version, and each, run under Wine from
# the unpacked zip, answering --help and --version.
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

# Contents: one folder holding the three programs, the guide and the
# examples, no more.
(cd "$work" && cmake -E tar tf "$zip") | LC_ALL=C sort >"$work/contents"
printf '%s\n' "$folder/Ferrolt.exe" "$folder/LICENSE.txt" "$folder/Quilmark.exe" "$folder/README.txt" \
    "$folder/Torvane.exe" "$folder/examples/hello.bas" "$folder/examples/hello.hex" |
    LC_ALL=C sort >"$work/expected"
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
if grep -nv "$cr\$" "$dir/LICENSE.txt" >"$work/bare"; then
    fail "LICENSE.txt has lines without CR LF: $(head -3 "$work/bare")"
fi
grep -q "^Version $version$cr\$" "$dir/README.txt" || fail "README.txt does not give version $version"
for program in $programs; do
    grep -q "$program.exe {" "$dir/README.txt" || fail "README.txt does not show how to run $program.exe"
done
grep -q "Torvane.exe --version" "$dir/README.txt" || fail "README.txt does not tell how to check the version"
grep -q "Details" "$dir/README.txt" || fail "README.txt does not point to Properties, Details"

# The executables: 64-bit PE files, statically linked (no MinGW runtime DLLs).
for program in $programs; do
    exe="$dir/$program.exe"
    objdump -f "$exe" | grep -q 'file format pei-x86-64' || fail "$program.exe is not a PE32+ executable"
    objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' >"$work/dlls"
    [ -s "$work/dlls" ] || fail "$program.exe imports no DLL at all"
    if grep -Eiv '^(kernel32|msvcrt|ucrtbase|advapi32|winmm|ws2_32|api-ms-win-[a-z0-9-]+)\.dll$' \
        "$work/dlls" >"$work/foreign"; then
        fail "$program.exe needs DLLs Windows does not have: $(cat "$work/foreign")"
    fi
done

# The version resource Explorer shows (Properties, Details), read back with
# windres: the project's version, in numbers and as text, and the names.
windres=x86_64-w64-mingw32-windres
command -v "$windres" >/dev/null 2>&1 || cannot_run "$windres is not installed"
numbers=$(echo "$version" | sed 's/\./, /g')
for program in $programs; do
    "$windres" -J coff -O rc -i "$dir/$program.exe" >"$work/resource.rc" 2>"$work/windres.log" ||
        fail "$program.exe: windres cannot read its resources: $(cat "$work/windres.log")"
    for line in "FILEVERSION $numbers, 0" "PRODUCTVERSION $numbers, 0" \
        "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
        "VALUE \"ProductName\", \"z80-host-tools\"" "VALUE \"OriginalFilename\", \"$program.exe\"" \
        "VALUE \"LegalCopyright\", \"Copyright (c) 2026 the z80-host-tools authors, MIT licence\""; do
        grep -qF "$line" "$work/resource.rc" || fail "$program.exe: the version resource lacks '$line'"
    done
    grep -q 'VALUE "FileDescription", "Z80 [A-Za-z ]*: ' "$work/resource.rc" ||
        fail "$program.exe: the version resource has no FileDescription"
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
    head -n 1 "$work/help" | grep -q "^Usage: $program [[{]" ||
        fail "$program.exe --help shows no usage line: $(head -n 1 "$work/help")"
    # The Windows build's own text: COM numbers, and -1 as -1.
    grep -q '^  -1  ' "$work/help" || fail "$program.exe --help does not list status -1"
    tail -n 1 "$work/help" | grep -q "^$program $version$cr\$" ||
        fail "$program.exe --help does not end with the version"
done
echo "PASS: $zip"
