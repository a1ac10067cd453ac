// The programs as an ordinary user meets them at a desk: one simulated board
// used by one program after another, port numbers that cannot be, file
// arguments that are no files, files changed while they are sent, an
// existing output file, and stops while a record is in flight. Natively;
// the suite also runs as a user other than root, who gets none of root's
// exemptions (scripts/test-unprivileged.sh).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"

namespace {

const std::string kBin = NATIVE_BIN_DIR;

// True while `port` is claimed for exclusive use (TIOCEXCL). Opening it
// succeeds for root whatever the claim, so this is asked, not tried.
bool ClaimedExclusive(const std::string& port) {
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0) << port << " could not be opened: error " << errno;
    int exclusive = 0;
    if (fd >= 0) {
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
        close(fd);
    }
    return exclusive != 0;
}

// The bytes of an Intel HEX file's data records, in order (no checks).
std::string DataOf(const std::string& hexText) {
    std::string data;
    std::size_t from = 0;
    while (from < hexText.size()) {
        std::size_t to = hexText.find('\n', from);
        if (to == std::string::npos) {
            to = hexText.size();
        }
        const std::string line = hexText.substr(from, to - from);
        from = to + 1;
        if (line.size() < 11 || line.compare(7, 2, "00") != 0) {
            continue;
        }
        const std::size_t count = std::stoul(line.substr(1, 2), nullptr, 16);
        for (std::size_t i = 0; i < count; ++i) {
            data += static_cast<char>(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
        }
    }
    return data;
}

}  // namespace

// The dry run of the README, on one simulated board reached through a link:
// each program opens the port after the one before it, and gives it back.
TEST(RealDesk, TheDryRunWorksProgramAfterProgramOnOneBoard) {
    TempDir dir;
    const std::string link = dir.path() + "/z80port";
    SimTarget sim({"--link", link});
    const std::string hello = ReadFileText(EXAMPLES_DIR "/hello.hex");
    const std::string helloFile = dir.Write("hello.hex", hello);
    const std::string saved = dir.path() + "/saved.hex";
    const std::string game = dir.Write("game.bas", "10 PRINT \"HELLO\"\n20 GOTO 10\n");

    RunResult run = RunProgram(kBin + "/Torvanex", {helloFile, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(EndsWith(run.output, "Done\r\n")) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));

    run = RunProgram(kBin + "/Quilmark", {"8000", "80A0", saved, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));
    // Whole records: the range saved is one byte longer than the one loaded.
    const std::string loaded = DataOf(hello);
    ASSERT_EQ(loaded.size(), 159u);
    EXPECT_EQ(DataOf(ReadFileText(saved)).substr(0, loaded.size()), loaded);

    run = RunProgram(kBin + "/Torvane", {helloFile, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(EndsWith(run.output, " Done...\n")) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));

    run = RunProgram(kBin + "/Ferrolt", {game, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(EndsWith(run.output, " Done...\n")) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));
}

// A COM number of five digits or more names no port the programs can hold,
// on this host as on Windows: refused with status 1 before anything opens.
TEST(RealDesk, FiveDigitPortNumbersAreRefusedBeforeAnythingOpens) {
    TempDir dir;
    HardeningJob job(dir);
    const std::string kept = "what was there before\n";
    dir.Write("save.hex", kept);
    for (const std::string program : {"Torvane", "Quilmark", "Ferrolt"}) {
        for (const std::string port : {"12345", "99999999"}) {
            SCOPED_TRACE(program + " " + port);
            std::vector<std::string> args = job.Args(program);
            args.back() = port;
            RunResult run = RunProgram(kBin + "/" + program, args);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(EndsWith(run.output, "\n ERROR! Port '" + port +
                                                 "' does not fit a port name (at most 11 "
                                                 "characters)\n"))
                << run.output;
        }
    }
    EXPECT_EQ(ReadFileText(job.saved), kept);
}
