// The slow-answer hint as the other hints are: on a line of its own, even
// after a transcript line left open, wrapped at spaces, and the udev rule
// whole on a line of its own.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

class SlowHint : public HostTest<Host> {};

}  // namespace

TEST_P(SlowHint, IsWrappedAndStartsOnALineOfItsOwnAfterAnOpenNoResponse) {
    TempDir dir;
    std::string records;
    for (unsigned i = 0; i < 10; ++i) {
        records += DataRecord(0x8000 + 16 * i, PatternBytes(i, 16)) + "\n";
    }
    const std::string file = dir.Write("slow.hex", records + ":00000001FF\n");
    // Answers held back as an adapter's latency timer does; record 8 unanswered.
    SimTarget sim({"--pace", "--latency", "16", "--silent-from-record", "8"});
    RunResult run = Run("Torvane", {file, "{port}"}, sim);
    EXPECT_EQ(run.status, 4) << run.output << run.errors;
    // The transcript's last line is left open, as the program always left it.
    EXPECT_TRUE(EndsWith(run.output, "\n ERROR! No Response from target")) << run.output;
    const std::string errors = run.errors;
    const std::size_t hint = errors.find("Hint: the board's answers came back slowly");
    ASSERT_NE(hint, std::string::npos) << errors;
    EXPECT_EQ(errors.substr(hint - Shown("\n\n").size(), Shown("\n\n").size()), Shown("\n\n"))
        << errors;
    // Every line within 79 characters, save the rule, which stands whole.
    std::istringstream lines(errors);
    std::string line;
    int ruleLines = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find("ACTION==") != std::string::npos) {
            ++ruleLines;
            EXPECT_EQ(line,
                      "    ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
                      "ATTR{latency_timer}=\"1\"");
            continue;
        }
        EXPECT_LE(line.size(), 79u) << line;
    }
    EXPECT_EQ(ruleLines, native() ? 1 : 0) << errors;
    if (!native()) {
        const std::string joined = std::regex_replace(errors, std::regex("\r?\n {4,}"), " ");
        EXPECT_NE(joined.find("Latency Timer (msec) to 1"), std::string::npos) << errors;
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, SlowHint, EveryHost(), HostCaseName);
