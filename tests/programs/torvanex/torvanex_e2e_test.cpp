// Torvanex, the real executable, against the simulated target.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <string>
#include <vector>

#include "launch/await_state.h"
#include "tests/support/e2e.h"
#include "tests/support/programs.h"

namespace {

const std::string kExtended = ":020000040000FA";
const std::string kEnd = ":00000001FF";

std::string Header(const std::string& file, const std::string& port) {
    return "Z80 System Loader\nFILE: '" + file + "'\nSerial Port " + port +
           " open at 9600 Baud\n Target Ready\n";
}

// The console line for one record and its verdict.
std::string RecordLine(const std::string& record, char verdict) {
    return RecordLineOf(ProgramNamed("Torvanex"), record, std::string(1, verdict));
}

RunResult Upload(const std::string& file, const SimTarget& sim) {
    return RunProgram(TORVANEX_EXE, {file, sim.port()});
}

}  // namespace

TEST(TorvanexUpload, LoadsEveryRecordPacedAndStoresTheData) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 16));
    const std::string r2 = DataRecord(0x8010, PatternBytes(2, 16));
    const std::string r3 = DataRecord(0x8020, PatternBytes(3, 5));
    const std::string file =
        dir.Write("prog.hex", kExtended + "\n" + r1 + "\n" + r2 + "\n" + r3 + "\n" + kEnd + "\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Header(file, sim.port()) + RecordLine(kExtended, '*') +
                              RecordLine(r1, '*') + RecordLine(r2, '*') + RecordLine(r3, '*') +
                              "Done\r\n");
    // "@", then each record as ":" and its characters; no end record, no end byte.
    EXPECT_EQ(sim.Received(), "@" + kExtended + r1 + r2 + r3);
    EXPECT_EQ(sim.LineSettings(), "speed=9600 data=8 stop=2 parity=none raw=yes");

    // The monitor is never sent a record in a burst: the characters after each
    // colon go out 3 ms apart, so the last character of a record of n
    // characters cannot be read before 3 * (n - 1) ms after the answer the
    // target sent last before the colon (the program starts a record only
    // once it has that answer). The bound holds however late the target
    // reads: reading late only moves the last character later.
    std::vector<int64_t> arrival;       // time each received byte was read
    std::vector<int64_t> answerBefore;  // time of the last answer sent before it
    int64_t lastAnswer = 0;
    for (const auto& line : sim.Transcript()) {
        if (line.kind == 'S') {
            lastAnswer = line.timeUs;
        } else if (line.kind == 'R') {
            arrival.insert(arrival.end(), line.text.size(), line.timeUs);
            answerBefore.insert(answerBefore.end(), line.text.size(), lastAnswer);
        }
    }
    const std::string received = sim.Received();
    ASSERT_EQ(arrival.size(), received.size());
    std::size_t colon = received.find(':');
    int records = 0;
    while (colon != std::string::npos) {
        std::size_t next = received.find(':', colon + 1);
        std::size_t last = (next == std::string::npos ? received.size() : next) - 1;
        const int64_t span = arrival[last] - answerBefore[colon];
        EXPECT_GE(span, 3000 * static_cast<int64_t>(last - colon - 1)) << "record at " << colon;
        ++records;
        colon = next;
    }
    EXPECT_EQ(records, 4);

    auto memory = sim.Memory();
    ASSERT_EQ(memory.size(), 65536u);
    auto expected = PatternBytes(1, 16);
    for (unsigned i = 0; i < 16; ++i) EXPECT_EQ(memory[0x8000 + i], expected[i]);
    expected = PatternBytes(3, 5);
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(memory[0x8020 + i], expected[i]);
}

