// The file a program reads: opened only when it is a plain file, and watched
// for changes while it is sent, so what reaches the target is what was
// checked.
//
// Summary:
//   NotAFile          what a path is when it is not a plain file
//   OpenInputFile     open a plain file for reading; refuse anything else
//   RefuseFile        say why a file argument cannot be used
//   StampFile         note the file's size and last change before its check
//   FileChangedSince  whether the file changed since its stamp
//
// Reading the text itself is text_file.h's.
#pragma once

#include <cstdint>
#include <cstdio>

// What `name` is when it exists and is not a plain file: "a folder", "a
// FIFO", "a terminal", "a device", "a socket" (on Windows only folders are
// told this way). Returns nullptr for a plain file or a path where nothing
// is. Looks at the path only: nothing is opened.
const char* NotAFile(const char* name);

// Opens `name` for reading in binary mode. A path that is not a plain file (a
// terminal or other device, a FIFO, a socket, a folder) is refused before it
// is opened or read, so nothing blocks on it and no device is touched.
// Returns the stream, or nullptr after printing "ERROR: Cannot Open File
// '<name>'" and a newline, with ": is a terminal, not a file" (or a FIFO, a
// device, a socket, a folder) before the newline when that is why.
std::FILE* OpenInputFile(const char* name);

// Says why the file argument `name` cannot be used: "ERROR: Cannot Open File
// '<name>'" and a newline, with ": is <what>, not a file" before the newline
// when `what` (as NotAFile gives it) is not nullptr. Returns nullptr, for the
// caller to hand back as its failed stream.
std::FILE* RefuseFile(const char* name, const char* what);

// A file's size and the time of its last change, in the system's own units.
struct FileStamp {
    int64_t size = -1;
    int64_t changed = -1;
};

// Takes the stamp of the open file `fp` into *stamp. Returns 0, or -1 when
// the system would not tell (*stamp is then left empty, and every later
// FileChangedSince says changed).
int StampFile(std::FILE* fp, FileStamp* stamp);

// True when `fp` no longer has the size or last change of `stamp`, or when
// that cannot be told. Catches a file edited, cut short or grown in place; a
// file replaced under its name (an editor's save) leaves `fp` on the old one.
bool FileChangedSince(std::FILE* fp, const FileStamp& stamp);

// What a program prints when its file changed during the run ("%s": name).
constexpr const char* kFileChangedText = "\nERROR: File '%s' changed while it was being sent\n";
