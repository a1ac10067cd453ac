// Torvane, the real executable, against the simulated target: natively and,
// as the Windows build, under Wine. One set of cases runs on both hosts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

const std::string kExtended = ":020000040000FA";
const std::string kEnd = ":00000001FF";
const std::string kLineSettings = "speed=9600 data=8 stop=2 parity=none raw=yes";
const std::string kNoResponse = "\n ERROR! No Response from target";
const std::string kDone = "\n Done...\n";

// `record` with its checksum made wrong: the target answers it with "E".
std::string WithBadChecksum(std::string record) {
    char& last = record.back();
    last = last == '0' ? '1' : '0';
    return record;
}

// The console line for one record, then `verdict` in the verdict's place.
std::string RecordLine(const std::string& record, const std::string& verdict) {
    return RecordLineOf(ProgramNamed("Torvane"), record, verdict);
}

// The writes `records` go out in, one after another: ":" on its own, the
// rest of the record in one piece.
std::vector<std::string> RecordWrites(const std::vector<std::string>& records) {
    std::vector<std::string> writes;
    for (const auto& record : records) {
        writes.push_back(":");
        writes.push_back(record.substr(1));
    }
    return writes;
}

// Checks that the target read `writes` as whole writes: each chunk it read is
// one write or, when it read late on a loaded machine, several consecutive
// ones joined; a write is never split across chunks. Fails the test with the
// chunks when not.
void ExpectReadAsWholeWrites(const SimTarget& sim, const std::vector<std::string>& writes) {
    std::vector<std::string> chunks;
    for (const auto& chunk : sim.ReceivedChunks()) {
        chunks.push_back(chunk.text);
    }
    std::size_t next = 0;
    bool whole = true;
    for (const auto& chunk : chunks) {
        std::string joined;
        while (next < writes.size() && joined.size() < chunk.size()) {
            joined += writes[next++];
        }
        whole = whole && joined == chunk;
    }
    EXPECT_TRUE(whole && next == writes.size()) << ::testing::PrintToString(chunks);
}

std::string Opened(const std::string& file, const std::string& port) {
    return "Z80 System Loader\nFILE: '" + file + "'\nCom Port(1) " + port + " open at 9600 baud.\n";
}

class TorvaneUpload : public HostTest<Host> {
  protected:
    RunResult Run(const std::vector<std::string>& args, const SimTarget& sim) {
        return HostTest::Run("Torvane", args, sim);
    }

    // Loads `file` into `sim` through the port that reaches it; the run is
    // over, and `sim` stopped with every byte sent taken in, on return.
    RunResult Upload(const std::string& file, SimTarget& sim) {
        RunResult run = Run({file, "{port}"}, sim);
        sim.Stop();
        port_ = ReportedPort(run.output);
        if (native()) {
            EXPECT_EQ(port_, sim.port());
        } else {
            EXPECT_TRUE(std::regex_match(port_, std::regex("//\\./COM1[0-9][0-9]"))) << port_;
        }
        return run;
    }

    // The console text up to the port line, then up to the handshake's end,
    // for the last Upload.
    std::string Opened(const std::string& file) const {
        return ::Opened(file, port_);
    }
    std::string Ready(const std::string& file) const {
        return Opened(file) + "\n Target Ready\n";
    }

  private:
    std::string port_;
};

}  // namespace

TEST_P(TorvaneUpload, SendsEachRecordAfterItsColonInOneWriteAndEndsWithBang) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 16));
    const std::string r2 = DataRecord(0x8010, PatternBytes(2, 16));
    const std::string r3 = DataRecord(0x8020, PatternBytes(3, 5));
    // CR LF lines and an empty line, as DOS editors leave them.
    const std::string file = dir.Write("prog.hex", kExtended + "\r\n" + r1 + "\r\n\r\n" + r2 +
                                                       "\r\n" + r3 + "\r\n" + kEnd + "\r\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Ready(file) + RecordLine(kExtended, "*") + RecordLine(r1, "*") +
                                RecordLine(r2, "*") + RecordLine(r3, "*") + kDone));
    EXPECT_EQ(sim.Received(), "@" + kExtended + r1 + r2 + r3 + "!");
    std::vector<std::string> writes = {"@"};
    for (const auto& write : RecordWrites({kExtended, r1, r2, r3})) {
        writes.push_back(write);
    }
    writes.push_back("!");
    ExpectReadAsWholeWrites(sim, writes);
    EXPECT_EQ(sim.LineSettings(), kLineSettings);

    auto memory = sim.Memory();
    ASSERT_EQ(memory.size(), 65536u);
    const auto first = PatternBytes(1, 16);
    const auto last = PatternBytes(3, 5);
    for (unsigned i = 0; i < 16; ++i) EXPECT_EQ(memory[0x8000 + i], first[i]) << i;
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(memory[0x8020 + i], last[i]) << i;
}

