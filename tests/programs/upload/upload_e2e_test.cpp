// The uploaders, the real executables, against the simulated target: one set
// of cases with a row per uploader and host (Torvane also as the Windows build
// under Wine), the row giving what differs between them.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

const std::string kExtended = ":020000040000FA";
const std::string kEnd = ":00000001FF";
const std::string kLineSettings = "speed=9600 data=8 stop=2 parity=none raw=yes";
const std::string kBanner = "Z80 System Loader\n";

// What one uploader does its own way on one host; texts as printed natively.
struct Uploader {
    Host host;
    std::string name;            // "Torvanex" or "Torvane"
    bool inOneWrite;             // a record's ":", then the rest in one write;
                                 // else a character at a time, 3 ms apart
    std::string end;             // what follows the last record on the wire
    std::string ready;           // the port line ("{port}") and the handshake's end
    std::string notAccepted;     // the warning for "{n}" records not accepted
    std::string done;            // how a finished upload's output ends
    std::string chatterVerdict;  // shown for an answer of eight other bytes, then "*"
    std::string usage;           // the usage line after too few arguments
    std::string bigPort;         // a port argument too long for a port name
    std::string bigPortLine;     // the line refusing it
};

const std::vector<Uploader>& Uploaders() {
    const std::string devicePort = "/dev/" + std::string(80, 'p');
    const std::string torvaneReady = "Com Port(1) {port} open at 9600 baud.\n\n Target Ready\n";
    const std::string torvaneWarning = " WARNING! {n} record(s) not accepted by the target\n";
    const std::string torvaneUsage = " Usage: Torvane {filename} {port}\n";
    const std::string bigPortLine = "\n ERROR! Port '{big}' does not fit a port name (at most ";
    static const std::vector<Uploader> rows = {
        {Host::Native, "Torvanex", false, "",
         "Serial Port {port} open at 9600 Baud\n Target Ready\n",
         " WARNING! {n} record(s) refused by the target\n", "Done\r\n", "*",
         " Usage: ./Torvanex {filename} {port}\n", devicePort,
         "\n ERROR! Port name too long (at most 79 characters)\n"},
        {Host::Native, "Torvane", true, "!", torvaneReady, torvaneWarning, "\n Done...\n",
         " ERROR! No Verdict", torvaneUsage, devicePort, bigPortLine + "79 characters)\n"},
        // On Windows the port is a COM number: five digits cannot fit "//./COMnnnn".
        {Host::Wine, "Torvane", true, "!", torvaneReady, torvaneWarning, "\n Done...\n",
         " ERROR! No Verdict", torvaneUsage, "12345", bigPortLine + "11 characters)\n"},
    };
    return rows;
}

// Shows a row by its uploader and host in test names and failure messages.
void PrintTo(const Uploader& row, std::ostream* out) {
    *out << row.name << " " << HostName(row.host);
}
std::string UploaderName(const ::testing::TestParamInfo<Uploader>& info) {
    return info.param.name + HostName(info.param.host);
}

class Upload : public HostTest<Uploader> {
  protected:
    const Uploader& row() const {
        return GetParam();
    }
    RunResult Run(const std::vector<std::string>& args, const SimTarget& sim) const {
        return HostTest::Run(row().name, args, sim);
    }
    // Loads `file` into `sim`, `options` first. On return the run is over,
    // `sim` stopped with every byte sent taken in, and the port the output
    // reports checked and replaced by "{port}".
    RunResult Load(const std::string& file, SimTarget& sim,
                   std::vector<std::string> options = {}) const {
        options.insert(options.end(), {file, "{port}"});
        RunResult run = Run(options, sim);
        sim.Stop();
        MarkReportedPort(host(), sim, &run.output);
        return run;
    }

