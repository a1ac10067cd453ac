// Ferrolt, the real executable, against the simulated target: natively and,
// when the Windows build and Wine are there, as the Windows program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

// The interpreter's answers; the program shows them up to the awaited words,
// and whatever follows those words is drained unseen.
const std::string kBanner = "\r\nZ80 BASIC 4.7\r\nMemory top? ";
const std::string kBannerShown = "\r\nZ80 BASIC 4.7\r\nMemory top?";
const std::string kReady = "\r\n31744 Bytes free\r\nOk\r\n";
const std::string kReadyShown = "\r\n31744 Bytes free\r\nOk";

const std::string kNoResponse = "\n ERROR! No Response from target";
const std::string kDone = "\n Done...\n";
const std::string kCtrlZ = "\x1A";

// The simulator's options: this file's interpreter texts, then `extra`.
std::vector<std::string> SimOptions(std::vector<std::string> extra = {}) {
    std::vector<std::string> options = {"--basic-banner", kBanner, "--basic-ready", kReady};
    options.insert(options.end(), extra.begin(), extra.end());
    return options;
}

// The program lines the interpreter stored, in order.
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

int LineSettingChanges(const SimTarget& sim) {
    int count = 0;
    for (const auto& line : sim.Transcript()) {
        count += line.kind == 'L' ? 1 : 0;
    }
    return count - 1;  // the first is the simulator's own
}

class FerroltUpload : public ::testing::TestWithParam<Host> {
  protected:
    void SetUp() override {
        if (!HostAvailable(GetParam())) {
            GTEST_SKIP() << "programs for " << HostName(GetParam()) << " cannot run here";
        }
    }

    RunResult Run(const std::vector<std::string>& args, const SimTarget& sim) {
        return RunOnHost(GetParam(), "Ferrolt", args, sim);
    }

    // Loads `file` into `sim`; the run is over, and `sim` stopped with every
    // byte the program sent taken in, when this returns.
    RunResult Upload(const std::string& file, SimTarget& sim) {
        RunResult run = Run({file, "{port}"}, sim);
        sim.Stop();
        port_ = ReportedPort(run.output);
        if (GetParam() == Host::Native) {
            EXPECT_EQ(port_, sim.port());
        }
        return run;
    }

    // The console text as this host prints it.
    std::string Shown(const std::string& text) const {
        return ForHost(GetParam(), text);
    }

    // The console text up to the FILE line; the port is as reported by the
    // last Upload (the simulator's path natively, a COM name under Wine).
    std::string Named(const std::string& file) const {
        return "Z80 Basic Loader  FILE: '" + file + "'  PORT: " + port_ + "\n";
    }

    // The console text up to the line of the open port.
    std::string Opened(const std::string& file) const {
        return Named(file) + "Com Port " + port_ + " open at 9600 baud.\n";
    }

    // The console text up to the first character typed.
    std::string Started(const std::string& file) const {
        return Opened(file) + "\n Target Ready \n " + kBannerShown + " " + kReadyShown + "\n";
    }

  private:
    // The port name from the FILE line, "" when there is none.
    static std::string ReportedPort(const std::string& output) {
        const std::string mark = "  PORT: ";
        std::size_t from = output.find(mark);
        if (from == std::string::npos) {
            return "";
        }
        from += mark.size();
        std::size_t to = output.find_first_of("\r\n", from);
        return output.substr(from, to == std::string::npos ? std::string::npos : to - from);
    }

    std::string port_;
};

}  // namespace

TEST_P(FerroltUpload, TypesALineThenItsLfWithoutEchoThenCr) {
    TempDir dir;
    const std::string file = dir.Write("print.bas", "10 PRINT 1\n");
    SimTarget sim(SimOptions());

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    // No warning: the LF was not awaited as an echo.
    EXPECT_EQ(run.output, Shown(Started(file) + "10 PRINT 1\n" + kDone));
    EXPECT_EQ(sim.Received(), "@B\r10 PRINT 1\n\r\r");
    EXPECT_EQ(StoredLines(sim), std::vector<std::string>{"10 PRINT 1"});
    EXPECT_EQ(sim.LineSettings(), "speed=9600 data=8 stop=2 parity=none raw=yes");
}

TEST_P(FerroltUpload, ReadsCrLfAsLfAndStopsAtCtrlZ) {
    TempDir dir;
    const std::string file =
        dir.Write("dos.bas", "10 PRINT 1\r\n20 END\r\n" + kCtrlZ + "30 GOTO 10\r\n");
    SimTarget sim(SimOptions());

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Started(file) + "10 PRINT 1\n20 END\n" + kDone));
    EXPECT_EQ(sim.Received(), "@B\r10 PRINT 1\n\r20 END\n\r\r");
}

