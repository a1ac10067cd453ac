// Quilmark, the real executable, against the simulated target: natively and,
// as the Windows build, under Wine. Every case runs on both hosts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

const std::string kEndLines = ":00000001FF\n\n";
const std::string kDone = "\n Done...\n";
const std::string kStopAt0010 =
    "\n ERROR! Memory at 0010 could not be read; the file holds what was saved before it\n";
const std::string kNotHex =
    "\n ERROR! Answer from target holds a character that is not a hex digit";
const std::string kWrongSum = "\n ERROR! Answer from target has a checksum that does not match";

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Console text through the ready line; "{port}" stands for the port name.
std::string Banner(const std::string& start, const std::string& end, const std::string& file) {
    return "Z80 Save Data\nStart [" + start + "] (" +
           std::to_string(std::stoul(start, nullptr, 16)) + ")  End [" + end + "] (" +
           std::to_string(std::stoul(end, nullptr, 16)) + ")\nFILE: '" + file +
           "'\nCom Port(1) {port} open at 9600 baud.\n\n Target Ready\n";
}

// One try's progress line: "*" when the answer was saved, "?" when it was not.
std::string Progress(unsigned address, const std::string& text, char mark) {
    return "\n " + Hex4(address) + " " + text + mark;
}

std::string Silence(unsigned address, const std::string& part) {
    return "\n ERROR! No Response from target(dataBufIndex=" + std::to_string(part.size()) + ")" +
           Progress(address, part, '?');
}

class QuilmarkRun : public HostTest<Host> {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // Neighbouring records differ, and the memory above 8000 differs from below.
        std::string image(65536, '\0');
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>(i * 7 + (i >> 8) * 3);
        }
        image_.assign(image.begin(), image.end());
        imagePath_ = dir_.Write("image.bin", image);
    }

    std::string Expect(const std::string& text) const {
        return ForHost(host(), text);
    }
    // Records of image_ from `first` while below `end`, one line each, and
    // their progress lines; the answer for an address is the record's last
    // 34 characters.
    std::string RecordAt(unsigned address) const {
        return DataRecord(address, {image_.begin() + address, image_.begin() + address + 16});
    }
    std::string Records(unsigned first, unsigned end) const {
        std::string lines;
        for (unsigned address = first; address < end; address += 16) {
            lines += RecordAt(address) + "\n";
        }
        return lines;
    }
    std::string Shown(unsigned first, unsigned end) const {
        std::string lines;
        for (unsigned address = first; address < end; address += 16) {
            lines += Progress(address, RecordAt(address).substr(9), '*');
        }
        return lines;
    }

    // Runs Quilmark; "{port}" in `args` reaches `sim`. The port name in the
    // "Com Port(1)" line is checked and replaced by "{port}", so one expected
    // text fits both hosts.
    RunResult Run(const SimTarget& sim, const std::vector<std::string>& args) {
        RunResult run = HostTest::Run("Quilmark", args, sim, 120);
        MarkReportedPort(host(), sim, &run.output);
        return run;
    }

    // Saves 0000..0030 with the first request for 0010 and its two repeats
    // (requests 2, 3, 4) answered by `answers`: the dump must stop at 0010
    // with `status`, the tries shown as `tries`, and the file must hold the
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
                  Expect(Banner("0000", "0030", file) + Shown(0, 0x10) + tries + kStopAt0010));
        EXPECT_EQ(ReadFileText(file), Expect(Records(0, 0x10) + kEndLines));
        EXPECT_EQ(sim.Received(), "@;100000;100010;100010;100010");
    }

    TempDir dir_;
    std::vector<unsigned char> image_;
    std::string imagePath_;
};

INSTANTIATE_TEST_SUITE_P(Hosts, QuilmarkRun, EveryHost(), HostCaseName);

// Intel HEX with an extended address record, records of several lengths, one
// off the 16-byte grid and a gap; it covers 2000..204F.
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
           kEndLines;
}

// The data of an Intel HEX file as objcopy reads it, from its lowest address.
std::string BinaryOf(const std::string& hexFile) {
    const std::string binary = hexFile + ".bin";
    EXPECT_EQ(RunProgram("objcopy", {"-I", "ihex", "-O", "binary", hexFile, binary}, 60).status, 0)
        << hexFile;
    return ReadFileText(binary);
}

}  // namespace