    // The output up to the handshake's end, the port shown as "{port}".
    std::string Ready(const std::string& file) const {
        return kBanner + "FILE: '" + file + "'\n" + row().ready;
    }
    // The console line for one record, then `verdict` in the verdict's place.
    std::string Line(const std::string& record, const std::string& verdict) const {
        return RecordLineOf(ProgramNamed(row().name), record, verdict);
    }
    // How the output of an upload that ran to its end ends.
    std::string Done(int notAccepted = 0) const {
        const std::string n = std::to_string(notAccepted);
        return (notAccepted > 0 ? Filled(row().notAccepted, {{"{n}", n}}) : "") + row().done;
    }
    // The output of an upload of `file` whose `records` were all accepted.
    std::string Accepted(const std::string& file, const std::vector<std::string>& records) const {
        std::string lines;
        for (const auto& record : records) lines += Line(record, "*");
        return Shown(Ready(file) + lines + Done());
    }
    // The bytes the target receives for `records`, from the wake-up on.
    std::string Wire(const std::vector<std::string>& records) const {
        std::string wire = "@";
        for (const auto& record : records) wire += record;
        return wire + row().end;
    }
    // Checks that `records` went out as this uploader sends them.
    void ExpectSentAsPaced(const SimTarget& sim, const std::vector<std::string>& records) const {
        if (!row().inOneWrite) {
            ExpectPacedByCharacter(sim, records.size());
            return;
        }
        std::vector<std::string> writes = {"@"};
        for (const auto& record : records) {
            writes.insert(writes.end(), {":", record.substr(1)});
        }
        writes.push_back(row().end);
        ExpectReadAsWholeWrites(sim, writes);
    }
};

}  // namespace

TEST_P(Upload, LoadsEveryRecordPacedAndStoresTheData) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 16));
    const std::string r2 = DataRecord(0x8010, PatternBytes(2, 16));
    const std::string r3 = DataRecord(0x8020, PatternBytes(3, 5));
    // CR LF lines and an empty line, as DOS editors leave them.
    const std::string file = dir.Write("prog.hex", kExtended + "\r\n" + r1 + "\r\n\r\n" + r2 +
                                                       "\r\n" + r3 + "\r\n" + kEnd + "\r\n");
    SimTarget sim;

    RunResult run = Load(file, sim);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Accepted(file, {kExtended, r1, r2, r3}));
    EXPECT_EQ(sim.Received(), Wire({kExtended, r1, r2, r3}));
    ExpectSentAsPaced(sim, {kExtended, r1, r2, r3});
    EXPECT_EQ(sim.LineSettings(), kLineSettings);

    auto memory = sim.Memory();
    ASSERT_EQ(memory.size(), 65536u);
    const auto first = PatternBytes(1, 16);
    const auto last = PatternBytes(3, 5);
    for (unsigned i = 0; i < 16; ++i) EXPECT_EQ(memory[0x8000 + i], first[i]) << i;
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(memory[0x8020 + i], last[i]) << i;
}

TEST_P(Upload, TheUploadEndsWhereTheFileDoes) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string r2 = DataRecord(0x0108, PatternBytes(6, 8));
    const std::string longest = DataRecord(0x1000, PatternBytes(9, 255));  // over any 80-byte read
    std::string lower = DataRecord(0x2000, PatternBytes(4, 4));
    for (char& c : lower) c = static_cast<char>(std::tolower(c));
    const std::vector<std::pair<std::string, std::vector<std::string>>> files = {
        {r1 + "\n" + kEnd + "\nnot a record at all\n", {r1}},  // nothing read after the end
        {r1 + "\n" + r2, {r1, r2}},  // no end record: sent to its last line
        {"", {}},                    // an empty file still wakes the target
        // A Ctrl-Z ends the file as text mode reads it: what follows is never read.
        {longest + "\n" + lower + "\n\x1A" + "junk\n", {longest, lower}},
    };
    for (const auto& [text, records] : files) {
        const std::string file = dir.Write("p" + std::to_string(records.size()) + ".hex", text);
        SimTarget sim;
        RunResult run = Load(file, sim);
        EXPECT_EQ(run.status, 0) << file;
        EXPECT_EQ(run.output, Accepted(file, records));
        EXPECT_EQ(sim.Received(), Wire(records));
    }
}

