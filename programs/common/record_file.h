// Reading Intel HEX files line by line, the same way on every host.
//
// Files are opened in binary mode and read here as text: a line ends at LF,
// a CR before it is dropped with it, and a Ctrl-Z byte (0x1A) ends the file,
// as old DOS editors left it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Results of ReadTextLine.
constexpr int kLineRead = 0;
constexpr int kLineEndOfFile = 1;
constexpr int kLineReadError = -3;
constexpr int kLineTooLong = -2;

// Reads the next line of `fp` into `line` (of `size` bytes), without its line
// end, terminated; its length goes to *length (a NUL inside the line is kept
// and counted). Returns kLineRead, kLineEndOfFile when nothing was left,
// kLineReadError on a read failure, or kLineTooLong when the line does not fit
// (the rest of that line is then skipped; `line` holds its start).
int ReadTextLine(std::FILE* fp, char* line, std::size_t size, std::size_t* length);

// Checks a HEX file from its start up to its end-of-file record (lines after
// it are never read): every non-empty line must be a sound record line
// (CheckRecordLine). Leaves `fp` rewound to the start when the file is sound.
// When `digest` is given, every line read (empty ones and the end record
// too) is added to it with AddToDigest, as ReadTextLine gave it.
// Returns 0 when sound; otherwise -1 with the 1-based line number in *badLine
// and a reason in *why, or kLineReadError when the file could not be read.
int CheckRecordFile(std::FILE* fp, long* badLine, const char** why, uint64_t* digest = nullptr);

// CheckRecordFile for an uploader: when the file is not sound, says why on
// the console ("ERROR: Cannot Read File '<name>'", or "ERROR: Line N of
// '<name>' <reason>; nothing was sent"). Returns 0 when the file is sound
// (`fp` rewound, the lines' digest in *digest when given), -1 when not; `fp`
// stays open either way.
int CheckRecordFileAndReport(std::FILE* fp, const char* name, uint64_t* digest = nullptr);
