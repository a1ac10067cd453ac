// Help and version texts of the programs.
//
// A program answers "--help" or "--version" only when that word is its one and
// only argument. Anywhere else the word keeps the meaning its place gives it:
// `Torvanex --help /dev/ttyUSB0` loads a file named "--help".
//
// Summary:
//   kToolsVersion        the suite's version, from the build
//   PrintVersion         print "<program> <version>"
//   AnswerHelpOrVersion  answer a lone --help or --version
#pragma once

// The version of the suite, as the build gives it ("1.0.0").
extern const char* const kToolsVersion;

// Prints "<program> <version>" and a newline on standard output.
void PrintVersion(const char* program);

// When the command line is exactly `program --help`, prints the program's
// usage line, what it does, its arguments and exit statuses, and its version;
// when it is exactly `program --version`, prints the version line.
// `program` is "Torvanex", "Torvane", "Quilmark" or "Ferrolt".
// Returns 1 when it printed an answer (main then exits with status 0), or 0
// for every other command line, having printed nothing.
int AnswerHelpOrVersion(int argc, char* argv[], const char* program);
