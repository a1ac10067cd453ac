// An Intel HEX file as the uploaders and the verify run read it: opened and
// checked whole before anything is sent, so a broken file never half-loads,
// then read record by record for sending. The file is read line by line with
// ReadTextLine (text_file.h).
//
// Summary:
//   CheckRecordFile           check a file up to its end record
//   CheckRecordFileAndReport  ... and say on the console why it is refused
//   OpenRecordFile            open, stamp and check the file a program reads
//   RecordRead, ReadRecord    the next record of a checked file, for sending
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "input_file/input_file.h"
#include "input_file/text_file.h"

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

// Opens the HEX file `name` for `program` (a plain file only: OpenInputFile),
// with a hint when `name` looks like an option; copies `name` into
// `fileName` (`size` bytes, cut short when it does not fit), prints "FILE:
// '<name>'" and a newline, takes the file's stamp into *stamp when `stamp`
// is given, and checks the file with CheckRecordFileAndReport (its lines'
// digest in *digest). Returns the stream rewound to its start, or nullptr
// with the reason printed (the file then closed).
std::FILE* OpenRecordFile(const char* program, const char* name, char* fileName, std::size_t size,
                          FileStamp* stamp, uint64_t* digest);

// What ReadRecord found.
enum class RecordRead {
    kRecord,     // a record other than the end record is in the line buffer
    kEmptyLine,  // an empty line, passed over in sending
    kNoMore,     // the end record, or the end of the file: nothing more to send
    kFault,      // the file changed or cannot be read: the reason printed
};

// Reads the next line of the checked HEX file `fp` (named `name`, with the
// stamp `stamp` taken before its check) into `line` (`size` bytes, at least
// kMaxRecordChars + 2), counts it in *lineNumber and adds it to *digest. The
// file was sound when checked, so a failure now means it changed or the disk
// failed, and a guessed record must not reach the target: a file changed
// since `stamp` prints kFileChangedText, a line that cannot be read or is no
// longer a sound record prints "\nERROR: Cannot Read File '<name>'" and a
// newline. Returns RecordRead::kRecord, kEmptyLine, kNoMore (the end of the
// file, where nothing is counted or digested, or the end record) or kFault.
RecordRead ReadRecord(std::FILE* fp, const char* name, const FileStamp& stamp, char* line,
                      std::size_t size, uint64_t* digest, long* lineNumber);
