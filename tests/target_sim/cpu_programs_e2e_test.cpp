// Every program against the emulated board (targetsim --cpu), where the
// monitor firmware on a Z80 answers at the line's real pace: each ends with
// status 0, and the board's memory holds exactly what the HEX file says.
// Torvane also runs under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/e2e_host.h"

namespace {

// Programs' RAM on the board: above the monitor's own 2000h-3FFFh.
constexpr unsigned kProgramRam = 0x4000;

// The image examples/hello.hex leaves in memory, 0 elsewhere.
std::vector<unsigned char> HelloImage() {
    std::vector<unsigned char> image(65536, 0);
    const std::string assembled = ReadFileText(HELLO_BIN);
    std::copy(assembled.begin(), assembled.end(), image.begin() + 0x8000);
    return image;
}

// The programs' RAM of `memory`, as compared with an expected image.
std::vector<unsigned char> ProgramRam(const std::vector<unsigned char>& memory) {
    if (memory.size() != 65536) {
        return {};
    }
    return std::vector<unsigned char>(memory.begin() + kProgramRam, memory.end());
}

// Loads hello.hex with `uploader` on `host` and checks the board's memory.
void LoadsHello(Host host, const std::string& uploader) {
    SimTarget sim({"--cpu"});
    RunResult run = RunOnHost(host, uploader, {EXAMPLES_DIR "/hello.hex", "{port}"}, sim);
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_EQ(ProgramRam(sim.Memory()), ProgramRam(HelloImage()));
}

}  // namespace

TEST(CpuPrograms, TorvanexLoadsHello) {
    LoadsHello(Host::Native, "Torvanex");
}

TEST(CpuPrograms, TorvaneLoadsHello) {
    LoadsHello(Host::Native, "Torvane");
}

TEST(CpuPrograms, TorvaneUnderWineLoadsHello) {
    if (!HostAvailable(Host::Wine)) {
        GTEST_SKIP() << HostUnavailableReason(Host::Wine);
    }
    LoadsHello(Host::Wine, "Torvane");
}

TEST(CpuPrograms, QuilmarkSavesWhatTheBoardHoldsAndVerifiesIt) {
    TempDir dir;
    const auto image = HelloImage();
    const std::string memory = dir.Write("memory.bin", std::string(image.begin(), image.end()));
    SimTarget sim({"--cpu", "--memory-in", memory});
    const std::string saved = dir.path() + "/saved.hex";

    RunResult save = RunProgram(NativeExe("Quilmark"), {"8000", "80A0", saved, sim.port()});
    RunResult verify =
        RunProgram(NativeExe("Quilmark"), {"--verify", EXAMPLES_DIR "/hello.hex", sim.port()});

    EXPECT_EQ(save.status, 0) << save.output;
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_NE(verify.output.find("159 bytes compared, 0 differ"), std::string::npos)
        << verify.output;
    // The saved records hold the HEX file's data; the last one runs on past
    // its end into memory that holds zeros.
    const std::string hex = ReadFileText(EXAMPLES_DIR "/hello.hex");
    const std::string text = ReadFileText(saved);
    for (unsigned address = 0x8000; address < 0x8090; address += 16) {
        const std::string record = ":10" + Hex4(address) + "00";
        const std::size_t at = hex.find(record);
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(text.find(hex.substr(at, 43)), std::string::npos) << record;
    }
    EXPECT_TRUE(EndsWith(text, ":00000001FF\n\n"));
}

TEST(CpuPrograms, FerroltTypesHelloBasAndTheLineStoreListsIt) {
    SimTarget sim({"--cpu"});
    RunResult run = RunProgram(NativeExe("Ferrolt"), {EXAMPLES_DIR "/hello.bas", sim.port()});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("top?"), std::string::npos) << run.output;

    // The lines as stored: LIST through Torvanex's port is no job of the
    // programs, so the board's line store is read from its memory (2400h on,
    // each line ended by CR).
    const auto memory = sim.Memory();
    std::string stored(memory.begin() + 0x2400, memory.begin() + 0x3F00);
    stored = stored.substr(0, stored.find('\0'));
    std::replace(stored.begin(), stored.end(), '\r', '\n');
    EXPECT_EQ(stored, ReadFileText(EXAMPLES_DIR "/hello.bas"));
}
