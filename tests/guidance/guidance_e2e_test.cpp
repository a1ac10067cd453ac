// Guidance for people, with the real executables against the simulated
// target: the transcript on standard output stays as it always was, byte for
// byte; the work announced and the summary come on standard error, the
// progress line only when standard error is a terminal, and a hint follows
// each common failure. The Windows programs run natively and under Wine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <ostream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"
#include "tests/support/terminal_run.h"

namespace {

const std::string kExtended = ":020000040000FA";
const std::string kEnd = ":00000001FF";
const std::string kBanner = "\r\nZ80 BASIC 4.7\r\nMemory top? ";
const std::string kReady = "\r\n31744 Bytes free\r\nOk\r\n";

// True when `text` matches the regular expression `pattern` whole.
bool Matches(const std::string& text, const std::string& pattern) {
    return std::regex_match(text, std::regex(pattern));
}

std::string Quoted(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// A three-record upload whose second record the target refuses with "?".
struct Upload {
    TempDir dir;
    std::string r1 = DataRecord(0x8000, PatternBytes(1, 16));
    std::string r2 = DataRecord(0x8010, PatternBytes(2, 4));
    std::string file =
        dir.Write("prog.hex", kExtended + "\r\n" + r1 + "\r\n\r\n" + r2 + "\r\n" + kEnd + "\r\n");
};

// The console line of one record, as each uploader prints it.
std::string TorvanexLine(const std::string& record, char verdict) {
    return RecordLineOf(ProgramNamed("Torvanex"), record, std::string(1, verdict));
}

std::string TorvaneLine(const std::string& record, char verdict) {
    return RecordLineOf(ProgramNamed("Torvane"), record, std::string(1, verdict));
}

// What an upload of Upload says on standard error, the time left open.
const std::string kUploadAnnounced = "3 records, 20 data bytes, about \\d+:\\d\\d at 9600 baud\n";
const std::string kUploadSummary =
    "Summary: 3 of 3 records sent in \\d+:\\d\\d: 2 accepted, 1 not accepted\n"
    "  line 4, load address 8010: refused \\(\\?\\)\n";

class GuidanceOnHost : public HostTest<Host> {};

}  // namespace

// ---------------------------------------------------------------------------
// Announcement and summary on standard error, the transcript untouched

TEST(TorvanexGuidance, AnnouncesAndSummarizesOnStandardErrorOnly) {
    Upload upload;
    SimTarget sim({"--record-answer", "3=?"});
    RunResult run = RunProgram(NativeExe("Torvanex"), {upload.file, sim.port()});
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.output, "Z80 System Loader\nFILE: '" + upload.file + "'\nSerial Port " +
                              sim.port() + " open at 9600 Baud\n Target Ready\n" +
                              TorvanexLine(kExtended, '*') + TorvanexLine(upload.r1, '*') +
                              TorvanexLine(upload.r2, '?') +
                              " WARNING! 1 record(s) refused by the target\nDone\r\n");
    EXPECT_TRUE(Matches(run.errors, kUploadAnnounced + kUploadSummary)) << run.errors;
}

TEST_P(GuidanceOnHost, TorvaneAnnouncesAndSummarizesOnStandardErrorOnly) {
    Upload upload;
    SimTarget sim({"--record-answer", "3=?"});
    RunResult run = Run("Torvane", {upload.file, "{port}"}, sim);
    EXPECT_EQ(run.status, 5);
    const std::string port = ReportedPort(run.output);
    EXPECT_EQ(run.output,
              Shown("Z80 System Loader\nFILE: '" + upload.file + "'\nCom Port(1) " + port +
                    " open at 9600 baud.\n\n Target Ready\n" + TorvaneLine(kExtended, '*') +
                    TorvaneLine(upload.r1, '*') + TorvaneLine(upload.r2, '?') +
                    " WARNING! 1 record(s) not accepted by the target\n"
                    "\n Done...\n"));
    EXPECT_TRUE(Matches(run.errors, Shown(kUploadAnnounced + kUploadSummary))) << run.errors;
}

TEST_P(GuidanceOnHost, TorvaneListsARecordWithoutAVerdict) {
    Upload upload;
    SimTarget sim({"--record-answer", "2=abcdefgh"});
    RunResult run = Run("Torvane", {upload.file, "{port}"}, sim);
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.output.find(" ERROR! No Verdict"), std::string::npos) << run.output;
    EXPECT_TRUE(Matches(run.errors,
                        Shown(kUploadAnnounced + "Summary: 3 of 3 records sent in \\d+:\\d\\d: 2 "
                                                 "accepted, 1 not accepted\n"
                                                 "  line 2, load address 8000: no verdict\n")))
        << run.errors;
}

