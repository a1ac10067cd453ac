// A hint in plain words after each common failure, on standard error, with
// the programs' own messages on standard output as they always were.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

const std::string kHexFile = DataRecord(0x8000, {1, 2, 3}) + "\n:00000001FF\n";

// The arguments that make `program` open `port` with a sound file (or
// output file) in `dir`.
std::vector<std::string> ArgumentsFor(const ProgramRow& program, const TempDir& dir,
                                      const std::string& port) {
    switch (program.job) {
        case Job::kSave:
            return {"0000", "0010", dir.path() + "/dump.hex", port};
        case Job::kTyping:
            return {dir.Write("p.bas", "10 PRINT 1\n"), port};
        case Job::kUpload:
            break;
    }
    return {dir.Write("p.hex", kHexFile), port};
}

// `option` where the program's first argument belongs, with the rest of a
// command line as far as the program needs one to read the first.
std::vector<std::string> OptionFirst(const ProgramRow& program, const std::string& option) {
    if (program.job == Job::kSave) {
        return {option, "0010", "dump.hex"};
    }
    return {option};
}

// Runs `exe` as the unprivileged user "nobody" (uid and gid 65534, no
// other groups; setpriv drops root's rights before the program starts),
// standard output and standard error captured. The program is copied to
// `dir` first, so that user can run it wherever the build is.
RunResult RunProgramAsUnprivilegedUser(const TempDir& dir, const std::string& exe,
                                       const std::vector<std::string>& args) {
    const std::string copy = dir.Write("program", ReadFileText(exe));
    chmod(copy.c_str(), 0755);
    std::vector<std::string> words = {"--reuid=65534", "--regid=65534", "--clear-groups", copy};
    words.insert(words.end(), args.begin(), args.end());
    return RunProgram("setpriv", words);
}

// Standard error with its wrapped lines joined again.
std::string Unwrapped(const std::string& errors) {
    return std::regex_replace(errors, std::regex("\r?\n {4,}"), " ");
}

class EveryProgram : public ::testing::TestWithParam<ProgramRow> {};

class WindowsProgram : public HostTest<std::tuple<Host, ProgramRow>> {
  protected:
    const ProgramRow& program() const {
        return std::get<1>(GetParam());
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
    const ProgramRow& program = GetParam();
    RunResult run =
        RunProgram(NativeExe(program.name), ArgumentsFor(program, dir, "/nonexistent/ttyUSB9"));
    EXPECT_EQ(run.status, program.portStatus);
    EXPECT_TRUE(HoldsMatch(run.output, "OpenCom.* failed with error 2\\.\n$")) << run.output;
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: there is no port /nonexistent/ttyUSB9" + kNoPortList))
        << run.errors;
}

TEST_P(EveryProgram, BusyPortNamesWhatMayHoldIt) {
    TempDir dir;
    SimTarget sim;
    // Another program holding the port, as the serial link itself claims it.
    const int holder = open(sim.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const ProgramRow& program = GetParam();
    RunResult run = RunProgram(NativeExe(program.name), ArgumentsFor(program, dir, sim.port()));
    close(holder);
    EXPECT_EQ(run.status, program.portStatus);
    EXPECT_TRUE(HoldsMatch(run.output, "failed with error 16\\.\n$")) << run.output;
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: " + sim.port() +
                               " is busy: another program holds it\\. Close any terminal "
                               "program.*ModemManager"))
        << run.errors;
}

