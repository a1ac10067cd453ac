// Every program over network ports, against a real ser2net in front of the
// simulated target: tcp:// and rfc2217://, natively and the Windows builds
// under Wine. A job is done as on a local port; a server that is not there,
// a name that does not resolve and a server killed mid-run end the run with
// the port's status. Answers held back (targetsim --latency) draw the hint.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "launch/ser2net.h"
#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

const std::string kLine9600 = "speed=9600 data=8 stop=2 parity=none raw=yes";
const std::string kSlowHint = "Hint: the board's answers came back slowly";

struct NetCase {
    Host host;
    ProgramRow program;
    bool rfc2217;  // the form of the port: rfc2217:// or tcp://
};

void PrintTo(const NetCase& c, std::ostream* out) {
    *out << c.program.name << (c.rfc2217 ? " rfc2217 " : " tcp ") << HostName(c.host);
}

std::vector<NetCase> NetCases() {
    std::vector<NetCase> cases;
    for (Host host : {Host::Native, Host::Wine}) {
        for (const auto& program : ProgramRows()) {
            for (bool rfc2217 : {false, true}) {
                if (host == Host::Native || program.windowsBuild) {
                    cases.push_back({host, program, rfc2217});
                }
            }
        }
    }
    return cases;
}

std::string NetCaseName(const ::testing::TestParamInfo<NetCase>& info) {
    return info.param.program.name + (info.param.rfc2217 ? "_Rfc2217_" : "_Tcp_") +
           HostName(info.param.host);
}

// The line settings in force while the host talked: those the simulator
// last noted before the last bytes it received (after the run the server
// may set the line back).
std::string SettingsWhileTalking(const SimTarget& sim) {
    std::string settings;
    std::string atLastReceived;
    for (const auto& line : sim.Transcript()) {
        if (line.kind == 'L') {
            settings = line.text;
        } else if (line.kind == 'R') {
            atLastReceived = settings;
        }
    }
    return atLastReceived;
}

// A fault in the middle of each program's job, and how the run ends when
// the server is killed there: the simulator's options that hold the run at
// that point, the event that says it got there, and the exit status.
struct MidRun {
    std::vector<std::string> options;
    std::string event;
    int lostStatus;
};

MidRun MidRunOf(const ProgramRow& program) {
    switch (program.job) {
        case Job::kSave:
            return {{"--dump-answer", "2="}, "dump 2 ", 4};
        case Job::kTyping:
            return {
                {"--drop-echo", "3", "--drop-echo", "4", "--drop-echo", "5"}, "echo 3 dropped", 3};
        case Job::kUpload:
            break;
    }
    return {{"--silent-from-record", "2"}, "record 2 not answered", 4};
}

class NetPortRun : public HostTest<NetCase> {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        const std::string reason = Ser2netUnavailableReason();
        if (!reason.empty()) {
            const char* ci = std::getenv("CI");
            ASSERT_TRUE(ci == nullptr || *ci == '\0') << reason;
            GTEST_SKIP() << reason;
        }
    }
    const ProgramRow& program() const {
        return GetParam().program;
    }
    std::string PortOf(const Ser2net& server) const {
        return GetParam().rfc2217 ? server.Rfc2217() : server.Raw();
    }
    std::string Scheme() const {
        return GetParam().rfc2217 ? "rfc2217://" : "tcp://";
    }
    RunResult RunJob(const std::string& port, const WhileRunning& whileRunning = nullptr) {
        return RunOnHostAtPortName(host(), port, program().name, job_.Args(program()), kRunLimitSec,
                                   whileRunning);
    }
    // The job's result in the simulated target or the saved file.
    void ExpectJobDone(SimTarget& sim) {
        switch (program().job) {
            case Job::kSave:
                EXPECT_EQ(ReadFileText(job_.saved), Shown(job_.SavedRecords(3) + kEndLines));
                break;
            case Job::kTyping:
                EXPECT_TRUE(HasEvent(sim, "basic line 20 END"));
                break;
            case Job::kUpload: {
                const std::vector<unsigned char> memory = sim.Memory();
                for (unsigned i = 0; i < 12; ++i) {
                    EXPECT_EQ(memory[0x0100 + i], (i / 4) * 16 + i % 4 + 1) << i;
                }
                break;
            }
        }
    }
    // What a program prints before its port's error code, for a port that
    // did not open.
    std::string OpenFailedBefore(const std::string& port) const {
        const std::string line = OpenFailure(program(), port, 0);
        return Shown(line.substr(0, line.rfind(' ') + 1));
    }

    TempDir dir_;
    HardeningJob job_{dir_};
};

}  // namespace

