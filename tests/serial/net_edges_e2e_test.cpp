// Every program at the wrong kind of network port, against a real ser2net in
// front of the simulated target, natively and the Windows builds under Wine:
// rfc2217:// at the raw port ends before any monitor traffic with the port's
// status and a hint to try tcp://; tcp:// at the RFC 2217 port draws the
// hint that the server speaks telnet. A server that closes the connection
// mid-run draws its hint too. Natively, a stop during a connect that hangs
// ends the run with the stop's status.
#include <signal.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "launch/await_state.h"
#include "launch/ser2net.h"
#include "tests/hardening/hardening.h"
#include "tests/serial/loopback_listener.h"
#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

struct EdgeCase {
    Host host;
    ProgramRow program;
};

void PrintTo(const EdgeCase& c, std::ostream* out) {
    *out << c.program.name << " " << HostName(c.host);
}

std::vector<EdgeCase> EdgeCases() {
    std::vector<EdgeCase> cases;
    for (Host host : {Host::Native, Host::Wine}) {
        for (const auto& program : ProgramRows()) {
            if (host == Host::Native || program.windowsBuild) {
                cases.push_back({host, program});
            }
        }
    }
    return cases;
}

std::string EdgeCaseName(const ::testing::TestParamInfo<EdgeCase>& info) {
    return info.param.program.name + "_" + HostName(info.param.host);
}

// Standard error with its wrapped lines joined again.
std::string Unwrapped(const std::string& errors) {
    return std::regex_replace(errors, std::regex("\r?\n {4,}"), " ");
}

// "HOST:PORT" of a port name.
std::string AddressOf(const std::string& portName) {
    return portName.substr(portName.find("://") + 3);
}

class WrongPort : public HostTest<EdgeCase> {
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
    RunResult RunJob(const std::string& port, const WhileRunning& whileRunning = nullptr) {
        return RunOnHostAtPortName(host(), port, program().name, job_.Args(program()), kRunLimitSec,
                                   whileRunning);
    }

    TempDir dir_;
    HardeningJob job_{dir_};
};

}  // namespace

TEST_P(WrongPort, Rfc2217AtARawPortEndsBeforeTheWakeUpWithAHintToTryTcp) {
    SimTarget sim(job_.Options(program(), {}));
    Ser2net server(sim.port());
    ASSERT_TRUE(server.ok()) << server.why();
    const std::string address = AddressOf(server.Raw());

    RunResult run = RunJob("rfc2217://" + address);

    EXPECT_EQ(run.status, program().portStatus) << run.output << run.errors;
    EXPECT_EQ(run.output.find(" open at "), std::string::npos) << run.output;
    EXPECT_NE(
        Unwrapped(run.errors)
            .find("Hint: the server at " + address +
                  " did not answer as an RFC 2217 server: is it a raw port? try tcp://" + address),
        std::string::npos)
        << run.errors;
    EXPECT_EQ(sim.Received().find('@'), std::string::npos);
    EXPECT_EQ(sim.Received().find(':'), std::string::npos);
}

TEST_P(WrongPort, TcpAtAnRfc2217PortHintsThatTheServerSpeaksTelnet) {
    SimTarget sim(job_.Options(program(), {"--silent-wake"}));
    Ser2net server(sim.port());
    ASSERT_TRUE(server.ok()) << server.why();
    const std::string address = AddressOf(server.Rfc2217());

    RunResult run = RunJob("tcp://" + address);

    EXPECT_NE(run.status, 0) << run.output;
    const std::string errors = Unwrapped(run.errors);
    EXPECT_NE(errors.find("Hint: the server at " + address + " speaks telnet"), std::string::npos)
        << run.errors;
    EXPECT_NE(errors.find("rfc2217://" + address), std::string::npos) << run.errors;
    EXPECT_EQ(errors.find("Check that:"), std::string::npos) << run.errors;
}

