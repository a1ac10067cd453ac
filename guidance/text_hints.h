// Hints about what an input text holds, on standard error, as hints.h's.
#pragma once

#include <cstddef>

// True when `text` (`length` bytes) holds a CR that no LF follows: the line
// ends of old Mac files.
bool HoldsCrAlone(const char* text, std::size_t length);

// After a HEX text was refused: when it holds a CR alone, that its line ends
// are the cause (as Ferrolt says for a BASIC text).
void HintCrAloneLineEnds(const char* text, std::size_t length);

// After an echo mismatch whose typed character's echo came after `untyped`
// (characters that were not typed): another program writes on the line.
void HintUntypedEcho(const char* untyped, int typed);

// After an output `name`, a link to `target` (a file not there yet), was
// refused because the folder `target` names is not there.
void HintLinkIntoNoFolder(const char* name, const char* target);
