// Quilmark, the real executable, against the simulated target: natively and,
// as the Windows build, under Wine. Every case runs on both hosts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

const std::string kEnd = ":00000001FF";
const std::string kDone = "\n Done...\n";
const std::string kStopAt0010 =
    "\n ERROR! Memory at 0010 could not be read; the file holds what was saved before it\n";

// A memory image in which neighbouring records differ.
std::vector<unsigned char> Image() {
    std::vector<unsigned char> image(65536);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<unsigned char>(i * 7 + (i >> 8) * 3);
    }
    return image;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Console text through the ready line; "{port}" stands for the port name.
std::string Banner(const std::string& start, unsigned startValue, const std::string& end,
                   unsigned endValue, const std::string& file) {
    return "Z80 Save Data\nStart [" + start + "] (" + std::to_string(startValue) + ")  End [" +
           end + "] (" + std::to_string(endValue) + ")\nFILE: '" + file +
           "'\nCom Port(1) {port} open at 9600 baud.\n\n Target Ready\n";
}

// One try's progress line: "*" when the answer was saved, "?" when it was not.
std::string Progress(unsigned address, const std::string& text, char mark) {
    return "\n " + Hex4(address) + " " + text + mark;
}

class QuilmarkRun : public ::testing::TestWithParam<Host> {
  protected:
    void SetUp() override {
        if (GetParam() == Host::Wine && !HostAvailable(Host::Wine)) {
            GTEST_SKIP() << "the Windows build cannot run under Wine here";
        }
        imagePath_ = dir_.Write("image.bin", std::string(image_.begin(), image_.end()));
    }

    Host host() const {
        return GetParam();
    }
    std::string Expect(const std::string& text) const {
        return ForHost(host(), text);
    }
    // The record of the 16 bytes of image_ at `address`, and its last 34
    // characters: what the target answers for that address.
    std::string RecordAt(unsigned address) const {
        return DataRecord(address, {image_.begin() + address, image_.begin() + address + 16});
    }
    std::string AnswerAt(unsigned address) const {
        return RecordAt(address).substr(9);
    }

    // Runs Quilmark; "{port}" in `args` reaches `sim`. The port name in the
    // "Com Port(1)" line is checked here and replaced by "{port}", so one
    // expected text fits both hosts.
    RunResult Run(const SimTarget& sim, const std::vector<std::string>& args) {
        RunResult run = RunOnHost(host(), "Quilmark", args, sim, 120);
        const std::string head = "Com Port(1) ";
        std::size_t from = run.output.find(head);
        std::size_t to = run.output.find(" open at 9600 baud.", from);
        if (from != std::string::npos && to != std::string::npos) {
            from += head.size();
            const std::string name = run.output.substr(from, to - from);
            if (host() == Host::Native) {
                EXPECT_EQ(name, sim.port());
            } else {
                EXPECT_TRUE(name.rfind("COM", 0) == 0 || name.rfind("//./COM", 0) == 0) << name;
            }
            run.output.replace(from, to - from, "{port}");
        }
        return run;
    }

    // Dumps 0000..0030 with the first request for 0010 and its two repeats
    // (requests 2, 3, 4) answered by `answers`; the dump must stop at 0010
    // with `status`, showing the tries as `tries`, and the file must hold the
    // record of 0000 and the end record, nothing of the answers refused.
    void ExpectStopAt0010(const std::vector<std::string>& answers, int status,
                          const std::string& tries) {
        const std::string file = dir_.path() + "/save.hex";
        std::vector<std::string> options = {"--memory-in", imagePath_};
        for (std::size_t i = 0; i < answers.size(); ++i) {
            options.insert(options.end(),
                           {"--dump-answer", std::to_string(i + 2) + "=" + answers[i]});
        }
        SimTarget sim(options);

        RunResult run = Run(sim, {"0000", "0030", file, "{port}"});

        EXPECT_EQ(run.status, status);
        EXPECT_EQ(run.output,
                  Expect(Banner("0000", 0, "0030", 48, file) +
                         Progress(0x0000, AnswerAt(0x0000), '*') + tries + kStopAt0010));
        EXPECT_EQ(ReadFileText(file), Expect(RecordAt(0x0000) + "\n" + kEnd + "\n\n"));
        EXPECT_EQ(sim.Received(), "@;100000;100010;100010;100010");
    }