TEST_P(QuilmarkRun, RequestsCoverTheRangeInWholeRecords) {
    SimTarget sim({"--memory-in", imagePath_});
    const std::string page = dir_.path() + "/page.hex";
    const std::string one = dir_.path() + "/one.hex";
    const std::string none = dir_.path() + "/none.hex";

    RunResult run = Run(sim, {"0000", "0100", page, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("0000", "0100", page) + Shown(0, 0x100) + kDone));
    EXPECT_EQ(ReadFileText(page), Expect(Records(0, 0x100) + kEndLines));
    EXPECT_EQ(sim.LineSettings().rfind("speed=9600 data=8 stop=2 parity=none", 0), 0u)
        << sim.LineSettings();

    EXPECT_EQ(Run(sim, {"0000", "0001", one, "{port}"}).status, 0);
    EXPECT_EQ(ReadFileText(one), Expect(Records(0, 0x10) + kEndLines));

    for (const auto& range :
         std::vector<std::vector<std::string>>{{"0100", "0100"}, {"0200", "0100"}}) {
        run = Run(sim, {range[0], range[1], none, "{port}"});

        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, Expect(Banner(range[0], range[1], none) + kDone));
        EXPECT_EQ(ReadFileText(none), Expect(kEndLines));
    }
    std::string requests = "@";
    for (unsigned address = 0; address < 0x100; address += 16) {
        requests += ";10" + Hex4(address);
    }
    EXPECT_EQ(sim.Received(), requests + "@;100000@@");
}

TEST_P(QuilmarkRun, AddressesOfOneToFourDigitsAreHexShownUpperCase) {
    SimTarget sim({"--memory-in", imagePath_});
    const std::string file = dir_.path() + "/save.hex";

    RunResult run = Run(sim, {"ff00", "ff1a", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("FF00", "FF1A", file) + Shown(0xFF00, 0xFF1A) + kDone));

    run = Run(sim, {"f", "1a", file, "{port}"});

    EXPECT_EQ(run.output, Expect(Banner("F", "1A", file) + Shown(0xF, 0x1A) + kDone));
    EXPECT_EQ(ReadFileText(file), Expect(Records(0xF, 0x1A) + kEndLines));

    // The last record of memory: the step past FFF0 must end the dump, not wrap to 0000.
    EXPECT_EQ(Run(sim, {"ffe0", "FFFF", file, "{port}"}).status, 0);
    EXPECT_EQ(ReadFileText(file), Expect(Records(0xFFE0, 0xFFFF) + kEndLines));
    EXPECT_EQ(sim.Received(), "@;10FF00;10FF10@;10000F@;10FFE0;10FFF0");
}

TEST_P(QuilmarkRun, AnswerIsWrittenAsTheTargetSentIt) {
    const std::string file = dir_.path() + "/sent.hex";
    const std::string upper = "0102030405060708090A0B0C0D0E0F1068";
    const std::string lower = "0102030405060708090a0b0c0d0e0f1058";  // sound at 0010
    SimTarget sim({"--dump-answer", "1=" + upper + "\\r\\n", "--dump-answer", "2=" + lower});

    RunResult run = Run(sim, {"0000", "0020", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("0000", "0020", file) + Progress(0, upper, '*') +
                                 Progress(0x10, lower, '*') + kDone));
    EXPECT_EQ(ReadFileText(file),
              Expect(":10000000" + upper + "\n:10001000" + lower + "\n" + kEndLines));
}

// A NUL after the part reads as silence at once; the next case waits out the real silence.
TEST_P(QuilmarkRun, ShortAnswerEndsTheFileWithTheEndRecordAndStatus4) {
    const std::string part = "0102030405";
    const std::string cut = part + "\\x00";
    ExpectStopAt0010({cut, cut, cut}, 4,
                     Silence(0x10, part) + Silence(0x10, part) + Silence(0x10, part));
}

TEST_P(QuilmarkRun, SilenceEndsTheFileWithTheEndRecordAndStatus4) {
    ExpectStopAt0010({"", "", ""}, 4, Silence(0x10, "") + Silence(0x10, "") + Silence(0x10, ""));
}