TEST_P(FerroltUpload, SendsA79CharacterLineInTwoPiecesAndStoresItWhole) {
    TempDir dir;
    const std::string line79 = "10 REM " + std::string(72, 'x');
    const std::string line78 = "20 REM " + std::string(71, 'y');
    ASSERT_EQ(line79.size(), 79u);
    const std::string file = dir.Write("long.bas", line79 + "\r\n" + line78 + "\n");
    SimTarget sim(SimOptions());

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Started(file) + line79 + "\n" + line78 + "\n" + kDone));
    // 79 characters, CR, then the LF alone, CR; the 78-character line fits
    // with its LF in one piece.
    EXPECT_EQ(sim.Received(), "@B\r" + line79 + "\r\n\r" + line78 + "\n\r\r");
    EXPECT_EQ(StoredLines(sim), (std::vector<std::string>{line79, line78}));
}

TEST_P(FerroltUpload, AwaitsEchoesFor0x20To0x7FOnly) {
    // The tab and the byte 0xE9 get no echo and none is awaited (a wait would
    // count as a missed echo); DEL is echoed and its echo is awaited (left
    // unread, it would be taken for the echo of the quote after it).
    TempDir dir;
    const std::string text = "10 PRINT\t\"\xE9\x7F\"\n";
    const std::string file = dir.Write("tab.bas", text);
    SimTarget sim(SimOptions());

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Started(file) + text + kDone));
    EXPECT_EQ(sim.Received(), "@B\r" + text + "\r\r");
}

TEST_P(FerroltUpload, EmptyTextSendsOnlyTheFinalCr) {
    for (const std::string& content : {std::string(), kCtrlZ + "10 PRINT 1\n"}) {
        SCOPED_TRACE(::testing::PrintToString(content));
        TempDir dir;
        const std::string file = dir.Write("empty.bas", content);
        SimTarget sim(SimOptions());

        RunResult run = Upload(file, sim);

        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, Shown(Started(file) + kDone));
        EXPECT_EQ(sim.Received(), "@B\r\r");
        EXPECT_TRUE(StoredLines(sim).empty());
    }
}

TEST_P(FerroltUpload, StoredProgramEqualsTheFile) {
    const std::vector<std::string> lines = {
        "10 REM A SMALL PROGRAM",
        "20 FOR I = 1 TO 10: PRINT I; TAB(4); I * I: NEXT I",
        "30 INPUT \"NAME\"; N$",
        "40 IF N$ <> \"\" THEN PRINT \"HELLO, \"; N$ ELSE GOTO 30",
        "50 PRINT CHR$(65) + \"~{|}\" + STR$(3.5E-2)",
        "60 END",
    };
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    text.pop_back();  // the last line has no line end; it is still typed and stored
    TempDir dir;
    const std::string file = dir.Write("program.bas", text);
    SimTarget sim(SimOptions());

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Started(file) + text + kDone));
    EXPECT_EQ(StoredLines(sim), lines);
}

TEST_P(FerroltUpload, WrongEchoStopsWithNothingMoreSent) {
    TempDir dir;
    const std::string file = dir.Write("print.bas", "10 PRINT 1\n20 END\n");
    SimTarget sim(SimOptions({"--echo", "4=p"}));

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.output, Shown(Started(file) + "10 " +
                                "\n ERROR! Echo Mismatch inByte='p'[70] outByte='P' [50]"));
    // Not even the CR: the line is left unterminated on the target.
    EXPECT_EQ(sim.Received(), "@B\r10 P");
    EXPECT_TRUE(StoredLines(sim).empty());
}

TEST_P(FerroltUpload, ControlCharacterEchoedForALetterStops) {
    TempDir dir;
    const std::string file = dir.Write("print.bas", "PRINT 1\n");
    SimTarget sim(SimOptions({"--echo", "1=\\r"}));

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(run.output,
              Shown(Started(file) + "\n ERROR! Echo Mismatch inByte='\r'[0D] outByte='P' [50]"));
    EXPECT_EQ(sim.Received(), "@B\rP");
}

TEST_P(FerroltUpload, DroppedEchoesAreForgivenCountedAndWarnedOf) {
    TempDir dir;
    const std::string file = dir.Write("print.bas", "10 PRINT 1\n20 END\n");
    SimTarget sim(SimOptions({"--drop-echo", "3", "--drop-echo", "12"}));

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              Shown(Started(file) + "10 PRINT 1\n20 END\n" +
                    "\n WARNING! 2 character(s) typed without an echo; check the program on the"
                    " target" +
                    kDone));
    EXPECT_EQ(sim.Received(), "@B\r10 PRINT 1\n\r20 END\n\r\r");
    EXPECT_EQ(StoredLines(sim), (std::vector<std::string>{"10 PRINT 1", "20 END"}));
}