TEST_P(GuidanceOnHost, TorvaneNamesTheRecordThatWentUnanswered) {
    Upload upload;
    SimTarget sim({"--record-answer", "3=\\x00"});  // a NUL reads as silence
    RunResult run = Run("Torvane", {upload.file, "{port}"}, sim);
    EXPECT_EQ(run.status, 4);
    // The transcript ends on its open "No Response" line: the summary
    // starts on a line of its own.
    EXPECT_TRUE(Matches(run.errors, Shown(kUploadAnnounced +
                                          "\nSummary: 3 of 3 records sent in \\d+:\\d\\d: 2 "
                                          "accepted, 1 not accepted\n"
                                          "  line 4, load address 8010: no verdict\n"
                                          "To continue: Torvane --from-line 4 " +
                                          upload.file + " \\S+\n")))
        << run.errors;
}

TEST_P(GuidanceOnHost, QuilmarkNamesTheAddressItCouldNotRead) {
    TempDir dir;
    const std::string file = dir.path() + "/dump.hex";
    // Every try for 0010 gets an answer that is no hex.
    SimTarget sim({"--dump-answer", "2=" + std::string(34, 'x'), "--dump-answer",
                   "3=" + std::string(34, 'x'), "--dump-answer", "4=" + std::string(34, 'x')});
    RunResult run = Run("Quilmark", {"0000", "0030", file, "{port}"}, sim);
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.output.find("Memory at 0010 could not be read"), std::string::npos) << run.output;
    EXPECT_TRUE(Matches(run.errors,
                        Shown("3 requests for 48 bytes \\(0000\\.\\.002F\\), about 0:00 at 9600 "
                              "baud\n"
                              "Summary: 1 of 3 records saved \\(16 bytes\\) in \\d+:\\d\\d\n"
                              "  address 0010: could not be read\n")))
        << run.errors;
}

TEST_P(GuidanceOnHost, QuilmarkTranscriptIsUntouched) {
    TempDir dir;
    const std::string file = dir.path() + "/dump.hex";
    SimTarget sim;
    RunResult run = Run("Quilmark", {"0000", "0010", file, "{port}"}, sim);
    EXPECT_EQ(run.status, 0);
    const std::string port = ReportedPort(run.output);
    EXPECT_EQ(run.output,
              Shown("Z80 Save Data\nStart [0000] (0)  End [0010] (16)\nFILE: '" + file +
                    "'\nCom Port(1) " + port + " open at 9600 baud.\n\n Target Ready\n\n 0000 " +
                    std::string(32, '0') + "F0*\n Done...\n"));
    EXPECT_TRUE(Matches(
        run.errors, Shown("1 request for 16 bytes \\(0000\\.\\.000F\\), about 0:00 at 9600 "
                          "baud\nSummary: 1 of 1 record saved \\(16 bytes\\) in \\d+:\\d\\d\n")))
        << run.errors;
}

TEST_P(GuidanceOnHost, QuilmarkVerifyAnnouncesTheBlocksAndSumsUp) {
    TempDir dir;
    const std::string file =
        dir.Write("load.hex", DataRecord(0x0000, std::vector<unsigned char>(16, 0)) + "\n" +
                                  DataRecord(0x0020, {0, 0}) + "\n" + kEnd + "\n");
    SimTarget sim;
    RunResult run = Run("Quilmark", {"--verify", file, "{port}"}, sim);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find(Shown("\n Verify OK: 18 bytes compared, 0 differ\n")),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(Matches(run.errors, Shown("2 blocks of 16 bytes to read back, about 0:00 at "
                                          "9600 baud\n"
                                          "Summary: 2 of 2 blocks read back in \\d+:\\d\\d\n")))
        << run.errors;
}

TEST_P(GuidanceOnHost, FerroltNamesTheLinesWhoseEchoesWentMissing) {
    TempDir dir;
    const std::string file = dir.Write("prog.bas", "10 PRINT 1\n20 END\n");
    SimTarget sim({"--basic-banner", kBanner, "--basic-ready", kReady, "--drop-echo", "3",
                   "--drop-echo", "12"});
    RunResult run = Run("Ferrolt", {file, "{port}"}, sim);
    EXPECT_EQ(run.status, 0);
    const std::string port = ReportedPort(run.output);
    EXPECT_EQ(run.output,
              Shown(Filled("Z80 Basic Loader  FILE: '" + file +
                               "'  PORT: {port}\nCom Port {port} open at 9600 baud.\n\n Target "
                               "Ready \n \r\nZ80 BASIC 4.7\r\nMemory top? \r\n31744 Bytes "
                               "free\r\nOk\n10 PRINT 1\n20 END\n\n WARNING! 2 character(s) "
                               "typed without an echo; check the program on the target\n "
                               "Done...\n",
                           {{"{port}", port}})));
    EXPECT_TRUE(Matches(run.errors, Shown("2 lines, 18 characters, about \\d+:\\d\\d at 9600 baud\n"
                                          "Summary: 2 of 2 lines typed \\(18 characters\\) in "
                                          "\\d+:\\d\\d\n"
                                          "  line 1: 1 echo missing\n"
                                          "  line 2: 1 echo missing\n")))
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, GuidanceOnHost, EveryHost(), HostCaseName);