TEST_P(QuilmarkRun, WrongChecksumEndsTheFileWithTheEndRecordAndStatus5) {
    std::string bad = RecordAt(0x10).substr(9);
    bad[33] = bad[33] == '0' ? '1' : '0';
    const std::string oneTry = kWrongSum + Progress(0x10, bad, '?');
    ExpectStopAt0010({bad + "\\r\\n", bad + "\\r\\n", bad}, 5, oneTry + oneTry + oneTry);
}

TEST_P(QuilmarkRun, NonHexAnswerEndsTheFileWithStatus5AfterMixedFailures) {
    std::string letter = RecordAt(0x10).substr(9);
    std::string space = letter;
    letter[0] = 'G';
    space[20] = ' ';
    // The last try decides the status: the silence between does not.
    ExpectStopAt0010({letter, "", space}, 5,
                     kNotHex + Progress(0x10, letter, '?') + Silence(0x10, "") + kNotHex +
                         Progress(0x10, space, '?'));
}

TEST_P(QuilmarkRun, OneBadAnswerIsAskedForAgainAndTheDumpCompletes) {
    const std::string file = dir_.path() + "/again.hex";
    std::string bad = RecordAt(0x10).substr(9);
    bad[1] = bad[1] == '0' ? '1' : '0';
    SimTarget sim({"--memory-in", imagePath_, "--dump-answer", "2=" + bad + "\\r\\n"});

    RunResult run = Run(sim, {"0000", "0020", file, "{port}"});

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Banner("0000", "0020", file) + Shown(0, 0x10) + kWrongSum +
                                 Progress(0x10, bad, '?') + Shown(0x10, 0x20) + kDone));
    EXPECT_EQ(ReadFileText(file), Expect(Records(0, 0x20) + kEndLines));
    EXPECT_EQ(sim.Received(), "@;100000;100010;100010");
}

TEST_P(QuilmarkRun, FileErrorsAreReportedAndNeverDone) {
    const std::string nowhere = dir_.path() + "/no/such/folder/save.hex";
    SimTarget sim({"--memory-in", imagePath_});

    RunResult run = Run(sim, {"0000", "0010", nowhere, "{port}"});

    EXPECT_EQ(run.status, 255);  // -1
    EXPECT_EQ(run.output, Expect("Z80 Save Data\nStart [0000] (0)  End [0010] (16)\n"
                                 "ERROR: Cannot Open File '" +
                                 nowhere + "'\n"));
    EXPECT_EQ(sim.Received(), "");  // no port without a file
    if (!native()) {
        return;
    }

    // Files that cannot grow past 1 KiB, as on a full disk: the write that
    // fails stops the dump, and the file that was there stays as it was. The
    // console goes through a pipe, which the limit does not bound. The
    // program is started as from a user's shell, with the file-size signal
    // at its default (which would end it), so it must set that aside itself.
    const std::string file = dir_.Write("kept.hex", "what was there before\n");
    struct sigaction before {};
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ASSERT_EQ(sigaction(SIGXFSZ, &byDefault, &before), 0);
    run = RunProgram("/bin/bash", {"-c", "set -o pipefail; (ulimit -f 2; exec \"$0\" \"$@\") | cat",
                                   NativeExe("Quilmark"), "0000", "0400", file, sim.port()});
    sigaction(SIGXFSZ, &before, nullptr);

    EXPECT_EQ(run.status, 6);
    EXPECT_EQ(run.output.find("Done"), std::string::npos);
    const std::string writeError = "\nERROR: Cannot Write File '" + file + "'\n";
    EXPECT_EQ(run.output.substr(run.output.size() - std::min(run.output.size(), writeError.size())),
              writeError);
    EXPECT_EQ(ReadFileText(file), "what was there before\n");
    EXPECT_EQ(RunProgram("/bin/sh", {"-c", "ls -A \"$0\"", dir_.path()}).output.find("kept.hex."),
              std::string::npos);
}

