// A program's input text, read the same way on every host: Intel HEX files
// line by line for the uploaders and the verify run, BASIC texts piece by
// piece for the BASIC loader.
//
// Files are opened in binary mode and read here as text, through one byte
// source with one rule: a Ctrl-Z byte (0x1A) ends the text, as old DOS
// editors left it. The Ctrl-Z is left unread in the stream, so every later
// read meets the end again and never the bytes behind it, on any stream.
//
// Summary:
//   TextRead         how one read of a line or a piece ended
//   ReadTextLine     the next line of a record file, without its line end
//   ReadTextPiece    the next piece of a BASIC text, as the typing sends it
//   RewindText       back to the start after a check or a count
//   AddToDigest      add a line or piece read to a running digest
//   TextCheck        how a check of a whole text ended
//   ReportTextCheck  say on the console why a checked text is refused
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// How one read of a line or a piece ended.
enum class TextRead {
    kRead,       // a line or piece was read (it may be empty: a bare line end)
    kEnd,        // nothing was left: the file's end or a Ctrl-Z
    kTooLong,    // a line did not fit its buffer (lines only)
    kReadError,  // the stream failed, or the buffer is unusable
};

// Reads the next line of `fp` into `line` (of `size` bytes): up to the next
// LF, which ends the line and is not kept; a CR at the end of the line is
// dropped as well. The line is terminated; its length goes to *length (a NUL
// inside the line is kept and counted).
// Returns kRead; kEnd when nothing was left; kReadError on a read failure
// (even after part of a line) or a `size` of 0; kTooLong when the line does
// not fit (the rest of that line is then skipped; `line` holds its first
// size - 1 characters). On kEnd and kReadError `line` and *length are left
// as they were.
TextRead ReadTextLine(std::FILE* fp, char* line, std::size_t size, std::size_t* length);

// The longest piece of a BASIC text, and so the longest program line that
// stays one line on the target: one more character would split it.
constexpr std::size_t kMaxPieceChars = 79;

// Reads the next piece of `fp` into `piece` (of `size` bytes, at least 2), as
// the Windows text mode reads it: a CR LF pair reads as a single LF, a CR on
// its own stays a CR. A piece is up to size - 1 characters, stopping after an
// LF; it is terminated, its length in *length (a NUL byte inside is kept and
// counted).
// Returns kRead; kEnd when nothing was left (*length is 0); kReadError on a
// read failure or a `size` below 2 (*length is 0 and `piece` holds an empty
// string when size > 0). Never kTooLong: a long line comes in several pieces.
TextRead ReadTextPiece(std::FILE* fp, char* piece, std::size_t size, std::size_t* length);

// Puts `fp` back at its start with its end and error marks cleared, for the
// reading that follows a check or a count. Returns 0, or -1 when the stream
// cannot be rewound (it is then left where it was).
int RewindText(std::FILE* fp);

// Running digest (64-bit FNV-1a) of the text a program reads: the lines or
// pieces checked before the port opens and those sent are digested alike,
// and must end equal. The length of each is digested too, so the same bytes
// split differently differ.
constexpr uint64_t kDigestStart = 14695981039346656037ULL;
void AddToDigest(uint64_t* digest, const char* text, std::size_t length);

// How a check of a whole text (CheckRecordFile, CheckProgramText) ended.
enum class TextCheck {
    kSound,      // every line is fit to send; the file is rewound
    kBadLine,    // a line is not: its number and the reason are given
    kReadError,  // the file could not be read or rewound
};

// Says on the console why the text `name` is refused: for kBadLine "ERROR:
// Line <badLine> of '<name>' <why>; nothing was sent", for kReadError
// "ERROR: Cannot Read File '<name>'", each with a newline; nothing for
// kSound. Returns 0 for kSound, else -1.
int ReportTextCheck(TextCheck checked, const char* name, long badLine, const char* why);
