#include "target_sim/board_uart.h"

#include <algorithm>

void UartHostByte(Uart* uart, unsigned char byte, int64_t cycle, int64_t notBeforeCycle) {
    const int64_t entry =
        std::max(std::max(cycle, uart->lastEntryCycle) + uart->receiveGapCycles, notBeforeCycle);
    uart->lastEntryCycle = entry;
    uart->arriving.push_back(UartByte{byte, entry});
}

int UartAdvance(Uart* uart, int64_t cycle) {
    int lost = 0;
    while (!uart->arriving.empty() && uart->arriving.front().cycle <= cycle) {
        if (uart->receiveFull) {
            // The firmware has not read the byte before: this one is lost.
            uart->overrun = true;
            ++lost;
        } else {
            uart->receiveData = uart->arriving.front().byte;
            uart->receiveFull = true;
        }
        uart->arriving.pop_front();
    }
    uart->lost += lost;
    if (uart->transmitting && uart->transmitDoneCycle <= cycle) {
        uart->transmitting = false;
    }
    return lost;
}

unsigned char UartStatus(const Uart& uart) {
    return static_cast<unsigned char>((uart.receiveFull ? kUartReceiveFull : 0) |
                                      (uart.transmitting ? 0 : kUartTransmitEmpty) |
                                      (uart.overrun ? kUartOverrun : 0));
}

unsigned char UartReadData(Uart* uart) {
    uart->receiveFull = false;
    uart->overrun = false;
    return uart->receiveData;
}

void UartWriteData(Uart* uart, unsigned char byte, int64_t cycle) {
    if (uart->transmitting) {
        return;  // the wire still carries the byte before: this one is dropped
    }
    uart->transmitting = true;
    uart->transmitDoneCycle = cycle + kBoardCharCycles;
    uart->sent.push_back(UartByte{byte, uart->transmitDoneCycle});
}

void UartWriteControl(Uart* uart, unsigned char value) {
    if ((value & 0x03) == 0x03) {
        uart->receiveFull = false;
        uart->overrun = false;
        uart->transmitting = false;
    }
}

int64_t UartNextEvent(const Uart& uart) {
    int64_t next = uart.arriving.empty() ? -1 : uart.arriving.front().cycle;
    if (uart.transmitting && (next < 0 || uart.transmitDoneCycle < next)) {
        next = uart.transmitDoneCycle;
    }
    return next;
}