// Only the prompt opens the upload: eighty bytes without one end it at the
// wake-up, however long the text before a prompt that does come.
TEST_P(Upload, APromptSplitAfterChatterIsReadyButEightyBytesWithoutOneAreNot) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\n");
    for (const std::string& prompt :
         {std::string("\\r\\nBoot ROM 2.1\\r\\n$$$"), std::string(90, '#') + "$$$"}) {
        SimTarget sim({"--split-prompt", "--prompt", prompt});
        RunResult run = Load(file, sim);
        EXPECT_EQ(run.status, 0) << prompt;
        EXPECT_EQ(run.output, Accepted(file, {r1})) << prompt;
    }
    SimTarget sim({"--split-prompt", "--prompt", std::string(90, '#')});
    RunResult run = Load(file, sim);
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(EndsWith(run.output, Shown("\n ERROR! No Response from target"))) << run.output;
    EXPECT_EQ(sim.Received(), "@");
    EXPECT_NE(run.errors.find("never came"), std::string::npos) << run.errors;
}

TEST_P(Upload, RefusedRecordsDoNotStopTheUploadButSetStatusFive) {
    TempDir dir;
    std::string bad = DataRecord(0x0200, PatternBytes(6, 8));
    bad.back() = bad.back() == '0' ? '1' : '0';  // a wrong checksum, answered "E"
    const std::string questioned = DataRecord(0x0208, PatternBytes(7, 8));
    const std::string good = DataRecord(0x0210, PatternBytes(8, 8));
    const std::string file =
        dir.Write("p.hex", bad + "\n" + questioned + "\n" + good + "\n" + kEnd + "\n");
    // The second record is answered "?" after some chatter.
    SimTarget sim({"--record-answer", "2=ok?"});

    RunResult run = Load(file, sim);

    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(run.output, Shown(Ready(file) + Line(bad, "E") + Line(questioned, "?") +
                                Line(good, "*") + Done(2)));
    EXPECT_EQ(sim.Received(), Wire({bad, questioned, good}));
    ExpectSentAsPaced(sim, {bad, questioned, good});
    auto memory = sim.Memory();
    EXPECT_EQ(memory[0x0200], 0);  // refused: never stored
    EXPECT_EQ(memory[0x0210], PatternBytes(8, 8)[0]);

    // A refused record gives the monitor a second before the next colon: the
    // next colon is read no sooner than a second after the answer to the
    // refused record was sent, however late the target reads.
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

// One uploader awaits the verdict past other bytes, the other searches only
// the first eight of the answer (the "*" after them is drained, not taken).
TEST_P(Upload, AVerdictAfterEightOtherBytesIsTakenOrMissedAsTheUploaderReads) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0400, PatternBytes(1, 4));
    const std::string r2 = DataRecord(0x0404, PatternBytes(2, 4));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2 + "\n" + kEnd + "\n");
    SimTarget sim({"--record-answer", "1=abcdefgh*"});

    RunResult run = Load(file, sim);

    const bool taken = row().chatterVerdict == "*";
    EXPECT_EQ(run.status, taken ? 0 : 5);
    EXPECT_EQ(run.output, Shown(Ready(file) + Line(r1, row().chatterVerdict) + Line(r2, "*") +
                                Done(taken ? 0 : 1)));
    EXPECT_EQ(sim.Received(), Wire({r1, r2}));
}