TEST(TorvanexUpload, LongRecordsLowerCaseAndCrLfLinesGoOutWhole) {
    TempDir dir;
    std::string big = DataRecord(0x1000, PatternBytes(9, 64));  // longer than any 80-byte read
    std::string lower = DataRecord(0x2000, PatternBytes(4, 4));
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    const std::string file = dir.Write("p.hex", big + "\r\n\r\n" + lower + "\r\n" + kEnd + "\r\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Header(file, sim.port()) + RecordLine(big, '*') + RecordLine(lower, '*') +
                              "Done\r\n");
    EXPECT_EQ(sim.Received(), "@" + big + lower);
    auto memory = sim.Memory();
    EXPECT_EQ(memory[0x1000 + 63], PatternBytes(9, 64)[63]);
    EXPECT_EQ(memory[0x2003], PatternBytes(4, 4)[3]);
}

TEST(TorvanexUpload, EndRecordStopsTheUploadAndLaterLinesAreNeverRead) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\nnot a record at all\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(sim.Received(), "@" + r1);
}

TEST(TorvanexUpload, FileWithoutEndRecordIsSentToItsLastLine) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string r2 = DataRecord(0x0108, PatternBytes(6, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2);
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              Header(file, sim.port()) + RecordLine(r1, '*') + RecordLine(r2, '*') + "Done\r\n");
}

TEST(TorvanexUpload, EmptyFileStillWakesTheTarget) {
    TempDir dir;
    const std::string file = dir.Write("empty.hex", "");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Header(file, sim.port()) + "Done\r\n");
    EXPECT_EQ(sim.Received(), "@");
}

TEST(TorvanexUpload, RefusedRecordIsReportedAndTheRunIsNotASuccess) {
    TempDir dir;
    const std::string good = DataRecord(0x0100, PatternBytes(5, 8));
    std::string badSum = DataRecord(0x0108, PatternBytes(6, 8));
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    const std::string after = DataRecord(0x0110, PatternBytes(7, 8));
    const std::string file =
        dir.Write("p.hex", good + "\n" + badSum + "\n" + after + "\n" + kEnd + "\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.output, Header(file, sim.port()) + RecordLine(good, '*') +
                              RecordLine(badSum, 'E') + RecordLine(after, '*') +
                              " WARNING! 1 record(s) refused by the target\nDone\r\n");
    EXPECT_EQ(sim.Received(), "@" + good + badSum + after);
}

TEST(TorvanexUpload, RetryAndTheCommandThatContinuesAnUploadCutShort) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 8));
    const std::string r2 = DataRecord(0x8008, PatternBytes(2, 8));
    const std::string file =
        dir.Write("p.hex", kExtended + "\n" + r1 + "\n" + r2 + "\n" + kEnd + "\n");
    // r1 refused once and resent; r2 then answered with eight NULs, eight
    // silent waits at once, which end the upload.
    SimTarget sim({"--record-answer", "2=?", "--record-answer",
                   "4=\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"});
    RunResult cut = RunProgram(TORVANEX_EXE, {"--retry", "3", file, sim.port()});
    EXPECT_EQ(cut.status, 4);
    EXPECT_NE(cut.output.find(RecordLine(r1, '?') + RecordLine(r1, '*')), std::string::npos)
        << cut.output;
    EXPECT_TRUE(EndsWith(cut.errors,
                         ", 1 resent\n  line 3, load address 8008: no verdict\n"
                         "To continue: Torvanex --retry 3 --from-line 3 " +
                             file + " " + sim.port() + "\n"))
        << cut.errors;

    RunResult rest = RunProgram(TORVANEX_EXE, {"--from-line", "3", file, sim.port()});
    EXPECT_EQ(rest.status, 0);
    EXPECT_EQ(sim.Received(), "@" + kExtended + r1 + r1 + r2 + "@" + kExtended + r2);
}

TEST(TorvanexHandshake, PromptSplitOverWritesAndChatterBeforeItAreAccepted) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\n");
    SimTarget sim({"--split-prompt", "--prompt", "\\r\\nBoot ROM 2.1\\r\\n$$$"});

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Header(file, sim.port()) + RecordLine(r1, '*') + "Done\r\n");
}

TEST(TorvanexHandshake, EightyBytesWithoutPromptCountAsReady) {
    TempDir dir;
    const std::string file = dir.Write("p.hex", kEnd + "\n");
    SimTarget sim({"--prompt", std::string(90, '#')});

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Header(file, sim.port()) + "Done\r\n");
}

