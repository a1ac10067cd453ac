// A hint in plain words after each common failure, on standard error, with
// the programs' own messages on standard output as they always were.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"

namespace {

std::string Native(const std::string& program) {
    return std::string(NATIVE_BIN_DIR) + "/" + program;
}

bool Holds(const std::string& text, const std::string& pattern) {
    return std::regex_search(text, std::regex(pattern));
}

const std::string kHexFile = DataRecord(0x8000, {1, 2, 3}) + "\n:00000001FF\n";

// The arguments that make `program` open `port` with a sound file (or
// output file) in `dir`.
std::vector<std::string> ArgumentsFor(const std::string& program, const TempDir& dir,
                                      const std::string& port) {
    if (program == "Quilmark") {
        return {"0000", "0010", dir.path() + "/dump.hex", port};
    }
    if (program == "Ferrolt") {
        return {dir.Write("p.bas", "10 PRINT 1\n"), port};
    }
    return {dir.Write("p.hex", kHexFile), port};
}

// Runs `exe` as the unprivileged user "nobody" (uid and gid 65534, no
// other groups), standard output and standard error captured. The program
// is copied to `dir` first, so that user can run it wherever the build is.
RunResult RunProgramAsUnprivilegedUser(const TempDir& dir, const std::string& exe,
                                       const std::vector<std::string>& args) {
    const std::string copy = dir.path() + "/program";
    const std::string image = ReadFileText(exe);
    dir.Write("program", image);
    chmod(copy.c_str(), 0755);
    const std::string outPath = dir.path() + "/stdout";
    const std::string errPath = dir.path() + "/stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        // As RunProgram: the program yields the processor to the simulated target.
        errno = 0;
        if (nice(kProgramNice) == -1 && errno != 0) {
            _exit(126);
        }
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(126);
        }
        std::vector<std::string> words = {copy};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = ReadFileText(outPath);
    result.errors = ReadFileText(errPath);
    return result;
}

class EveryProgram : public ::testing::TestWithParam<const char*> {};

class WindowsProgram : public ::testing::TestWithParam<std::tuple<Host, const char*>> {
  protected:
    void SetUp() override {
        if (std::get<0>(GetParam()) == Host::Wine && !HostAvailable(Host::Wine)) {
            GTEST_SKIP() << "the Windows build cannot run under Wine here";
        }
    }
};

const std::string kNoPortList =
    "(\\. Serial ports found:\r?\n(  \\S+( -> \\S+)?( \\(give \\d+\\))?\r?\n)+|, and no serial "
    "ports were found: is the adapter plugged in\\?\r?\n)";

}  // namespace

// ---------------------------------------------------------------------------
// A port that does not open, by cause

TEST_P(EveryProgram, NoSuchPortListsThePortsThatExist) {
    TempDir dir;
    const std::string program = GetParam();
    RunResult run = RunProgram(Native(program), ArgumentsFor(program, dir, "/nonexistent/ttyUSB9"));
    EXPECT_EQ(run.status, program == "Torvanex" ? 3 : 2);
    EXPECT_TRUE(Holds(run.output, "OpenCom.* failed with error 2\\.\n$")) << run.output;
    EXPECT_TRUE(Holds(run.errors, "Hint: there is no port /nonexistent/ttyUSB9" + kNoPortList))
        << run.errors;
}

