// Load, run, watch on the emulated board (targetsim --cpu): the go command
// sent after the load and the program's line awaited, a binary loaded with
// --load-address and run, and a save and a verify that go on to run it.
// The uploaders natively and Torvane under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/e2e_host.h"

namespace {

const std::string kHelloLine = "Hello from the host!";

struct Uploader {
    Host host;
    std::string name;
};

void PrintTo(const Uploader& u, std::ostream* out) {
    *out << u.name << " " << HostName(u.host);
}

class LoadRunWatch : public ::testing::TestWithParam<Uploader> {
  protected:
    void SetUp() override {
        if (!HostAvailable(GetParam().host)) {
            GTEST_SKIP() << HostUnavailableReason(GetParam().host);
        }
    }
    RunResult Run(const std::vector<std::string>& args, const SimTarget& sim) const {
        return RunOnHost(GetParam().host, GetParam().name, args, sim);
    }
};

TEST_P(LoadRunWatch, TheGoCommandRunsTheLoadedProgramAndItsLineIsAwaited) {
    SimTarget sim({"--cpu"});
    const RunResult run =
        Run({EXAMPLES_DIR "/hello.hex", "{port}", "--send", "G8000", "--expect", kHelloLine}, sim);
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(EndsWith(run.output, kHelloLine)) << run.output;
    // The pace suits a Z80 polling its UART: no byte lost.
    EXPECT_FALSE(HasEvent(sim, "uart overrun"));
}

// The assembler's own binary of examples/hello.asm, loaded at 8000, leaves
// what hello.hex leaves, and runs.
TEST_P(LoadRunWatch, TheBinaryOfHelloLoadsAtItsAddressAndRuns) {
    SimTarget sim({"--cpu"});
    const RunResult run = Run(
        {"--load-address", "8000", HELLO_BIN, "{port}", "--send", "G8000", "--expect", kHelloLine},
        sim);
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(EndsWith(run.output, kHelloLine)) << run.output;
    // The pace suits a Z80 polling its UART: no byte lost.
    EXPECT_FALSE(HasEvent(sim, "uart overrun"));
    const RunResult verify = RunOnHost(GetParam().host, "Quilmark",
                                       {"--verify", EXAMPLES_DIR "/hello.hex", "{port}"}, sim);
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_NE(verify.output.find("Verify OK: 159 bytes compared, 0 differ"), std::string::npos)
        << verify.output;
}

INSTANTIATE_TEST_SUITE_P(Uploaders, LoadRunWatch,
                         ::testing::Values(Uploader{Host::Native, "Torvanex"},
                                           Uploader{Host::Native, "Torvane"},
                                           Uploader{Host::Wine, "Torvane"}),
                         [](const ::testing::TestParamInfo<Uploader>& info) {
                             return info.param.name + HostName(info.param.host);
                         });

// A verify of the binary, and a save of the range, each going on to run it.
TEST(LoadRunWatchQuilmark, AVerifyOfTheBinaryAndASaveGoOnToRunIt) {
    SimTarget sim({"--cpu"});
    ASSERT_EQ(RunProgram(NativeExe("Torvanex"), {EXAMPLES_DIR "/hello.hex", sim.port()}).status, 0);
    RunResult run =
        RunProgram(NativeExe("Quilmark"), {"--verify", "--load-address", "8000", HELLO_BIN,
                                           sim.port(), "--send", "G8000", "--expect", kHelloLine});
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_NE(run.output.find("Verify OK"), std::string::npos) << run.output;
    EXPECT_TRUE(EndsWith(run.output, kHelloLine)) << run.output;
    TempDir dir;
    run = RunProgram(NativeExe("Quilmark"), {"8000", "80A0", dir.path() + "/saved.hex", sim.port(),
                                             "--send", "G8000", "--expect", kHelloLine});
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(EndsWith(run.output, kHelloLine)) << run.output;
    // The pace suits a Z80 polling its UART: no byte lost.
    EXPECT_FALSE(HasEvent(sim, "uart overrun"));
}

}  // namespace