TEST_P(TorvaneUpload, LongestAndLowerCaseRecordsGoOutWholeAndCtrlZEndsTheFile) {
    TempDir dir;
    const std::string longest = DataRecord(0x1000, PatternBytes(9, 255));
    std::string lower = DataRecord(0x2000, PatternBytes(4, 4));
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    // A Ctrl-Z ends the file as text mode reads it: what follows is never read.
    const std::string file = dir.Write("p.hex", longest + "\n" + lower + "\n\x1A" + "junk\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              Shown(Ready(file) + RecordLine(longest, "*") + RecordLine(lower, "*") + kDone));
    EXPECT_EQ(sim.Received(), "@" + longest + lower + "!");
    auto memory = sim.Memory();
    EXPECT_EQ(memory[0x1000], PatternBytes(9, 255)[0]);
    EXPECT_EQ(memory[0x1000 + 254], PatternBytes(9, 255)[254]);
    EXPECT_EQ(memory[0x2003], PatternBytes(4, 4)[3]);
}

TEST_P(TorvaneUpload, EndRecordEndsTheUploadAndLaterLinesAreNeverRead) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\nnot a record at all\n");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Ready(file) + RecordLine(r1, "*") + kDone));
    EXPECT_EQ(sim.Received(), "@" + r1 + "!");
}

TEST_P(TorvaneUpload, RefusedRecordsDoNotStopTheUploadButSetStatusFive) {
    TempDir dir;
    const std::string bad = WithBadChecksum(DataRecord(0x0200, PatternBytes(6, 8)));
    const std::string questioned = DataRecord(0x0208, PatternBytes(7, 8));
    const std::string good = DataRecord(0x0210, PatternBytes(8, 8));
    const std::string file =
        dir.Write("p.hex", bad + "\n" + questioned + "\n" + good + "\n" + kEnd + "\n");
    // The second record is answered "?" after some chatter.
    SimTarget sim({"--record-answer", "2=ok?"});

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.output, Shown(Ready(file) + RecordLine(bad, "E") + RecordLine(questioned, "?") +
                                RecordLine(good, "*") +
                                " WARNING! 2 record(s) not accepted by the target\n" + kDone));
    EXPECT_EQ(sim.Received(), "@" + bad + questioned + good + "!");
    auto memory = sim.Memory();
    EXPECT_EQ(memory[0x0200], 0);  // refused: never stored
    EXPECT_EQ(memory[0x0210], PatternBytes(8, 8)[0]);

    // A refused record gives the monitor a second before the next colon: the
    // next colon is read no sooner than a second after the answer to the
    // refused record was sent, however late the target reads.
    ExpectReadAsWholeWrites(
        sim, {"@", ":", bad.substr(1), ":", questioned.substr(1), ":", good.substr(1), "!"});
    std::vector<int64_t> answers;  // when each answer to a record was sent
    std::vector<int64_t> colons;   // when each colon was read
    for (const auto& line : sim.Transcript()) {
        if (line.kind == 'S' && colons.size() > answers.size()) {
            answers.push_back(line.timeUs);
        } else if (line.kind == 'R' && line.text.find(':') != std::string::npos) {
            colons.push_back(line.timeUs);
        }
    }
    ASSERT_EQ(colons.size(), 3u);
    ASSERT_GE(answers.size(), 2u);
    EXPECT_GE(colons[1] - answers[0], 1000000);
    EXPECT_GE(colons[2] - answers[1], 1000000);
}

TEST_P(TorvaneUpload, EightBytesWithoutVerdictAreMarkedAndTheUploadGoesOn) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0400, PatternBytes(1, 4));
    const std::string r2 = DataRecord(0x0404, PatternBytes(2, 4));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2 + "\n" + kEnd + "\n");
    // Only eight bytes are searched: the "*" after them is drained, not taken.
    SimTarget sim({"--record-answer", "1=abcdefgh*"});

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.output,
              Shown(Ready(file) + RecordLine(r1, " ERROR! No Verdict") + RecordLine(r2, "*") +
                    " WARNING! 1 record(s) not accepted by the target\n" + kDone));
    EXPECT_EQ(sim.Received(), "@" + r1 + r2 + "!");
}

