#include "tests/support/terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/e2e.h"

namespace {

// Moves what is waiting on `fd` into `into`, waiting up to `waitMs` for the
// first of it. Returns false once nothing more is waiting.
bool ReadTerminal(int fd, std::string* into, int waitMs) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, waitMs) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
        into->append(chunk, static_cast<std::size_t>(got));
        return true;
    }
    return got < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

TerminalRunResult RunOnTerminal(const std::string& exe, const std::vector<std::string>& args,
                                bool outputOnTerminal, int timeoutSec) {
    TerminalRunResult result;
    int screen = -1;
    int console = -1;
    winsize size{};
    size.ws_row = kTerminalRows;
    size.ws_col = kTerminalColumns;
    if (openpty(&screen, &console, nullptr, nullptr, &size) != 0) {
        return result;
    }
    // The program gets the console as its standard streams only.
    fcntl(screen, F_SETFD, FD_CLOEXEC);
    fcntl(console, F_SETFD, FD_CLOEXEC);
    TempDir scratch;
    Launch launch;
    launch.words = {exe};
    launch.words.insert(launch.words.end(), args.begin(), args.end());
    launch.env = {"TERM=xterm"};
    if (outputOnTerminal) {
        launch.outFd = console;
    } else {
        launch.outPath = scratch.path() + "/stdout";
    }
    launch.errorsFd = console;
    // As RunProgram: the program yields the processor to the simulated target.
    launch.niceIncrement = kProgramNice;
    launch.timeoutSec = timeoutSec;
    // The terminal is read while the program runs, so it never fills up.
    result.status = RunToEnd(launch, [&](pid_t) {
                        while (ReadTerminal(screen, &result.terminal, 0)) {
                        }
                    }).status;
    // What the program wrote before it exited is still in the terminal.
    close(console);
    while (ReadTerminal(screen, &result.terminal, 0)) {
    }
    close(screen);
    if (!outputOnTerminal) {
        result.output = ReadFileText(launch.outPath);
    }
    return result;
}

std::string AsTerminalGetsIt(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}
