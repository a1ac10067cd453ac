// Ctrl-C (SIGINT), Ctrl-\ (SIGQUIT) and SIGTERM in the middle of a run: the
// program ends
// through its own exit, says so, closes its file and port, reports 128 + the
// signal as a shell would, and a file it was writing holds only whole
// records. Native programs only: Wine delivers signals its own way.
#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"

namespace {

// A long upload's records as a file, with the end record.
std::string HexText(const std::vector<std::string>& records) {
    return RecordLines(records, records.size()) + ":00000001FF\n";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(StopSignal, UploadersStopBetweenRecordsAndNeverReportDone) {
    TempDir dir;
    const auto records = LongUpload(30, 0);
    const std::string file = dir.Write("long.hex", HexText(records));
    for (const std::string program : {"Torvanex", "Torvane"}) {
        for (int signal : {SIGINT, SIGQUIT, SIGTERM}) {
            SCOPED_TRACE(program + " signal " + std::to_string(signal));
            SimTarget sim;
            RunResult run = RunAndSignal(
                program, {file, "{port}"}, sim, [&] { return HasEvent(sim, "record 3 "); }, signal);
            sim.Stop();
            EXPECT_EQ(run.status, 128 + signal);
            EXPECT_TRUE(EndsWith(run.output, Stopped(signal))) << run.output;
            EXPECT_EQ(run.output.find("Done"), std::string::npos);
            const std::string received = sim.Received();
            EXPECT_EQ(received.rfind("@" + records[0] + records[1] + records[2], 0), 0u);
            EXPECT_LT(received.size(), ("@" + HexText(records)).size());
            EXPECT_EQ(received.find('!'), std::string::npos);  // Torvane's end mark
        }
    }
}

// A stop during a long wait ends it at once: the verdict wait of a silent
// target lasts 40 s, and the run is given 30 s in all.
TEST(StopSignal, AStopEndsALongWaitForTheTarget) {
    TempDir dir;
    const auto records = LongUpload(30, 0);
    const std::string file = dir.Write("long.hex", HexText(records));
    SimTarget sim({"--silent-from-record", "2"});
    RunResult run = RunAndSignal(
        "Torvanex", {file, "{port}"}, sim, [&] { return HasEvent(sim, "record 2 not answered"); },
        SIGTERM, 30);
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_TRUE(EndsWith(run.output, Stopped(SIGTERM))) << run.output;
}

// Quilmark keeps a valid file: every line written is a whole record of the
// memory asked for, in order, and the end record follows them; no temporary
// file is left beside it.
TEST(StopSignal, AStoppedSaveLeavesOnlyWholeRecordsAndTheEndRecord) {
    TempDir dir;
    HardeningJob job(dir);
    for (int signal : {SIGINT, SIGQUIT, SIGTERM}) {
        SCOPED_TRACE(signal);
        SimTarget sim(job.Options("Quilmark", {}));
        RunResult run = RunAndSignal(
            "Quilmark", {"0000", "1000", job.saved, "{port}"}, sim,
            [&] { return HasEvent(sim, "dump 5 "); }, signal);
        EXPECT_EQ(run.status, 128 + signal);
        EXPECT_TRUE(EndsWith(run.output, Stopped(signal))) << run.output;
        EXPECT_EQ(run.output.find("Done"), std::string::npos);

        const auto lines = Lines(ReadFileText(job.saved));
        ASSERT_GE(lines.size(), 2u + 4u);
        EXPECT_LT(lines.size(), 2u + 256u);
        EXPECT_EQ(lines[lines.size() - 2], ":00000001FF");
        EXPECT_EQ(lines.back(), "");
        const auto whole = Lines(job.SavedRecords(static_cast<unsigned>(lines.size() - 2)));
        for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
            EXPECT_EQ(lines[i], whole[i]) << "line " << i + 1;
        }
        EXPECT_EQ(RunProgram("/bin/sh", {"-c", "ls -A \"$0\"", dir.path()}).output,
                  "image.bin\nprog.bas\nprog.hex\nsave.hex\n");
    }

    // Stopped while the target is silent: the wait ends, the file stays valid.
    SimTarget silent(job.Options("Quilmark", {"--dump-answer", "3="}));
    RunResult run = RunAndSignal(
        "Quilmark", {"0000", "0100", job.saved, "{port}"}, silent,
        [&] { return HasEvent(silent, "dump 3 "); }, SIGTERM);
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_TRUE(EndsWith(run.output, Stopped(SIGTERM))) << run.output;
    EXPECT_EQ(ReadFileText(job.saved), job.SavedRecords(2) + kEndLines);
}

TEST(StopSignal, FerroltStopsTypingAndWhileStartingBasic) {
    TempDir dir;
    std::string program;
    for (int line = 10; line <= 400; line += 10) {
        program += std::to_string(line) + " PRINT \"LINE " + std::to_string(line) + "\"\n";
    }
    const std::string file = dir.Write("long.bas", program);

    SimTarget sim;
    RunResult run = RunAndSignal(
        "Ferrolt", {file, "{port}"}, sim, [&] { return HasEvent(sim, "basic line 20 "); }, SIGTERM);
    sim.Stop();
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_TRUE(EndsWith(run.output, Stopped(SIGTERM))) << run.output;
    EXPECT_EQ(run.output.find("Done"), std::string::npos);
    EXPECT_FALSE(HasEvent(sim, "basic line 400 "));
    // The board stays in BASIC: the way back to its monitor is named.
    EXPECT_NE(run.errors.find("The board is now in BASIC"), std::string::npos) << run.errors;

    SimTarget silent({"--silent-basic-start"});
    run = RunAndSignal(
        "Ferrolt", {file, "{port}"}, silent,
        [&] { return HasEvent(silent, "basic start ignored"); }, SIGINT);
    EXPECT_EQ(run.status, 128 + SIGINT);
    EXPECT_TRUE(EndsWith(run.output, Stopped(SIGINT))) << run.output;
    EXPECT_NE(run.errors.find("reset the board"), std::string::npos) << run.errors;
}
