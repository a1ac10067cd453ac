// Command-line arguments for the programs' fixed buffers: each checked to
// fit before anything is copied, and refused with a message.
#pragma once

#include <cstddef>

#include "dialogue/outcome.h"

// Returns 0 when `argc` is at least `needed`; else prints the usage error
// with `usage` and returns -1.
int CheckArgumentCount(int argc, int needed, const char* usage);

// Returns 0 when `text` fits `size` bytes with its terminator; else prints
// why not and returns -1.
int CheckFileNameFits(const char* text, std::size_t size);

// The port name for the argument `text` into `portName` (`size` bytes); a
// network port has a bound of its own. Returns 0, or -1 with why printed and
// `portName` unchanged.
int TakePortArgument(const char* text, char* portName, std::size_t size);

// Checks that the file name argv[at] is there and fits `fileNameSize` bytes;
// copies nothing. Returns kDone, or kBadArguments with why printed.
Outcome TakeFileArgument(int argc, char* argv[], int at, const char* usage,
                         std::size_t fileNameSize);

// TakeFileArgument, then the port at argv[at + 1], when given, into
// `portName` (TakePortArgument). Returns kDone, or kBadArguments.
Outcome TakeFileAndPort(int argc, char* argv[], int at, const char* usage, std::size_t fileNameSize,
                        char* portName, std::size_t portNameSize);

// The value of an option's `text` when it is all digits, at most `most`;
// else -1.
long OptionValue(const char* text, long most);

// The uploaders' options before the file argument: --retry N (0 to 9) into
// *retries and --from-line N (1 or more) into *fromLine. Returns the index
// of the first argument after them, or -1 after printing why one is bad.
int TakeUploadOptions(int argc, char* argv[], int* retries, long* fromLine);