TEST_P(EveryProgram, BusyPortNamesWhatMayHoldIt) {
    TempDir dir;
    SimTarget sim;
    // Another program holding the port, as the serial link itself claims it.
    const int holder = open(sim.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::string program = GetParam();
    RunResult run = RunProgram(Native(program), ArgumentsFor(program, dir, sim.port()));
    close(holder);
    EXPECT_EQ(run.status, program == "Torvanex" ? 3 : 2);
    EXPECT_TRUE(Holds(run.output, "failed with error 16\\.\n$")) << run.output;
    EXPECT_TRUE(Holds(run.errors, "Hint: " + sim.port() +
                                      " is busy: another program holds it\\. Close any terminal "
                                      "program.*ModemManager"))
        << run.errors;
}

TEST_P(EveryProgram, PermissionDeniedNamesTheGroupAndANewLogin) {
    TempDir dir;
    SimTarget sim;
    const std::string program = GetParam();
    std::vector<std::string> args = ArgumentsFor(program, dir, sim.port());
    RunResult run;
    if (geteuid() == 0) {
        // Root may open any device: the run is made as a user who may read
        // the file but not use the port.
        ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
        for (const char* name : {"/p.hex", "/p.bas"}) {
            chmod((dir.path() + name).c_str(), 0644);
        }
        ASSERT_EQ(chmod(sim.port().c_str(), 0660), 0);
        run = RunProgramAsUnprivilegedUser(dir, Native(program), args);
    } else {
        // An ordinary user (the suite's unprivileged run) owns the simulated
        // target's port: taking its own permissions away is enough.
        ASSERT_EQ(chmod(sim.port().c_str(), 0), 0);
        run = RunProgram(Native(program), args);
    }
    EXPECT_EQ(run.status, program == "Torvanex" ? 3 : 2) << run.output << run.errors;
    EXPECT_TRUE(Holds(run.output, "failed with error 13\\.\n$")) << run.output;
    EXPECT_TRUE(Holds(run.errors, "Hint: you may not use " + sim.port() +
                                      "\\. It belongs to the group '[^']+': join it \\(for "
                                      "example: sudo usermod -aG .*log out and in again"))
        << run.errors;
}

TEST_P(EveryProgram, SilenceAtTheWakeUpNamesTheUsualCauses) {
    TempDir dir;
    SimTarget sim({"--silent-wake"});
    const std::string program = GetParam();
    RunResult run = RunProgram(Native(program), ArgumentsFor(program, dir, sim.port()));
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(Holds(run.output, "\n ERROR! No Response from target$")) << run.output;
    EXPECT_TRUE(Holds(run.errors,
                      "Hint: the board did not answer the wake-up\\. Check that it has power; "
                      "that the cable crosses TX and RX .* at 9600 baud; and that it is not "
                      "left in BASIC by an earlier Ferrolt run \\(reset the board\\)\\.\n"))
        << run.errors;
}

TEST_P(EveryProgram, AnOptionAsFirstArgumentPointsToHelp) {
    const std::string program = GetParam();
    std::vector<std::string> args = {"-h"};
    if (program == "Quilmark") {
        args = {"-h", "0010", "dump.hex"};
    }
    RunResult run = RunProgram(Native(program), args);
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.output.find("Hint"), std::string::npos) << run.output;
    EXPECT_TRUE(Holds(run.errors, "Hint: '-h' looks like an option, but " + program +
                                      " takes none; for how to use it, run: " + program +
                                      " --help\n"))
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Native, EveryProgram,
                         ::testing::Values("Torvanex", "Torvane", "Quilmark", "Ferrolt"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// ---------------------------------------------------------------------------
// The Windows programs, natively and under Wine

TEST_P(WindowsProgram, PortNamedInsteadOfNumberedSaysToGiveTheNumber) {
    const Host host = std::get<0>(GetParam());
    const std::string program = std::get<1>(GetParam());
    for (const std::string port : {"COM3", "com3", "\\\\.\\COM3"}) {
        TempDir dir;
        std::vector<std::string> args = ArgumentsFor(program, dir, "{port}");
        args.back() = port;
        RunResult run = RunOnHostAtDevice(host, "/nonexistent", program, args);
        // The name built from it stays what it always was: COM0.
        EXPECT_EQ(run.status, 2) << port;
        EXPECT_TRUE(Holds(run.output, "failed with error [23]\\.\r?\n$")) << run.output;
        EXPECT_TRUE(Holds(run.errors, "Hint: give the port as its number alone: for " +
                                          std::regex_replace(port, std::regex("\\\\"), "\\\\") +
                                          " type 3, as in \"" + program + " <file> 3\"\\.\r?\n"))
            << port << ": " << run.errors;
    }
}

TEST_P(WindowsProgram, NoSuchPortListsThePortsThatExist) {
    const Host host = std::get<0>(GetParam());
    const std::string program = std::get<1>(GetParam());
    TempDir dir;
    std::vector<std::string> args = ArgumentsFor(program, dir, "99");
    RunResult run = host == Host::Native
                        ? RunProgram(Native(program), ArgumentsFor(program, dir, "/nonexistent/x"))
                        : RunOnHostAtDevice(host, "/nonexistent", program, args);
    EXPECT_EQ(run.status, 2);
    const std::string shown = host == Host::Native ? "/nonexistent/x" : "COM99";
    EXPECT_TRUE(Holds(run.errors, "Hint: there is no port " + shown + kNoPortList)) << run.errors;
}

TEST_P(WindowsProgram, OptionLikeFirstArgumentPointsToHelp) {
    const Host host = std::get<0>(GetParam());
    const std::string program = std::get<1>(GetParam());
    std::vector<std::string> args = {"/?"};
    if (program == "Quilmark") {
        args = {"/?", "0010", "dump.hex"};
    }
    RunResult run = RunOnHostAtDevice(host, "/nonexistent", program, args);
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(Holds(run.errors, "Hint: '/\\?' looks like an option, but " + program +
                                      " takes none; for how to use it, run: " + program +
                                      " --help\r?\n"))
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, WindowsProgram,
                         ::testing::Combine(::testing::Values(Host::Native, Host::Wine),
                                            ::testing::Values("Torvane", "Quilmark", "Ferrolt")),
                         [](const ::testing::TestParamInfo<std::tuple<Host, const char*>>& info) {
                             return std::string(std::get<1>(info.param)) + "_" +
                                    HostName(std::get<0>(info.param));
                         });

class FerroltOnHost : public ::testing::TestWithParam<Host> {
  protected:
    void SetUp() override {
        if (GetParam() == Host::Wine && !HostAvailable(Host::Wine)) {
            GTEST_SKIP() << "the Windows build cannot run under Wine here";
        }
    }
};

TEST_P(FerroltOnHost, EchoMismatchAtALineEndPointsToOldMacLineEnds) {
    TempDir dir;
    // Lines ended by a CR alone: the interpreter takes the first CR as the
    // end of the line and answers it, and that answer meets the next character.
    const std::string file = dir.Write("mac.bas", "10 PRINT 1\r20 END\r");
    SimTarget sim({"--basic-banner", "\r\nMemory top? ", "--basic-ready", "\r\nOk\r\n"});
    RunResult run = RunOnHost(GetParam(), "Ferrolt", {file, "{port}"}, sim);
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_TRUE(Holds(run.output, "ERROR! Echo Mismatch")) << run.output;
    EXPECT_TRUE(Holds(run.errors,
                      "Hint: the echo went wrong at a line end: the text may use "
                      "old Mac line ends \\(a CR alone\\)\\."))
        << run.errors;
}

TEST_P(FerroltOnHost, EchoMismatchElsewhereGivesNoLineEndHint) {
    TempDir dir;
    const std::string file = dir.Write("p.bas", "10 PRINT 1\n");
    SimTarget sim(
        {"--basic-banner", "\r\nMemory top? ", "--basic-ready", "\r\nOk\r\n", "--echo", "4=p"});
    RunResult run = RunOnHost(GetParam(), "Ferrolt", {file, "{port}"}, sim);
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_EQ(run.errors.find("Hint"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, FerroltOnHost, ::testing::Values(Host::Native, Host::Wine),
                         [](const ::testing::TestParamInfo<Host>& info) {
                             return HostName(info.param);
                         });
