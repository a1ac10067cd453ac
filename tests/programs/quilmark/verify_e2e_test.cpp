// Quilmark --verify, the real executable, against the simulated target:
// natively and, as the Windows build, under Wine. Every case runs on both.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

const std::string kEnd = ":00000001FF";

// `count` bytes from `first`, each 13 more than the last.
std::vector<unsigned char> Bytes(unsigned first, unsigned count) {
    std::vector<unsigned char> data;
    for (unsigned i = 0; i < count; ++i) {
        data.push_back(static_cast<unsigned char>(first + i * 13));
    }
    return data;
}

// A program as a HEX file: a linear extended address record whose value the
// Z80 never sees, records of several lengths, one off the 16-byte grid, a
// gap and an empty line; data in 2000..204F, 77 bytes in 5 blocks.
std::string ProgramText() {
    return ":020000040001F9\n" + DataRecord(0x2000, Bytes(0x11, 16)) + "\n" +
           DataRecord(0x2010, Bytes(0x40, 32)) + "\n\n" + DataRecord(0x2030, Bytes(0xA5, 5)) +
           "\n" + DataRecord(0x2038, Bytes(0x07, 8)) + "\n" + DataRecord(0x2040, Bytes(0xFE, 16)) +
           "\n" + kEnd + "\n";
}

// The requests for the blocks at `addresses`, as the target receives them.
std::string Requests(const std::vector<unsigned>& addresses) {
    std::string text;
    for (unsigned address : addresses) {
        text += ";10" + Hex4(address);
    }
    return text;
}

class VerifyRun : public HostTest<Host> {
  protected:
    std::string Expect(const std::string& text) const {
        return ForHost(host(), text);
    }

    // Console text through the ready line; "{port}" stands for the port name.
    static std::string Ready(const std::string& file) {
        return "Z80 Verify Data\nFILE: '" + file +
               "'\nCom Port(1) {port} open at 9600 baud.\n\n Target Ready\n";
    }

    // Runs Quilmark --verify `file` at `sim`, with the port name in the
    // "Com Port(1)" line replaced by "{port}" so one text fits both hosts.
    RunResult Verify(const SimTarget& sim, const std::string& file) {
        RunResult run = Run("Quilmark", {"--verify", file, "{port}"}, sim, 120);
        MarkReportedPort(host(), sim, &run.output);
        return run;
    }

    // A memory image holding the bytes of ProgramText(), with the changes
    // in `changed` (address, value) made after them.
    std::string ImageWith(const std::vector<std::pair<unsigned, unsigned char>>& changed) const {
        std::string image(65536, '\x5A');
        auto put = [&image](unsigned address, const std::vector<unsigned char>& data) {
            for (std::size_t i = 0; i < data.size(); ++i) {
                image[address + i] = static_cast<char>(data[i]);
            }
        };
        put(0x2000, Bytes(0x11, 16));
        put(0x2010, Bytes(0x40, 32));
        put(0x2030, Bytes(0xA5, 5));
        put(0x2038, Bytes(0x07, 8));
        put(0x2040, Bytes(0xFE, 16));
        for (const auto& [address, value] : changed) {
            image[address] = static_cast<char>(value);
        }
        return dir_.Write("image.bin", image);
    }

    // Verifies ProgramText() against a target whose dump requests 2, 3 and
    // 4 (all three tries for 2010) are answered by `answers`: the verify must
    // stop at 2010 with `status`, the tries shown as `tries`.
    void ExpectStopAt2010(const std::vector<std::string>& answers, int status,
                          const std::string& tries) {
        const std::string file = dir_.Write("prog.hex", ProgramText());
        std::vector<std::string> options = {"--memory-in", ImageWith({})};
        for (std::size_t i = 0; i < answers.size(); ++i) {
            options.insert(options.end(),
                           {"--dump-answer", std::to_string(i + 2) + "=" + answers[i]});
        }
        SimTarget sim(options);

        RunResult run = Verify(sim, file);

        EXPECT_EQ(run.status, status);
        EXPECT_EQ(run.output, Expect(Ready(file) + tries +
                                     "\n ERROR! Memory at 2010 could not be read; 16 bytes "
                                     "compared before it, 0 differ\n"));
        EXPECT_EQ(sim.Received(), "@" + Requests({0x2000, 0x2010, 0x2010, 0x2010}));
    }

    TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Hosts, VerifyRun, EveryHost(), HostCaseName);

}  // namespace

// The normal way to load a program: load it, then verify it on the same
// target. Natively Torvanex loads it, under Wine Torvane.
TEST_P(VerifyRun, LoadThenVerifyFindsEveryByteAndAsksOnlyForItsBlocks) {
    const std::string file = dir_.Write("prog.hex", ProgramText());
    SimTarget sim;
    const RunResult load = native() ? RunProgram(TORVANEX_EXE, {file, sim.port()})
                                    : RunOnHost(Host::Wine, "Torvane", {file, "{port}"}, sim);
    ASSERT_EQ(load.status, 0) << load.output;
    const std::string loaded = sim.Received();

    RunResult run = Verify(sim, file);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Ready(file) + "\n Verify OK: 77 bytes compared, 0 differ\n"));
    // Nothing but the wake-up and one request per block: nothing is written.
    EXPECT_EQ(sim.Received().substr(loaded.size()),
              "@" + Requests({0x2000, 0x2010, 0x2020, 0x2030, 0x2040}));
}

TEST_P(VerifyRun, BytesThatDifferAreNamedByBlockAndGive7) {
    const std::string file = dir_.Write("prog.hex", ProgramText());
    // One byte in 2027; three in the block at 2030, in both of its records
    // (2035..2037 is a gap in the file, so the 00 there is not compared).
    SimTarget sim(
        {"--memory-in",
         ImageWith(
             {{0x2027, 0x99}, {0x2032, 0x00}, {0x2035, 0x00}, {0x203A, 0x00}, {0x203F, 0x00}})});

    RunResult run = Verify(sim, file);

    EXPECT_EQ(run.status, 7);
    const unsigned expected2027 = Bytes(0x40, 32)[0x17];
    const unsigned expected2032 = Bytes(0xA5, 5)[2];
    char lines[200];
    std::snprintf(lines, sizeof lines,
                  "\n 2020 differs at 2027: expected %02X, found 99 (1 of 16 bytes differ)"
                  "\n 2030 differs at 2032: expected %02X, found 00 (3 of 13 bytes differ)",
                  expected2027, expected2032);
    EXPECT_EQ(run.output,
              Expect(Ready(file) + lines + "\n Verify FAILED: 77 bytes compared, 4 differ\n"));
    EXPECT_EQ(sim.Received(), "@" + Requests({0x2000, 0x2010, 0x2020, 0x2030, 0x2040}));
}

// Data at 0100..0107 and, under a linear extended address the Z80 does not
// see, at F0F8..F10F across a block boundary: three requests, whatever lies
// between.
TEST_P(VerifyRun, DistantRangesAskOnlyForTheBlocksTheyTouch) {
    const std::string file =
        dir_.Write("far.hex", DataRecord(0x0100, Bytes(0x21, 8)) + "\n:020000040002F8\n" +
                                  DataRecord(0xF0F8, Bytes(0x80, 24)) + "\n" + kEnd + "\n");
    std::string image(65536, '\0');
    for (unsigned i = 0; i < 8; ++i) {
        image[0x0100 + i] = static_cast<char>(Bytes(0x21, 8)[i]);
    }
    for (unsigned i = 0; i < 24; ++i) {
        image[0xF0F8 + i] = static_cast<char>(Bytes(0x80, 24)[i]);
    }
    SimTarget sim({"--memory-in", dir_.Write("image.bin", image)});

    RunResult run = Verify(sim, file);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Ready(file) + "\n Verify OK: 32 bytes compared, 0 differ\n"));
    EXPECT_EQ(sim.Received(), "@" + Requests({0x0100, 0xF0F0, 0xF100}));
}

