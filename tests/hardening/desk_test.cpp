// The programs as an ordinary user meets them at a desk: one simulated board
// used by one program after another, port numbers that cannot be, file
// arguments that are no files, an existing output file, and stops while a
// record is in flight. Natively;
// the suite also runs as a user other than root, who gets none of root's
// exemptions (scripts/test-unprivileged.sh).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"

namespace {

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

// The dry run of docs/simulated-target.md, on one simulated board reached
// through a link: each program opens the port after the one before it, and
// gives it back.
TEST(RealDesk, TheDryRunWorksProgramAfterProgramOnOneBoard) {
    TempDir dir;
    const std::string link = dir.path() + "/z80port";
    SimTarget sim({"--link", link});
    const std::string hello = ReadFileText(EXAMPLES_DIR "/hello.hex");
    const std::string helloFile = dir.Write("hello.hex", hello);
    const std::string saved = dir.path() + "/saved.hex";
    const std::string game = dir.Write("hello.bas", ReadFileText(EXAMPLES_DIR "/hello.bas"));

    RunResult run = RunProgram(NativeExe("Torvanex"), {helloFile, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(EndsWith(run.output, "Done\r\n")) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));

    run = RunProgram(NativeExe("Quilmark"), {"--verify", helloFile, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Verify OK: 159 bytes compared, 0 differ"), std::string::npos)
        << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));

    run = RunProgram(NativeExe("Quilmark"), {"8000", "80A0", saved, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));
    // Whole records: the range saved is one byte longer than the one loaded.
    const std::string loaded = DataOf(hello);
    ASSERT_EQ(loaded.size(), 159u);
    EXPECT_EQ(DataOf(ReadFileText(saved)).substr(0, loaded.size()), loaded);

    run = RunProgram(NativeExe("Torvane"), {helloFile, link});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(EndsWith(run.output, " Done...\n")) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));

    run = RunProgram(NativeExe("Ferrolt"), {game, link});
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
    for (const auto& program : WindowsProgramRows()) {
        for (const std::string port : {"12345", "99999999"}) {
            SCOPED_TRACE(program.name + " " + port);
            std::vector<std::string> args = job.Args(program);
            args.back() = port;
            RunResult run = RunProgram(NativeExe(program.name), args);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(EndsWith(run.output, "\n ERROR! Port '" + port +
                                                 "' does not fit a port name (at most 11 "
                                                 "characters)\n"))
                << run.output;
        }
    }
    EXPECT_EQ(ReadFileText(job.saved), kept);
}

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

