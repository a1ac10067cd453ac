// A port opened through the serial link on a pseudo-terminal whose far end
// the test plays as the target.
#pragma once

#include <gtest/gtest.h>

#include "serial/serial_link.h"
#include "tests/support/pty_pair.h"

class PortOnPty : public ::testing::Test {
  protected:
    void SetUp() override {
        int32_t error = 0;
        port = OpenCom(pty.path().c_str(), 9600, &error);
        ASSERT_NE(port, kInvalidComPort);
    }
    void TearDown() override {
        if (port != kInvalidComPort)
            CloseCom(port);
    }
    PtyPair pty;
    ComPort port = kInvalidComPort;
};
