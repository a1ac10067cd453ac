// Reading a BASIC program text in pieces, the same way on every host.
//
// Files are opened in binary mode and read here as the Windows text mode reads
// them: a CR LF pair reads as a single LF (a CR on its own stays a CR), and a
// Ctrl-Z byte (0x1A) ends the file. A piece is what one typing round sends: at
// most 79 characters, ending after the line's LF when the LF fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The longest piece, and so the longest program line that stays one line on
// the target: one more character would make the piece limit split it.
constexpr std::size_t kMaxPieceChars = 79;

// Results of ReadTextPiece.
constexpr int kPieceRead = 0;
constexpr int kPieceEndOfFile = 1;
constexpr int kPieceReadError = -1;

// Reads the next piece of `fp` into `piece` (of `size` bytes, at least 2):
// up to size - 1 characters, stopping after an LF; terminated, its length in
// *length (a NUL byte inside is kept and counted). At a Ctrl-Z the stream is
// left at its end, so every later call gives kPieceEndOfFile.
// Returns kPieceRead; kPieceEndOfFile when nothing was left (*length is 0);
// kPieceReadError on a read failure or a `size` below 2 (*length is 0 and
// `piece` holds an empty string when size > 0).
int ReadTextPiece(std::FILE* fp, char* piece, std::size_t size, std::size_t* length);

// Results of CheckProgramText besides 0 (sound).
constexpr int kTextHoldsNul = 1;
constexpr int kTextLineTooLong = 2;

// Checks a program text from its start to its end (or its Ctrl-Z) as the
// typing will read it: no line may hold a NUL byte, whose piece would be cut
// short, and no line may be longer than kMaxPieceChars characters before its
// LF, which would reach the target as two program lines.
// When `digest` is given, every piece read (pieces of kMaxPieceChars
// characters at most, as the typing reads them) is added to it with
// AddToDigest.
// Returns 0 with `fp` rewound to its start when the text is sound;
// kTextHoldsNul or kTextLineTooLong with the 1-based line number in *badLine
// (the first fault found); kPieceReadError when the file could not be read
// or rewound (`fp` is then left where the failure happened).
int CheckProgramText(std::FILE* fp, long* badLine, uint64_t* digest = nullptr);