TEST_P(TorvaneUpload, SilenceAfterARecordEndsWithStatusFourAndNoBang) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string r2 = DataRecord(0x0108, PatternBytes(6, 8));
    const std::string r3 = DataRecord(0x0110, PatternBytes(7, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2 + "\n" + r3 + "\n" + kEnd + "\n");
    SimTarget sim({"--silent-from-record", "2"});

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 4);
    const std::string r2Line = RecordLine(r2, "");
    EXPECT_EQ(run.output, Shown(Ready(file) + RecordLine(r1, "*") +
                                r2Line.substr(0, r2Line.size() - 1) + kNoResponse));
    EXPECT_EQ(sim.Received(), "@" + r1 + r2);
}

TEST_P(TorvaneUpload, EmptyFileStillWakesTheTargetAndEndsTheUpload) {
    TempDir dir;
    const std::string file = dir.Write("empty.hex", "");
    SimTarget sim;

    RunResult run = Upload(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(Ready(file) + kDone));
    EXPECT_EQ(sim.Received(), "@!");
    EXPECT_EQ(sim.LineSettings(), kLineSettings);
}

TEST_P(TorvaneUpload, UnsoundOrUnreadableFileIsRefusedBeforeThePortOpens) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string shortened = DataRecord(0x0108, PatternBytes(6, 8)).substr(0, 20);
    const std::string file = dir.Write("p.hex", r1 + "\n\n" + shortened + "\n" + kEnd + "\n");
    const std::string text = dir.Write("notes.txt", r1 + "\nLoad this at 0100\n");
    SimTarget sim;

    RunResult bad = Run({file, "{port}"}, sim);
    EXPECT_EQ(bad.status, 255);
    EXPECT_EQ(bad.output,
              Shown("Z80 System Loader\nFILE: '" + file + "'\nERROR: Line 3 of '" + file +
                    "' does not have the length its length field gives; nothing "
                    "was sent\n"));

    RunResult notHex = Run({text, "{port}"}, sim);
    EXPECT_EQ(notHex.status, 255);
    EXPECT_EQ(notHex.output, Shown("Z80 System Loader\nFILE: '" + text + "'\nERROR: Line 2 of '" +
                                   text + "' does not start with ':'; nothing was sent\n"));

    // A directory is refused by what it is, before it is opened.
    RunResult unreadable = Run({dir.path(), "{port}"}, sim);
    EXPECT_EQ(unreadable.status, 255);
    EXPECT_EQ(unreadable.output, Shown("Z80 System Loader\nERROR: Cannot Open File '" + dir.path() +
                                       "': is a folder, not a file\n"));

    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
    EXPECT_NE(sim.LineSettings(), kLineSettings);  // never opened
}

TEST_P(TorvaneUpload, ArgumentsThatCannotWorkAreRefused) {
    TempDir dir;
    const std::string file = dir.Write("p.hex", kEnd + "\n");
    const std::string banner = "Z80 System Loader\n";
    SimTarget sim;

    RunResult none = Run({}, sim);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.output,
              Shown(banner + "\n ERROR! Too Few Arguments\n Usage: Torvane {filename} {port}\n"));

    const std::string longName = dir.path() + "/" + std::string(80, 'n') + ".hex";
    RunResult tooLong = Run({longName, "{port}"}, sim);
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.output,
              Shown(banner + "\n ERROR! File name too long (at most 79 characters)\n"));

    // A port whose name cannot fit: five digits on Windows ("//./COM12345"),
    // a device path of 80 characters or more on a POSIX host.
    const std::string bigPort = native() ? "/dev/" + std::string(80, 'p') : std::string("12345");
    RunResult badPort = Run({file, bigPort}, sim);
    EXPECT_EQ(badPort.status, 1);
    EXPECT_EQ(badPort.output,
              Shown(banner + "\n ERROR! Port '" + bigPort + "' does not fit a port name (at most " +
                    (native() ? "79" : "11") + " characters)\n"));

    const std::string missing = dir.path() + "/missing.hex";
    RunResult noFile = Run({missing, "{port}"}, sim);
    EXPECT_EQ(noFile.status, 255);
    EXPECT_EQ(noFile.output, Shown(banner + "ERROR: Cannot Open File '" + missing + "'\n"));

    // Ports that are not there: COM99, and COM0 from an argument that is not
    // a number (COM0 names no port on either host). Both fail as "not found".
    for (const char* port : {"99", "abc"}) {
        RunResult closed = Run({file, port}, sim);
        EXPECT_EQ(closed.status, 2) << port;
        EXPECT_EQ(closed.output,
                  Shown(banner + "FILE: '" + file + "'\nOpenCom (1) failed with error 2.\n"))
            << port;
    }

    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