TEST_P(EveryProgram, PermissionDeniedNamesWhoMayOpenIt) {
    TempDir dir;
    SimTarget sim;
    const ProgramRow& program = GetParam();
    std::vector<std::string> args = ArgumentsFor(program, dir, sim.port());
    RunResult run;
    const bool root = geteuid() == 0;
    if (root) {
        // Root may open any device: the run is made as a user who may read
        // the file but not use the port.
        ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
        for (const char* name : {"/p.hex", "/p.bas"}) {
            chmod((dir.path() + name).c_str(), 0644);
        }
        // A group of its own that may use it: not root's, which is never
        // one to join.
        const group* users = getgrnam("tty");
        if (users == nullptr || users->gr_gid == 0) {
            GTEST_SKIP() << "no group 'tty' to give the port to";
        }
        ASSERT_EQ(chown(sim.port().c_str(), static_cast<uid_t>(-1), users->gr_gid), 0);
        ASSERT_EQ(chmod(sim.port().c_str(), 0660), 0);
        run = RunProgramAsUnprivilegedUser(dir, NativeExe(program.name), args);
    } else {
        // An ordinary user (the suite's unprivileged run) owns the simulated
        // target's port: taking its own permissions away is enough.
        ASSERT_EQ(chmod(sim.port().c_str(), 0), 0);
        run = RunProgram(NativeExe(program.name), args);
    }
    EXPECT_EQ(run.status, program.portStatus) << run.output << run.errors;
    EXPECT_TRUE(HoldsMatch(run.output, "failed with error 13\\.\n$")) << run.output;
    // As root, the group of the pseudo-terminal may use it: join that group.
    // Else the owner has shut itself out: it may give itself access.
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           root ? "Hint: you may not use " + sim.port() +
                                      "\\. It belongs to the group '[^']+', whose members may: "
                                      "join it \\(for example: sudo usermod -aG .*log out and in "
                                      "again"
                                : "Hint: you may not use " + sim.port() +
                                      ", though it is yours: its mode 0000 keeps even its owner "
                                      "out\\. Give yourself access: chmod u\\+rw " +
                                      sim.port() + "\n"))
        << run.errors;
}

TEST_P(EveryProgram, SilenceAtTheWakeUpNamesTheUsualCausesOnLinesOfTheirOwn) {
    TempDir dir;
    SimTarget sim({"--prompt", "\\x00"});  // a NUL reads as silence
    const ProgramRow& program = GetParam();
    RunResult run = RunProgram(NativeExe(program.name), ArgumentsFor(program, dir, sim.port()));
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(HoldsMatch(run.output, "\n ERROR! No Response from target$")) << run.output;
    // The transcript's line is left open: standard error ends it first.
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "\n\nHint: the board did not answer the wake-up\\. Check that:\n"
                           "  - it has power, and the cable crosses TX and RX .*\n"
                           "  - the board's line runs at 9600 baud;\n"
                           "  - no other program \\(a terminal\\) has the port open .*\n"
                           "  - it is not still in BASIC after an earlier BASIC load: reset "
                           "the board \\(a simulated target: start it again\\)\\.\n"))
        << run.errors;
    EXPECT_FALSE(HoldsMatch(run.errors, "[^\n]{80}")) << run.errors;
}

// "no/My Programs/big prog.hex 3" typed without quotes: there is no file
// "no/My" to read or folder "no" to write in, and two words are left over.
void ExpectLeftOverNamed(const ProgramRow& program, const RunResult& run, const std::string& dir) {
    EXPECT_EQ(run.status, program.fileStatus) << run.output << run.errors;
    EXPECT_TRUE(HoldsMatch(run.output, "ERROR: Cannot Open File '" + dir + "/no/My'\r?\n$"))
        << run.output;
    EXPECT_TRUE(
        HoldsMatch(Unwrapped(run.errors),
                   "^Hint: there is no file or folder '" + dir +
                       "/no/My' \\(a name is looked for from the folder you are in\\)\\.\r?\n"
                       "Hint: left over, not used: 'prog\\.hex' '3'\\. A name with "
                       "spaces needs quotes: \"" +
                       dir + "/no/My Programs/big prog\\.hex\"\\.\r?\n$"))
        << run.errors;
}

std::vector<std::string> NameSplitAtSpaces(const ProgramRow& program, const TempDir& dir) {
    std::vector<std::string> args = ArgumentsFor(program, dir, "Programs/big");
    (program.job == Job::kSave ? args[2] : args[0]) = dir.path() + "/no/My";
    args.insert(args.end(), {"prog.hex", "3"});
    return args;
}

TEST_P(EveryProgram, ArgumentsLeftOverAreNamed) {
    TempDir dir;
    const ProgramRow& program = GetParam();
    ExpectLeftOverNamed(
        program, RunProgram(NativeExe(program.name), NameSplitAtSpaces(program, dir)), dir.path());
}

