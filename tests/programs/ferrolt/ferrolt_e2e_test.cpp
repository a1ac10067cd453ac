// Ferrolt, the real executable, against the simulated target: natively and,
// when the Windows build and Wine are there, as the Windows program.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

// The interpreter's answers; the program shows them up to the awaited words,
// and whatever follows those words is drained unseen.
const std::string kBanner = "\r\nBASIC for the tests\r\nMemory top? ";
const std::string kReady = "\r\n31744 bytes for the program\r\nOk\r\n";

// Console texts; "{file}" and "{port}" stand for the run's file and port.
const std::string kNamed = "Z80 Basic Loader  FILE: '{file}'  PORT: {port}\n";
const std::string kOpened = kNamed + "Com Port {port} open at 9600 baud.\n";
const std::string kReadyShown = kOpened + "\n Target Ready \n";
const std::string kTopShown = kReadyShown + " \r\nBASIC for the tests\r\nMemory top?";
const std::string kStarted = kTopShown + " \r\n31744 bytes for the program\r\nOk\n";
const std::string kNoResponse = "\n ERROR! No Response from target";
const std::string kDone = "\n Done...\n";

const std::string kCtrlZ = "\x1A";
const std::string kLine79 = "10 REM " + std::string(72, 'x');
const std::string kLine78 = "20 REM " + std::string(71, 'y');
const std::string kProgram =
    "10 INPUT \"NAME\"; N$\n20 IF N$ <> \"\" THEN PRINT \"HI, \"; N$: GOTO 10\n30 END";

// One upload: the file, the simulator's faults, and all that must follow.
struct UploadCase {
    const char* name;
    std::string content;
    std::vector<std::string> faults;  // simulator options
    int status;
    std::string console;              // with "{file}" and "{port}"
    std::string received;             // every byte the target got
    std::vector<std::string> stored;  // program lines the interpreter kept
};

const UploadCase kUploads[] = {
    // The LF goes unechoed and unawaited (a wait would be warned of), then CR.
    {"TypesLineThenLfThenCr",
     "10 PRINT 1\n",
     {},
     0,
     kStarted + "10 PRINT 1\n" + kDone,
     "@B\r10 PRINT 1\n\r\r",
     {"10 PRINT 1"}},
    {"ReadsCrLfAsLfAndStopsAtCtrlZ",
     "10 PRINT 1\r\n20 END\r\n" + kCtrlZ + "30 GOTO 10\r\n",
     {},
     0,
     kStarted + "10 PRINT 1\n20 END\n" + kDone,
     "@B\r10 PRINT 1\n\r20 END\n\r\r",
     {"10 PRINT 1", "20 END"}},
    // 79 characters then CR, the LF alone then CR; 78 fit with their LF.
    {"Types79CharacterLineInTwoPieces",
     kLine79 + "\r\n" + kLine78 + "\n",
     {},
     0,
     kStarted + kLine79 + "\n" + kLine78 + "\n" + kDone,
     "@B\r" + kLine79 + "\r\n\r" + kLine78 + "\n\r\r",
     {kLine79, kLine78}},
    // Tab and 0xE9 unawaited; DEL awaited (left unread, its echo would be
    // taken for the quote's).
    {"AwaitsEchoesOf0x20To0x7FOnly",
     "10 PRINT\t\"\xE9\x7F\"\n",
     {},
     0,
     kStarted + "10 PRINT\t\"\xE9\x7F\"\n" + kDone,
     "@B\r10 PRINT\t\"\xE9\x7F\"\n\r\r",
     {"10 PRINT\t\"\xE9\x7F\""}},
    {"StoresTheFilesLines",
     kProgram,
     {},
     0,
     kStarted + kProgram + kDone,
     "@B\r10 INPUT \"NAME\"; N$\n\r20 IF N$ <> \"\" THEN PRINT \"HI, \"; N$: GOTO 10\n\r30 END\r\r",
     {"10 INPUT \"NAME\"; N$", "20 IF N$ <> \"\" THEN PRINT \"HI, \"; N$: GOTO 10", "30 END"}},
    {"EmptyFileSendsOnlyTheFinalCr", "", {}, 0, kStarted + kDone, "@B\r\r", {}},
    {"CtrlZFirstIsAnEmptyFile", kCtrlZ + "10 PRINT 1\n", {}, 0, kStarted + kDone, "@B\r\r", {}},
    {"WrongEchoStopsWithNothingMoreSent",
     "10 PRINT 1\n",
     {"--echo", "4=p"},
     4,
     kStarted + "10 \n ERROR! Echo Mismatch inByte='p'[70] outByte='P' [50]",
     "@B\r10 P",
     {}},
    {"ControlEchoForALetterStops",
     "PRINT 1\n",
     {"--echo", "1=\\r"},
     4,
     kStarted + "\n ERROR! Echo Mismatch inByte='\r'[0D] outByte='P' [50]",
     "@B\rP",
     {}},
    {"LostEchoesAreForgivenAndCounted",
     "10 PRINT 1\n20 END\n",
     {"--drop-echo", "3", "--drop-echo", "12"},
     0,
     kStarted +
         "10 PRINT 1\n20 END\n\n WARNING! 2 character(s) typed without an echo; check the"
         " program on the target" +
         kDone,
     "@B\r10 PRINT 1\n\r20 END\n\r\r",
     {"10 PRINT 1", "20 END"}},
    // A NUL reads as silence at once; the next case waits out the real 3 s.
    {"SilentBasicStartGivesThree",
     "10 PRINT 1\n",
     {"--basic-banner", "\\x00"},
     3,
     kReadyShown + kNoResponse,
     "@B",
     {}},
    {"SilentBasicReadyGivesThree",
     "10 PRINT 1\n",
     {"--silent-basic-ready"},
     3,
     kTopShown + kNoResponse,
     "@B\r",
     {}},
    // Refused before the port opens, with the file status (-1).
    {"RefusesANulByte",
     std::string("10 PRINT 1\n20 \0END\n", 19),
     {},
     255,
     kNamed + "ERROR: Line 2 of '{file}' holds a NUL byte; nothing was sent\n",
     "",
     {}},
    {"RefusesALineTheTargetWouldSplit",
     "10 REM\n20 REM\n" + kLine79 + "x\r\n",
     {},
     255,
     kNamed + "ERROR: Line 3 of '{file}' is longer than 79 characters; nothing was sent\n",
     "",
     {}},
};