TEST_P(Upload, ArgumentsAndFilesThatCannotWorkAreRefusedBeforeThePortOpens) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string shortened = DataRecord(0x0108, PatternBytes(6, 8)).substr(0, 20);
    const std::string bad = dir.Write("bad.hex", r1 + "\n\n" + shortened + "\n" + kEnd + "\n");
    const std::string text = dir.Write("notes.txt", r1 + "\nLoad this at 0100\n");
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\n");
    const std::string longName = dir.path() + "/" + std::string(80, 'n') + ".hex";
    const std::string missing = dir.path() + "/missing.hex";
    const ProgramRow& program = ProgramNamed(row().name);
    const int fileStatus = program.fileStatus;
    struct Refusal {
        std::vector<std::string> args;
        int status;
        std::string output;  // after the banner
    };
    const std::vector<Refusal> refusals = {
        {{}, 1, "\n ERROR! Too Few Arguments\n" + row().usage},
        {{longName, "{port}"}, 1, "\n ERROR! File name too long (at most 79 characters)\n"},
        {{file, row().bigPort}, 1, Filled(row().bigPortLine, {{"{big}", row().bigPort}})},
        {{missing, "{port}"}, fileStatus, "ERROR: Cannot Open File '" + missing + "'\n"},
        // A directory is refused by what it is, before it is opened.
        {{dir.path(), "{port}"},
         fileStatus,
         "ERROR: Cannot Open File '" + dir.path() + "': is a folder, not a file\n"},
        {{bad, "{port}"},
         fileStatus,
         "FILE: '" + bad + "'\nERROR: Line 3 of '" + bad +
             "' does not have the length its length field gives; nothing was sent\n"},
        {{text, "{port}"},
         fileStatus,
         "FILE: '" + text + "'\nERROR: Line 2 of '" + text +
             "' does not start with ':'; nothing was sent\n"},
        // Ports that are not there: COM99, and COM0 from an argument that is
        // not a number (COM0 names no port on either host); natively, paths
        // that are not there. All fail as "not found".
        {{file, "99"},
         program.portStatus,
         "FILE: '" + file + "'\n" + OpenFailure(program, "99", 2)},
        {{file, "abc"},
         program.portStatus,
         "FILE: '" + file + "'\n" + OpenFailure(program, "abc", 2)},
    };
    SimTarget sim;
    for (const auto& refusal : refusals) {
        RunResult run = Run(refusal.args, sim);
        EXPECT_EQ(run.status, refusal.status) << refusal.output;
        EXPECT_EQ(run.output, Shown(kBanner + refusal.output));
    }
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--retry", "10"}, {"--retry", "x"}, {"--from-line", "0"}, {"--from-line", "2"}}) {
        RunResult run = Run({option, value, file, "{port}"}, sim);
        EXPECT_EQ(run.status, 1) << option << " " << value;
        EXPECT_EQ(run.output.find("open at"), std::string::npos) << run.output;
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
    EXPECT_NE(sim.LineSettings(), kLineSettings);  // never opened
}

TEST_P(Upload, RetryResendsARefusedRecordWhileTriesRemain) {
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(1, 8));
    const std::string r2 = DataRecord(0x0108, PatternBytes(2, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + r2 + "\n" + kEnd + "\n");

    // Refused once, accepted when sent again.
    SimTarget once({"--record-answer", "1=?"});
    RunResult run = Load(file, once, {"--retry", "2"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(EndsWith(run.output, Shown(Line(r1, "?") + Line(r1, "*") + Line(r2, "*") + Done())))
        << run.output;
    EXPECT_EQ(once.Received(), Wire({r1, r1, r2}));
    EXPECT_TRUE(HoldsMatch(run.errors, "2 accepted, 0 not accepted, 1 resent")) << run.errors;

    // Refused on every try: the upload goes on without it.
    SimTarget always({"--record-answer", "1=?", "--record-answer", "2=?"});
    run = Load(file, always, {"--retry", "1"});
    EXPECT_EQ(run.status, 5);
    EXPECT_EQ(always.Received(), Wire({r1, r1, r2}));
    EXPECT_TRUE(HoldsMatch(run.errors, "1 accepted, 1 not accepted, 1 resent")) << run.errors;
}

TEST_P(Upload, AnUploadCutShortContinuesFromTheLineItNames) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 8));
    const std::string r2 = DataRecord(0x8008, PatternBytes(2, 8));
    const std::string r3 = DataRecord(0x8010, PatternBytes(3, 8));
    const std::string file =
        dir.Write("p.hex", kExtended + "\n" + r1 + "\n\n" + r2 + "\n" + r3 + "\n" + kEnd + "\n");
    const std::string image = dir.path() + "/memory.bin";
    SimTarget first({"--silent-from-record", "3", "--memory-out", image});
    RunResult cut = Load(file, first, {"--retry", "3"});  // r2 awaited in vain, 5 s a wait
    EXPECT_EQ(cut.status, 4);
    std::string r2Cut = Line(r2, "");
    r2Cut.erase(r2Cut.find_last_not_of("\r\n") + 1);
    EXPECT_EQ(cut.output, Shown(Ready(file) + Line(kExtended, "*") + Line(r1, "*") + r2Cut +
                                "\n ERROR! No Response from target"));
    EXPECT_EQ(first.Received(), "@" + kExtended + r1 + r2);  // no end mark either
    // The command keeps the options given, and names the port as it was given.
    std::smatch command;
    ASSERT_TRUE(std::regex_search(cut.errors, command,
                                  std::regex("To continue: " + row().name +
                                             " --retry 3 --from-line (\\d+) (\\S+) \\S+\\s*$")))
        << cut.errors;
    EXPECT_EQ(command[1], "4");  // r2, after an empty line
    EXPECT_EQ(command[2], file);

    // The extended address in force there goes first; the rest completes
    // the program in memory.
    SimTarget second({"--memory-in", image});
    RunResult rest = Load(file, second, {"--from-line", command[1]});
    EXPECT_EQ(rest.status, 0);
    EXPECT_EQ(second.Received(), Wire({kExtended, r2, r3}));
    const auto memory = second.Memory();
    EXPECT_EQ(memory[0x8000], PatternBytes(1, 8)[0]);
    EXPECT_EQ(memory[0x8008], PatternBytes(2, 8)[0]);
    EXPECT_EQ(memory[0x8017], PatternBytes(3, 8)[7]);
}