TEST_P(EveryProgram, BareDeviceNameGetsItsPath) {
    const ProgramRow& program = GetParam();
    TempDir dir;
    RunResult run = RunProgram(NativeExe(program.name), ArgumentsFor(program, dir, "ttyZZ9"));
    EXPECT_EQ(run.status, program.portStatus);
    EXPECT_TRUE(HoldsMatch(run.errors,
                           "^[^\n]*\nHint: give a device by its path: for ttyZZ9 "
                           "type /dev/ttyZZ9\\.\n$"))
        << run.errors;
}

TEST_P(EveryProgram, AnOptionAsFirstArgumentPointsToHelp) {
    const ProgramRow& program = GetParam();
    RunResult run = RunProgram(NativeExe(program.name), OptionFirst(program, "-h"));
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.output.find("Hint"), std::string::npos) << run.output;
    // No file was meant: nothing about where files are looked for.
    EXPECT_EQ(run.errors.find("no file or folder"), std::string::npos) << run.errors;
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: '-h' is not an option of " + program.name +
                               ", whose options are --.*, and after the job --send TEXT, "
                               "--expect TEXT, --timeout S and --terminal; for how to use it, "
                               "run: " +
                               program.name + " --help\n"))
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Native, EveryProgram, ::testing::ValuesIn(ProgramRows()),
                         [](const ::testing::TestParamInfo<ProgramRow>& info) {
                             return info.param.name;
                         });

// ---------------------------------------------------------------------------
// The Windows programs, natively and under Wine

TEST_P(WindowsProgram, PortNamedInsteadOfNumberedSaysToGiveTheNumber) {
    if (native()) {
        GTEST_SKIP() << "a COM name on Linux: port_hints_e2e_test.cpp";
    }
    for (const std::string port : {"COM3", "com3", "\\\\.\\COM3"}) {
        TempDir dir;
        RunResult run = RunOnHostAtDevice(host(), "/nonexistent", program().name,
                                          ArgumentsFor(program(), dir, port));
        // The name built from it stays what it always was: COM0, whose
        // opening is the only word about it on standard output.
        EXPECT_EQ(run.status, 2) << port;
        EXPECT_TRUE(HoldsMatch(run.output, "failed with error [23]\\.\r?\n$")) << run.output;
        EXPECT_TRUE(
            HoldsMatch(run.errors, "^[^\n]*\nHint: give the port as its number: for " +
                                       std::regex_replace(port, std::regex("\\\\"), "\\\\") +
                                       " type 3\\.\r?\n$"))
            << port << ": " << run.errors;
    }
}

TEST_P(WindowsProgram, NoSuchPortListsThePortsThatExist) {
    TempDir dir;
    std::vector<std::string> args = ArgumentsFor(program(), dir, "99");
    RunResult run = native() ? RunProgram(NativeExe(program().name),
                                          ArgumentsFor(program(), dir, "/nonexistent/x"))
                             : RunOnHostAtDevice(host(), "/nonexistent", program().name, args);
    EXPECT_EQ(run.status, 2);
    const std::string shown = native() ? "/nonexistent/x" : "COM99";
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors), "Hint: there is no port " + shown + kNoPortList))
        << run.errors;
}

TEST_P(WindowsProgram, OptionLikeFirstArgumentPointsToHelp) {
    // Alone, "/?" asks Windows programs for their help; on Linux it is a path.
    const std::vector<std::string> args = OptionFirst(program(), "/?");
    RunResult run = RunOnHostAtDevice(host(), "/nonexistent", program().name, args);
    if (!native() && args.size() == 1) {
        EXPECT_EQ(run.status, 0) << run.output << run.errors;
        EXPECT_EQ(run.output.rfind(Shown("Usage: " + program().name + " "), 0), 0u) << run.output;
        EXPECT_NE(run.output.find(Shown("Exit status:\n")), std::string::npos) << run.output;
        return;
    }
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(
        HoldsMatch(Unwrapped(run.errors), "Hint: '/\\?' is not an option of " + program().name +
                                              ", .*run: " + program().name + " --help\r?\n"))
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, WindowsProgram,
                         ::testing::Combine(EveryHost(), ::testing::ValuesIn(WindowsProgramRows())),
                         [](const ::testing::TestParamInfo<std::tuple<Host, ProgramRow>>& info) {
                             return std::get<1>(info.param).name + "_" +
                                    HostName(std::get<0>(info.param));
                         });