TEST(TorvanexFailures, SilentTargetAfterARecordStopsTheUpload) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string r2 = DataRecord(0x0108, PatternBytes(6, 8));
    const std::string r3 = DataRecord(0x0110, PatternBytes(7, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2 + "\n" + r3 + "\n" + kEnd + "\n");
    SimTarget sim({"--silent-from-record", "2"});

    RunResult run = Upload(file, sim);  // eight waits of 5 s for the verdict

    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.output, Header(file, sim.port()) + RecordLine(r1, '*') + "Len:8 Type:0 " +
                              r2.substr(1) + "\n ERROR! No Response from target");
    EXPECT_EQ(sim.Received(), "@" + r1 + r2);
}

TEST(TorvanexFailures, MalformedFileIsRefusedBeforeThePortIsTouched) {
    TempDir dir;
    const std::string file = dir.Write("bad.hex", DataRecord(0x0100, PatternBytes(5, 8)) +
                                                      "\n\n:1001000021460136\n" + kEnd + "\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "Z80 System Loader\nFILE: '" + file + "'\nERROR: Line 3 of '" + file +
                              "' does not have the length its length field gives; nothing was "
                              "sent\n");
    EXPECT_EQ(sim.Received(), "");
}

TEST(TorvanexFailures, ArgumentsFileAndPortProblems) {
    TempDir dir;
    const std::string file = dir.Write("p.hex", kEnd + "\n");

    RunResult none = RunProgram(TORVANEX_EXE, {});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.output,
              "Z80 System Loader\n\n ERROR! Too Few Arguments\n Usage: ./Torvanex {filename} "
              "{port}\n");

    RunResult missing = RunProgram(TORVANEX_EXE, {dir.path() + "/nope.hex", "/dev/null"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.output,
              "Z80 System Loader\nERROR: Cannot Open File '" + dir.path() + "/nope.hex'\n");

    RunResult noPort = RunProgram(TORVANEX_EXE, {file, "/dev/no-such-port"});
    EXPECT_EQ(noPort.status, 3);
    EXPECT_EQ(noPort.output, "Z80 System Loader\nFILE: '" + file +
                                 "'\nOpenCom(/dev/no-such-port) failed with error 2.\n");

    RunResult longName = RunProgram(TORVANEX_EXE, {std::string(200, 'f'), "/dev/null"});
    EXPECT_EQ(longName.status, 1);
    EXPECT_EQ(longName.output,
              "Z80 System Loader\n\n ERROR! File name too long (at most 79 characters)\n");

    RunResult longPort = RunProgram(TORVANEX_EXE, {file, "/dev/" + std::string(300, 'p')});
    EXPECT_EQ(longPort.status, 1);
    EXPECT_EQ(longPort.output,
              "Z80 System Loader\n\n ERROR! Port name too long (at most 79 characters)\n");
}

TEST(TorvanexFailures, APortHeldByAnotherUploadIsRefused) {
    TempDir dir;
    const std::string file = dir.Write("p.hex", DataRecord(0x0100, PatternBytes(5, 8)) + "\n");
    SimTarget sim({"--silent-wake"});
    // The first upload holds the port while it waits for the silent target;
    // once its "@" has reached the target it is held still there, so it
    // still holds the port however long the second takes to start. Then it
    // is killed: how it would have ended is not what this case is about.
    pid_t first = fork();
    if (first == 0) {
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        execl(TORVANEX_EXE, TORVANEX_EXE, file.c_str(), sim.port().c_str(), nullptr);
        _exit(127);
    }
    ASSERT_TRUE(AwaitState([&] { return sim.Received() == "@"; }, 60000));
    kill(first, SIGSTOP);
    RunResult second = RunProgram(TORVANEX_EXE, {file, sim.port()});
    EXPECT_EQ(second.status, 3);
    EXPECT_EQ(second.output, "Z80 System Loader\nFILE: '" + file + "'\nOpenCom(" + sim.port() +
                                 ") failed with error 16.\n");
    kill(first, SIGKILL);
    int status = 0;
    waitpid(first, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
}