// The server killed as the job runs: its connection closed under the run.
TEST_P(WrongPort, AServerThatClosesTheConnectionMidRunIsNamedAsTheCause) {
    SimTarget sim(job_.Options(program(), {"--silent-wake"}));
    Ser2net server(sim.port());
    ASSERT_TRUE(server.ok()) << server.why();
    const std::string address = AddressOf(server.Raw());

    bool killed = false;
    RunResult run = RunJob(server.Raw(), [&](pid_t) {
        if (!killed && sim.Received().find('@') != std::string::npos) {
            server.Kill();
            killed = true;
        }
    });

    ASSERT_TRUE(killed) << run.output;
    EXPECT_NE(run.output.find(Shown(kPortLost)), std::string::npos) << run.output;
    EXPECT_NE(Unwrapped(run.errors)
                  .find("Hint: the server at " + address +
                        " closed the connection: another connection may hold the device"),
              std::string::npos)
        << run.errors;
}

// A server played by the test that takes up the option and acknowledges
// every setting as asked but the data bits, kept at 7: the run ends with
// the port's status, naming the setting, and the port is never reported open.
TEST_P(WrongPort, AnRfc2217SettingKeptOtherwiseEndsTheRunNamingIt) {
    Listener server;
    std::thread serving([&] {
        if (!server.Accept()) {
            return;
        }
        server.Receive(9);  // the opening
        server.Send(Of({255, 253, 44}));
        server.Receive(45);  // the line settings
        server.Send(
            Of({255, 250, 44, 101, 0, 0, 0x25, 0x80, 255, 240, 255, 250, 44, 102, 7, 255, 240}));
        server.Receive(1);  // nothing more comes: the program closes the connection
    });
    const std::string port = server.Name("rfc2217");

    RunResult run = RunJob(port);
    serving.join();

    EXPECT_EQ(run.status, program().portStatus) << run.output << run.errors;
    EXPECT_EQ(run.output.find(" open at "), std::string::npos) << run.output;
    EXPECT_NE(Unwrapped(run.errors)
                  .find("the server at " + AddressOf(port) +
                        " kept the data bits at 7 (8 was asked for)"),
              std::string::npos)
        << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Hosts, WrongPort, ::testing::ValuesIn(EdgeCases()), EdgeCaseName);

namespace {

class NativeNetPort : public ::testing::TestWithParam<ProgramRow> {};

}  // namespace

// The connect to a listener whose queue is full hangs until its bound; a
// SIGINT as it waits ends the run at once, as a stop.
TEST_P(NativeNetPort, ASigintWhileAConnectHangsEndsTheRunWithTheStopsStatus) {
    TempDir dir;
    HardeningJob job{dir};
    FullListener full;
    ASSERT_TRUE(full.full());
    bool stopped = false;
    RunResult run = RunOnHostAtPortName(Host::Native, full.Name("tcp"), GetParam().name,
                                        job.Args(GetParam()), kRunLimitSec, [&](pid_t pid) {
                                            if (!stopped && full.Connecting()) {
                                                kill(pid, SIGINT);
                                                stopped = true;
                                            }
                                        });
    ASSERT_TRUE(stopped) << run.output;
    EXPECT_EQ(run.status, 128 + SIGINT) << run.output << run.errors;
    EXPECT_EQ(run.output.find("failed with error"), std::string::npos) << run.output;
    EXPECT_EQ(run.errors.find("Hint:"), std::string::npos) << run.errors;
}

INSTANTIATE_TEST_SUITE_P(Programs, NativeNetPort, ::testing::ValuesIn(ProgramRows()),
                         [](const ::testing::TestParamInfo<ProgramRow>& info) {
                             return info.param.name;
                         });

// The number a name that does not resolve gets on the port's error line is
// the resolver's code, not a system error: the hint names it so.
TEST_P(NativeNetPort, AResolverCodeIsNamedAsTheResolvers) {
    TempDir dir;
    HardeningJob job{dir};
    RunResult run = RunOnHostAtPortName(Host::Native, "tcp://no-such-board.invalid:3001",
                                        GetParam().name, job.Args(GetParam()), kRunLimitSec);
    EXPECT_EQ(run.status, GetParam().portStatus) << run.output;
    std::smatch error;
    ASSERT_TRUE(std::regex_search(run.output, error, std::regex("failed with error (-?\\d+)\\.")))
        << run.output;
    EXPECT_NE(run.errors.find("(the resolver's error " + error[1].str() + ": "), std::string::npos)
        << run.errors;
}
