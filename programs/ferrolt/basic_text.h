// Checking a BASIC program text before anything is typed, so a text the
// target would store wrongly is refused with nothing sent. The text is read
// piece by piece with ReadTextPiece (text_file.h), exactly as the typing
// reads it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "input_file/text_file.h"

// Checks a program text from its start to its end (or its Ctrl-Z) as the
// typing will read it: no line may hold a NUL byte, whose piece would be cut
// short ("holds a NUL byte"), and no line may be longer than kMaxPieceChars
// characters before its LF, which would reach the target as two program
// lines ("is longer than 79 characters").
// When `digest` is given, every piece read (pieces of kMaxPieceChars
// characters at most, as the typing reads them) is added to it with
// AddToDigest.
// Returns kSound with `fp` rewound to its start; kBadLine with the 1-based
// line number in *badLine and the reason in *why (the first fault found);
// kReadError when the file could not be read or rewound (`fp` is then left
// where the failure happened).
TextCheck CheckProgramText(std::FILE* fp, long* badLine, const char** why,
                           uint64_t* digest = nullptr);

// CheckProgramText for the loader: when the text is not sound, says why on
// the console (ReportTextCheck: "ERROR: Cannot Read File '<name>'", or
// "ERROR: Line N of '<name>' <reason>; nothing was sent"). Returns 0 when the
// text is sound (`fp` rewound, the pieces' digest in *digest when given), -1
// when not; `fp` stays open either way.
int CheckProgramTextAndReport(std::FILE* fp, const char* name, uint64_t* digest = nullptr);