TEST_P(TorvaneUpload, RetryResendsARefusedRecordWhileTriesRemain) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(1, 8));
    const std::string r2 = DataRecord(0x0108, PatternBytes(2, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2 + "\n" + kEnd + "\n");

    // Refused once, accepted when sent again.
    SimTarget once({"--record-answer", "1=?"});
    RunResult run = HostTest::Run("Torvane", {"--retry", "2", file, "{port}"}, once);
    once.Stop();
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find(
                  Shown(RecordLine(r1, "?") + RecordLine(r1, "*") + RecordLine(r2, "*") + kDone)),
              std::string::npos)
        << run.output;
    EXPECT_EQ(once.Received(), "@" + r1 + r1 + r2 + "!");
    EXPECT_TRUE(HoldsMatch(run.errors, "2 accepted, 0 not accepted, 1 resent")) << run.errors;

    // Refused on every try: the upload goes on without it.
    SimTarget always({"--record-answer", "1=?", "--record-answer", "2=?"});
    run = HostTest::Run("Torvane", {"--retry", "1", file, "{port}"}, always);
    always.Stop();
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(always.Received(), "@" + r1 + r1 + r2 + "!");
    EXPECT_TRUE(HoldsMatch(run.errors, "1 accepted, 1 not accepted, 1 resent")) << run.errors;
}

TEST_P(TorvaneUpload, AnUploadCutShortContinuesFromTheLineItNames) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 8));
    const std::string r2 = DataRecord(0x8008, PatternBytes(2, 8));
    const std::string r3 = DataRecord(0x8010, PatternBytes(3, 8));
    const std::string file =
        dir.Write("p.hex", kExtended + "\n" + r1 + "\n\n" + r2 + "\n" + r3 + "\n" + kEnd + "\n");
    const std::string image = dir.path() + "/memory.bin";
    SimTarget first({"--silent-from-record", "3", "--memory-out", image});
    RunResult cut = Upload(file, first);
    EXPECT_EQ(cut.status, 4);
    std::smatch command;
    ASSERT_TRUE(std::regex_search(
        cut.errors, command, std::regex("To continue: Torvane --from-line (\\d+) (\\S+) \\S+")))
        << cut.errors;
    EXPECT_EQ(command[1], "4");  // r2, after an empty line
    EXPECT_EQ(command[2], file);

    // The extended address in force there goes first; the rest completes
    // the program in memory.
    SimTarget second({"--memory-in", image});
    RunResult rest = HostTest::Run("Torvane", {"--from-line", command[1], file, "{port}"}, second);
    EXPECT_EQ(rest.status, 0);
    EXPECT_EQ(second.Received(), "@" + kExtended + r2 + r3 + "!");
    const auto memory = second.Memory();
    EXPECT_EQ(memory[0x8000], PatternBytes(1, 8)[0]);
    EXPECT_EQ(memory[0x8008], PatternBytes(2, 8)[0]);
    EXPECT_EQ(memory[0x8017], PatternBytes(3, 8)[7]);
}

TEST_P(TorvaneUpload, BadOptionValuesAreRefusedWithNothingOpened) {
    TempDir dir;
    const std::string file = dir.Write("p.hex", DataRecord(0, PatternBytes(1, 4)) + "\n" + kEnd);
    SimTarget sim;
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--retry", "10"},
                                                    {"--retry", "x"},
                                                    {"--from-line", "0"},
                                                    {"--from-line", "2"}}) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {file, "{port}"});
        RunResult run = Run(args, sim);
        EXPECT_EQ(run.status, 1) << options[0] << " " << options[1];
        EXPECT_EQ(run.output.find("Com Port"), std::string::npos) << run.output;
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(Hosts, TorvaneUpload, EveryHost(), HostCaseName);

// The port argument itself, where only Windows has COM ports to name.
class TorvaneUnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HostAvailable(Host::Wine)) {
            GTEST_SKIP() << HostUnavailableReason(Host::Wine);
        }
    }
};

TEST_F(TorvaneUnderWine, WithoutAPortArgumentComTenIsOpened) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\n");
    SimTarget sim;

    RunResult run = RunUnderWineAtCom(10, "Torvane", {file}, sim);
    sim.Stop();

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, ForHost(Host::Wine, Opened(file, "//./COM10") + "\n Target Ready\n" +
                                                  RecordLine(r1, "*") + kDone));
    EXPECT_EQ(sim.Received(), "@" + r1 + "!");
    EXPECT_EQ(sim.LineSettings(), kLineSettings);
}

TEST_F(TorvaneUnderWine, SingleDigitPortsOpenByTheirPlainName) {
    TempDir dir;
    const std::string file = dir.Write("p.hex", kEnd + "\n");
    SimTarget sim;

    RunResult run = RunUnderWineAtCom(3, "Torvane", {file, "{port}"}, sim);
    sim.Stop();

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, ForHost(Host::Wine, Opened(file, "COM3") + "\n Target Ready\n" + kDone));
    EXPECT_EQ(sim.Received(), "@!");
}