TEST_P(VerifyRun, BadArgumentsAndBrokenFilesAreRefusedBeforeThePortOpens) {
    SimTarget sim;
    const std::string broken =
        dir_.Write("broken.hex", DataRecord(0x2000, Bytes(1, 4)) + "\n:10200G00\n" + kEnd + "\n");
    const std::string missing = dir_.path() + "/missing.hex";

    RunResult run = Verify(sim, broken);

    EXPECT_EQ(run.status, 255);  // -1
    EXPECT_EQ(run.output,
              Expect("Z80 Verify Data\nFILE: '" + broken + "'\nERROR: Line 2 of '" + broken +
                     "' holds a character that is not a hex digit; nothing was "
                     "sent\n"));

    run = Verify(sim, missing);

    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.output, Expect("Z80 Verify Data\nERROR: Cannot Open File '" + missing + "'\n"));

    run = Run("Quilmark", {"--verify"}, sim, 60);

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, Expect("Z80 Verify Data\n\n ERROR! Too Few Arguments\n Usage: Quilmark "
                                 "--verify {filename} {com port}\n"));

    run = Verify(sim, dir_.path() + "/" + std::string(80, 'n') + ".hex");

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              Expect("Z80 Verify Data\n\n ERROR! File name too long (at most 79 characters)\n"));
    EXPECT_EQ(sim.Received(), "");
}

// A NUL reads as silence at once; the save waits out the real silence.
TEST_P(VerifyRun, SilenceStopsTheVerifyWithStatus4) {
    const std::string silence = "\n ERROR! No Response from target(dataBufIndex=0)\n 2010 ?";
    ExpectStopAt2010({"\\x00", "\\x00", "\\x00"}, 4, silence + silence + silence);
}

TEST_P(VerifyRun, BadAnswersStopTheVerifyWithStatus5) {
    const std::string bad = "0102030405060708090A0B0C0D0E0F1000";  // a wrong checksum
    const std::string oneTry =
        "\n ERROR! Answer from target has a checksum that does not match\n 2010 " + bad + "?";
    ExpectStopAt2010({bad + "\\r\\n", bad + "\\r\\n", bad}, 5, oneTry + oneTry + oneTry);
}

// One bad answer is asked for again, as in the save, and the verify goes on.
TEST_P(VerifyRun, OneBadAnswerIsAskedForAgain) {
    const std::string file = dir_.Write("prog.hex", ProgramText());
    const std::string bad = "G102030405060708090A0B0C0D0E0F1000";
    SimTarget sim({"--memory-in", ImageWith({}), "--dump-answer", "3=" + bad + "\\r\\n"});

    RunResult run = Verify(sim, file);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Expect(Ready(file) +
                                 "\n ERROR! Answer from target holds a character that is "
                                 "not a hex digit\n 2020 " +
                                 bad + "?\n Verify OK: 77 bytes compared, 0 differ\n"));
    EXPECT_EQ(sim.Received(), "@" + Requests({0x2000, 0x2010, 0x2020, 0x2020, 0x2030, 0x2040}));
}

// Ctrl-C while the target keeps quiet about a request: the verify ends at
// once with 130, asks for nothing more and gives no verdict. Native only:
// Wine delivers signals its own way.
TEST(VerifyStop, CtrlCDuringARequestEndsTheRunWith130) {
    TempDir dir;
    const std::string file = dir.Write("prog.hex", ProgramText());
    SimTarget sim({"--dump-answer", "2="});
    auto requested = [&sim] {
        for (const auto& event : sim.Events()) {
            if (event.rfind("dump 2 ", 0) == 0) {
                return true;
            }
        }
        return false;
    };
    bool signalled = false;

    RunResult run =
        RunProgram(NativeExe("Quilmark"), {"--verify", file, sim.port()}, 60, {}, [&](pid_t pid) {
            if (!signalled && requested()) {
                kill(pid, SIGINT);
                signalled = true;
            }
        });

    EXPECT_TRUE(signalled);
    EXPECT_EQ(run.status, 130);
    const std::string stopped = "\n ERROR! Stopped (Ctrl-C)\n";
    ASSERT_GE(run.output.size(), stopped.size());
    EXPECT_EQ(run.output.substr(run.output.size() - stopped.size()), stopped) << run.output;
    EXPECT_EQ(run.output.find("\n Verify "), std::string::npos) << run.output;
    EXPECT_EQ(sim.Received(), "@" + Requests({0x2000, 0x2010}));
}