    TempDir dir_;
    const std::vector<unsigned char> image_ = Image();
    std::string imagePath_;
};

INSTANTIATE_TEST_SUITE_P(Hosts, QuilmarkRun, ::testing::Values(Host::Native, Host::Wine),
                         [](const ::testing::TestParamInfo<Host>& info) {
                             return HostName(info.param);
                         });

}  // namespace

// ---- The dump ----

TEST_P(QuilmarkRun, SavesSixteenRecordsFor0000To0100) {
    const std::string file = dir_.path() + "/save.hex";
    SimTarget sim({"--memory-in", imagePath_});

    RunResult run = Run(sim, {"0000", "0100", file, "{port}"});

    std::string console = Banner("0000", 0, "0100", 256, file);
    std::string content;
    std::string received = "@";
    for (unsigned address = 0; address < 0x100; address += 16) {
        console += Progress(address, AnswerAt(address), '*');
        content += RecordAt(address) + "\n";
        received += ";10" + Hex4(address);
    }
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(console + kDone));
    EXPECT_EQ(ReadFileText(file), Expect(content + kEnd + "\n\n"));
    EXPECT_EQ(sim.Received(), received);
    EXPECT_EQ(sim.LineSettings().rfind("speed=9600 data=8 stop=2 parity=none", 0), 0u)
        << sim.LineSettings();
}

