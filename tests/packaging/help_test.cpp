// --help and --version on every program, natively and, for the Windows
// build, under Wine: answered only when the word is the one argument; in any
// other place it is what that place makes it (a file, an address).
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

const std::string kVersion = TOOLS_VERSION;

// What --help shows of each program: one row a program.
struct HelpRow {
    std::string program;
    std::string usage;                  // its usage line
    std::vector<std::string> statuses;  // the exit statuses it lists; "{failed}" is -1, which
                                        // shows as 255 natively
};

const std::vector<HelpRow>& HelpRows() {
    static const std::vector<HelpRow> rows = {
        {"Torvanex",
         "Usage: Torvanex [--retry N] [--from-line N] [--load-address HHHH] {filename} {port}",
         {"0", "1", "2", "3", "4", "5", "8", "130", "143"}},
        {"Torvane",
         "Usage: Torvane [--retry N] [--from-line N] [--load-address HHHH] {filename} {port}",
         {"0", "1", "{failed}", "2", "3", "4", "5", "8", "130", "143"}},
        {"Quilmark",
         "Usage: Quilmark {start address} {end address} {filename} {com port}",
         {"0", "1", "{failed}", "2", "3", "4", "5", "6", "7", "8", "130", "143"}},
        {"Ferrolt",
         "Usage: Ferrolt [--run] {filename} {port}",
         {"0", "1", "{failed}", "2", "3", "4", "8", "130", "143"}},
    };
    return rows;
}

struct ProgramOnHost {
    Host host;
    HelpRow row;
};

// Shows a case as "Native Torvanex" in test lists and failure messages.
void PrintTo(const ProgramOnHost& run, std::ostream* out) {
    *out << HostName(run.host) << " " << run.row.program;
}

std::string CaseName(const ::testing::TestParamInfo<ProgramOnHost>& info) {
    return HostName(info.param.host) + "_" + info.param.row.program;
}

// Every program on this host, and the Windows programs under Wine.
std::vector<ProgramOnHost> AllPrograms() {
    std::vector<ProgramOnHost> cases;
    for (const Host host : {Host::Native, Host::Wine}) {
        for (const auto& row : HelpRows()) {
            if (host == Host::Native || ProgramNamed(row.program).windowsBuild) {
                cases.push_back({host, row});
            }
        }
    }
    return cases;
}

// The exit statuses the help of `run` lists: -1 shows as 255 natively, and
// a run stopped by SIGINT, SIGTERM or (natively) SIGQUIT or SIGHUP ends with
// 128 + the signal number.
std::vector<std::string> Statuses(const ProgramOnHost& run) {
    std::vector<std::string> statuses;
    for (const auto& status : run.row.statuses) {
        statuses.push_back(Filled(status, {{"{failed}", run.host == Host::Wine ? "-1" : "255"}}));
    }
    if (run.host == Host::Native) {
        statuses.insert(statuses.end(), {"131", "129"});
    }
    return statuses;
}

// Runs in a fresh directory, so a relative file argument such as "--help"
// names a file there. The directory is left again at the end of scope.
class InDirectory {
  public:
    explicit InDirectory(const std::string& dir) {
        if (getcwd(previous_, sizeof previous_) == nullptr) {
            previous_[0] = '\0';
        }
        EXPECT_EQ(chdir(dir.c_str()), 0) << dir;
    }
    ~InDirectory() {
        if (previous_[0] != '\0') {
            EXPECT_EQ(chdir(previous_), 0);
        }
    }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

  private:
    char previous_[PATH_MAX];
};

class HelpAndVersion : public HostTest<ProgramOnHost> {
  protected:
    const std::string& program() const {
        return GetParam().row.program;
    }
    RunResult Run(const std::vector<std::string>& args, const SimTarget& sim) {
        return HostTest::Run(program(), args, sim, 60);
    }
};

}  // namespace

