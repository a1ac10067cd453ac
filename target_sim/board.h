// The emulated board: a Z80 at 7.3728 MHz (libz80ex), 64 KiB of memory with
// the ROM at 0000-1FFF (writes there are ignored) and RAM above, and the
// UART of board_uart.h at ports 0x80 (control/status) and 0x81 (data).
// It runs in cycles; the session keeps those in step with real time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "target_sim/board_uart.h"

struct _z80_cpu_context;  // libz80ex's processor, behind board.cpp

// The ROM's window; an image shorter than this reads 0xFF above its end.
constexpr unsigned kBoardRomSize = 0x2000;

struct Board {
    std::array<unsigned char, 65536> memory{};  // as the processor sees it
    std::vector<unsigned char> rom;             // the ROM image, at most kBoardRomSize bytes
    std::string romPath;                        // where it was read from
    Uart uart;
    int64_t cycle = 0;  // processor cycles since the reset
    _z80_cpu_context* cpu = nullptr;
    std::function<void(const std::string&)> event;  // a line for the transcript
};

// Reads the ROM image at `path` into `board`. Returns its size in bytes, or
// -1 after printing why on standard error (empty, unreadable, over 8 KiB).
int LoadBoardRom(const std::string& path, Board* board);

// Puts the ROM in place (over whatever a memory image left at 0000-1FFF),
// creates the processor and resets it: it starts at 0000, cycle 0.
// Returns 0, or -1 when no processor could be made.
int StartBoard(Board* board);

// Runs the processor until its cycle count reaches `untilCycle` (the last
// instruction may end a few cycles past it), the UART kept up to date at
// every access. Bytes the host wrote reach it through UartHostByte first.
void RunBoard(Board* board, int64_t untilCycle);

// Frees the processor; safe to repeat.
void StopBoard(Board* board);
