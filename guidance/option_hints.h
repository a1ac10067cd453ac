// Hints about options: one the program does not take, and options given
// after the file name, where they are read as the port or left over. On
// standard error, as hints.h's.
#pragma once

#include <cstddef>

// True for an argument that reads as an option ("--retry", "-h"): a '-'
// then a letter or a second '-'. A number such as "-3" is not one.
bool ReadsAsOption(const char* argument);

// The index of the first argument after argv[at] that reads as an option,
// or 0 when there is none.
int OptionAfterFile(int argc, char* const argv[], int at);

// Into `text` (`size` bytes, terminated) the hint for the option
// argv[option] given after the file name argv[at] of `program`: options go
// before it, with the command line put in that order when the option is one
// of the program's.
void FormatOptionAfterFile(char* text, std::size_t size, const char* program, int argc,
                           char* const argv[], int at, int option);

// After the file stage: when an option followed the file name argv[at],
// FormatOptionAfterFile. Returns true when it hinted.
bool HintOptionAfterFile(const char* program, int argc, char* const argv[], int at);
