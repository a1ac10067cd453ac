// A program's input file read, and why it was refused told on standard
// output, with the hint on standard error.
#pragma once

#include <cstddef>
#include <cstdio>

#include "input_file/input_file.h"

// Prints "ERROR: Cannot Open File '<name>'", with ": is <what>, not a file"
// when `what` is given, else with a hint on why from errno. Returns nullptr.
std::FILE* RefuseFile(const char* name, const char* what);

// Tells why `name` was refused (for a name that did not open, with the hint
// when it looks like an option of `program`). Returns -1.
long TellFileRefused(const char* program, const char* name, const FileRefusal& refusal);

// ReadInputFile, telling a refusal. Returns the length, or -1.
long ReadInputFileTold(const char* program, const char* name, char* text, std::size_t size);

// Prints that line `line` of `name` is refused for `why`. Returns -1.
int RefuseLine(const char* name, long line, const char* why);

// ReadInputFileTold for a HEX file, then `name` into `fileName` (`size`
// bytes), its FILE line, and CheckRecordText. Returns the length, or -1 with why.
long ReadRecordFile(const char* program, const char* name, char* fileName, std::size_t size,
                    char* text, std::size_t textSize);

// The plain binary `name` loaded at `addressText` (four hex digits) as the
// HEX text of 16-byte records into `text` (`textSize` bytes), with `name` in
// `fileName` and its FILE line. Returns the text's length, or -1 with why
// printed (a bad address, an empty file, bytes that would run past FFFF).
long ReadBinaryRecords(const char* program, const char* name, const char* addressText,
                       char* fileName, std::size_t size, char* text, std::size_t textSize);