// A FIFO, a terminal (the port itself, given where the file belongs), a
// device and a socket: refused for what they are, with the file status,
// before anything is opened or read; a run never hangs on one.
TEST(RealDesk, FileArgumentsThatAreNoFilesAreRefusedBeforeAnythingBlocks) {
    TempDir dir;
    HardeningJob job(dir);
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = dir.path() + "/socket";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    SimTarget sim;
    const std::vector<std::pair<std::string, std::string>> notFiles = {{fifo, "a FIFO"},
                                                                       {sim.port(), "a device"},
                                                                       {"/dev/null", "a device"},
                                                                       {socketPath, "a socket"}};
    for (const auto& program : ProgramRows()) {
        if (program.job == Job::kSave) {
            continue;  // below: its file is the third argument
        }
        for (const auto& [path, what] : notFiles) {
            SCOPED_TRACE(program.name + " " + path);
            RunResult run = RunProgram(NativeExe(program.name), {path, sim.port()}, 30);
            EXPECT_EQ(run.status, program.fileStatus);
            EXPECT_TRUE(EndsWith(run.output, "ERROR: Cannot Open File '" + path + "': is " + what +
                                                 ", not a file\n"))
                << run.output;
        }
    }
    for (const auto& [path, what] : notFiles) {
        SCOPED_TRACE("Quilmark " + path);
        RunResult run = RunProgram(NativeExe("Quilmark"), {"0000", "0010", path, sim.port()}, 30);
        EXPECT_EQ(run.status, 255);
        EXPECT_TRUE(EndsWith(
            run.output, "ERROR: Cannot Open File '" + path + "': is " + what + ", not a file\n"))
            << run.output;
    }
    close(listener);
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

// A file cut short or rewritten while it is sent changes nothing the
// target gets: what was checked is sent whole, and the run is done.
TEST(RealDesk, AFileChangedWhileItIsSentIsSentAsChecked) {
    TempDir dir;
    const auto records = LongUpload(30, 1);
    std::string program;
    for (int line = 10; line <= 400; line += 10) {
        program += std::to_string(line) + " PRINT \"LINE " + std::to_string(line) + "\"\n";
    }
    const std::string hex = RecordLines(records, 30) + ":00000001FF\n";
    std::string allRecords;
    for (const auto& record : records) {
        allRecords += record;
    }
    struct Change {
        std::string program;
        std::string fileName;  // the file it is given, holding `before`
        std::string before;
        std::string seen;     // the event after which the file changes
        std::string changed;  // what the file then holds
        std::string sent;     // what the target gets after "@"
    };
    std::string rewritten = hex;
    rewritten[rewritten.find(records[20]) + 9] = 'F';  // same size, other data
    const std::vector<Change> changes = {
        {"Torvanex", "prog.hex", hex, "record 3 ", RecordLines(records, 10), allRecords},
        {"Torvanex", "prog.hex", hex, "record 3 ", rewritten, allRecords},
        {"Torvane", "prog.hex", hex, "record 3 ", RecordLines(records, 10), allRecords + "!"},
        {"Ferrolt", "prog.bas", program, "basic line 20 ", program.substr(0, program.find("150 ")),
         ""},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.program + " " + std::to_string(change.changed.size()));
        const std::string file = dir.Write(change.fileName, change.before);
        SimTarget sim;
        RunResult run = RunAndDo(
            change.program, {file, "{port}"}, sim, [&] { return HasEvent(sim, change.seen); },
            [&](pid_t) { dir.Write(change.fileName, change.changed); });
        sim.Stop();
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(EndsWith(run.output, ProgramNamed(change.program).done)) << run.output;
        if (change.program == "Ferrolt") {
            EXPECT_TRUE(HasEvent(sim, "basic line 400 ")) << sim.Received();
        } else {
            EXPECT_EQ(sim.Received(), "@" + change.sent);
        }
    }
}

