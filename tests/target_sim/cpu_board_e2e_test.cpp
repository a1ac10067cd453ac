// The monitor firmware on the emulated board (targetsim --cpu), talked to
// through targetsim's pseudo-terminal as a host would: each answer of the
// monitor's table, what reaches memory, the go command and RST 08h, the
// line store, and a UART overrun. Also: the options refused with --cpu.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace {

// Waits for an answer this long: far beyond the line's pace, so a busy
// machine only makes a passing test slower.
constexpr int kAnswerMs = 20000;

// The host's end of the board's line: raw 9600 8N2, as the programs open it.
class BoardLine {
  public:
    explicit BoardLine(const std::string& port) {
        fd_ = open(port.c_str(), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(fd_, &raw);
        cfmakeraw(&raw);
        cfsetspeed(&raw, B9600);
        raw.c_cflag |= CSTOPB;
        tcsetattr(fd_, TCSANOW, &raw);
    }
    ~BoardLine() {
        close(fd_);
    }
    BoardLine(const BoardLine&) = delete;
    BoardLine& operator=(const BoardLine&) = delete;

    // Writes `text` in one write.
    bool Send(const std::string& text) {
        return write(fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // Everything read until `end` has arrived (returned with it), or what
    // came before kAnswerMs passed without it.
    std::string ReadUntil(const std::string& end) {
        std::string got;
        pollfd waiting{fd_, POLLIN, 0};
        char chunk[256];
        while (got.find(end) == std::string::npos && poll(&waiting, 1, kAnswerMs) > 0) {
            const ssize_t count = read(fd_, chunk, sizeof chunk);
            if (count <= 0) {
                break;
            }
            got.append(chunk, static_cast<std::size_t>(count));
        }
        return got;
    }
    // Sends `text` and returns the answer up to `end`.
    std::string Ask(const std::string& text, const std::string& end) {
        return Send(text) ? ReadUntil(end) : "";
    }

  private:
    int fd_ = -1;
};

// Loads `bytes` at `address` as 16-byte records, each answered "*".
void LoadBytes(BoardLine* line, unsigned address, const std::vector<unsigned char>& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::vector<unsigned char> part(
            bytes.begin() + static_cast<std::ptrdiff_t>(at),
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 16)));
        ASSERT_EQ(line->Ask(DataRecord(address + static_cast<unsigned>(at), part), "*"), "*");
    }
}

std::vector<unsigned char> Range(const std::vector<unsigned char>& memory, unsigned from,
                                 unsigned count) {
    if (memory.size() < from + count) {
        return {};
    }
    return std::vector<unsigned char>(memory.begin() + from, memory.begin() + from + count);
}

}  // namespace

TEST(CpuBoard, WakesWithItsBannerAndStoresARecordItAccepts) {
    SimTarget sim({"--cpu"});
    BoardLine line(sim.port());
    EXPECT_TRUE(EndsWith(line.Ask("@", "$$$ "), "$$$ "));
    EXPECT_EQ(line.Ask(":0380000001020377", "*"), "*");
    // The end record and an extended address record are taken as well.
    EXPECT_EQ(line.Ask(":020000040000FA", "*"), "*");
    EXPECT_EQ(Range(sim.Memory(), 0x8000, 4), (std::vector<unsigned char>{1, 2, 3, 0}));
}

TEST(CpuBoard, ABadChecksumGetsEAndAMalformedRecordAQuestionMarkAndNeitherIsStored) {
    SimTarget sim({"--cpu"});
    BoardLine line(sim.port());
    EXPECT_EQ(line.Ask(":0380000001020378", "E"), "E");
    EXPECT_EQ(line.Ask(":03800000010G0377", "?"), "?");
    // The rest of the malformed record ("0377") is no command; the line
    // still answers.
    EXPECT_TRUE(EndsWith(line.Ask("@", "$$$ "), "$$$ "));
    EXPECT_EQ(Range(sim.Memory(), 0x8000, 3), (std::vector<unsigned char>{0, 0, 0}));
}

TEST(CpuBoard, ADumpRequestAnswersTheBytesAndTheirRecordChecksum) {
    TempDir dir;
    std::string image(65536, '\0');
    const auto data = PatternBytes(0x41, 16);
    std::copy(data.begin(), data.end(), image.begin() + 0x8010);
    SimTarget sim({"--cpu", "--memory-in", dir.Write("memory.bin", image)});
    BoardLine line(sim.port());
    EXPECT_EQ(line.Ask(";", ">"), ">");
    // ":10801000" then the data digits and the checksum, as the monitor sends them.
    EXPECT_EQ(line.Ask("108010", "\r\n"), "=" + DataRecord(0x8010, data).substr(9) + "\r\n");
}

TEST(CpuBoard, TheLineStoreEchoesKeepsEachLineAndListsThem) {
    SimTarget sim({"--cpu"});
    BoardLine line(sim.port());
    EXPECT_TRUE(EndsWith(line.Ask("B", "top? "), "top? "));
    EXPECT_NE(line.Ask("\r", "Ok\r\n").find("Ok"), std::string::npos);
    for (const std::string typed : {"10 PRINT 1", "20 END"}) {
        for (char c : typed) {
            EXPECT_EQ(line.Ask(std::string(1, c), std::string(1, c)), std::string(1, c));
        }
        // A LF and a byte from 0x80 up are not echoed, nor kept.
        EXPECT_EQ(line.Ask("\n\x85\r", "\r\n"), "\r\n");
    }
    EXPECT_EQ(line.Ask("LIST\r", "Ok\r\n"), "LIST\r\n10 PRINT 1\r\n20 END\r\nOk\r\n");
    EXPECT_NE(line.Ask("HELP\r", "Ok\r\n").find("not a BASIC interpreter"), std::string::npos);
    // BYE goes back to the monitor.
    line.Ask("BYE\r", "\r\n");
    EXPECT_TRUE(EndsWith(line.Ask("@", "$$$ "), "$$$ "));
}

