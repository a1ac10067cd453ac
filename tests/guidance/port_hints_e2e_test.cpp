// What the programs say, on standard error, about a port argument that is
// no port: a file or a folder, an option given after the file name, the
// other host's port names, a COM number out of range; and about a device
// only its owner may open. Standard output stays as it always was.
#include <gtest/gtest.h>
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

// The arguments that make `program` open `port`, with its file in `dir`.
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
    return {dir.Write("p.hex", DataRecord(0x8000, {1, 2, 3}) + "\n:00000001FF\n"), port};
}

// Standard error with its wrapped lines joined again.
std::string Unwrapped(const std::string& errors) {
    return std::regex_replace(errors, std::regex("\r?\n {4,}"), " ");
}

std::string Escaped(const std::string& text) {
    return std::regex_replace(text, std::regex("[.^$|()\\[\\]{}*+?\\\\]"), "\\$&");
}

class EveryProgramPort : public ::testing::TestWithParam<ProgramRow> {};

class WindowsProgramPort : public HostTest<std::tuple<Host, ProgramRow>> {
  protected:
    const ProgramRow& program() const {
        return std::get<1>(GetParam());
    }
    RunResult RunWith(const std::vector<std::string>& args) const {
        return RunOnHostAtDevice(host(), "/nonexistent", program().name, args);
    }
};

std::string RowName(const ::testing::TestParamInfo<std::tuple<Host, ProgramRow>>& info) {
    return std::get<1>(info.param).name + "_" + HostName(std::get<0>(info.param));
}

// A file or a folder where the port belongs: said to be one, and nothing else.
void ExpectNotAPort(const RunResult& run, int status, const std::string& path,
                    const std::string& what) {
    EXPECT_EQ(run.status, status) << run.output << run.errors;
    EXPECT_TRUE(HoldsMatch(run.errors, "\nHint: '" + Escaped(path) + "' is a " + what +
                                           ", not a serial port\\.\r?\n$"))
        << run.errors;
    EXPECT_EQ(run.errors.find("no port"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("its number"), std::string::npos) << run.errors;
}

}  // namespace

TEST_P(EveryProgramPort, AFileOrAFolderAsThePortIsSaidToBeOne) {
    const ProgramRow& program = GetParam();
    TempDir dir;
    const std::string file = dir.Write("hello.bas", "10 PRINT 1\n");
    ExpectNotAPort(RunProgram(NativeExe(program.name), ArgumentsFor(program, dir, file)),
                   program.portStatus, file, "file");
    ExpectNotAPort(RunProgram(NativeExe(program.name), ArgumentsFor(program, dir, dir.path())),
                   program.portStatus, dir.path(), "folder");
}

INSTANTIATE_TEST_SUITE_P(Native, EveryProgramPort, ::testing::ValuesIn(ProgramRows()),
                         [](const ::testing::TestParamInfo<ProgramRow>& info) {
                             return info.param.name;
                         });

TEST_P(WindowsProgramPort, AFileAsThePortIsSaidToBeOne) {
    TempDir dir;
    const std::string file = dir.Write("hello.bas", "10 PRINT 1\n");
    ExpectNotAPort(RunWith(ArgumentsFor(program(), dir, file)), 2, file, "file");
}

TEST_P(WindowsProgramPort, APortNumberOfFiveDigitsIsOutOfRange) {
    TempDir dir;
    RunResult run = RunWith(ArgumentsFor(program(), dir, "99999"));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(EndsWith(run.output, Shown("\n ERROR! Port '99999' does not fit a port name (at "
                                           "most 11 characters)\n")))
        << run.output;
    EXPECT_TRUE(HoldsMatch(run.errors,
                           "^Hint: 99999 is out of range: COM port numbers go from 1 "
                           "to 9999\\.\r?\n$"))
        << run.errors;
}