TEST_P(HelpAndVersion, HelpAloneShowsUsageStatusesAndVersionAndSucceeds) {
    const std::string& program = this->program();
    SimTarget sim;

    RunResult run = Run({"--help"}, sim);
    sim.Stop();

    EXPECT_EQ(run.status, 0);
    // The usage line first, no banner, the version line last.
    EXPECT_EQ(run.output.rfind(Shown(GetParam().row.usage + "\n"), 0), 0u) << run.output;
    const std::string last = Shown("\n" + program + " " + kVersion + "\n");
    ASSERT_GE(run.output.size(), last.size());
    EXPECT_EQ(run.output.substr(run.output.size() - last.size()), last) << run.output;
    for (const std::string& status : Statuses(GetParam())) {
        const std::string line = std::string(4 - status.size(), ' ') + status + "  ";
        EXPECT_NE(run.output.find(Shown("\n" + line)), std::string::npos)
            << "no line for status " << status << " in:\n"
            << run.output;
    }
    // Nothing reached a port.
    EXPECT_EQ(sim.Received(), "");
}

TEST_P(HelpAndVersion, VersionAloneShowsTheVersionAndSucceeds) {
    SimTarget sim;

    RunResult run = Run({"--version"}, sim);
    sim.Stop();

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, Shown(program() + " " + kVersion + "\n"));
    EXPECT_EQ(sim.Received(), "");
}

// "/?" alone is how Windows programs are asked for help: there it is the
// same as --help; on Linux it is a path like any other.
TEST_P(HelpAndVersion, SlashQuestionAloneIsTheHelpOnWindowsOnly) {
    SimTarget sim;
    RunResult help = Run({"--help"}, sim);
    RunResult asked = Run({"/?"}, sim);
    sim.Stop();
    if (native()) {
        EXPECT_NE(asked.status, 0) << asked.output;
        EXPECT_NE(asked.output, help.output);
    } else {
        EXPECT_EQ(asked.status, 0) << asked.output;
        EXPECT_EQ(asked.output, help.output);
    }
    EXPECT_EQ(sim.Received(), "");
}

// With a port after it, "--help" and "--version" are file names like any
// other: the uploaders load such a file, Ferrolt types it, Quilmark (where
// the file comes third) writes it.
TEST_P(HelpAndVersion, TheWordsAreFilesWhenTheyAreNotAlone) {
    for (const std::string word : {"--help", "--version"}) {
        SCOPED_TRACE(word);
        TempDir dir;
        InDirectory inside(dir.path());
        const std::string record = DataRecord(0x8000, {0x3E, 0x41, 0xC9});
        SimTarget sim;
        RunResult run;
        switch (ProgramNamed(program()).job) {
            case Job::kSave:
                run = Run({"8000", "8001", word, "{port}"}, sim);
                sim.Stop();
                EXPECT_EQ(run.status, 0) << run.output;
                EXPECT_EQ(ReadFileText(dir.path() + "/" + word).substr(0, 9), ":10800000")
                    << run.output;
                break;
            case Job::kTyping:
                dir.Write(word, "10 PRINT 1\n");
                run = Run({word, "{port}"}, sim);
                sim.Stop();
                EXPECT_EQ(run.status, 0) << run.output;
                EXPECT_NE(sim.Received().find("10 PRINT 1"), std::string::npos) << run.output;
                break;
            case Job::kUpload: {
                dir.Write(word, record + "\n:00000001FF\n");
                run = Run({word, "{port}"}, sim);
                const std::vector<unsigned char> memory = sim.Memory();
                EXPECT_EQ(run.status, 0) << run.output;
                EXPECT_EQ(memory[0x8000], 0x3E);
                EXPECT_EQ(memory[0x8002], 0xC9);
                break;
            }
        }
        EXPECT_NE(run.output.find("FILE: '" + word + "'"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Usage:"), std::string::npos) << run.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, HelpAndVersion, ::testing::ValuesIn(AllPrograms()), CaseName);

// In an address's place the words are addresses, and not sound ones.
TEST(QuilmarkHelpWord, InTheAddressPlaceIsABadAddress) {
    SimTarget sim;

    RunResult run = RunOnHost(Host::Native, "Quilmark", {"--help", "8000", "saved.hex"}, sim, 60);
    sim.Stop();

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(
        run.output,
        "Z80 Save Data\n\n ERROR! Bad Start Address '--help' (give one to four hex digits)\n");
}
