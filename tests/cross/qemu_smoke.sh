#!/bin/sh
# End-to-end smoke of one cross build: its Torvanex, Quilmark and Ferrolt run
# under qemu-user against the build host's simulated target, a handful of
# runs, each checked by its exit status and by what the target stored.
#
#   qemu_smoke.sh TARGETSIM CROSS_BIN_DIR QEMU SYSROOT
#
# for example
#
#   qemu_smoke.sh build/bin/targetsim build-arm64/bin qemu-aarch64 /usr/aarch64-linux-gnu
set -eu

targetsim=$1
bin=$2
qemu=$3
sysroot=$4
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
work=$(mktemp -d)
sim=""
trap '[ -z "$sim" ] || kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT

fail() {
    echo "FAIL ($qemu): $*"
    [ ! -s "$work/console" ] || sed 's/^/  | /' "$work/console"
    exit 1
}

# Starts the simulated target with the given options and a link to its port
# at $work/port, and returns once it has printed its PORT line (the port is
# ready then). Its transcript goes to $work/transcript.
start_target() {
    rm -f "$work/started"
    mkfifo "$work/started"
    "$targetsim" --link "$work/port" --transcript "$work/transcript" "$@" >"$work/started" &
    sim=$!
    read -r first <"$work/started" || first=""
    case "$first" in
    "PORT "*) ;;
    *) fail "the simulated target did not start: '$first'" ;;
    esac
}

# Stops the simulated target; it saves its memory image then, when asked to.
stop_target() {
    kill -TERM "$sim"
    wait "$sim" || fail "the simulated target ended with status $?"
    sim=""
}

# run_program STATUS PROGRAM ARGUMENTS...: runs the cross-built PROGRAM under
# qemu and checks its exit status.
run_program() {
    expected=$1
    program=$2
    shift 2
    status=0
    "$qemu" -L "$sysroot" "$bin/$program" "$@" >"$work/console" 2>&1 || status=$?
    [ "$status" -eq "$expected" ] || fail "$program $* ended with status $status, not $expected"
}

# The example's bytes, by an independent reader of Intel HEX: objcopy.
objcopy -I ihex -O binary "$examples/hello.hex" "$work/hello.bin"
size=$(wc -c <"$work/hello.bin")

# 1. Torvanex loads the example: status 0, and the target's memory from 8000
#    holds exactly its bytes.
start_target --memory-out "$work/memory.bin"
run_program 0 Torvanex "$examples/hello.hex" "$work/port"
stop_target
dd if="$work/memory.bin" of="$work/loaded.bin" bs=1 skip=$((0x8000)) count="$size" 2>/dev/null
cmp -s "$work/hello.bin" "$work/loaded.bin" || fail "Torvanex: the target's memory does not hold hello.hex"
echo "ok ($qemu): Torvanex loaded hello.hex, status 0, target memory matches"

# 2. Quilmark saves that memory back: status 0, and the file holds the same
#    bytes (whole records, so one more at the end).
start_target --memory-in "$work/memory.bin"
run_program 0 Quilmark 8000 80A0 "$work/saved.hex" "$work/port"
stop_target
objcopy -I ihex -O binary "$work/saved.hex" "$work/saved.bin"
cmp -s -n "$size" "$work/hello.bin" "$work/saved.bin" || fail "Quilmark: saved.hex does not hold the target's memory"
echo "ok ($qemu): Quilmark saved 8000..80A0, status 0, the file matches the target's memory"

# 3. Ferrolt types the example BASIC program: status 0, and the target's
#    BASIC stored every line of it.
start_target
run_program 0 Ferrolt "$examples/hello.bas" "$work/port"
stop_target
sed -n 's/^E [0-9]* basic line //p' "$work/transcript" >"$work/stored.bas"
cmp -s "$examples/hello.bas" "$work/stored.bas" || fail "Ferrolt: the target stored other lines: $(cat "$work/stored.bas")"
echo "ok ($qemu): Ferrolt typed hello.bas, status 0, the target stored every line"

# 4. A target that refuses a record: Torvanex goes on, and ends with status 5.
start_target --record-answer 2=E
run_program 5 Torvanex "$examples/hello.hex" "$work/port"
stop_target
echo "ok ($qemu): Torvanex with a refused record, status 5"
