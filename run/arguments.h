// Command-line arguments copied into the programs' fixed buffers: each is
// checked to fit before anything is copied, and refused with a message.
//
// Summary:
//   CheckArgumentCount  enough arguments, or the usage line
//   CheckFileNameFits   a file name fits its buffer
//   TakePortArgument    the port argument into the port name
//   TakeFileArgument    {filename}: counted and checked to fit
//   TakeFileAndPort     {filename} {port}: as the Windows programs take them
#pragma once

#include <cstddef>

#include "dialogue/outcome.h"

// Returns 0 when `argc` is at least `needed`; otherwise prints "\n ERROR! Too
// Few Arguments\n Usage: <usage>" and a newline, and returns -1.
int CheckArgumentCount(int argc, int needed, const char* usage);

// Returns 0 when the file name `text` fits a buffer of `size` bytes (with its
// terminator); otherwise prints "\n ERROR! File name too long (at most N
// characters)" and returns -1. Nothing is copied.
int CheckFileNameFits(const char* text, std::size_t size);

// Builds the port name for the argument `text` into `portName` (`size`
// bytes) with BuildComPortName. Returns 0, or -1 after printing
// "\n ERROR! Port '<text>' does not fit a port name (at most N characters)",
// N being 11 for a COM number (kComNumberNameSize), 79 for a network port
// (kNetPortNameSize) and size - 1 for a path;
// `portName` is then unchanged.
int TakePortArgument(const char* text, char* portName, std::size_t size);

// Takes the file name standing at argv[at]: refuses a command line without
// it (CheckArgumentCount with `usage`) and a name that does not fit a buffer
// of `fileNameSize` bytes (CheckFileNameFits). Returns Outcome::kDone, or
// Outcome::kBadArguments with the reason printed. Nothing is copied.
Outcome TakeFileArgument(int argc, char* argv[], int at, const char* usage,
                         std::size_t fileNameSize);

// Takes {filename} {port} standing at argv[at] and argv[at + 1]: the file
// name as TakeFileArgument takes it, then the port, when given, into
// `portName` (`portNameSize` bytes) with TakePortArgument. Returns
// Outcome::kDone, or Outcome::kBadArguments with the reason printed;
// `portName` is changed only when the port was taken.
Outcome TakeFileAndPort(int argc, char* argv[], int at, const char* usage, std::size_t fileNameSize,
                        char* portName, std::size_t portNameSize);