INSTANTIATE_TEST_SUITE_P(Uploaders, Upload, ::testing::ValuesIn(Uploaders()), UploaderName);

// Torvanex awaits a verdict past other bytes, but a NUL is the line at rest:
// eight NULs are eight silent waits at once, which end the upload.
TEST(TorvanexUpload, EightNulsForAVerdictCutTheUploadShort) {
    TempDir dir;
    const std::string r1 = DataRecord(0x8000, PatternBytes(1, 8));
    const std::string r2 = DataRecord(0x8008, PatternBytes(2, 8));
    const std::string file =
        dir.Write("p.hex", kExtended + "\n" + r1 + "\n" + r2 + "\n" + kEnd + "\n");
    SimTarget sim({"--record-answer", "3=\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"});

    RunResult cut = RunProgram(NativeExe("Torvanex"), {file, sim.port()});

    EXPECT_EQ(cut.status, 4);
    EXPECT_TRUE(EndsWith(cut.errors,
                         "  line 3, load address 8008: no verdict\n"
                         "To continue: Torvanex --from-line 3 " +
                             file + " " + sim.port() + "\n"))
        << cut.errors;
    EXPECT_EQ(sim.Received(), "@" + kExtended + r1 + r2);
}

// The port argument itself, where only Windows has COM ports to name.
TEST(TorvaneUnderWine, WithoutAPortArgumentComTenOpensAndSingleDigitsByTheirPlainName) {
    if (!HostAvailable(Host::Wine)) {
        GTEST_SKIP() << HostUnavailableReason(Host::Wine);
    }
    TempDir dir;
    const std::string r1 = DataRecord(0x0100, PatternBytes(5, 8));
    const std::string file = dir.Write("p.hex", r1 + "\n" + kEnd + "\n");
    const std::string record = RecordLineOf(ProgramNamed("Torvane"), r1, "*");
    for (const auto& [com, args, name] :
         std::vector<std::tuple<int, std::vector<std::string>, std::string>>{
             {10, {file}, "//./COM10"}, {3, {file, "{port}"}, "COM3"}}) {
        SimTarget sim;
        RunResult run = RunUnderWineAtCom(com, "Torvane", args, sim);
        sim.Stop();
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(run.output,
                  ForHost(Host::Wine, kBanner + "FILE: '" + file + "'\nCom Port(1) " + name +
                                          " open at 9600 baud.\n\n Target Ready\n" + record +
                                          "\n Done...\n"));
        EXPECT_EQ(sim.Received(), "@" + r1 + "!");
        EXPECT_EQ(sim.LineSettings(), kLineSettings);
    }
}