// ---------------------------------------------------------------------------
// Progress, when standard error is a terminal

namespace {

// One program's small job of three units, run with its progress shown: one
// row a program.
struct ProgramRun {
    std::string program;
    std::string unit;                     // what its progress line counts
    int total;                            // how many the job has
    std::string fileName;                 // its input file, made in the case's folder ("": none)
    std::string fileText;                 // what that file holds
    std::vector<std::string> args;        // "{file}", "{dir}" and "{port}" filled in
    std::vector<std::string> simOptions;  // what the simulated target needs for it
};

// Shows a row by its program in test lists and failure messages.
void PrintTo(const ProgramRun& run, std::ostream* out) {
    *out << run.program;
}

std::vector<ProgramRun> ProgramRuns() {
    const std::string records = DataRecord(0x8000, PatternBytes(1, 16)) + "\n" +
                                DataRecord(0x8010, PatternBytes(2, 16)) + "\n" +
                                DataRecord(0x8020, PatternBytes(3, 16)) + "\n" + kEnd + "\n";
    const std::vector<std::string> upload = {"{file}", "{port}"};
    return {
        {"Torvanex", "records", 3, "p.hex", records, upload, {}},
        {"Torvane", "records", 3, "p.hex", records, upload, {}},
        {"Quilmark", "requests", 3, "", "", {"0000", "0030", "{dir}/dump.hex", "{port}"}, {}},
        {"Ferrolt",
         "lines",
         3,
         "p.bas",
         "10 PRINT 1\n20 PRINT 2\n30 END\n",
         upload,
         {"--basic-banner", kBanner, "--basic-ready", kReady}},
    };
}

// Runs the row's program on a terminal against `sim`, its files in `dir`.
// `outputOnTerminal`: the transcript shares the terminal.
TerminalRunResult RunWithProgress(const ProgramRun& c, bool outputOnTerminal, const TempDir& dir,
                                  const SimTarget& sim) {
    const std::string file = c.fileName.empty() ? "" : dir.Write(c.fileName, c.fileText);
    std::vector<std::string> args;
    for (const auto& arg : c.args) {
        args.push_back(
            Filled(arg, {{"{file}", file}, {"{dir}", dir.path()}, {"{port}", sim.port()}}));
    }
    return RunOnTerminal(NativeExe(c.program), args, outputOnTerminal);
}

class ProgressOnTerminal : public ::testing::TestWithParam<ProgramRun> {};

}  // namespace

TEST_P(ProgressOnTerminal, RedrawnInPlaceWhenTheTranscriptGoesElsewhere) {
    const ProgramRun& c = GetParam();
    TempDir dir;
    SimTarget sim(c.simOptions);
    TerminalRunResult run = RunWithProgress(c, false, dir, sim);
    EXPECT_EQ(run.status, 0);
    const std::string total = std::to_string(c.total);
    const std::string unit = c.unit;
    // The first drawing and the last, each from the start of the line.
    const std::string first = "\r0/" + total + " " + unit + "  0%  ";
    const std::string last = "\r" + total + "/" + total + " " + unit + "  100%  ";
    const std::size_t firstAt = run.terminal.find(first);
    const std::size_t lastAt = run.terminal.find(last);
    ASSERT_NE(firstAt, std::string::npos) << run.terminal;
    ASSERT_NE(lastAt, std::string::npos) << run.terminal;
    EXPECT_LT(firstAt, lastAt);
    // Cleared with spaces before the summary, which starts a line of its own.
    const std::size_t summaryAt = run.terminal.find("Summary: ");
    ASSERT_NE(summaryAt, std::string::npos) << run.terminal;
    EXPECT_TRUE(
        Matches(run.terminal.substr(lastAt), Quoted(last) + "[^\r\n]*\r +\rSummary: [^\r\n]*\r\n"))
        << run.terminal;
    // Nothing of it in the transcript.
    EXPECT_EQ(run.output.find(unit + "  "), std::string::npos);
    EXPECT_NE(run.output.find("Done"), std::string::npos);
}

