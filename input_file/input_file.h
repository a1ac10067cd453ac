// A program's input file: a plain file only, read whole into memory and
// closed before the port opens, so what is checked is what is sent.
#pragma once

#include <cstddef>
#include <cstdio>

// The most a program reads of its input file: 1 MiB.
constexpr std::size_t kMaxInputBytes = 1024 * 1024;

// What `name` is when it exists and is not a plain file ("a folder", "a
// FIFO", "a socket", "a device"); nullptr otherwise. Opens nothing.
const char* NotAFile(const char* name);

// Prints "ERROR: Cannot Open File '<name>'", with ": is <what>, not a file"
// when `what` is given, else with a hint on why from errno. Returns nullptr.
std::FILE* RefuseFile(const char* name, const char* what);

// Opens the plain file `name` for reading in binary, refusing anything else
// before it is opened. Returns the stream, or nullptr with why printed.
std::FILE* OpenInputFile(const char* name);

// Reads the plain file `name` whole into `text` (`size` bytes) and closes
// it; a Ctrl-Z ends the text. Returns its length, or -1 with why printed
// (and, for an option-like name, a hint naming `program`).
long ReadInputFile(const char* program, const char* name, char* text, std::size_t size);

// Prints that line `line` of `name` is refused for `why`. Returns -1.
int RefuseLine(const char* name, long line, const char* why);

// ReadInputFile for a HEX file, then `name` into `fileName` (`size` bytes),
// its FILE line, and CheckRecordText. Returns the length, or -1 with why.
long ReadRecordFile(const char* program, const char* name, char* fileName, std::size_t size,
                    char* text, std::size_t textSize);