TEST_P(QuilmarkRun, BadArgumentsAreRefusedBeforeTheFileIsCreated) {
    SimTarget sim;
    const std::string folder = dir_.path() + "/";
    const std::string file = folder + "never.hex";
    const std::string head = "Z80 Save Data\nStart [0000] (0)  End [0000] (0)\n";

    RunResult run = Run(sim, {"0000", "0010"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, Expect("Z80 Save Data\n\n ERROR! Too Few Arguments\n Usage: Quilmark "
                                 "{start address} {end address} {filename} {com port}\n"));

    for (const std::string bad : {"", "12345", "0x12", "12g4", " 12", "-1"}) {
        run = Run(sim, {bad, "0010", file, "{port}"});

        EXPECT_EQ(run.status, 1) << "'" << bad << "'";
        EXPECT_EQ(run.output, Expect("Z80 Save Data\n\n ERROR! Bad Start Address '" + bad +
                                     "' (give one to four hex digits)\n"));

        run = Run(sim, {"0000", bad, file, "{port}"});

        EXPECT_EQ(run.status, 1) << "'" << bad << "'";
        EXPECT_EQ(run.output, Expect("Z80 Save Data\nStart [0000] (0)\n ERROR! Bad End Address '" +
                                     bad + "' (give one to four hex digits)\n"));
    }

    // A file name of 79 characters fits; 80 do not.
    EXPECT_EQ(
        Run(sim, {"0000", "0000", folder + std::string(79 - folder.size(), 'f'), "{port}"}).status,
        0);
    const std::string tooLong = folder + std::string(80 - folder.size(), 'g');
    run = Run(sim, {"0000", "0000", tooLong, "{port}"});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, Expect(head + "\n ERROR! File name too long (at most 79 characters)\n"));
    EXPECT_FALSE(Exists(tooLong));

    // A COM number of six digits, or a device path of 80 characters.
    const std::string port = native() ? "/dev/" + std::string(75, 'p') : "123456";
    run = Run(sim, {"0000", "0000", file, port});

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              Expect(head + "\n ERROR! Port '" + port + "' does not fit a port name (at most " +
                     (native() ? "79" : "11") + " characters)\n"));
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(sim.Received(), "@");  // only the run with the 79-character name
}

// Nothing saved, nothing touched: a run that stops at the port or the
// wake-up creates no file, and leaves a file that was there as it was.
TEST_P(QuilmarkRun, PortOrWakeUpFailureCreatesNoFileAndKeepsAnOldOne) {
    const std::string file = dir_.path() + "/never.hex";
    const std::string old = dir_.Write("old.hex", Records(0, 0x20) + kEndLines);
    SimTarget silent({"--prompt", "\\x00"});  // a NUL reads as silence
    for (const std::string& output : {file, old}) {
        SCOPED_TRACE(output);
        const std::string head =
            "Z80 Save Data\nStart [0000] (0)  End [0010] (16)\nFILE: '" + output + "'\n";

        RunResult run = Run(silent, {"0000", "0010", output, native() ? "/dev/z80-none" : "99"});

        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.output, Expect(head + "OpenCom (1) failed with error 2.\n"));

        run = Run(silent, {"0000", "0010", output, "{port}"});

        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.output, Expect(head + "Com Port(1) {port} open at 9600 baud.\n\n ERROR! No "
                                            "Response from target"));
    }
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(ReadFileText(old), Records(0, 0x20) + kEndLines);
    EXPECT_EQ(silent.Received(), "@@");
    // No temporary file is left beside them.
    EXPECT_EQ(RunProgram("/bin/sh", {"-c", "ls -A \"$0\"", dir_.path()}).output,
              "image.bin\nold.hex\n");
}

// Round trip: load a file into the target, save the same range with
// Quilmark, and read both files with objcopy, not with this project's rules.
TEST_P(QuilmarkRun, SavedRangeMatchesWhatTheUploadersLoaded) {
    const std::string loaded = dir_.Write("loaded.hex", UploadText());
    const std::vector<std::string> uploaders = {"Torvanex", "Torvane"};
    for (const auto& uploader : uploaders) {
        const std::string saved = dir_.path() + "/saved-" + uploader + ".hex";
        SimTarget sim;
        RunResult load = uploader == "Torvanex" ? RunProgram(TORVANEX_EXE, {loaded, sim.port()})
                                                : HostTest::Run(uploader, {loaded, "{port}"}, sim);
        ASSERT_EQ(load.status, 0) << uploader << "\n" << load.output;

        EXPECT_EQ(Run(sim, {"2000", "2050", saved, "{port}"}).status, 0) << uploader;

        const std::string data = BinaryOf(loaded);
        ASSERT_EQ(data.size(), 0x50u);
        EXPECT_EQ(BinaryOf(saved), data) << uploader;
    }
}