TEST_P(ProgressOnTerminal, KeptOnTheBottomRowWhenTheTranscriptSharesTheTerminal) {
    const ProgramRun& c = GetParam();
    TempDir dir;
    SimTarget sim(c.simOptions);
    TerminalRunResult run = RunWithProgress(c, true, dir, sim);
    EXPECT_EQ(run.status, 0);
    const std::string rows = std::to_string(kTerminalRows);
    // The region above the bottom row is set once and given back at the end.
    const std::string setUp =
        "\r\n\033[1A\0337\033[1;" + std::to_string(kTerminalRows - 1) + "r\0338";
    const std::string total = std::to_string(c.total);
    const std::string last =
        "\0337\033[" + rows + ";1H" + total + "/" + total + " " + c.unit + "  100%";
    const std::string giveBack = "\0337\033[" + rows + ";1H\033[K\033[r\0338";
    ASSERT_NE(run.terminal.find(setUp), std::string::npos) << run.terminal;
    ASSERT_NE(run.terminal.find(last), std::string::npos) << run.terminal;
    ASSERT_NE(run.terminal.find(giveBack), std::string::npos) << run.terminal;
    EXPECT_LT(run.terminal.find(last), run.terminal.find(giveBack));
    EXPECT_LT(run.terminal.find(giveBack), run.terminal.find("Summary: "));

    // Without the drawings, the terminal got the transcript and the guidance
    // lines, each whole: every drawing sits between saving and restoring
    // the cursor, so the transcript's own line carries on where it was.
    std::string seen = run.terminal;
    seen.replace(seen.find(setUp), setUp.size(), "");
    seen = std::regex_replace(seen, std::regex("\0337[^\n]*?\0338"), "");
    EXPECT_EQ(seen.find('\033'), std::string::npos) << seen;
    EXPECT_NE(seen.find(AsTerminalGetsIt("\n Target Ready")), std::string::npos) << seen;
    EXPECT_TRUE(Matches(seen, "[^\033]*\r\nSummary: [^\r\n]*\r\n")) << seen;
}

INSTANTIATE_TEST_SUITE_P(Native, ProgressOnTerminal, ::testing::ValuesIn(ProgramRuns()),
                         [](const ::testing::TestParamInfo<ProgramRun>& info) {
                             return info.param.program;
                         });

// Wine's console prints cursor control as text: with the transcript on the
// same screen, the programs there draw no progress line, and say so once,
// before the first record.
TEST(ProgressOnTerminal, WineScreenSaysProgressIsOffAndShowsNoEscapeText) {
    if (!HostAvailable(Host::Wine)) {
        GTEST_SKIP() << HostUnavailableReason(Host::Wine);
    }
    Upload upload;
    SimTarget sim;
    const std::string screen = ScreenUnderWine("Torvane", {upload.file, "{port}"}, sim);
    EXPECT_NE(screen.find(" Done..."), std::string::npos) << screen;
    EXPECT_NE(screen.find("Summary: "), std::string::npos) << screen;
    EXPECT_FALSE(HoldsMatch(screen, "\\[[0-9;]*[A-Za-z]|records  ")) << screen;
    const std::size_t off = screen.find("Progress is not shown: this console cannot keep a line");
    ASSERT_NE(off, std::string::npos) << screen;
    EXPECT_LT(off, screen.find("Len:")) << screen;
    EXPECT_EQ(screen.find("Progress is not shown", off + 1), std::string::npos) << screen;
}

// On one screen the hint after the open "No Response" line starts a line of
// its own, and no line runs past the screen's edge.
TEST(HintOnTerminal, WineScreenShowsTheHintOnLinesOfItsOwn) {
    if (!HostAvailable(Host::Wine)) {
        GTEST_SKIP() << HostUnavailableReason(Host::Wine);
    }
    Upload upload;
    SimTarget sim({"--prompt", "\\x00"});  // a NUL reads as silence
    const std::string screen = ScreenUnderWine("Torvane", {upload.file, "{port}"}, sim);
    EXPECT_TRUE(HoldsMatch(screen,
                           " ERROR! No Response from target *\n"
                           "Hint: the board did not answer the wake-up\\. Check that:"))
        << screen;
    EXPECT_FALSE(HoldsMatch(screen, "[^\n]{80}[^\n ]")) << screen;
}

TEST(ProgressOnTerminal, NotShownWhenStandardErrorIsAFile) {
    Upload upload;
    SimTarget sim;
    RunResult run = RunProgram(NativeExe("Torvanex"), {upload.file, sim.port()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors.find('\r'), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("elapsed"), std::string::npos) << run.errors;
}
