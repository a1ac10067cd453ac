// The launch library the tests and the benchmark share: a program's exit
// status, its environment changes, its output files and its time limit.
#include "launch/launch.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

TEST(Launch, RunsAProgramToItsEndWithTheEnvironmentChangesAsked) {
    TempDir dir;
    setenv("Z80_LAUNCH_GONE", "here", 1);
    Launch launch;
    launch.words = {"sh", "-c",
                    "echo \"[$Z80_LAUNCH_SET][${Z80_LAUNCH_GONE-unset}]\"; echo oops >&2; exit 3"};
    launch.env = {"Z80_LAUNCH_SET=yes", "Z80_LAUNCH_GONE"};
    launch.outPath = dir.path() + "/out";
    const Finished finished = RunToEnd(launch);
    unsetenv("Z80_LAUNCH_GONE");
    EXPECT_EQ(finished.status, 3);
    EXPECT_EQ(ReadFileText(launch.outPath), "[yes][unset]\n");
    EXPECT_GT(finished.wallMs, 0);

    launch.errorsToOut = true;
    EXPECT_EQ(RunToEnd(launch).status, 3);
    EXPECT_EQ(ReadFileText(launch.outPath), "[yes][unset]\noops\n");
}

TEST(Launch, AProgramPastItsLimitIsKilledAndOneThatCannotStartFails) {
    TempDir dir;
    Launch launch;
    launch.words = {"sleep", "30"};
    launch.outPath = dir.path() + "/out";
    launch.timeoutSec = 1;
    int calls = 0;
    EXPECT_EQ(RunToEnd(launch, [&](pid_t) { ++calls; }).status, -1);
    EXPECT_GT(calls, 0);

    launch.words = {dir.path() + "/not-there"};
    EXPECT_EQ(RunToEnd(launch).status, 127);
}

TEST(Launch, ASimulatorThatPrintsNoPortIsReportedAndLeftStopped) {
    SimProcess sim;
    std::string why;
    EXPECT_EQ(StartSimProcess("/bin/echo", {"no port here"}, 0, &sim, &why), -1);
    EXPECT_EQ(why, "targetsim did not start: no port here");
    EXPECT_EQ(sim.pid, -1);
    StopSimProcess(&sim);  // nothing to stop; must not hang
}
