// A program's input file: a plain file only, read whole into memory and
// closed before the port opens, so what is checked is what is sent. Nothing
// here prints: a refusal says why, and the caller tells it.
#pragma once

#include <cstddef>
#include <cstdio>

// The most a program reads of its input file: 1 MiB.
constexpr std::size_t kMaxInputBytes = 1024 * 1024;

// Why a file was refused: one of these is set.
struct FileRefusal {
    const char* what = nullptr;  // what the name is instead of a plain file ("a folder")
    int error = 0;               // errno of an open that failed
    bool unreadable = false;     // it opened, but a read failed
    std::size_t tooLarge = 0;    // it holds more than this many bytes, the buffer's size
};

// What `name` is when it exists and is not a plain file ("a folder", "a
// FIFO", "a socket", "a device"); nullptr otherwise. Opens nothing.
const char* NotAFile(const char* name);

// Opens the plain file `name` for reading in binary, refusing anything else
// before it is opened. Returns the stream, or nullptr with *refusal filled.
std::FILE* OpenInputFile(const char* name, FileRefusal* refusal);

// Reads the plain file `name` whole into `text` (`size` bytes) and closes
// it; a Ctrl-Z ends a text, not a binary (`binary`). Returns its length, or
// -1 with *refusal filled.
long ReadInputFile(const char* name, char* text, std::size_t size, FileRefusal* refusal,
                   bool binary = false);
