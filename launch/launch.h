// Starting the simulated target and the programs in processes of their own,
// for the end-to-end tests and the benchmark alike. Needs no test framework.
//
// Summary:
//   TempDir          a temporary directory removed at the end of scope
//   ReadFileText     a whole file as text
//   StartSimProcess  targetsim started, its port read from its first line
//   StopSimProcess   targetsim stopped (it saves its files then)
//   RunToEnd         a program run to its end, timed, killed after a limit
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A temporary directory removed with everything in it at the end of scope.
// Throws std::runtime_error when none can be made.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const {
        return path_;
    }
    // Writes `content` to `name` inside the directory; returns the full path.
    std::string Write(const std::string& name, std::string_view content) const;

  private:
    std::string path_;
};

// Returns the whole file, or "" when it cannot be read.
std::string ReadFileText(const std::string& path);

// The simulated target in its own process.
struct SimProcess {
    pid_t pid = -1;    // -1 when not running
    std::string port;  // the pseudo-terminal path the programs open
    int output = -1;   // its standard output after the port line (-1: closed)
};

// Starts the simulator `exe` with `options` and reads the port from its
// first line ("PORT <path>"), waiting up to 5 s for it. A `priority` other
// than 0 is the scheduling priority (nice value) it runs at, where the
// system allows it. Returns 0 with `sim` filled, or -1 with `why` set and
// nothing left running. Its standard output stays open in `sim->output`,
// for answers the simulator prints later; no other child inherits it.
int StartSimProcess(const std::string& exe, const std::vector<std::string>& options, int priority,
                    SimProcess* sim, std::string* why);

// Stops `sim` with SIGTERM, waits for it to exit (it saves its memory image,
// line figures and transcript first) and closes its output. Safe to repeat.
void StopSimProcess(SimProcess* sim);

// A program to run to its end.
struct Launch {
    std::vector<std::string> words;  // the program (looked up on PATH) and its arguments
    std::vector<std::string> env;    // changes: "NAME=value" sets, "NAME" alone unsets
    std::string outPath;             // standard output goes to this file; input is empty
    int outFd = -1;                  // without outPath: standard output to this descriptor
    std::string errPath;             // standard error goes to this file, when given
    bool errorsToOut = false;        // without errPath: standard error to outPath's file too
    int errorsFd = -1;               // without either: standard error to this descriptor
                                     // (a terminal, say); -1: it is the caller's
    std::vector<int> closed;         // descriptors (0, 1, 2) closed when it starts
    int niceIncrement = 0;           // how much lower its priority is than the caller's
    int timeoutSec = 180;            // killed after this many seconds
};

// How a program's run ended.
struct Finished {
    int status = -1;    // exit status 0..255; -1 when killed, timed out or not started
    double wallMs = 0;  // from just before the start to the exit being seen
    double cpuMs = 0;   // its user + system time, with that of descendants it waited for
};

// Called about every 10 ms while a program runs, with its process id.
using WhileRunning = std::function<void(pid_t)>;

// Runs `launch` and waits for the program's exit (woken by the exit itself,
// not by polling), calling `whileRunning`, when given, while it runs (to
// signal it, say). Returns how it ended.
Finished RunToEnd(const Launch& launch, const WhileRunning& whileRunning = nullptr);
