// --terminal in a real terminal: after the job, a key typed reaches the
// board and its answer shows; Ctrl-] leaves with status 0 and the terminal's
// own settings back. Natively and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/e2e_host.h"

namespace {

class Terminal : public HostTest<Host> {};

TEST_P(Terminal, AKeyReachesTheBoardAndCtrlBracketLeavesTheTerminalAsItWas) {
    TempDir dir;
    const std::string hex = dir.Write("one.hex", DataRecord(0x8000, {0x41}) + "\n:00000001FF\n");
    SimTarget sim;
    const std::string program = native() ? "Torvanex" : "Torvane";
    TerminalSession session(host(), program, {hex, "{port}", "--terminal"}, sim);
    ASSERT_TRUE(session.AwaitScreen("Ctrl-] leaves")) << session.Screen();
    // The monitor answers a typed "@" with its prompt, which no part of the
    // upload showed.
    ASSERT_EQ(session.Screen().find("$$$"), std::string::npos) << session.Screen();
    session.Type("@");
    EXPECT_TRUE(session.AwaitScreen("$$$")) << session.Screen();
    session.TypeKey("C-]");
    EXPECT_EQ(session.AwaitEnd(), 0) << session.Screen();
    EXPECT_FALSE(session.SettingsBefore().empty());
    EXPECT_EQ(session.SettingsAfter(), session.SettingsBefore());
    // The key went out as typed, after the upload's own bytes, unechoed.
    const std::string received = sim.Received();
    EXPECT_TRUE(EndsWith(received, "@")) << received;
}

INSTANTIATE_TEST_SUITE_P(Hosts, Terminal, EveryHost(), HostCaseName);

}  // namespace
