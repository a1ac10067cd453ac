// End-to-end test support: the simulated target in its own process, the
// programs run as real executables, and what the target saw read back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "launch/launch.h"

// One line of the simulator's transcript.
struct TranscriptLine {
    char kind;         // 'R' received, 'S' sent, 'L' line settings, 'E' event
    int64_t timeUs;    // since the simulator started
    std::string text;  // bytes (R, S: decoded from hex), settings or event text
};

// The simulated target, started with `options` (targetsim's command line) and
// stopped when it goes out of scope.
class SimTarget {
  public:
    explicit SimTarget(std::vector<std::string> options = {});
    ~SimTarget();
    SimTarget(const SimTarget&) = delete;
    SimTarget& operator=(const SimTarget&) = delete;

    // The pseudo-terminal path the programs open.
    const std::string& port() const {
        return process_.port;
    }
    // Stops the simulator (it saves its memory image then); safe to repeat.
    void Stop();

    // The transcript up to now: while the simulator runs, it first takes in
    // everything the host has written and writes its transcript out (asked
    // for and awaited on its output pipe), so a read after a program ended
    // sees all that program sent and was answered.
    std::vector<TranscriptLine> Transcript() const;
    // Every byte received from the host, in order.
    std::string Received() const;
    // Received bytes grouped as the simulator read them, with their times.
    std::vector<TranscriptLine> ReceivedChunks() const;
    std::vector<std::string> Events() const;
    // The line settings the simulator saw last, e.g.
    // "speed=9600 data=8 stop=2 parity=none raw=yes".
    std::string LineSettings() const;
    // The memory image (stops the simulator first).
    std::vector<unsigned char> Memory();

  private:
    // Asks the running simulator for its transcript up to now and waits
    // until it is in the file (or the simulator has ended).
    void Sync() const;

    TempDir dir_;
    mutable SimProcess process_;  // its output is read by Sync
};

// How much lower than the test's own the programs' scheduling priority is:
// the programs yield the processor to the simulated target (RunProgram).
constexpr int kProgramNice = 10;

struct RunResult {
    int status = -1;     // exit status (0..255), or -1 when killed or timed out
    std::string output;  // standard output
    std::string errors;  // standard error (a file, so never a terminal)
};

// Runs `exe` with `args`, standard output and standard error captured (each
// to a file of its own), standard input empty.
// Kills it after `timeoutSec` seconds; `whileRunning`, when given, is called
// while it runs (to signal it, say).
RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     int timeoutSec = 180, const std::vector<std::string>& extraEnv = {},
                     const WhileRunning& whileRunning = nullptr);

// The native build of `program` ("Torvanex", ...): its path in the build.
std::string NativeExe(const std::string& program);

// True when `text` ends with `end`.
bool EndsWith(std::string_view text, std::string_view end);

// True when the regular expression `pattern` matches somewhere in `text`.
bool HoldsMatch(const std::string& text, const std::string& pattern);

// `text` with every mark of `marks` (a "{port}", say) replaced by its value.
std::string Filled(std::string text, const std::vector<std::pair<std::string, std::string>>& marks);

// `value` as (at least) four upper-case hex digits, as addresses are printed.
std::string Hex4(unsigned value);

// Where a program built for Windows or for this host runs.
enum class Host { Native, Wine };

// Text as the program prints it on `host`: on Windows, text-mode output
// turns every "\n" into "\r\n".
std::string ForHost(Host host, std::string_view text);

// `count` bytes of a pattern that starts at `first` and steps by 7 (mod 256),
// as test data that is not all alike.
std::vector<unsigned char> PatternBytes(unsigned first, unsigned count);

// True once the simulator's transcript holds an event starting with `start`.
bool HasEvent(const SimTarget& sim, const std::string& start);

// Checks (as test failures, with the chunks read) that `sim` read `writes`,
// the host's writes in order, as whole writes, none split across reads.
void ExpectReadAsWholeWrites(const SimTarget& sim, const std::vector<std::string>& writes);

// Checks (as test failures) that `sim` received `records` records, each after
// its colon a character at a time at least 3 ms apart, never in a burst.
void ExpectPacedByCharacter(const SimTarget& sim, std::size_t records);

// An Intel HEX data record for `data` at `address`, with its checksum.
std::string DataRecord(unsigned address, const std::vector<unsigned char>& data);