std::vector<std::string> StoredLines(const SimTarget& sim) {
    const std::string mark = "basic line ";
    std::vector<std::string> lines;
    for (const auto& event : sim.Events()) {
        if (event.rfind(mark, 0) == 0) {
            lines.push_back(event.substr(mark.size()));
        }
    }
    return lines;
}

class FerroltUpload : public HostTest<std::tuple<Host, int>> {};

TEST_P(FerroltUpload, RunsAsExpected) {
    const UploadCase& c = kUploads[std::get<1>(GetParam())];
    TempDir dir;
    const std::string file = dir.Write("prog.bas", c.content);
    std::vector<std::string> options = {"--basic-banner", kBanner, "--basic-ready", kReady};
    options.insert(options.end(), c.faults.begin(), c.faults.end());
    SimTarget sim(options);

    RunResult run = Run("Ferrolt", {file, "{port}"}, sim);
    sim.Stop();  // after this the transcript holds every byte the program sent

    const std::string port = ReportedPort(run.output);
    if (native()) {
        EXPECT_EQ(port, sim.port());
    }
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, Shown(Filled(c.console, {{"{file}", file}, {"{port}", port}})));
    EXPECT_EQ(sim.Received(), c.received);
    EXPECT_EQ(StoredLines(sim), c.stored);
    // The simulator's own settings are 1 stop bit: these show the program opened the port.
    const bool opened = sim.LineSettings() == "speed=9600 data=8 stop=2 parity=none raw=yes";
    EXPECT_EQ(opened, c.status != 255);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, FerroltUpload,
    ::testing::Combine(EveryHost(), ::testing::Range(0, static_cast<int>(std::size(kUploads)))),
    [](const ::testing::TestParamInfo<std::tuple<Host, int>>& info) {
        return std::string(kUploads[std::get<1>(info.param)].name) + "_" +
               HostName(std::get<0>(info.param));
    });

class FerroltStart : public HostTest<Host> {};

TEST_P(FerroltStart, BadArgumentsAndFilesGiveTheirStatusAndSendNothing) {
    TempDir dir;
    const std::string file = dir.Write("prog.bas", "10 PRINT 1\n");
    const std::string banner = "Z80 Basic Loader  ";
    SimTarget sim;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string console;
    };
    // Port arguments whose name cannot fit: a device path of 80 characters
    // here, a five-digit COM number on Windows; and ports that are not there.
    const std::string bigPort = native() ? "/dev/" + std::string(80, 'p') : "12345";
    const std::string noPort = native() ? dir.path() + "/tty" : "99";
    const std::string missing = dir.path() + "/missing.bas";
    const std::vector<Case> cases = {
        {{}, 1, banner + "\n ERROR! Too Few Arguments\n Usage: Ferrolt {filename} {port}\n"},
        {{dir.path() + "/" + std::string(80, 'n'), "{port}"},
         1,
         banner + "\n ERROR! File name too long (at most 79 characters)\n"},
        {{file, bigPort},
         1,
         banner + "\n ERROR! Port '" + bigPort + "' does not fit a port name (at most " +
             (native() ? "79" : "11") + " characters)\n"},
        {{missing, "{port}"}, 255, banner + "ERROR: Cannot Open File '" + missing + "'\n"},
        // A directory is refused by what it is, before it is opened.
        {{dir.path(), "{port}"},
         255,
         banner + "ERROR: Cannot Open File '" + dir.path() + "': is a folder, not a file\n"},
        {{file, noPort},
         2,
         banner + "FILE: '" + file + "'  PORT: " + (native() ? noPort : "//./COM99") +
             "\nOpenCom failed with error 2.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        RunResult run = Run("Ferrolt", c.args, sim);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.output, Shown(c.console));
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(Hosts, FerroltStart, EveryHost(), HostCaseName);

}  // namespace
