// Every program against a target and a line that misbehave: a target that
// never stops talking, a line that hangs up (the adapter pulled out),
// garbage and NUL bytes, and port names that lead to no serial line. Each
// run must end by itself, with its message and status, and never report a
// half-done job as done. Natively and, for the Windows programs, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "serial/serial_link.h"
#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

// A garbled answer and what it leads to.
struct AnswerCase {
    std::vector<std::string> options;  // the simulator's options that garble it
    int status;
    std::string seen;  // text the output must hold; "{r1}" is the first record after its ':'
};

// How one program meets the faults of the line: one row a program. In the
// texts, "{r1}" and "{r2}" stand for the job's first two records after their
// ':' (see HardeningJob).
struct LineFaultRow {
    std::string program;
    // A target that chatters from the wake-up on: the statuses the run may
    // end with, and the text its output holds and the text it ends with. The
    // prompt never comes, so the prompt wait ends at its bound.
    std::vector<int> wakeChatterStatuses;
    std::string wakeChatterHolds;
    std::string wakeChatterEnds;
    // A target that starts chattering in the middle of the run.
    std::string chatterAt;  // the point, as --chatter-at takes it
    int chatterStatus;
    std::string chatterEnds;
    std::optional<std::string> chatterReceived;  // all the target received, when fixed
    // The line hanging up in the middle of the run.
    std::string hangUpAt;  // the point, as --hang-up-at takes it
    int hangUpStatus;
    std::string hangUpEnds;  // the end after a lost port shown earlier; "": the lost port ends it
    std::optional<std::string> hangUpReceived;
    // After a fault in the middle, how many records the saved file holds
    // (before its end record); 0 for a program that saves nothing.
    unsigned savedRecords;
    // Answers with garbage and NUL bytes.
    std::vector<AnswerCase> answers;
};

// Shows a row by its program in test lists and failure messages.
void PrintTo(const LineFaultRow& row, std::ostream* out) {
    *out << row.program;
}

const std::vector<LineFaultRow>& LineFaultRows() {
    static const std::vector<LineFaultRow> rows = {
        {"Torvanex",
         {3},
         "",
         kNoResponse,
         "record:2",
         4,
         kNoVerdictChatter,
         "@:{r1}:{r2}",
         "record:2",
         4,
         "",
         "@:{r1}:{r2}",  // no "!"
         0,
         {{{"--record-answer", "1=\\xff\\x00\\x01junk*"}, 0, "{r1}*\r\n"}}},
        {"Torvane",
         {3},
         "",
         kNoResponse,
         "record:2",
         4,
         " ERROR! No Verdict\n" + kNeverQuiet,
         "@:{r1}:{r2}",  // no "!"
         "record:2",
         4,
         "",
         "@:{r1}:{r2}",
         0,
         {{{"--record-answer", "1=\\xff\\x01\\x02junk!"}, 5, " ERROR! No Verdict\n"},
          {{"--record-answer", "1=ab\\x00*"}, 4, kNoResponse}}},
        {"Quilmark",
         {3},
         "",
         kNoResponse,
         "dump:2",
         5,
         kNeverQuiet + kStopAt0010,
         std::nullopt,
         "dump:2",
         4,
         kStopAt0010,
         std::nullopt,
         1,
         {{{"--dump-answer", "1=\\xff\\xfe" + std::string(32, '0')}, 0, kNotHex},
          {{"--dump-answer", "1=0102\\x00"}, 0, "(dataBufIndex=4)"}}},
        // Under Wine, when the hang-up reads as silence, the lost echoes run
        // out instead: eight in a row.
        {"Ferrolt",
         {3},
         "",
         kNoResponse,
         "basic",
         3,
         kNoResponse,
         "@B",
         "echo:3",
         3,
         "",
         std::nullopt,
         0,
         {{{"--echo", "2=\\xff"}, 0, "\n Done...\n"},
          {{"--echo", "3=\\x00"}, 0, " WARNING! 1 character(s) typed without an echo"}}},
    };
    return rows;
}

