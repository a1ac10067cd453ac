// Only the monitor's prompt opens a run: a target that answers the wake-up
// with other text, however much, ends the run at the wake-up with the
// prompt-wait's status and a hint naming what came; a banner longer than the
// wait's capacity that ends in the prompt still opens it. Natively and, for
// the Windows programs, under Wine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

class PromptOnly : public HostTest<std::tuple<Host, ProgramRow>> {
  protected:
    const ProgramRow& program() const {
        return std::get<1>(GetParam());
    }
    RunResult RunJob(const SimTarget& sim) {
        return Run(program().name, job_.Args(program()), sim, kRunLimitSec);
    }
    std::vector<std::string> Options(std::vector<std::string> faults) const {
        return job_.Options(program(), std::move(faults));
    }
    TempDir dir_;
    HardeningJob job_{dir_};
};

// Standard error with its wrapped lines joined again.
std::string Unwrapped(const std::string& errors) {
    return std::regex_replace(errors, std::regex("\r?\n {4,}"), " ");
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// A banner of `length` bytes on the line (a CR LF, then text with no "$"),
// as --prompt takes it.
std::string Banner(std::size_t length) {
    std::string text;
    while (text.size() < length - 2) {
        text += "Board monitor, version of the day. ";
    }
    return "\\r\\n" + text.substr(0, length - 2);
}

}  // namespace

// Text with a "*" in it for ever, as a board that prints its boot log: no
// record is sent, nothing is taken as a verdict.
TEST_P(PromptOnly, ChatterWithoutThePromptEndsAtTheWakeUp) {
    SimTarget sim(Options({"--chatter-at", "wake", "--chatter-text", "boot ok *\\r\\n"}));
    RunResult run = RunJob(sim);
    sim.Stop();
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_EQ(run.output.find("Done"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Target Ready"), std::string::npos) << run.output;
    EXPECT_TRUE(EndsWith(run.output, Shown(kNoResponse))) << run.output;
    EXPECT_EQ(sim.Received(), "@");
    const std::string errors = Unwrapped(run.errors);
    EXPECT_NE(errors.find("Hint: the prompt \"$$$\" never came; instead came 4096 bytes of "
                          "other text, beginning \"boot ok *\\r\\nboot ok *\\r\\n"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(errors.find("and the line was still busy"), std::string::npos) << run.errors;
    EXPECT_EQ(errors.find("did not answer the wake-up"), std::string::npos) << run.errors;
    if (program().job == Job::kSave) {
        EXPECT_FALSE(FileExists(job_.saved));
    }
}

// More than the capacity of every program, then silence.
TEST_P(PromptOnly, ALongAnswerWithoutThePromptThenSilenceEndsAtTheWakeUp) {
    SimTarget sim(Options({"--prompt", Banner(120)}));
    RunResult run = RunJob(sim);
    sim.Stop();
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_TRUE(EndsWith(run.output, Shown(kNoResponse))) << run.output;
    EXPECT_EQ(sim.Received(), "@");
    const std::string errors = Unwrapped(run.errors);
    EXPECT_NE(errors.find("instead came 120 bytes of other text, beginning \"\\r\\nBoard "
                          "monitor, version"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(errors.find("then silence"), std::string::npos) << run.errors;
}

// A banner of 300 characters before the prompt: the job is done as ever.
TEST_P(PromptOnly, ALongBannerEndingInThePromptStillWorks) {
    SimTarget sim(Options({"--prompt", Banner(300) + "$$$"}));
    RunResult run = RunJob(sim);
    sim.Stop();
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(EndsWith(run.output, Shown(program().done))) << run.output;
    EXPECT_EQ(run.errors.find("never came"), std::string::npos) << run.errors;
}

// A stop in the silence after more than the capacity without the prompt is
// a stop like any other, not a prompt that never came. Native only: Wine
// delivers signals its own way.
TEST(PromptStop, AStopAfterAnAnswerWithoutThePromptIsAStop) {
    TempDir dir;
    HardeningJob job(dir);
    for (const std::string program : {"Torvanex", "Quilmark", "Ferrolt"}) {
        SCOPED_TRACE(program);
        SimTarget sim(job.Options(program, {"--prompt", Banner(120)}));
        RunResult run = RunAndSignal(
            program, job.Args(program), sim, [&] { return HasEvent(sim, "wake"); }, SIGINT);
        sim.Stop();
        EXPECT_EQ(run.status, 128 + SIGINT);
        EXPECT_TRUE(EndsWith(run.output, Stopped(SIGINT))) << run.output;
        EXPECT_EQ(run.errors.find("never came"), std::string::npos) << run.errors;
    }
}

INSTANTIATE_TEST_SUITE_P(Native, PromptOnly,
                         ::testing::Combine(::testing::Values(Host::Native),
                                            ::testing::ValuesIn(ProgramRows())),
                         [](const auto& info) { return std::get<1>(info.param).name; });
INSTANTIATE_TEST_SUITE_P(Wine, PromptOnly,
                         ::testing::Combine(::testing::Values(Host::Wine),
                                            ::testing::ValuesIn(WindowsProgramRows())),
                         [](const auto& info) { return std::get<1>(info.param).name; });
