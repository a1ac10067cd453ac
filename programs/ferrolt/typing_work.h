// Counting the work of typing a program text, for the announcement.
#pragma once

#include <cstdio>

#include "dialogue/pace.h"

// Counts what typing the program text `fp` will take, read exactly as the
// typing reads it (ReadTextPiece): pieces, lines (a piece ending in LF ends
// a line, and so does a last piece without one), characters whose echo is
// awaited (0x20..0x7F) and the others. Leaves `fp` rewound to its start.
// Returns 0, or -1 when the text could not be read or rewound (*work then
// holds what was counted so far).
int CountTypingWork(std::FILE* fp, TypingWork* work);