class LineFaults : public HostTest<std::tuple<Host, LineFaultRow>> {
  protected:
    const LineFaultRow& row() const {
        return std::get<1>(GetParam());
    }
    const ProgramRow& program() const {
        return ProgramNamed(row().program);
    }
    // `text` with the job's records in place of "{r1}" and "{r2}".
    std::string WithRecords(const std::string& text) const {
        return Filled(text,
                      {{"{r1}", job_.records[0].substr(1)}, {"{r2}", job_.records[1].substr(1)}});
    }
    // The messages a hung-up port may be reported with on this host.
    // Natively the hang-up itself is seen. Under Wine the program polls the
    // pseudo-terminal with reads that never wait, and the kernel ends the
    // line in two steps: from the moment the far end closes, a read fails
    // (an I/O error, so the program reports the port lost), until the line
    // is hung up, after which a read finds nothing (so the program waits it
    // out as a silent target). Which step a run meets is down to scheduling;
    // it must report one of the two, nothing else.
    std::vector<std::string> LostTexts() const {
        if (native()) {
            return {kPortLost};
        }
        return {kPortLost, kNoResponse};
    }
    // True when `output` ends with a message for a hung-up port.
    bool EndsWithLost(const std::string& output) const {
        for (const auto& text : LostTexts()) {
            if (EndsWith(output, Shown(text))) {
                return true;
            }
        }
        return false;
    }
    // True when `output` holds a message for a hung-up port.
    bool ShowsLost(const std::string& output) const {
        for (const auto& text : LostTexts()) {
            if (output.find(Shown(text)) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    // Checks what the program saved: `records` records and the end record.
    void ExpectSaved(unsigned records) const {
        if (program().job == Job::kSave) {
            EXPECT_EQ(ReadFileText(job_.saved), Shown(job_.SavedRecords(records) + kEndLines));
        }
    }

    // Runs the program's ordinary job against `sim` (see HardeningJob).
    RunResult RunJob(const SimTarget& sim) {
        return Run(program().name, job_.Args(program()), sim, kRunLimitSec);
    }
    // The simulator's options for the job, with `faults` added.
    std::vector<std::string> Options(std::vector<std::string> faults) const {
        return job_.Options(program(), std::move(faults));
    }

    TempDir dir_;
    HardeningJob job_{dir_};
};

}  // namespace

// A target that keeps sending is given up on: at the wake-up (where the prompt
// never comes, so the prompt wait ends at its bound) and in the middle of the run.
TEST_P(LineFaults, ATargetThatNeverFallsQuietEndsTheRun) {
    {
        SimTarget sim(Options({"--chatter-at", "wake"}));
        RunResult run = RunJob(sim);
        sim.Stop();
        const auto& statuses = row().wakeChatterStatuses;
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), run.status), statuses.end())
            << run.status;
        EXPECT_NE(run.output.find(Shown(row().wakeChatterHolds)), std::string::npos) << run.output;
        EXPECT_TRUE(EndsWith(run.output, Shown(row().wakeChatterEnds))) << run.output;
        EXPECT_EQ(run.output.find("Done"), std::string::npos);
        EXPECT_NE(run.errors.find("never came"), std::string::npos) << run.errors;
        if (program().job == Job::kSave) {
            // Nothing saved: empty, or just the end record when a request was made.
            const std::string saved = ReadFileText(job_.saved);
            EXPECT_TRUE(saved.empty() || saved == Shown(":00000001FF\n\n")) << saved;
        }
    }

    SimTarget sim(Options({"--chatter-at", row().chatterAt}));
    RunResult run = RunJob(sim);
    sim.Stop();
    EXPECT_EQ(run.output.find("Done"), std::string::npos) << run.output;
    EXPECT_EQ(run.status, row().chatterStatus);
    EXPECT_TRUE(EndsWith(run.output, Shown(row().chatterEnds))) << run.output;
    if (row().chatterReceived) {
        EXPECT_EQ(sim.Received(), WithRecords(*row().chatterReceived));
    }
    ExpectSaved(row().savedRecords);
}

// The line hangs up (both ends of the pseudo-terminal closed) at the wake-up
// and in the middle of the run.
TEST_P(LineFaults, AVanishedPortEndsTheRun) {
    {
        SimTarget sim(Options({"--hang-up-at", "wake"}));
        RunResult run = RunJob(sim);
        EXPECT_EQ(run.status, 3);
        EXPECT_TRUE(EndsWithLost(run.output)) << run.output;
        EXPECT_EQ(run.output.find("Ready"), std::string::npos);
    }

    SimTarget sim(Options({"--hang-up-at", row().hangUpAt}));
    RunResult run = RunJob(sim);
    sim.Stop();
    EXPECT_EQ(run.output.find("Done"), std::string::npos) << run.output;
    EXPECT_EQ(run.status, row().hangUpStatus);
    if (row().hangUpEnds.empty()) {
        EXPECT_TRUE(EndsWithLost(run.output)) << run.output;
    } else {
        EXPECT_TRUE(ShowsLost(run.output)) << run.output;
        EXPECT_TRUE(EndsWith(run.output, Shown(row().hangUpEnds))) << run.output;
    }
    if (row().hangUpReceived) {
        EXPECT_EQ(sim.Received(), WithRecords(*row().hangUpReceived));
    }
    ExpectSaved(row().savedRecords);
}

