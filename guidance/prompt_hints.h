// Hints about what the target said instead of what was awaited, on standard
// error, as hints.h's.
#pragma once

#include <cstddef>

// Into `text` (`size` bytes, terminated) `bytes` made printable: \r, \n, \t
// and \\ as such, other control bytes and those from 0x80 as \xHH.
void FormatPrintable(const char* bytes, char* text, std::size_t size);

// After a prompt wait ended without its prompt (LastPromptMiss): the prompt
// that never came and the first characters of what came instead.
void HintPromptNeverCame();

// After Ferrolt started BASIC and its run ended early: the board is in
// BASIC now, and how to get back to its monitor for the next run.
void HintBoardLeftInBasic();
