// A BASIC program text in memory, as the typing reads it: piece by piece,
// CR LF read as LF.
#pragma once

#include <cstddef>

// The longest piece, and so the longest line the target keeps as one.
constexpr std::size_t kMaxPieceChars = 79;

// What CheckProgramText gives for a CR not followed by LF (old Mac line ends).
inline constexpr char kCrAloneWhy[] = "holds a CR not followed by LF";

// Copies the next piece of `text` (`length` bytes) from *at into `piece`
// (`size` bytes, at least 2, terminated): up to size - 1 characters, ending
// after an LF. Returns its length, 0 at the end of the text.
std::size_t NextPiece(const char* text, std::size_t length, std::size_t* at, char* piece,
                      std::size_t size);

// Checks `text` for what the target would store wrongly: a NUL byte, a CR
// alone, a line over kMaxPieceChars. Returns nullptr, or the first fault's
// reason with its 1-based line in *badLine.
const char* CheckProgramText(const char* text, std::size_t length, long* badLine);