// Quilmark leaves the file that was there until it has saved something: a
// stop before the first record keeps it and leaves nothing beside it; a
// save that ends in the middle replaces it with the records saved and the
// end record; a link keeps leading to the file it led to.
TEST(RealDesk, QuilmarkReplacesAFileOnlyWithWhatItSaved) {
    TempDir dir;
    HardeningJob job(dir);
    const std::string old = ":00000001FF\n";
    dir.Write("save.hex", old);
    {
        SimTarget silent(job.Options("Quilmark", {"--silent-wake"}));
        RunResult run = RunAndDo(
            "Quilmark", {"0000", "0030", job.saved, "{port}"}, silent,
            [&] { return HasEvent(silent, "wake ignored"); }, [](pid_t pid) { kill(pid, SIGINT); });
        EXPECT_EQ(run.status, 128 + SIGINT);
        EXPECT_TRUE(EndsWith(run.output, Stopped(SIGINT))) << run.output;
        EXPECT_EQ(ReadFileText(job.saved), old);
    }
    {
        SimTarget sim(job.Options("Quilmark", {"--hang-up-at", "dump:3"}));
        RunResult run = RunProgram(NativeExe("Quilmark"), {"0000", "0100", job.saved, sim.port()});
        EXPECT_EQ(run.status, 4);
        EXPECT_EQ(ReadFileText(job.saved), job.SavedRecords(2) + kEndLines);
    }
    {
        const std::string link = dir.path() + "/link.hex";
        ASSERT_EQ(symlink(job.saved.c_str(), link.c_str()), 0);
        SimTarget sim(job.Options("Quilmark", {}));
        RunResult run = RunProgram(NativeExe("Quilmark"), {"0000", "0030", link, sim.port()});
        EXPECT_EQ(run.status, 0) << run.output;
        struct stat info {};
        ASSERT_EQ(lstat(link.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
        EXPECT_EQ(ReadFileText(job.saved), job.SavedRecords(3) + kEndLines);
    }
    // Only the files the case made: no temporary file is left behind.
    EXPECT_EQ(RunProgram("/bin/sh", {"-c", "ls -A \"$0\"", dir.path()}).output,
              "image.bin\nlink.hex\nprog.bas\nprog.hex\nsave.hex\n");
}

// The terminal closed (SIGHUP) during a save: a stop like any other, the
// file ending with its end record, status 129.
TEST(RealDesk, ClosingTheTerminalStopsASaveWithAValidFile) {
    TempDir dir;
    HardeningJob job(dir);
    SimTarget sim(job.Options("Quilmark", {}));
    RunResult run = RunAndDo(
        "Quilmark", {"0000", "1000", job.saved, "{port}"}, sim,
        [&] { return HasEvent(sim, "dump 3 "); }, [](pid_t pid) { kill(pid, SIGHUP); });
    EXPECT_EQ(run.status, 128 + SIGHUP);
    EXPECT_TRUE(EndsWith(run.output, Stopped(SIGHUP))) << run.output;
    const std::string saved = ReadFileText(job.saved);
    ASSERT_GE(saved.size(), kEndLines.size());
    EXPECT_EQ(saved.substr(saved.size() - kEndLines.size()), kEndLines);
    const std::size_t records = Count(saved, "\n") - 2;
    EXPECT_GE(records, 2u);
    EXPECT_EQ(saved, job.SavedRecords(static_cast<unsigned>(records)) + kEndLines);
}

// A stop while Torvanex types a record finishes that record and hears its
// verdict: the target gets whole records only.
TEST(RealDesk, AStopLandsBetweenRecords) {
    TempDir dir;
    const auto records = LongUpload(30, 1);
    const std::string file = dir.Write("long.hex", RecordLines(records, 30) + ":00000001FF\n");
    SimTarget sim;
    // Ready when the third record is half way out.
    const std::string half = records[2].substr(0, 20);
    RunResult run = RunAndDo(
        "Torvanex", {file, "{port}"}, sim,
        [&] { return sim.Received().find(half) != std::string::npos; },
        [](pid_t pid) { kill(pid, SIGINT); });
    sim.Stop();
    EXPECT_EQ(run.status, 128 + SIGINT);
    EXPECT_TRUE(EndsWith(run.output, "*\r\n" + Stopped(SIGINT))) << run.output;
    const std::string received = sim.Received();
    std::string whole = "@";
    std::size_t sent = 0;
    while (sent < records.size() && whole.size() < received.size()) {
        whole += records[sent++];
    }
    EXPECT_EQ(received, whole);
    EXPECT_GE(sent, 3u);
    EXPECT_EQ(Count(run.output, "*\r\n"), sent);
}

// Ctrl-C while Ferrolt waits for the monitor: nothing more is sent, not
// "B", not the CR.
TEST(RealDesk, AStopWhileFerroltStartsBasicSendsNothingMore) {
    TempDir dir;
    HardeningJob job(dir);
    SimTarget sim;
    RunResult run = RunAndDo(
        "Ferrolt", {job.basicFile, "{port}"}, sim, [&] { return HasEvent(sim, "wake"); },
        [](pid_t pid) { kill(pid, SIGINT); });
    sim.Stop();
    EXPECT_EQ(run.status, 128 + SIGINT);
    EXPECT_TRUE(EndsWith(run.output, Stopped(SIGINT))) << run.output;
    EXPECT_EQ(sim.Received(), "@");
}

// A second Ctrl-C ends the run at once, while the first still waits for the
// verdict on the record in flight; the port is given back all the same.
TEST(RealDesk, ASecondCtrlCStopsAtOnce) {
    TempDir dir;
    HardeningJob job(dir);
    SimTarget sim({"--silent-from-record", "2"});
    RunResult run = RunProgram(NativeExe("Torvanex"), {job.hexFile, sim.port()}, kRunLimitSec, {},
                               [&](pid_t pid) {
                                   if (HasEvent(sim, "record 2 not answered")) {
                                       kill(pid, SIGINT);  // again every 10 ms until it ends
                                   }
                               });
    EXPECT_EQ(run.status, 128 + SIGINT);
    EXPECT_TRUE(EndsWith(run.output, "\n ERROR! Stopped at once (Ctrl-C)\n")) << run.output;
    EXPECT_FALSE(ClaimedExclusive(sim.port()));
}
