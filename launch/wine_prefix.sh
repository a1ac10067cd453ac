#!/bin/sh
# The Wine prefix the Windows programs run in: their end-to-end cases and the
# benchmark.
#
#   wine_prefix.sh setup PREFIX WINDOWS_BIN_DIR
#   wine_prefix.sh cleanup PREFIX
#
# setup makes PREFIX afresh (one prefix per test run), then starts one
# persistent wineserver for it with Wine's own services, so the cases start
# quickly and nothing rewrites the COM links they make; it ends by writing
# PREFIX/z80-ready. cleanup stops that server and removes the prefix.
# When Wine cannot be used, setup says why and succeeds (the Wine cases then
# skip), except under CI, where it fails: CI must run them.
set -u

action=$1
prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
log="$prefix.log"

cannot_run() {
    echo "Wine cases cannot run: $1"
    if [ -n "${CI:-}" ]; then
        exit 1
    fi
    exit 0
}

stop_server() {
    if [ -d "$prefix" ] && command -v wineserver >/dev/null 2>&1; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
}

case "$action" in
setup)
    windows_bin=${3:-}
    [ -n "$windows_bin" ] || cannot_run "the Windows programs are not built (no MinGW-w64 compiler)"
    command -v wine >/dev/null 2>&1 || cannot_run "wine is not installed"
    command -v wineserver >/dev/null 2>&1 || cannot_run "wineserver is not installed"
    stop_server
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    # Every Wine process started here keeps its output out of the test log,
    # and the server must not hold CTest's output pipe open.
    if ! wineboot -i >"$log" 2>&1; then
        cat "$log"
        cannot_run "wineboot could not make $prefix"
    fi
    wineserver -w >>"$log" 2>&1
    wineserver -p >>"$log" 2>&1
    # Starts Wine's services (among them the one that maps the machine's
    # serial devices to COM ports) before any case makes its own COM link.
    if ! wine cmd /c exit >>"$log" 2>&1 </dev/null; then
        cat "$log"
        cannot_run "wine does not start programs in $prefix"
    fi
    : >"$prefix/z80-ready"
    echo "Wine prefix ready: $prefix"
    ;;
cleanup)
    stop_server
    rm -rf "$prefix" "$log"
    ;;
*)
    echo "usage: wine_prefix.sh setup PREFIX WINDOWS_BIN_DIR | cleanup PREFIX" >&2
    exit 2
    ;;
esac
