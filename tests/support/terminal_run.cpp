#include "tests/support/terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "tests/support/e2e.h"

namespace {

// Reads what is waiting on `fd` into `into`, waiting up to `waitMs` for it.
// Returns false once the terminal is closed on the program's side.
bool ReadTerminal(int fd, std::string* into, int waitMs) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, waitMs) <= 0) {
        return true;
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
    TempDir scratch;
    const std::string outPath = scratch.path() + "/stdout";
    std::vector<std::string> words = {exe};
    words.insert(words.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid == 0) {
        close(screen);
        // As RunProgram: the program yields the processor to the simulated target.
        errno = 0;
        if (nice(kProgramNice) == -1 && errno != 0) {
            _exit(126);
        }
        const int out =
            outputOnTerminal ? console : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(console, STDERR_FILENO);
        setenv("TERM", "xterm", 1);
        std::vector<char*> argv;
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(console);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
    int status = 0;
    bool exited = false;
    while (!exited) {
        ReadTerminal(screen, &result.terminal, 10);
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        } else if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            exited = true;
        }
    }
    // What the program wrote before it exited is still in the terminal.
    while (ReadTerminal(screen, &result.terminal, 0)) {
        pollfd more{screen, POLLIN, 0};
        if (poll(&more, 1, 0) <= 0) {
            break;
        }
    }
    close(screen);
    if (!outputOnTerminal) {
        result.output = ReadFileText(outPath);
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
