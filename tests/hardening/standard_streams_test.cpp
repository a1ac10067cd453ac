// Standard streams closed at the start or lost in the middle of a run: no
// file or port takes a closed stream's number, and a lost standard output
// costs only the transcript. Native programs only: on Windows the runtime
// keeps the streams' numbers for them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"

namespace {

// Runs the native `program` with `args` ("{port}" reaching `sim`) and the
// descriptors `closed` closed from its start; returns its exit status.
int RunWithClosed(const std::string& program, const std::vector<std::string>& args,
                  const SimTarget& sim, const std::vector<int>& closed, const TempDir& dir) {
    Launch launch;
    launch.words = {NativeExe(program)};
    for (const std::string& arg : args) {
        launch.words.push_back(arg == "{port}" ? sim.port() : arg);
    }
    launch.outPath = dir.path() + "/stdout";
    launch.errPath = dir.path() + "/stderr";
    launch.closed = closed;
    launch.niceIncrement = kProgramNice;
    launch.timeoutSec = kRunLimitSec;
    return RunToEnd(launch).status;
}

}  // namespace

// Closed streams used to hand their numbers to the file or the port: the
// banner then went into the saved file, or to the board ahead of the "@".
TEST(StandardStreams, AClosedStreamReachesNeitherTheFileNorThePort) {
    TempDir dir;
    HardeningJob job(dir);
    for (const std::vector<int>& closed : std::vector<std::vector<int>>{{1}, {2}, {0, 1, 2}}) {
        std::string named = "closed";
        for (const int fd : closed) {
            named += " " + std::to_string(fd);
        }
        SCOPED_TRACE(named);
        SimTarget saver(job.Options("Quilmark", {}));
        EXPECT_EQ(RunWithClosed("Quilmark", job.Args("Quilmark"), saver, closed, dir), 0);
        EXPECT_EQ(ReadFileText(job.saved), job.SavedRecords(3) + kEndLines);
        EXPECT_EQ(saver.Received().substr(0, 1), "@");
    }
    for (const ProgramRow& program : ProgramRows()) {
        SCOPED_TRACE(program.name);
        SimTarget sim(job.Options(program, {}));
        EXPECT_EQ(RunWithClosed(program.name, job.Args(program), sim, {0, 1}, dir), 0);
        EXPECT_EQ(sim.Received().substr(0, 1), "@");
    }
    // The verify reads its file as the uploaders do: from a board loaded.
    SimTarget board;
    ASSERT_EQ(RunProgram(NativeExe("Torvanex"), {job.hexFile, board.port()}).status, 0);
    const std::size_t loaded = board.Received().size();
    EXPECT_EQ(RunWithClosed("Quilmark", {"--verify", job.hexFile, "{port}"}, board, {0, 1}, dir),
              0);
    EXPECT_EQ(board.Received().substr(loaded, 1), "@");
}

// A reader of the transcript that goes away mid-run (a `tee` ended by
// Ctrl-C) used to end Torvanex by SIGPIPE in the middle of a record.
TEST(StandardStreams, ALostStandardOutputCostsOnlyTheTranscript) {
    TempDir dir;
    const auto records = LongUpload(30, 0);
    const std::string file = dir.Write("long.hex", RecordLines(records, 30) + ":00000001FF\n");
    SimTarget sim;
    int transcript[2];
    ASSERT_EQ(pipe2(transcript, O_CLOEXEC), 0);
    Launch launch;
    launch.words = {NativeExe("Torvanex"), file, sim.port()};
    launch.outFd = transcript[1];
    launch.errPath = dir.path() + "/stderr";
    launch.niceIncrement = kProgramNice;
    launch.timeoutSec = kRunLimitSec;
    bool lost = false;
    const Finished run = RunToEnd(launch, [&](pid_t) {
        if (!lost && HasEvent(sim, "record 3 ")) {
            close(transcript[0]);
            lost = true;
        }
    });
    close(transcript[1]);
    ASSERT_TRUE(lost);
    EXPECT_EQ(run.status, 0);
    std::string upload = "@";
    for (const std::string& record : records) {
        upload += record;
    }
    EXPECT_EQ(sim.Received(), upload);
}
