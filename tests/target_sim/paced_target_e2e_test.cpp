// Every program against the simulated target in pace mode, where each
// character takes its line time in both directions and answers are handed
// over as they finish: the programs still load, save and type correctly.
// Only results are checked here; the timing is the benchmark's business.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/e2e.h"

namespace {

// Three 16-byte records from 0x8000 and the end record, and the image they
// leave in memory.
std::string ThreeRecords(std::vector<unsigned char>* image) {
    image->assign(65536, 0);
    std::string text;
    for (unsigned r = 0; r < 3; ++r) {
        const auto data = PatternBytes(r * 31, 16);
        std::copy(data.begin(), data.end(), image->begin() + 0x8000 + 16 * r);
        text += DataRecord(0x8000 + 16 * r, data) + "\n";
    }
    return text + ":00000001FF\n";
}

}  // namespace

TEST(PacedTarget, UploadersLoadEveryRecordAndTorvaneEndsWithTheMark) {
    for (const auto& [program, endMark] :
         std::vector<std::pair<std::string, bool>>{{"Torvanex", false}, {"Torvane", true}}) {
        SCOPED_TRACE(program);
        TempDir dir;
        std::vector<unsigned char> image;
        const std::string file = dir.Write("load.hex", ThreeRecords(&image));
        SimTarget sim({"--pace"});

        RunResult run = RunProgram(NativeExe(program), {file, sim.port()});

        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(EndsWith(sim.Received(), "!"), endMark);
        EXPECT_EQ(sim.Memory(), image);
    }
}

TEST(PacedTarget, QuilmarkSavesWhatTheTargetHolds) {
    TempDir dir;
    std::vector<unsigned char> image;
    const std::string expected = ThreeRecords(&image) + "\n";
    const std::string memory = dir.Write("memory.bin", std::string(image.begin(), image.end()));
    const std::string saved = dir.path() + "/saved.hex";
    SimTarget sim({"--pace", "--memory-in", memory});

    RunResult run = RunProgram(NativeExe("Quilmark"), {"8000", "8030", saved, sim.port()});

    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadFileText(saved), expected);
}

TEST(PacedTarget, FerroltTypesEveryLineWithItsEchoes) {
    TempDir dir;
    const std::string file = dir.Write("prog.bas", "10 PRINT \"HI\"\n20 GOTO 10\n");
    SimTarget sim({"--pace"});

    RunResult run = RunProgram(NativeExe("Ferrolt"), {file, sim.port()});

    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("WARNING"), std::string::npos) << run.output;
    const auto events = sim.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "basic line 10 PRINT \"HI\""), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "basic line 20 GOTO 10"), events.end());
}
