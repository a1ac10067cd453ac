// The board's UART driven in cycles, without a processor or a port: when a
// byte from the host enters the receive register, what an overrun loses,
// and when a written byte leaves the board.
#include "target_sim/board_uart.h"

#include <gtest/gtest.h>

TEST(BoardUart, ABurstFromTheHostEntersOneCharacterTimeApart) {
    Uart uart;
    for (unsigned char byte : {'1', '2'}) {
        UartHostByte(&uart, byte, 1000);
    }
    UartAdvance(&uart, 1000 + kBoardCharCycles - 1);
    EXPECT_EQ(UartStatus(uart) & kUartReceiveFull, 0);
    UartAdvance(&uart, 1000 + kBoardCharCycles);
    ASSERT_NE(UartStatus(uart) & kUartReceiveFull, 0);
    EXPECT_EQ(UartReadData(&uart), '1');
    EXPECT_EQ(UartStatus(uart) & kUartReceiveFull, 0);
    EXPECT_EQ(UartNextEvent(uart), 1000 + 2 * kBoardCharCycles);
    UartAdvance(&uart, 1000 + 2 * kBoardCharCycles);
    EXPECT_EQ(UartReadData(&uart), '2');
    EXPECT_EQ(UartStatus(uart) & kUartOverrun, 0);
    EXPECT_EQ(uart.lost, 0);
}

TEST(BoardUart, AByteThatFindsTheRegisterFullIsLostAndFlagged) {
    Uart uart;
    for (unsigned char byte : {'a', 'b', 'c'}) {
        UartHostByte(&uart, byte, 0);
    }
    EXPECT_EQ(UartAdvance(&uart, 3 * kBoardCharCycles), 2);
    EXPECT_EQ(UartStatus(uart), kUartReceiveFull | kUartTransmitEmpty | kUartOverrun);
    // The register keeps the byte that was there; reading it clears the flag.
    EXPECT_EQ(UartReadData(&uart), 'a');
    EXPECT_EQ(UartStatus(uart), kUartTransmitEmpty);
    EXPECT_EQ(uart.lost, 2);
}

TEST(BoardUart, ALowerReceiveGapLetsBytesComeFasterThanTheLine) {
    Uart uart;
    uart.receiveGapCycles = 20;
    UartHostByte(&uart, 'x', 0);
    UartHostByte(&uart, 'y', 0);
    EXPECT_EQ(UartAdvance(&uart, 40), 1);
    EXPECT_NE(UartStatus(uart) & kUartOverrun, 0);
}

TEST(BoardUart, AWrittenByteLeavesOneCharacterTimeLater) {
    Uart uart;
    ASSERT_NE(UartStatus(uart) & kUartTransmitEmpty, 0);
    UartWriteData(&uart, '*', 500);
    EXPECT_EQ(UartStatus(uart) & kUartTransmitEmpty, 0);
    // Written while the wire is busy: dropped.
    UartWriteData(&uart, '?', 501);
    ASSERT_EQ(uart.sent.size(), 1u);
    EXPECT_EQ(uart.sent.front().byte, '*');
    EXPECT_EQ(uart.sent.front().cycle, 500 + kBoardCharCycles);
    UartAdvance(&uart, 500 + kBoardCharCycles);
    EXPECT_NE(UartStatus(uart) & kUartTransmitEmpty, 0);
    EXPECT_EQ(UartNextEvent(uart), -1);
}

TEST(BoardUart, AMasterResetEmptiesTheRegistersAndClearsTheOverrun) {
    Uart uart;
    UartHostByte(&uart, 'a', 0);
    UartHostByte(&uart, 'b', 0);
    UartAdvance(&uart, 2 * kBoardCharCycles);
    UartWriteControl(&uart, 0x11);  // the line format alone changes nothing
    EXPECT_NE(UartStatus(uart) & kUartOverrun, 0);
    UartWriteControl(&uart, 0x03);
    EXPECT_EQ(UartStatus(uart), kUartTransmitEmpty);
}

TEST(BoardUart, AByteNeverEntersBeforeTheProcessorsPresent) {
    Uart uart;
    UartHostByte(&uart, 'z', 100, 50000);
    EXPECT_EQ(UartNextEvent(uart), 50000);
    UartHostByte(&uart, 'w', 100, 50000);
    EXPECT_EQ(UartNextEvent(uart), 50000);
    EXPECT_EQ(uart.arriving.back().cycle, 50000 + kBoardCharCycles);
}
