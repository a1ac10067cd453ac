// The end of a run on a program's port: the hint after a wake-up left
// unanswered (EndRun's own texts and statuses are tested
// with the status tables, tests/packaging/status_table_test.cpp).
#include "run/run_end.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "launch/launch.h"
#include "programs/torvane/exit_status.h"
#include "tests/support/pty_pair.h"

namespace {

// An open port on a pseudo-terminal whose target end stays open, so the
// port is not lost; closed at the end of the test unless the test closed it.
struct OpenPort {
    OpenPort() {
        int32_t error = 0;
        port = OpenCom(pty.path().c_str(), 9600, &error);
    }
    ~OpenPort() {
        if (port != kInvalidComPort) {
            CloseCom(port);
        }
    }
    PtyPair pty;
    ComPort port = kInvalidComPort;
};

// Runs EndRunOnPort for `stage` and `outcome` on `port`; what it printed on
// standard error goes to *hinted. Returns the status.
int End(Stage stage, Outcome outcome, ComPort port, std::string* hinted) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = EndRunOnPort(kTorvaneStatuses, stage, outcome, port);
    *hinted = ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStdout();
    return status;
}

}  // namespace

TEST(EndRunOnPort, AnUnansweredWakeUpGetsItsHintAndNothingElseDoes) {
    OpenPort open;
    ASSERT_NE(open.port, kInvalidComPort);
    std::string hinted;
    EXPECT_EQ(End(Stage::kHandshake, Outcome::kSilent, open.port, &hinted), 3);
    // After the open "No Response" line, on a line of its own.
    EXPECT_EQ(hinted.rfind("\nHint: the board did not answer the wake-up.", 0), 0u) << hinted;
    // A target that talked, and silence in a later stage, need no such hint.
    EXPECT_EQ(End(Stage::kHandshake, Outcome::kChatter, open.port, &hinted),
              ExitStatusFor(kTorvaneStatuses, Stage::kHandshake, Outcome::kChatter));
    EXPECT_EQ(hinted, "");
    EXPECT_EQ(End(Stage::kRecords, Outcome::kSilent, open.port, &hinted),
              ExitStatusFor(kTorvaneStatuses, Stage::kRecords, Outcome::kSilent));
    EXPECT_EQ(hinted, "");
}
