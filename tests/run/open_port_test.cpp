// A program's port opened with its own lines: that it is open, or the
// system's error when it is not.
#include "run/open_port.h"

#include <gtest/gtest.h>

#include <string>

#include "launch/launch.h"
#include "tests/support/pty_pair.h"

namespace {

constexpr PortTexts kTexts{"OpenCom (1) failed with error %d.\n",
                           "Com Port(1) %s open at %d baud.\n", false};

}  // namespace

TEST(OpenProgramPort, AnOpenPortIsSaidWithItsNameAndBaudRate) {
    PtyPair pty;
    ASSERT_FALSE(pty.path().empty());
    ComPort port = kInvalidComPort;
    int32_t comError = -1;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(OpenProgramPort(kTexts, pty.path().c_str(), 9600, "3", &port, &comError),
              Outcome::kDone);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Com Port(1) " + pty.path() + " open at 9600 baud.\n");
    EXPECT_NE(port, kInvalidComPort);
    CloseCom(port);
}

TEST(OpenProgramPort, APortThatDoesNotOpenIsSaidWithTheSystemsError) {
    TempDir dir;
    const std::string missing = dir.path() + "/ttyNone";
    ComPort port = kInvalidComPort;
    int32_t comError = 0;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(OpenProgramPort(kTexts, missing.c_str(), 9600, nullptr, &port, &comError),
              Outcome::kNoPort);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    const std::string hinted = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(port, kInvalidComPort);
    EXPECT_NE(comError, 0);
    EXPECT_EQ(printed, "OpenCom (1) failed with error " + std::to_string(comError) + ".\n");
    EXPECT_NE(hinted, "");  // the cause in plain words
}
