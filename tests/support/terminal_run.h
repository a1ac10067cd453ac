// Running a program with its standard error (and, when asked, its standard
// output too) on a pseudo-terminal, as at a person's console, to see what a
// person would see: the progress line and where it is drawn.
#pragma once

#include <string>
#include <vector>

struct TerminalRunResult {
    int status = -1;       // exit status (0..255), or -1 when killed or timed out
    std::string output;    // standard output, when it went to a file
    std::string terminal;  // every byte the terminal received, as its screen got them
};

// The size of the terminal the program runs on.
constexpr int kTerminalRows = 24;
constexpr int kTerminalColumns = 80;

// Runs `exe` with `args` on a new pseudo-terminal of kTerminalRows x
// kTerminalColumns with TERM=xterm: its standard error goes to the terminal,
// and so does its standard output when `outputOnTerminal` (else to a file).
// The terminal keeps its usual settings, so each "\n" reaches it as "\r\n".
// Kills the program after `timeoutSec` seconds.
TerminalRunResult RunOnTerminal(const std::string& exe, const std::vector<std::string>& args,
                                bool outputOnTerminal, int timeoutSec = 120);

// `text` as a terminal with the usual settings receives it: "\n" as "\r\n".
std::string AsTerminalGetsIt(const std::string& text);
