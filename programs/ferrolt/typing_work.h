// The work of typing a program text, for the announcement.
#pragma once

#include <cstddef>

#include "dialogue/pace.h"

// What typing `text` (`length` bytes) takes, read as the typing reads it:
// pieces, lines (a last one without LF counted), characters echoed
// (0x20..0x7F) and not.
TypingWork CountTypingWork(const char* text, std::size_t length);
