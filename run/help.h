// --help and --version, answered only when the word is the one and only
// argument; anywhere else it keeps the meaning its place gives it.
#pragma once

#include "run/exit_status.h"

// The suite's version, as the build gives it ("1.0.0").
extern const char* const kToolsVersion;

// A program's help, kept beside its exit-status table.
struct ProgramHelp {
    const char* program;  // its name, as --version prints it
    // The usage line, what the program does and its arguments, each line
    // ended by '\n'; when `comPortLast`, kComPortAbout follows the last label.
    const char* about;
    bool comPortLast;
    ExitStatusTable statuses;  // listed after "Exit status:"
};

// Prints "<program> <version>" and a newline on standard output.
void PrintVersion(const char* program);

// Prints `help` on standard output, each status right-aligned in four places
// and its text's later lines indented under the first; no version line.
void PrintHelp(const ProgramHelp& help);

// Answers a command line of exactly `program --help` (the help, then the
// version) or `program --version`. Returns 1 when it answered, else 0.
int AnswerHelpOrVersion(int argc, char* argv[], const ProgramHelp& help);
