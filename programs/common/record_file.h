// Checking an Intel HEX file before anything is sent, so a broken file never
// half-loads. The file is read line by line with ReadTextLine (text_file.h).
#pragma once

#include <cstdint>
#include <cstdio>

#include "programs/common/text_file.h"

// Checks a HEX file from its start up to its end-of-file record (lines after
// it are never read): every non-empty line must be a sound record line
// (CheckRecordLine) that fits a line buffer of kMaxRecordChars characters.
// When `digest` is given, every line read (empty ones and the end record
// too) is added to it with AddToDigest, as ReadTextLine gave it.
// Returns kSound with `fp` rewound to its start; kBadLine with the 1-based
// line number in *badLine and a reason in *why (the first fault found);
// kReadError when the file could not be read or rewound.
TextCheck CheckRecordFile(std::FILE* fp, long* badLine, const char** why,
                          uint64_t* digest = nullptr);

// CheckRecordFile for an uploader: when the file is not sound, says why on
// the console (ReportTextCheck: "ERROR: Cannot Read File '<name>'", or "ERROR:
// Line N of '<name>' <reason>; nothing was sent"). Returns 0 when the file is
// sound (`fp` rewound, the lines' digest in *digest when given), -1 when not;
// `fp` stays open either way.
int CheckRecordFileAndReport(std::FILE* fp, const char* name, uint64_t* digest = nullptr);