// Garbage before the prompt is collected with it and changes nothing; a NUL
// byte reads as silence, there and inside answers, as the line's rule says.
TEST_P(LineFaults, GarbageAndNulBytesFromTheTarget) {
    {
        SimTarget sim(Options({"--prompt", "\\xff\\xfe\\x01\\x7f#~\\r\\n$$$ "}));
        RunResult run = RunJob(sim);
        EXPECT_EQ(run.status, 0) << run.output;
    }
    {
        SimTarget sim(Options({"--prompt", "\\r\\n\\x00$$$ "}));
        RunResult run = RunJob(sim);
        EXPECT_EQ(run.status, 3);
        EXPECT_TRUE(EndsWith(run.output, Shown(kNoResponse))) << run.output;
    }

    // Answers with garbage and NUL bytes: the verdict is still found, an
    // answer without one or with a NUL is never taken as sound.
    for (const auto& c : row().answers) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        SimTarget sim(Options(c.options));
        RunResult run = RunJob(sim);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.output.find(Shown(WithRecords(c.seen))), std::string::npos) << run.output;
        ExpectSaved(3);
    }
}

// Names that lead to no serial line: nothing to talk to, a regular file, a
// folder, a path that is not there. Each fails to open with the system's
// error code and the program's port status; nothing is written to them.
TEST_P(LineFaults, PortsThatAreNoSerialLine) {
    const std::string file = dir_.Write("not-a-port", "left alone\n");
    struct Case {
        std::string device;
        int nativeError;
        int windowsError;
    };
    const std::vector<Case> cases = {
        {"/dev/null", 25, 6},              // ENOTTY; ERROR_INVALID_HANDLE from GetCommState
        {file, 25, 6},                     // the same
        {dir_.path(), 21, 5},              // EISDIR; ERROR_ACCESS_DENIED
        {dir_.path() + "/missing", 2, 2},  // ENOENT; ERROR_FILE_NOT_FOUND
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        RunResult run = RunOnHostAtDevice(host(), c.device, program().name, job_.Args(program()));
        EXPECT_EQ(run.status, program().portStatus);
        const int error = native() ? c.nativeError : c.windowsError;
        EXPECT_TRUE(EndsWith(run.output, Shown(OpenFailure(program(), c.device, error))))
            << run.output;
    }
    EXPECT_EQ(ReadFileText(file), "left alone\n");
}

// The rows of the programs built for `host`: Torvanex has no Windows build.
std::vector<LineFaultRow> RowsFor(Host host) {
    std::vector<LineFaultRow> rows;
    for (const auto& row : LineFaultRows()) {
        if (host == Host::Native || ProgramNamed(row.program).windowsBuild) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::string ProgramName(const ::testing::TestParamInfo<std::tuple<Host, LineFaultRow>>& info) {
    return std::get<1>(info.param).program;
}

INSTANTIATE_TEST_SUITE_P(Native, LineFaults,
                         ::testing::Combine(::testing::Values(Host::Native),
                                            ::testing::ValuesIn(RowsFor(Host::Native))),
                         ProgramName);
INSTANTIATE_TEST_SUITE_P(Wine, LineFaults,
                         ::testing::Combine(::testing::Values(Host::Wine),
                                            ::testing::ValuesIn(RowsFor(Host::Wine))),
                         ProgramName);

// A port another program holds: refused as busy (error 16), natively. Under
// Wine two COM names for one device are two ports, so this is native only.
TEST(LineFaultsNative, APortHeldByAnotherProgramIsRefusedAsBusy) {
    TempDir dir;
    HardeningJob job(dir);
    SimTarget sim;
    int32_t error = 0;
    const ComPort holder = OpenCom(sim.port().c_str(), 9600, &error);
    ASSERT_NE(holder, kInvalidComPort) << error;
    for (const auto& program : ProgramRows()) {
        SCOPED_TRACE(program.name);
        RunResult run = RunOnHost(Host::Native, program.name, job.Args(program), sim);
        EXPECT_EQ(run.status, program.portStatus);
        EXPECT_TRUE(EndsWith(run.output, OpenFailure(program, sim.port(), 16))) << run.output;
    }
    CloseCom(holder);
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}
