// After the job, end to end against the simulated target: an answer awaited
// that never comes ends with status 8 and its reason; a plain binary loaded
// with --load-address lands byte for byte and verifies; a binary that cannot
// be loaded is refused before the port opens. Natively and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

struct Case {
    Host host;
    ProgramRow program;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << HostName(c.host) << " " << c.program.name;
}

std::vector<Case> Cases(bool uploadersAlone) {
    std::vector<Case> cases;
    for (Host host : {Host::Native, Host::Wine}) {
        for (const ProgramRow& row : host == Host::Native ? ProgramRows() : WindowsProgramRows()) {
            if (!uploadersAlone || row.job == Job::kUpload) {
                cases.push_back({host, row});
            }
        }
    }
    return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return HostName(info.param.host) + "_" + info.param.program.name;
}

class AfterJobRun : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        if (!HostAvailable(GetParam().host)) {
            GTEST_SKIP() << HostUnavailableReason(GetParam().host);
        }
    }
    // The program's job on `sim` with `more` after its own arguments.
    RunResult RunJob(const SimTarget& sim, const std::vector<std::string>& more) {
        const ProgramRow& row = GetParam().program;
        std::vector<std::string> args;
        if (row.job == Job::kSave) {
            args = {"8000", "8010", dir.path() + "/saved.hex", "{port}"};
        } else if (row.job == Job::kTyping) {
            args = {dir.Write("p.bas", "10 PRINT 1\n"), "{port}"};
        } else {
            args = {dir.Write("p.hex", DataRecord(0x8000, {1, 2, 3}) + "\n:00000001FF\n"),
                    "{port}"};
        }
        args.insert(args.end(), more.begin(), more.end());
        return RunOnHost(GetParam().host, row.name, args, sim);
    }
    TempDir dir;
};

// The monitor's prompt comes only to a wake-up (after a BASIC load, the
// BASIC's echo only to a key), so a text sent brings it and ends the wait; a
// text that never comes ends it with status 8, what came shown and the
// reason on standard error.
TEST_P(AfterJobRun, AnAnswerAwaitedEndsTheRunAsItComesOrNot) {
    SimTarget sim;
    const bool basic = GetParam().program.job == Job::kTyping;
    RunResult run = RunJob(sim, {"--send", basic ? "Z" : "@", "--expect", basic ? "Z" : "$$$"});
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(EndsWith(run.output, basic ? "Z" : "$$$")) << run.output;

    SimTarget quiet;
    run = RunJob(quiet, {"--expect", "never\\x21", "--timeout", "2"});
    EXPECT_EQ(run.status, 8) << run.output << run.errors;
    EXPECT_TRUE(HoldsMatch(run.errors, "Expected 'never\\\\x21' did not come within 2 s\\.\r?\n"))
        << run.errors;
}

// Without the options nothing changes; with a bad value nothing is sent.
TEST_P(AfterJobRun, ABadValueIsRefusedBeforeThePortOpens) {
    SimTarget sim;
    const RunResult run = RunJob(sim, {"--timeout", "0"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("ERROR! Bad --timeout value '0'"), std::string::npos) << run.output;
    EXPECT_EQ(sim.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(Programs, AfterJobRun, ::testing::ValuesIn(Cases(false)), CaseName);

// Ferrolt --run starts the program once typed, before the texts sent; the
// run ends as the typing did.
TEST(FerroltRun, RunAndACrFollowTheTypingBeforeTheTextsSent) {
    TempDir dir;
    SimTarget sim;
    const RunResult run = RunProgram(
        NativeExe("Ferrolt"), {"--send", "X", dir.Write("p.bas", "10 END\n"), sim.port(), "--run"});
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(EndsWith(run.output, " Done...\n")) << run.output;
    EXPECT_TRUE(EndsWith(sim.Received(), "END\n\r\rRUN\rX")) << sim.Received();
}

class BinaryLoad : public AfterJobRun {};

// 300 bytes at 8000: 19 records of 16 bytes and one of 12, as a HEX file of
// those bytes would load; Quilmark --verify of the same binary finds them.
TEST_P(BinaryLoad, ABinaryLoadsAtItsAddressAndVerifies) {
    const std::vector<unsigned char> bytes = PatternBytes(5, 300);
    const std::string bin = dir.Write("prog.bin", std::string(bytes.begin(), bytes.end()));
    SimTarget sim;
    const ProgramRow& row = GetParam().program;
    RunResult run =
        RunOnHost(GetParam().host, row.name, {"--load-address", "8000", bin, "{port}"}, sim);
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(HoldsMatch(run.errors, "19 records|20 records")) << run.errors;
    run = RunOnHost(GetParam().host, "Quilmark",
                    {"--verify", "--load-address", "8000", bin, "{port}"}, sim);
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_NE(run.output.find("Verify OK: 300 bytes compared, 0 differ"), std::string::npos)
        << run.output;
    const std::vector<unsigned char> memory = sim.Memory();
    EXPECT_EQ(std::vector<unsigned char>(memory.begin() + 0x8000, memory.begin() + 0x8000 + 300),
              bytes);
    EXPECT_EQ(memory[0x8000 + 300], 0);
}

TEST_P(BinaryLoad, ABinaryThatCannotLoadIsRefusedWithTheFileStatus) {
    const std::string empty = dir.Write("empty.bin", "");
    const std::string two = dir.Write("two.bin", "ab");
    const ProgramRow& row = GetParam().program;
    SimTarget sim;
    for (const auto& [address, file, why] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"8000", empty, "is empty"},
             {"FFFF", two, "at FFFF would run past FFFF"},
             {"800", two, "Bad load address '800' (give four hex digits)"},
             {"80G0", two, "Bad load address '80G0'"}}) {
        const RunResult run =
            RunOnHost(GetParam().host, row.name, {"--load-address", address, file, "{port}"}, sim);
        EXPECT_EQ(run.status, row.fileStatus) << address << run.output;
        EXPECT_NE(run.output.find(why), std::string::npos) << run.output;
    }
    EXPECT_EQ(sim.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(Uploaders, BinaryLoad, ::testing::ValuesIn(Cases(true)), CaseName);

}  // namespace