TEST(CpuBoard, GoRunsHelloWhichPrintsItsLineAndReturnsToTheMonitor) {
    const std::string hex = ReadFileText(EXAMPLES_DIR "/hello.hex");
    SimTarget sim({"--cpu"});
    BoardLine line(sim.port());
    std::size_t at = 0;
    for (std::size_t end; (end = hex.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string record = hex.substr(at, end - at);
        if (record != ":00000001FF") {
            ASSERT_EQ(line.Ask(record, "*"), "*") << record;
        }
    }
    EXPECT_EQ(line.Ask("G8000", "$$$ "), "Hello from the host!\r\n\r\n$$$ ");
    // A go to an address that is no hex is refused.
    EXPECT_EQ(line.Ask("G80X0", "?"), "?");
}

TEST(CpuBoard, RstEightPrintsAAndKeepsEveryOtherRegister) {
    // Saves AF before, then BC, DE, HL and AF after RST 08h at 9000h..9009h.
    const std::vector<unsigned char> program = {
        0x3E, 'R',               // ld a,'R'
        0x37,                    // scf
        0xF5, 0xE1,              // push af; pop hl
        0x22, 0x08, 0x90,        // ld (9008h),hl
        0x01, 0x34, 0x12,        // ld bc,1234h
        0x11, 0x78, 0x56,        // ld de,5678h
        0x21, 0xBC, 0x9A,        // ld hl,9ABCh
        0xCF,                    // rst 08h
        0xED, 0x43, 0x00, 0x90,  // ld (9000h),bc
        0xED, 0x53, 0x02, 0x90,  // ld (9002h),de
        0x22, 0x04, 0x90,        // ld (9004h),hl
        0xF5, 0xE1,              // push af; pop hl
        0x22, 0x06, 0x90,        // ld (9006h),hl
        0xC9,                    // ret
    };
    SimTarget sim({"--cpu"});
    BoardLine line(sim.port());
    LoadBytes(&line, 0x8100, program);
    EXPECT_EQ(line.Ask("G8100", "$$$ "), "R\r\n$$$ ");
    const auto memory = sim.Memory();
    EXPECT_EQ(Range(memory, 0x9000, 6),
              (std::vector<unsigned char>{0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A}));
    EXPECT_EQ(Range(memory, 0x9006, 2), Range(memory, 0x9008, 2));
    EXPECT_EQ(memory[0x9007], 'R');
}

TEST(CpuBoard, BytesFasterThanTheFirmwareReadsOverrunAndTheRecordGetsE) {
    // 20 cycles apart, a record written in one go outruns the firmware's
    // read loop: bytes are lost, the UART flags it, and the firmware refuses
    // the record once the line falls quiet.
    SimTarget sim({"--cpu", "--receive-gap", "20"});
    BoardLine line(sim.port());
    EXPECT_EQ(line.Ask(":0380000001020377", "E"), "E");
    EXPECT_TRUE(HasEvent(sim, "uart overrun"));
    EXPECT_EQ(Range(sim.Memory(), 0x8000, 3), (std::vector<unsigned char>{0, 0, 0}));
}

TEST(CpuBoard, TheBuiltInMonitorsOptionsAreRefusedEachWithItsName) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--cpu", "--silent-wake"}, "--silent-wake"},
        {{"--cpu", "--prompt", "$$$"}, "--prompt"},
        {{"--rom", "/dev/null", "--hang-up-at", "wake"}, "--hang-up-at"},
        {{"--receive-gap", "20"}, "--receive-gap"},
        {{"--rom", "/dev/null"}, "empty"},
    };
    for (const auto& [options, named] : refused) {
        SCOPED_TRACE(named);
        RunResult run = RunProgram(TARGETSIM_EXE, options, 20);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find(named), std::string::npos) << run.errors;
    }
}

TEST(CpuBoard, HelloAsmAssemblesToTheCheckedInHelloHex) {
    // The HEX file's data, placed at their addresses.
    std::vector<unsigned char> fromHex;
    const std::string hex = ReadFileText(EXAMPLES_DIR "/hello.hex");
    std::size_t at = 0;
    for (std::size_t end; (end = hex.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string record = hex.substr(at, end - at);
        const unsigned count = std::stoul(record.substr(1, 2), nullptr, 16);
        const unsigned address = std::stoul(record.substr(3, 4), nullptr, 16);
        if (record.substr(7, 2) != "00") {
            continue;
        }
        fromHex.resize(std::max<std::size_t>(fromHex.size(), address - 0x8000 + count));
        for (unsigned i = 0; i < count; ++i) {
            fromHex[address - 0x8000 + i] =
                static_cast<unsigned char>(std::stoul(record.substr(9 + 2 * i, 2), nullptr, 16));
        }
    }
    const std::string assembled = ReadFileText(HELLO_BIN);
    ASSERT_FALSE(assembled.empty());
    EXPECT_EQ(std::vector<unsigned char>(assembled.begin(), assembled.end()), fromHex);
}