TEST_P(FerroltUpload, SilenceAtAnyPromptGivesThree) {
    struct Case {
        std::string option;
        std::string received;  // everything sent before giving up
        std::string shown;     // console text between the port line and the error
    };
    const std::vector<Case> cases = {
        {"--silent-wake", "@", ""},
        {"--silent-basic-start", "@B", "\n Target Ready \n"},
        {"--silent-basic-ready", "@B\r", "\n Target Ready \n " + kBannerShown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        TempDir dir;
        const std::string file = dir.Write("print.bas", "10 PRINT 1\n");
        SimTarget sim(SimOptions({c.option}));

        RunResult run = Upload(file, sim);

        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.output, Shown(Opened(file) + c.shown + kNoResponse));
        EXPECT_EQ(sim.Received(), c.received);
    }
}

TEST_P(FerroltUpload, RefusesTextsTheTargetWouldStoreWrongly) {
    const std::string x79(79, 'x');
    struct Case {
        std::string content;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {std::string("10 PRINT 1\n20 \0END\n", 19), "Line 2 of '{file}' holds a NUL byte"},
        {"10 REM\n20 REM\n" + x79 + "x\r\n", "Line 3 of '{file}' is longer than 79 characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        TempDir dir;
        const std::string file = dir.Write("bad.bas", c.content);
        std::string fault = c.fault;
        fault.replace(fault.find("{file}"), 6, file);
        SimTarget sim(SimOptions());

        RunResult run = Upload(file, sim);

        EXPECT_EQ(run.status, 255);  // -1
        EXPECT_EQ(run.output, Shown(Named(file) + "ERROR: " + fault + "; nothing was sent\n"));
        EXPECT_EQ(sim.Received(), "");
        EXPECT_EQ(LineSettingChanges(sim), 0) << "the port was opened";
    }
}

TEST_P(FerroltUpload, ReadFailureEndsTheRunBeforeThePortOpens) {
    // A directory: it opens and cannot be read natively; the Windows runtime
    // refuses to open it at all. Either way it is the file status.
    TempDir dir;
    SimTarget sim(SimOptions());

    RunResult run = Upload(dir.path(), sim);

    EXPECT_EQ(run.status, 255);
    if (GetParam() == Host::Native) {
        EXPECT_EQ(run.output, Named(dir.path()) + "ERROR: Cannot Read File '" + dir.path() + "'\n");
    } else {
        EXPECT_EQ(run.output,
                  Shown("Z80 Basic Loader  ERROR: Cannot Open File '" + dir.path() + "'\n"));
    }
    EXPECT_EQ(sim.Received(), "");
}

TEST_P(FerroltUpload, StartUpFailuresGiveTheirStatusAndSendNothing) {
    TempDir dir;
    const std::string file = dir.Write("print.bas", "10 PRINT 1\n");
    const std::string banner = "Z80 Basic Loader  ";
    SimTarget sim(SimOptions());

    RunResult none = Run({}, sim);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.output,
              Shown(banner + "\n ERROR! Too Few Arguments\n Usage: Ferrolt {filename} {port}\n"));

    const std::string longName = dir.path() + "/" + std::string(80, 'n') + ".bas";
    RunResult tooLong = Run({longName, "{port}"}, sim);
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.output,
              Shown(banner + "\n ERROR! File name too long (at most 79 characters)\n"));

    // A port argument whose name cannot fit: a five-digit COM number on
    // Windows, a device path of 80 characters or more here.
    const std::string bigPort =
        GetParam() == Host::Native ? "/dev/" + std::string(80, 'p') : std::string("12345");
    const std::string portMost = GetParam() == Host::Native ? "79" : "11";
    RunResult badPort = Run({file, bigPort}, sim);
    EXPECT_EQ(badPort.status, 1);
    EXPECT_EQ(badPort.output,
              Shown(banner + "\n ERROR! Port '" + bigPort + "' gives a name too long (at most " +
                    portMost + " characters)\n"));

    const std::string missing = dir.path() + "/missing.bas";
    RunResult noFile = Run({missing, "{port}"}, sim);
    EXPECT_EQ(noFile.status, 255);
    EXPECT_EQ(noFile.output, Shown(banner + "ERROR: Cannot Open File '" + missing + "'\n"));

    // A port that is not there: natively a device path, on Windows COM99.
    const std::string noPort = GetParam() == Host::Native ? dir.path() + "/tty" : "99";
    RunResult closed = Run({file, noPort}, sim);
    EXPECT_EQ(closed.status, 2);
    EXPECT_NE(closed.output.find(Shown("\nOpenCom failed with error ")), std::string::npos)
        << closed.output;
    if (GetParam() == Host::Native) {
        EXPECT_EQ(closed.output, banner + "FILE: '" + file + "'  PORT: " + noPort +
                                     "\nOpenCom failed with error 2.\n");
    }

    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(Hosts, FerroltUpload, ::testing::Values(Host::Native, Host::Wine),
                         [](const ::testing::TestParamInfo<Host>& info) {
                             return HostName(info.param);
                         });
