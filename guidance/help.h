// Help and version texts of the programs.
//
// A program answers "--help" or "--version" only when that word is its one and
// only argument. Anywhere else the word keeps the meaning its place gives it:
// `Torvanex --help /dev/ttyUSB0` loads a file named "--help".
//
// Summary:
//   kToolsVersion        the suite's version, from the build
//   ProgramHelp          a program's help: what it does, its arguments, its statuses
//   PrintVersion         print "<program> <version>"
//   PrintHelp            print a program's help
//   AnswerHelpOrVersion  answer a lone --help or --version
#pragma once

#include "guidance/exit_status.h"

// The version of the suite, as the build gives it ("1.0.0").
extern const char* const kToolsVersion;

// A program's help, kept beside its exit-status table
// (programs/<name>/exit_status.cpp).
struct ProgramHelp {
    const char* program;  // "Torvanex"
    // The usage line, what the program does and its arguments, each line
    // ended by '\n'; when `comPortLast`, the last line's label is followed
    // by the host's text for a COM port argument.
    const char* about;
    bool comPortLast;
    ExitStatusTable statuses;  // listed after "Exit status:"
};

// Prints "<program> <version>" and a newline on standard output.
void PrintVersion(const char* program);

// Prints `help` on standard output: its about text, then "Exit status:" and
// a line for each row of its table, the number right-aligned in four places
// and two spaces before the text (a text's later lines indented under its
// first): -1 as " 255" on POSIX hosts and "  -1" on Windows, and the stop
// row as the host's signals (130 SIGINT, 143 SIGTERM, on POSIX 129 SIGHUP).
// The version line is not printed.
void PrintHelp(const ProgramHelp& help);

// When the command line is exactly `program --help`, prints the program's
// help (PrintHelp's text: usage line, what it does, its arguments and exit
// statuses), then its version; when it is exactly `program --version`,
// prints the version line. Returns 1 when it printed an answer (main then
// exits with status 0), or 0 for every other command line, having printed
// nothing.
int AnswerHelpOrVersion(int argc, char* argv[], const ProgramHelp& help);
