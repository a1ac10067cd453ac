// The command an upload cut short prints to continue it: pasted into the
// host's shell it runs as printed, whatever the file's name holds, and it
// never goes back before the line the user started from.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

const std::string kExtended = ":020000040000FA";
const std::string kEnd = ":00000001FF";
// Eight NULs answer a record: no verdict for it, on either uploader.
const std::string kNoVerdict = "\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00";

class Continue : public HostTest<std::tuple<Host, std::string>> {
  protected:
    const std::string& name() const {
        return std::get<1>(GetParam());
    }
    // The "To continue" line's words after the program's name; "" when none.
    static std::string CommandAfter(const std::string& errors, const std::string& program) {
        std::smatch found;
        const std::regex line("To continue: " + program + " ([^\r\n]*)");
        return std::regex_search(errors, found, line) ? found[1].str() : "";
    }
};

}  // namespace

TEST_P(Continue, TheCommandIsQuotedForTheHostsShell) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, {1, 2, 3, 4});
    const std::string r2 = DataRecord(0x8004, {5, 6, 7, 8});
    const std::string file =
        dir.Write("it's my $prog & more.hex", r1 + "\n" + r2 + "\n" + kEnd + "\n");
    SimTarget sim({"--record-answer", "2=" + kNoVerdict});
    RunResult run = Run(name(), {file, "{port}"}, sim);
    sim.Stop();
    EXPECT_EQ(run.status, 4) << run.output;
    const std::string words = CommandAfter(run.errors, name());
    ASSERT_NE(words, "") << run.errors;
    if (native()) {
        // The shell gives back each word as it was.
        RunResult echoed = RunProgram("/bin/sh", {"-c", "printf '%s\\n' " + words});
        EXPECT_EQ(echoed.output, "--from-line\n2\n" + file + "\n" + sim.port() + "\n") << words;
        EXPECT_NE(words.find("'\\''"), std::string::npos) << words;
    } else {
        EXPECT_EQ(words.substr(0, 16), "--from-line 2 \"" + file.substr(0, 1)) << words;
        EXPECT_NE(words.find("\"" + file + "\""), std::string::npos) << words;
    }
}

// The extended address in force at line 13 stands on line 10; it is sent
// first and goes unanswered. Continuing from 13 sends it again anyway.
TEST_P(Continue, NeverBeforeTheLineStartedFrom) {
    TempDir dir;
    std::string text;
    for (unsigned line = 1; line <= 9; ++line) {
        text += DataRecord(0x1000 + 4 * line, {1, 2, 3, 4}) + "\n";
    }
    text += kExtended + "\n";
    for (unsigned line = 11; line <= 14; ++line) {
        text += DataRecord(0x2000 + 4 * line, {5, 6, 7, 8}) + "\n";
    }
    const std::string file = dir.Write("p.hex", text + kEnd + "\n");
    SimTarget sim({"--record-answer", "1=" + kNoVerdict});
    RunResult run = Run(name(), {"--from-line", "13", file, "{port}"}, sim);
    sim.Stop();
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_EQ(sim.Received(), "@" + kExtended);
    EXPECT_EQ(CommandAfter(run.errors, name()).substr(0, 15), "--from-line 13 ") << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Native, Continue,
                         ::testing::Combine(::testing::Values(Host::Native),
                                            ::testing::Values("Torvanex", "Torvane")),
                         [](const auto& info) { return std::get<1>(info.param); });
INSTANTIATE_TEST_SUITE_P(Wine, Continue,
                         ::testing::Combine(::testing::Values(Host::Wine),
                                            ::testing::Values("Torvane")),
                         [](const auto& info) { return std::get<1>(info.param); });
