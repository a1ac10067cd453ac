// The board's serial UART, in the style of a 6850: a status register at
// port 0x80 and a data register at port 0x81, on a 9600 8N2 line. Pure
// timing in CPU cycles, with no clock of its own, so tests can drive it.
//
// A byte from the host enters the receive register one character time after
// the one before it (the wire carries them one after another); if the
// firmware has not read the one before by then, the new byte is lost and the
// overrun flag is set. A byte written to the data register leaves the board
// one character time later; until then the transmitter is not empty.
#pragma once

#include <cstdint>
#include <deque>

// The board's clock: 7.3728 MHz.
constexpr int64_t kBoardClockHz = 7372800;
// One character on the line, 11 bits at 9600 baud: 8448 cycles.
constexpr int64_t kBoardCharCycles = 11 * kBoardClockHz / 9600;

// Status register bits, as on a 6850.
constexpr unsigned char kUartReceiveFull = 0x01;
constexpr unsigned char kUartTransmitEmpty = 0x02;
constexpr unsigned char kUartOverrun = 0x20;

struct UartByte {
    unsigned char byte;
    int64_t cycle;  // when it enters the receive register, or has left the board
};

struct Uart {
    int64_t receiveGapCycles = kBoardCharCycles;  // between received bytes (tests lower it)
    int64_t lastEntryCycle = 0;                   // when the last byte entered (or will)
    std::deque<UartByte> arriving;                // on the wire, not yet in the register
    unsigned char receiveData = 0;
    bool receiveFull = false;
    bool overrun = false;
    int64_t lost = 0;  // bytes lost to overruns so far

    bool transmitting = false;  // a written byte is still on the wire
    int64_t transmitDoneCycle = 0;
    std::deque<UartByte> sent;  // bytes that left the board, for the line
};

// Puts `byte`, which the host wrote and the board saw at `cycle`, on the
// wire: it enters the receive register one receive gap after the later of
// `cycle` and the previous byte's entry, and not before `notBeforeCycle`
// (the processor's present, which may be ahead of `cycle`).
void UartHostByte(Uart* uart, unsigned char byte, int64_t cycle, int64_t notBeforeCycle = 0);

// Brings `uart` up to `cycle`: arriving bytes due by then enter the receive
// register (or are lost to an overrun), a byte on the transmit wire leaves.
// Returns the number of bytes lost by this call.
int UartAdvance(Uart* uart, int64_t cycle);

// The status register at `cycle` (after UartAdvance to it).
unsigned char UartStatus(const Uart& uart);

// Reads the data register: the received byte; the receive register is then
// empty and the overrun flag clear.
unsigned char UartReadData(Uart* uart);

// Writes `byte` to the data register at `cycle`: it has left the board one
// character time later (in `sent`). A byte written while the transmitter is
// not empty is dropped: firmware waits for the transmit-empty flag.
void UartWriteData(Uart* uart, unsigned char byte, int64_t cycle);

// A write to the control register: 0x03 (master reset) empties both
// registers and clears the overrun flag; the line format bits change nothing.
void UartWriteControl(Uart* uart, unsigned char value);

// The cycle at which `uart` next changes by itself (a byte entering, the
// transmitter emptying), or -1 when nothing is pending.
int64_t UartNextEvent(const Uart& uart);