TEST_P(NetPortRun, AJobThroughTheServerIsDoneAsOnALocalPort) {
    SimTarget sim(job_.Options(program(), {}));
    Ser2net server(sim.port());
    ASSERT_TRUE(server.ok()) << server.why();

    RunResult run = RunJob(PortOf(server));

    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_EQ(ReportedPort(run.output), PortOf(server));
    EXPECT_TRUE(EndsWith(run.output, Shown(program().done))) << run.output;
    EXPECT_EQ(SettingsWhileTalking(sim), kLine9600);
    EXPECT_EQ(run.errors.find(kSlowHint), std::string::npos) << run.errors;
    ExpectJobDone(sim);
}

TEST_P(NetPortRun, NothingListeningOrANameThatDoesNotResolveIsThePortsStatus) {
    const std::string refused = Scheme() + "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    const std::string unknown = Scheme() + "no-such-board.invalid:3001";
    for (const auto& [port, why] :
         {std::pair{refused, "did not open: 127.0.0.1 port"},
          std::pair{unknown, "the name 'no-such-board.invalid' does not resolve"}}) {
        RunResult run = RunJob(port);
        EXPECT_EQ(run.status, program().portStatus);
        EXPECT_NE(run.output.find(OpenFailedBefore(port)), std::string::npos) << run.output;
        EXPECT_NE(run.errors.find(why), std::string::npos) << run.errors;
    }
}

TEST_P(NetPortRun, ANameOverItsBoundIsRefusedWithStatusOne) {
    const std::string port = Scheme() + std::string(80, 'h') + ":3001";
    RunResult run = RunJob(port);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find(Shown("(at most 79 characters)\n")), std::string::npos) << run.output;
}

TEST_P(NetPortRun, AServerKilledMidRunIsALostPort) {
    const MidRun midRun = MidRunOf(program());
    SimTarget sim(job_.Options(program(), midRun.options));
    Ser2net server(sim.port());
    ASSERT_TRUE(server.ok()) << server.why();

    bool killed = false;
    RunResult run = RunJob(PortOf(server), [&](pid_t) {
        if (!killed && HasEvent(sim, midRun.event)) {
            server.Kill();
            killed = true;
        }
    });

    ASSERT_TRUE(killed) << run.output;
    EXPECT_EQ(run.status, midRun.lostStatus) << run.output;
    EXPECT_NE(run.output.find(Shown(kPortLost)), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Done"), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Hosts, NetPortRun, ::testing::ValuesIn(NetCases()), NetCaseName);

namespace {

// Answers held back 16 ms on a line at its own pace, as behind an FTDI
// adapter with its default latency timer:
// the hint names the remedy for the port, and the job is still done.
class SlowAnswers : public NetPortRun {
  protected:
    // The job with enough answers to time: eight records to load.
    std::vector<std::string> Args() {
        if (program().job != Job::kUpload) {
            return job_.Args(program());
        }
        return {dir_.Write("long.hex", RecordLines(LongUpload(8, 1), 8) + ":00000001FF\n"),
                "{port}"};
    }
    RunResult RunAt(const std::string& port) {
        return RunOnHostAtPortName(host(), port, program().name, Args(), kRunLimitSec);
    }
    RunResult RunAt(const SimTarget& sim) {
        return RunOnHost(host(), program().name, Args(), sim, kRunLimitSec);
    }
};

std::vector<NetCase> OneFormEach() {
    std::vector<NetCase> cases;
    for (const auto& c : NetCases()) {
        if (!c.rfc2217) {
            cases.push_back(c);
        }
    }
    return cases;
}

}  // namespace

TEST_P(SlowAnswers, BehindALatencyTimerTheHintNamesTheAdaptersSetting) {
    SimTarget sim(job_.Options(program(), {"--pace", "--latency", "16"}));
    RunResult run = RunAt(sim);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.errors.find(kSlowHint), std::string::npos) << run.errors;
    // The hint is wrapped: its lines joined again before a phrase is looked for.
    EXPECT_NE(std::regex_replace(run.errors, std::regex("\r?\n {4,}"), " ")
                  .find(native() ? "/latency_timer" : "Latency Timer (msec) to 1"),
              std::string::npos)
        << run.errors;
}

TEST_P(SlowAnswers, ThroughAServerTheHintNamesItsDelayAndTheNetwork) {
    SimTarget sim(job_.Options(program(), {"--pace", "--latency", "16"}));
    Ser2net server(sim.port());
    ASSERT_TRUE(server.ok()) << server.why();
    RunResult run = RunAt(server.Raw());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.errors.find(kSlowHint), std::string::npos) << run.errors;
    EXPECT_NE(
        std::regex_replace(run.errors, std::regex("\r?\n {4,}"), " ").find("'chardelay: false'"),
        std::string::npos)
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, SlowAnswers, ::testing::ValuesIn(OneFormEach()), NetCaseName);
