#include "target_sim/board.h"

#ifdef TARGETSIM_CPU
#include <z80ex/z80ex.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef TARGETSIM_CPU
namespace {

constexpr unsigned char kStatusPort = 0x80;
constexpr unsigned char kDataPort = 0x81;

// The cycle of the access under way: the instruction's start plus the
// cycles it has taken so far.
int64_t Now(Z80EX_CONTEXT* cpu, const Board* board) {
    return board->cycle + z80ex_op_tstate(cpu);
}

// Brings the UART up to `cycle`, noting bytes an overrun lost.
void AdvanceUart(Board* board, int64_t cycle) {
    const int lost = UartAdvance(&board->uart, cycle);
    if (lost > 0 && board->event) {
        board->event("uart overrun: " + std::to_string(lost) + " byte(s) lost, " +
                     std::to_string(board->uart.lost) + " in all");
    }
}

void Advance(Z80EX_CONTEXT* cpu, Board* board) {
    AdvanceUart(board, Now(cpu, board));
}

Z80EX_BYTE ReadMemory(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* data) {
    return static_cast<Board*>(data)->memory[address];
}

void WriteMemory(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* data) {
    if (address >= kBoardRomSize) {
        static_cast<Board*>(data)->memory[address] = value;
    }
}

Z80EX_BYTE ReadPort(Z80EX_CONTEXT* cpu, Z80EX_WORD port, void* data) {
    Board* board = static_cast<Board*>(data);
    Advance(cpu, board);
    // The board decodes the low address byte only, as IN A,(n) leaves A on
    // the high one.
    switch (port & 0xFF) {
        case kStatusPort:
            return UartStatus(board->uart);
        case kDataPort:
            return UartReadData(&board->uart);
        default:
            return 0xFF;  // nothing there: the data bus floats high
    }
}

void WritePort(Z80EX_CONTEXT* cpu, Z80EX_WORD port, Z80EX_BYTE value, void* data) {
    Board* board = static_cast<Board*>(data);
    Advance(cpu, board);
    if ((port & 0xFF) == kStatusPort) {
        UartWriteControl(&board->uart, value);
    } else if ((port & 0xFF) == kDataPort) {
        UartWriteData(&board->uart, value, Now(cpu, board));
    }
}

Z80EX_BYTE ReadInterruptVector(Z80EX_CONTEXT*, void*) {
    return 0xFF;  // no device ever interrupts
}

}  // namespace

#endif  // TARGETSIM_CPU

int LoadBoardRom(const std::string& path, Board* board) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "targetsim: ROM image %s: %s\n", path.c_str(), std::strerror(errno));
        return -1;
    }
    std::vector<unsigned char> image(kBoardRomSize + 1);
    const std::size_t got = std::fread(image.data(), 1, image.size(), in);
    std::fclose(in);
    if (got == 0 || got > kBoardRomSize) {
        std::fprintf(stderr, "targetsim: ROM image %s: %s\n", path.c_str(),
                     got == 0 ? "empty or unreadable" : "larger than the ROM's 8 KiB");
        return -1;
    }
    image.resize(got);
    board->rom = image;
    return static_cast<int>(got);
}

#ifdef TARGETSIM_CPU
int StartBoard(Board* board) {
    std::fill(board->memory.begin(), board->memory.begin() + kBoardRomSize, 0xFF);
    std::copy(board->rom.begin(), board->rom.end(), board->memory.begin());
    board->cpu = z80ex_create(ReadMemory, board, WriteMemory, board, ReadPort, board, WritePort,
                              board, ReadInterruptVector, board);
    if (board->cpu == nullptr) {
        return -1;
    }
    z80ex_reset(board->cpu);
    board->cycle = 0;
    return 0;
}

void RunBoard(Board* board, int64_t untilCycle) {
    while (board->cycle < untilCycle) {
        board->cycle += z80ex_step(board->cpu);
    }
    AdvanceUart(board, board->cycle);
}

void StopBoard(Board* board) {
    if (board->cpu != nullptr) {
        z80ex_destroy(board->cpu);
        board->cpu = nullptr;
    }
}
#else
// Built without libz80ex: there is no processor to start.
int StartBoard(Board*) {
    return -1;
}

void RunBoard(Board*, int64_t) {}

void StopBoard(Board*) {}
#endif  // TARGETSIM_CPU
