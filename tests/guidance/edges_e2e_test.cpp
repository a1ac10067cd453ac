// What a newcomer meets at the edges, told on standard error while the
// transcript and the status stay as they were: an input that held nothing,
// a HEX file with lone CRs, a port that is no part of a file name, another
// program writing on the line.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

// Standard error with its wrapped lines joined again.
std::string Unwrapped(const std::string& errors) {
    return std::regex_replace(errors, std::regex("\r?\n {4,}"), " ");
}

class Edges : public HostTest<std::tuple<Host, ProgramRow>> {
  protected:
    const ProgramRow& program() const {
        return std::get<1>(GetParam());
    }
    TempDir dir_;
};

}  // namespace

// Each program on an input that holds nothing: the status the job always
// had, and one line saying what was not done.
TEST_P(Edges, AnInputThatHeldNothingSaysNothingWasDone) {
    std::vector<std::string> args;
    std::string said;
    std::vector<std::string> options;
    switch (program().job) {
        case Job::kUpload:
            args = {dir_.Write("empty.hex", ""), "{port}"};
            said = "'" + args[0] + "' holds no records: none was sent, and nothing was loaded.";
            break;
        case Job::kTyping:
            args = {dir_.Write("empty.bas", ""), "{port}"};
            said = "'" + args[0] +
                   "' holds no program text: nothing was typed, and nothing was "
                   "loaded (BASIC was started all the same).";
            break;
        case Job::kSave:
            args = {"80A0", "8000", dir_.path() + "/x.hex", "{port}"};
            said =
                "Nothing was saved: the start address is not below the end address, so the "
                "file holds only the end record.";
            break;
    }
    SimTarget sim;
    RunResult run = Run(program().name, args, sim);
    sim.Stop();
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(EndsWith(run.output, Shown(program().done))) << run.output;
    const std::string errors = Unwrapped(run.errors);
    EXPECT_NE(errors.find(said), std::string::npos) << run.errors;
    EXPECT_EQ(errors.find(said), errors.rfind(said)) << run.errors;  // once

    if (program().job == Job::kSave) {
        // The verify of a file with no data bytes compared nothing.
        SimTarget again;
        const std::string file = dir_.Write("end.hex", ":00000001FF\n");
        run = Run(program().name, {"--verify", file, "{port}"}, again);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_NE(Unwrapped(run.errors)
                      .find("'" + file +
                            "' holds no data bytes: nothing was "
                            "compared."),
                  std::string::npos)
            << run.errors;
    }
}

// A file that did not load is not told it held nothing.
TEST_P(Edges, AnInputThatHeldSomethingSaysNoSuchThing) {
    std::vector<std::string> args;
    switch (program().job) {
        case Job::kUpload:
            args = {dir_.Write("p.hex", DataRecord(0x8000, {1, 2}) + "\n:00000001FF\n"), "{port}"};
            break;
        case Job::kTyping:
            args = {dir_.Write("p.bas", "10 END\n"), "{port}"};
            break;
        case Job::kSave:
            args = {"8000", "8010", dir_.path() + "/x.hex", "{port}"};
            break;
    }
    SimTarget sim;
    RunResult run = Run(program().name, args, sim);
    sim.Stop();
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.errors.find("nothing was"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("Nothing was"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("now in BASIC"), std::string::npos) << run.errors;
}

// A HEX file saved with old Mac line ends: refused as ever, with the reason.
TEST_P(Edges, AHexFileWithLoneCrsGetsTheLineEndHint) {
    if (program().job == Job::kTyping) {
        GTEST_SKIP() << "Ferrolt's own refusal has the hint already";
    }
    const std::string file = dir_.Write("cr.hex", DataRecord(0x8000, {1, 2}) + "\r:00000001FF\r");
    std::vector<std::string> args = {file, "{port}"};
    if (program().job == Job::kSave) {
        args.insert(args.begin(), "--verify");
    }
    SimTarget sim;
    RunResult run = Run(program().name, args, sim);
    sim.Stop();
    EXPECT_EQ(run.status, program().fileStatus) << run.output;
    EXPECT_NE(run.output.find("not a hex digit"), std::string::npos) << run.output;
    EXPECT_NE(run.errors.find("Hint: old Mac line ends (a CR alone). Save it with LF or CR LF"),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(sim.Received(), "");
}

// A file name without a '.' and a network port with dots: no name split at
// its spaces is suspected.
TEST_P(Edges, ANetworkPortIsNoPartOfTheFileName) {
    const std::string file = dir_.Write("hellofile", DataRecord(0x8000, {1}) + "\n");
    std::vector<std::string> args = {file, "{port}"};
    if (program().job == Job::kSave) {
        args.insert(args.begin(), {"8000", "8010"});
    }
    RunResult run = RunOnHostAtPortName(host(), "tcp://127.0.0.1:9", program().name, args);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.errors.find("needs quotes"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Native, Edges,
                         ::testing::Combine(::testing::Values(Host::Native),
                                            ::testing::ValuesIn(ProgramRows())),
                         [](const auto& info) { return std::get<1>(info.param).name; });
INSTANTIATE_TEST_SUITE_P(Wine, Edges,
                         ::testing::Combine(::testing::Values(Host::Wine),
                                            ::testing::ValuesIn(WindowsProgramRows())),
                         [](const auto& info) { return std::get<1>(info.param).name; });

namespace {

// Only Ferrolt checks echoes.
class FerroltEcho : public HostTest<Host> {};

}  // namespace

// The echo of the character typed came, after characters nobody typed.
TEST_P(FerroltEcho, AnEchoAfterUntypedCharactersNamesAnotherWriter) {
    TempDir dir;
    const std::string file = dir.Write("p.bas", "10 PRINT 1\n");
    SimTarget sim({"--echo", "4=xyP"});  // "1", "0", " ", then for the "P"
    RunResult run = Run("Ferrolt", {file, "{port}"}, sim);
    sim.Stop();
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(EndsWith(run.output, Shown("\n ERROR! Echo Mismatch inByte='x'[78] outByte='P' "
                                           "[50]")))
        << run.output;
    const std::string errors = Unwrapped(run.errors);
    EXPECT_NE(errors.find("Hint: the echo of 'P' came after 2 characters that were not typed "
                          "(\"xy\"): another program is writing on the board's line"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(errors.find("The board is now in BASIC"), std::string::npos) << run.errors;

    // A wrong echo alone is no sign of another writer.
    SimTarget wrong({"--echo", "4=p"});
    run = Run("Ferrolt", {file, "{port}"}, wrong);
    wrong.Stop();
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.errors.find("another program"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, FerroltEcho, EveryHost(), HostCaseName);