class WindowsProgramUnderWine : public WindowsProgram {};

// EveryProgram covers the native builds.
TEST_P(WindowsProgramUnderWine, ArgumentsLeftOverAreNamed) {
    TempDir dir;
    ExpectLeftOverNamed(program(),
                        RunOnHostAtDevice(host(), "/nonexistent", program().name,
                                          NameSplitAtSpaces(program(), dir)),
                        dir.path());
}

INSTANTIATE_TEST_SUITE_P(Hosts, WindowsProgramUnderWine,
                         ::testing::Combine(::testing::Values(Host::Wine),
                                            ::testing::ValuesIn(WindowsProgramRows())),
                         [](const ::testing::TestParamInfo<std::tuple<Host, ProgramRow>>& info) {
                             return std::get<1>(info.param).name;
                         });

class FerroltOnHost : public HostTest<Host> {};

TEST_P(FerroltOnHost, EchoMismatchAtALineEndPointsToOldMacLineEnds) {
    TempDir dir;
    // A CR echoed for a letter: the interpreter ended the line there.
    const std::string file = dir.Write("p.bas", "10 PRINT 1\n");
    SimTarget sim(
        {"--basic-banner", "\r\nMemory top? ", "--basic-ready", "\r\nOk\r\n", "--echo", "4=\\r"});
    RunResult run = Run("Ferrolt", {file, "{port}"}, sim);
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_TRUE(HoldsMatch(run.output, "ERROR! Echo Mismatch")) << run.output;
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: the echo went wrong at a line end: the text may use "
                           "old Mac line ends \\(a CR alone\\)\\."))
        << run.errors;
}

TEST_P(FerroltOnHost, EchoMismatchElsewhereGivesNoLineEndHint) {
    TempDir dir;
    const std::string file = dir.Write("p.bas", "10 PRINT 1\n");
    SimTarget sim(
        {"--basic-banner", "\r\nMemory top? ", "--basic-ready", "\r\nOk\r\n", "--echo", "4=p"});
    RunResult run = Run("Ferrolt", {file, "{port}"}, sim);
    EXPECT_EQ(run.status, 4) << run.output;
    EXPECT_EQ(run.errors.find("Hint"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, FerroltOnHost, EveryHost(), HostCaseName);

TEST(QuilmarkHints, NumberAsFileNameAndTheLinuxDefaultPort) {
    struct stat info {};
    if (stat("/dev/ttyUSB0", &info) == 0) {
        GTEST_SKIP() << "/dev/ttyUSB0 exists here: the run would open a real adapter";
    }
    TempDir dir;
    // "3" meant as the port, the file name forgotten: the file "3" is made
    // in the folder the program runs in.
    RunResult run = RunProgram("/bin/sh", {"-c", "cd \"$0\" && exec \"$1\" 8000 80a0 3", dir.path(),
                                           NativeExe("Quilmark")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output,
              "Z80 Save Data\nStart [8000] (32768)  End [80A0] (32928)\nFILE: '3'\n"
              "OpenCom (1) failed with error 2.\n");
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: the memory is saved to a file named '3'\\. If 3 was meant as "
                           "the port, give the file name before it: Quilmark 8000 80A0 saved\\.hex "
                           "3\n"
                           "Hint: there is no port /dev/ttyUSB0"))
        << run.errors;
}

TEST(QuilmarkHints, AnOptionAloneAndTheVerifyUse) {
    RunResult run = RunProgram(NativeExe("Quilmark"), {"-h"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(EndsWith(run.output, "{filename} {com port}\n")) << run.output;
    EXPECT_EQ(Unwrapped(run.errors),
              "Hint: '-h' is not an option of Quilmark, whose options are --verify (first) "
              "and --load-address HHHH, and after the job --send TEXT, --expect TEXT, --timeout "
              "S and --terminal; for how to use it, run: Quilmark --help\n"
              "Hint: to check a loaded file against the target's memory: Quilmark --verify "
              "{filename} {com port}\n");
}