TEST_P(WindowsProgramPort, TheOtherHostsPortNamePointsToThisHostsForm) {
    TempDir dir;
    if (native()) {
        // COM3 on Linux: the device paths, not the number that is /dev/ttyS2.
        RunResult run = RunWith(ArgumentsFor(program(), dir, "COM3"));
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                               "Hint: COM3 is a port's name on Windows\\. Here give the serial "
                               "device's path, such as /dev/ttyUSB0 for a USB adapter \\(the "
                               "number 3 alone would open /dev/ttyS2\\)\\. (Serial ports found:\n|"
                               "No serial ports were found here\\.\n)"))
            << run.errors;
        EXPECT_EQ(run.errors.find("type 3"), std::string::npos) << run.errors;
        if (program().job == Job::kTyping) {
            // The banner shows the port the argument made, as it always has.
            EXPECT_EQ(run.output.rfind(
                          "Z80 Basic Loader  FILE: '" + dir.path() + "/p.bas'  PORT: COM0\n", 0),
                      0u)
                << run.output;
        }
        return;
    }
    // A Linux device path under Windows: the COM number, from Device Manager.
    RunResult run = RunWith(ArgumentsFor(program(), dir, "/dev/ttyUSB0"));
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: '/dev/ttyUSB0' is no COM port number\\. On Windows a port is "
                           "given by its number: look it up in Device Manager, under \"Ports "
                           "\\(COM & LPT\\)\", where \"USB Serial Port \\(COM3\\)\" means 3\\."))
        << run.errors;
    EXPECT_EQ(run.errors.find("type 0"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, WindowsProgramPort,
                         ::testing::Combine(EveryHost(), ::testing::ValuesIn(WindowsProgramRows())),
                         RowName);

// ---------------------------------------------------------------------------
// Options after the file name

class UploaderOptions : public HostTest<std::tuple<Host, ProgramRow>> {};

TEST_P(UploaderOptions, AnOptionAfterTheFileIsShownBeforeIt) {
    const Host host = std::get<0>(GetParam());
    const ProgramRow& program = std::get<1>(GetParam());
    TempDir dir;
    const std::string file = ArgumentsFor(program, dir, "")[0];
    const std::string port = host == Host::Native ? "/nonexistent/ttyUSB9" : "7";
    RunResult run =
        RunOnHostAtDevice(host, "/nonexistent", program.name, {file, "--retry", "2", port});
    EXPECT_EQ(run.status, program.portStatus) << run.output << run.errors;
    // The option was taken as the port, as any word there is.
    EXPECT_TRUE(HoldsMatch(run.output, "failed with error [0-9]+\\.\r?\n$")) << run.output;
    EXPECT_NE(
        Unwrapped(run.errors)
            .find(ForHost(host, "Hint: options go before the file name, so '--retry' after '" +
                                    file + "' was not read as one. In this order: " + program.name +
                                    " --retry 2 " + file + " " + port + "\n")),
        std::string::npos)
        << run.errors;
    EXPECT_EQ(run.errors.find("no port"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("left over"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, UploaderOptions,
                         ::testing::Values(std::make_tuple(Host::Native, ProgramNamed("Torvanex")),
                                           std::make_tuple(Host::Native, ProgramNamed("Torvane")),
                                           std::make_tuple(Host::Wine, ProgramNamed("Torvane"))),
                         RowName);

// ---------------------------------------------------------------------------
// A device only its owner may open

TEST(PermissionHint, ADeviceOnlyRootMayOpenNamesItsOwnerAndAUdevRule) {
    TempDir dir;
    SimTarget sim;
    std::string device;
    RunResult run;
    if (geteuid() == 0) {
        // Root's own pseudo-terminal, mode 0600, tried by the user "nobody".
        ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
        const std::string file = ArgumentsFor(ProgramNamed("Torvanex"), dir, "")[0];
        ASSERT_EQ(chmod(file.c_str(), 0644), 0);
        ASSERT_EQ(chmod(sim.port().c_str(), 0600), 0);
        device = sim.port();
        const std::string copy = dir.Write("program", ReadFileText(NativeExe("Torvanex")));
        ASSERT_EQ(chmod(copy.c_str(), 0755), 0);
        run = RunProgram("setpriv",
                         {"--reuid=65534", "--regid=65534", "--clear-groups", copy, file, device});
    } else {
        // An ordinary user: a device of this machine that only root may open.
        for (const char* candidate : {"/dev/ttyS0", "/dev/console", "/dev/tty0"}) {
            struct stat info {};
            if (stat(candidate, &info) == 0 && S_ISCHR(info.st_mode) && info.st_uid == 0 &&
                (info.st_mode & 0066) == 0 && access(candidate, R_OK | W_OK) != 0) {
                device = candidate;
                break;
            }
        }
        if (device.empty()) {
            GTEST_SKIP() << "no device here that only root may open (mode 0600)";
        }
        run = RunProgram(NativeExe("Torvanex"),
                         {ArgumentsFor(ProgramNamed("Torvanex"), dir, "")[0], device});
    }
    EXPECT_EQ(run.status, 3) << run.output << run.errors;
    EXPECT_TRUE(HoldsMatch(run.output, "failed with error 13\\.\n$")) << run.output;
    EXPECT_TRUE(HoldsMatch(Unwrapped(run.errors),
                           "Hint: you may not use " + Escaped(device) +
                               ": only its owner, root, may open it \\(its mode is 0600, and its "
                               "group '[^']+' has no access\\)\\. "))
        << run.errors;
    // The rule on a line of its own, whole, whatever the width.
    EXPECT_TRUE(HoldsMatch(run.errors,
                           "\n    KERNEL==\"[^\"]+\", GROUP=\"[^\"]+\", "
                           "MODE=\"0660\"\n$"))
        << run.errors;
    EXPECT_EQ(run.errors.find("-aG root"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("join it"), std::string::npos) << run.errors;
}