TEST_P(QuilmarkRun, OneRequestCoversSixteenBytesEvenForARangeOfOne) {
    const std::string file = dir_.path() + "/one.hex";
    SimTarget sim({"--memory-in", imagePath_});

    RunResult run = Run(sim, {"0000", "0001", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              Expect(Banner("0000", 0, "0001", 1, file) + Progress(0, AnswerAt(0), '*') + kDone));
    EXPECT_EQ(ReadFileText(file), Expect(RecordAt(0) + "\n" + kEnd + "\n\n"));
    EXPECT_EQ(sim.Received(), "@;100000");
}

TEST_P(QuilmarkRun, StartAtOrAboveEndSavesOnlyTheEndRecord) {
    SimTarget sim;
    const std::vector<std::vector<std::string>> ranges = {{"0100", "0100", "256", "256"},
                                                          {"0200", "0100", "512", "256"},
                                                          {"FFFF", "0", "65535", "0"}};
    for (const auto& range : ranges) {
        const std::string file = dir_.path() + "/empty" + range[0] + ".hex";

        RunResult run = Run(sim, {range[0], range[1], file, "{port}"});

        EXPECT_EQ(run.status, 0) << range[0];
        EXPECT_EQ(run.output, Expect(Banner(range[0], std::stoul(range[2]), range[1],
                                            std::stoul(range[3]), file) +
                                     kDone));
        EXPECT_EQ(ReadFileText(file), Expect(kEnd + "\n\n"));
    }
    EXPECT_EQ(sim.Received(), "@@@");  // woken each time, never asked for memory
}

TEST_P(QuilmarkRun, ShortAndLowerCaseAddressesAreReadAsHexAndShownUpperCase) {
    SimTarget sim({"--memory-in", imagePath_});
    const std::string top = dir_.path() + "/top.hex";
    const std::string low = dir_.path() + "/low.hex";

    RunResult run = Run(sim, {"ff00", "ff1a", top, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("FF00", 65280, "FF1A", 65306, top) +
                                 Progress(0xFF00, AnswerAt(0xFF00), '*') +
                                 Progress(0xFF10, AnswerAt(0xFF10), '*') + kDone));

    run = Run(sim, {"f", "1a", low, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("F", 15, "1A", 26, low) +
                                 Progress(0x000F, AnswerAt(0x000F), '*') + kDone));
    EXPECT_EQ(ReadFileText(low), Expect(RecordAt(0x000F) + "\n" + kEnd + "\n\n"));
    EXPECT_EQ(sim.Received(), "@;10FF00;10FF10@;10000F");
}

TEST_P(QuilmarkRun, LastRecordOfMemoryEndsTheDumpInsteadOfWrapping) {
    const std::string file = dir_.path() + "/top.hex";
    SimTarget sim({"--memory-in", imagePath_});

    RunResult run = Run(sim, {"ffe0", "FFFF", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFileText(file),
              Expect(RecordAt(0xFFE0) + "\n" + RecordAt(0xFFF0) + "\n" + kEnd + "\n\n"));
    EXPECT_EQ(sim.Received(), "@;10FFE0;10FFF0");
}

TEST_P(QuilmarkRun, AnswerIsWrittenAsTheTargetSentIt) {
    const std::string file = dir_.path() + "/sent.hex";
    const std::string upper = "0102030405060708090A0B0C0D0E0F1068";
    const std::string lower = "0102030405060708090a0b0c0d0e0f1058";  // sound at 0010
    SimTarget sim({"--dump-answer", "1=" + upper + "\\r\\n", "--dump-answer", "2=" + lower});

    RunResult run = Run(sim, {"0000", "0020", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("0000", 0, "0020", 32, file) + Progress(0, upper, '*') +
                                 Progress(0x10, lower, '*') + kDone));
    EXPECT_EQ(ReadFileText(file),
              Expect(":10000000" + upper + "\n:10001000" + lower + "\n" + kEnd + "\n\n"));
}

// ---- Answers that must never reach the file ----

TEST_P(QuilmarkRun, ShortAnswerEndsTheFileWithTheEndRecordAndStatus4) {
    const std::string part = "0102030405";
    const std::string oneTry =
        "\n ERROR! No Response from target(dataBufIndex=10)" + Progress(0x10, part, '?');
    ExpectStopAt0010({part, part, part}, 4, oneTry + oneTry + oneTry);
}

TEST_P(QuilmarkRun, SilenceEndsTheFileWithTheEndRecordAndStatus4) {
    const std::string oneTry =
        "\n ERROR! No Response from target(dataBufIndex=0)" + Progress(0x10, "", '?');
    ExpectStopAt0010({"", "", ""}, 4, oneTry + oneTry + oneTry);
}

TEST_P(QuilmarkRun, WrongChecksumEndsTheFileWithTheEndRecordAndStatus5) {
    std::string bad = AnswerAt(0x10);
    bad[33] = bad[33] == '0' ? '1' : '0';
    const std::string oneTry = "\n ERROR! Answer from target has a checksum that does not match" +
                               Progress(0x10, bad, '?');
    ExpectStopAt0010({bad + "\\r\\n", bad + "\\r\\n", bad}, 5, oneTry + oneTry + oneTry);
}

TEST_P(QuilmarkRun, NonHexAnswerEndsTheFileWithStatus5AfterMixedFailures) {
    std::string letter = AnswerAt(0x10);
    letter[0] = 'G';
    std::string space = AnswerAt(0x10);
    space[20] = ' ';
    const std::string notHex =
        "\n ERROR! Answer from target holds a character that is not a hex digit";
    // The last try decides the status: silence in the middle does not.
    ExpectStopAt0010({letter, "", space}, 5,
                     notHex + Progress(0x10, letter, '?') +
                         "\n ERROR! No Response from target(dataBufIndex=0)" +
                         Progress(0x10, "", '?') + notHex + Progress(0x10, space, '?'));
}

TEST_P(QuilmarkRun, OneBadAnswerIsAskedForAgainAndTheDumpCompletes) {
    const std::string file = dir_.path() + "/again.hex";
    std::string bad = AnswerAt(0x10);
    bad[1] = bad[1] == '0' ? '1' : '0';
    SimTarget sim({"--memory-in", imagePath_, "--dump-answer", "2=" + bad + "\\r\\n"});

    RunResult run = Run(sim, {"0000", "0020", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output,
              Expect(Banner("0000", 0, "0020", 32, file) + Progress(0, AnswerAt(0), '*') +
                     "\n ERROR! Answer from target has a checksum that does not match" +
                     Progress(0x10, bad, '?') + Progress(0x10, AnswerAt(0x10), '*') + kDone));
    EXPECT_EQ(ReadFileText(file),
              Expect(RecordAt(0) + "\n" + RecordAt(0x10) + "\n" + kEnd + "\n\n"));
    EXPECT_EQ(sim.Received(), "@;100000;100010;100010");
}

// ---- The output file ----

TEST_P(QuilmarkRun, WriteErrorsAreReportedNotDone) {
    // Every write to /dev/full fails as on a full disk.
    const std::string full = "/dev/full";
    SimTarget sim({"--memory-in", imagePath_});

    RunResult run = Run(sim, {"0000", "0030", full, "{port}"});

    EXPECT_EQ(run.status, 6);
    EXPECT_EQ(run.output,
              Expect(Banner("0000", 0, "0030", 48, full) + Progress(0, AnswerAt(0), '*') +
                     "\nERROR: Cannot Write File '/dev/full'\n"));

    run = Run(sim, {"0100", "0100", full, "{port}"});  // only the end record to write

    EXPECT_EQ(run.status, 6);
    EXPECT_EQ(run.output, Expect(Banner("0100", 256, "0100", 256, full) +
                                 "\nERROR: Cannot Write File '/dev/full'\n"));
    EXPECT_EQ(sim.Received(), "@;100000@");  // no request after the failed write
}

TEST_P(QuilmarkRun, FileThatCannotBeCreatedStopsBeforeThePort) {
    const std::string file = dir_.path() + "/no/such/folder/save.hex";
    SimTarget sim;

    RunResult run = Run(sim, {"0000", "0010", file, "{port}"});

    EXPECT_EQ(run.status, 255);  // -1
    EXPECT_EQ(run.output, Expect("Z80 Save Data\nStart [0000] (0)  End [0010] (16)\n"
                                 "ERROR: Cannot Open File '" +
                                 file + "'\n"));
    EXPECT_EQ(sim.Received(), "");
}

// ---- Arguments, port and handshake ----

TEST_P(QuilmarkRun, TooFewArgumentsShowTheUsage) {
    SimTarget sim;

    RunResult run = Run(sim, {"0000", "0010"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, Expect("Z80 Save Data\n\n ERROR! Too Few Arguments\n Usage: Quilmark "
                                 "{start address} {end address} {filename} {com port}\n"));
}

TEST_P(QuilmarkRun, BadAddressesAreRefusedBeforeTheFileIsCreated) {
    SimTarget sim;
    const std::string file = dir_.path() + "/never.hex";
    for (const std::string bad : {"", "12345", "0x12", "12g4", " 12", "-1"}) {
        RunResult run = Run(sim, {bad, "0010", file, "{port}"});

        EXPECT_EQ(run.status, 1) << "'" << bad << "'";
        EXPECT_EQ(run.output, Expect("Z80 Save Data\n\n ERROR! Bad Start Address '" + bad +
                                     "' (give one to four hex digits)\n"));

        run = Run(sim, {"0000", bad, file, "{port}"});

        EXPECT_EQ(run.status, 1) << "'" << bad << "'";
        EXPECT_EQ(run.output, Expect("Z80 Save Data\nStart [0000] (0)\n ERROR! Bad End Address '" +
                                     bad + "' (give one to four hex digits)\n"));
    }
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(sim.Received(), "");
}

TEST_P(QuilmarkRun, OverlongFileNameOrPortIsRefused) {
    SimTarget sim;
    const std::string folder = dir_.path() + "/";
    const std::string fits = folder + std::string(79 - folder.size(), 'f');
    const std::string tooLong = folder + std::string(80 - folder.size(), 'g');

    RunResult run = Run(sim, {"0000", "0000", fits, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFileText(fits), Expect(kEnd + "\n\n"));

    run = Run(sim, {"0000", "0000", tooLong, "{port}"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, Expect("Z80 Save Data\nStart [0000] (0)  End [0000] (0)\n\n ERROR! File "
                                 "name too long (at most 79 characters)\n"));
    EXPECT_FALSE(Exists(tooLong));

    // A COM number of six digits, or a device path of 80 characters.
    const bool native = host() == Host::Native;
    const std::string port = native ? "/dev/" + std::string(75, 'p') : "123456";
    const std::string other = folder + "port.hex";
    run = Run(sim, {"0000", "0000", other, port});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(
        run.output,
        Expect("Z80 Save Data\nStart [0000] (0)  End [0000] (0)\n\n ERROR! Port '" + port +
               "' does not fit a port name (at most " + (native ? "79" : "11") + " characters)\n"));
    EXPECT_FALSE(Exists(other));
    EXPECT_EQ(sim.Received(), "@");
}

TEST_P(QuilmarkRun, PortThatCannotBeOpenedLeavesAnEmptyFile) {
    const std::string file = dir_.path() + "/noport.hex";
    SimTarget sim;
    const std::string port = host() == Host::Native ? "/dev/z80-no-such-port" : "99";

    RunResult run = Run(sim, {"0000", "0010", file, port});

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, Expect("Z80 Save Data\nStart [0000] (0)  End [0010] (16)\nFILE: '" +
                                 file + "'\nOpenCom (1) failed with error 2.\n"));
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(ReadFileText(file), "");
}

TEST_P(QuilmarkRun, SilentTargetAtWakeUpLeavesAnEmptyFileAndStatus3) {
    const std::string file = dir_.path() + "/silent.hex";
    SimTarget sim({"--silent-wake"});

    RunResult run = Run(sim, {"0000", "0010", file, "{port}"});

    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.output,
              Expect("Z80 Save Data\nStart [0000] (0)  End [0010] (16)\nFILE: '" + file +
                     "'\nCom Port(1) {port} open at 9600 baud.\n\n ERROR! No Response "
                     "from target"));
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(ReadFileText(file), "");
    EXPECT_EQ(sim.Received(), "@");
}

// ---- Round trip: load a file, save the same range, read both independently ----

namespace {

// Intel HEX with an extended address record, records of several lengths,
// one off the 16-byte grid and a gap; it covers 2000..204F.
std::string UploadText() {
    auto bytes = [](unsigned first, unsigned count) {
        std::vector<unsigned char> data;
        for (unsigned i = 0; i < count; ++i) {
            data.push_back(static_cast<unsigned char>(first + i * 13));
        }
        return data;
    };
    return ":020000040000FA\n" + DataRecord(0x2000, bytes(0x11, 16)) + "\n" +
           DataRecord(0x2010, bytes(0x40, 32)) + "\n" + DataRecord(0x2030, bytes(0xA5, 5)) + "\n" +
           DataRecord(0x2038, bytes(0x07, 8)) + "\n" + DataRecord(0x2040, bytes(0xFE, 16)) + "\n" +
           kEnd + "\n";
}

// The data of an Intel HEX file as objcopy reads it, from its lowest address.
std::string BinaryOf(const std::string& hexFile) {
    const std::string binary = hexFile + ".bin";
    RunResult run = RunProgram("objcopy", {"-I", "ihex", "-O", "binary", hexFile, binary}, 60);
    EXPECT_EQ(run.status, 0) << "objcopy " << hexFile;
    return ReadFileText(binary);
}

}  // namespace

TEST_P(QuilmarkRun, SavedRangeMatchesWhatTorvanexLoaded) {
    const std::string loaded = dir_.Write("loaded.hex", UploadText());
    const std::string saved = dir_.path() + "/saved.hex";
    SimTarget sim;

    ASSERT_EQ(RunProgram(TORVANEX_EXE, {loaded, sim.port()}).status, 0);
    RunResult run = Run(sim, {"2000", "2050", saved, "{port}"});

    EXPECT_EQ(run.status, 0);
    const std::string data = BinaryOf(loaded);
    ASSERT_EQ(data.size(), 0x50u);
    EXPECT_EQ(BinaryOf(saved), data);
}

#ifdef QUILMARK_ROUND_TRIP_TORVANE
TEST_P(QuilmarkRun, SavedRangeMatchesWhatTorvaneLoaded) {
    const std::string loaded = dir_.Write("loaded.hex", UploadText());
    const std::string saved = dir_.path() + "/saved.hex";
    SimTarget sim;

    ASSERT_EQ(RunOnHost(host(), "Torvane", {loaded, "{port}"}, sim).status, 0);
    RunResult run = Run(sim, {"2000", "2050", saved, "{port}"});

    EXPECT_EQ(run.status, 0);
    const std::string data = BinaryOf(loaded);
    ASSERT_EQ(data.size(), 0x50u);
    EXPECT_EQ(BinaryOf(saved), data);
}
#endif
