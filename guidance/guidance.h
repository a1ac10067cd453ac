// Guidance for the people at the console: what a run will do and about how
// long it takes, how far it has got, and what happened in the end.
//
// Everything here is written to standard error. Standard output carries the
// programs' transcript, and nothing here ever writes to it, so scripts that
// read the transcript see it byte for byte as before; a log of standard
// error holds the announcement and the summary, and never the progress line,
// which is drawn only when standard error is a terminal.
//
// Summary:
//   FormatDuration, TimeLeftMs, RenderProgressLine   pure text and figures
//   AnnounceUpload, AnnounceDump, AnnounceTyping     before the first record
//   ProgressStart, ProgressUpdate, ProgressEnd       the line updated in place
//   NoteRecordNotAccepted, NoteAddressNotRead, NoteEchoMissing
//   SummarizeUpload, SummarizeDump, SummarizeTyping  the end of a run
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "dialogue/pace.h"

// ---------------------------------------------------------------------------
// Pure text and figures

// Writes `ms` milliseconds, rounded to the nearest second, as "M:SS" (under
// an hour) or "H:MM:SS" into `text` (of `size` bytes, always terminated).
// Negative times are written as "0:00".
void FormatDuration(long ms, char* text, std::size_t size);

// The time left, in milliseconds, when `done` of `total` units took
// `spentMs` milliseconds: the pace so far applied to what is left, or,
// before the first unit is done, `estimateMs` (the estimate for all units).
// Never negative; 0 when all is done.
long TimeLeftMs(long done, long total, long spentMs, long estimateMs);

// Writes the progress line "312/1024 records  30%  0:45 elapsed  1:44 left"
// into `line` (of `size` bytes, always terminated), cut to at most `width`
// characters so that it never wraps on a terminal that wide (no cut for a
// `width` of 0 or less). Returns its length.
std::size_t RenderProgressLine(char* line, std::size_t size, long done, long total,
                               const char* unit, long elapsedMs, long leftMs, int width);

// ---------------------------------------------------------------------------
// Before the first record, on standard error. Each also starts the clock the
// progress line and the summary measure.

// "23 records, 352 data bytes, about 0:04 at 9600 baud"
void AnnounceUpload(const UploadWork& work, double estimateMs);
// "16 requests for 256 bytes (0000..00FF), about 0:02 at 9600 baud"
void AnnounceDump(const DumpWork& work, uint32_t startAddress, double estimateMs);
// "12 blocks of 16 bytes to read back, about 0:01 at 9600 baud"
void AnnounceVerify(const DumpWork& work, double estimateMs);
// "12 lines, 340 characters, about 0:09 at 9600 baud"
void AnnounceTyping(const TypingWork& work, double estimateMs);

// ---------------------------------------------------------------------------
// Progress, shown only when standard error is a terminal, at most
// kProgressRedrawMs apart. When standard output is another file, the line is
// redrawn in place with carriage returns. When standard output is the same
// terminal, the transcript scrolls above it: the line is kept on the
// terminal's bottom row, outside a scroll region, so it never lands in the
// middle of a transcript line; a terminal that cannot take cursor control
// gets no progress line at all.

constexpr long kProgressRedrawMs = 250;

// Starts the progress of `total` units named `unit` ("records", plural),
// the whole run estimated at `estimateMs`. Call with the transcript at the
// start of a line.
void ProgressStart(long total, const char* unit, double estimateMs);

// Notes that `done` units are finished; redraws when shown and due (every
// unit when done reaches the total). Flushes standard output first, so the
// transcript always comes before the line.
void ProgressUpdate(long done);

// Takes the progress line away (and gives the terminal back its whole
// screen). Safe to call any number of times, and without ProgressStart.
void ProgressEnd();

// Takes the progress line away from a signal handler, for a run that ends
// there at once (a second stop signal): standard output and error are not
// flushed, only the terminal's whole screen given back. Async-signal-safe.
void AbandonProgress();

// Milliseconds since the announcement.
long RunElapsedMs();

// ---------------------------------------------------------------------------
// What went wrong on the way, listed in the summary.

// At most this many notes are kept; the summary counts the others.
constexpr int kNotesKept = 1000;

// A record not accepted: its 1-based line in the file, its load address and
// the verdict ('?', 'E', or '\0' for none).
void NoteRecordNotAccepted(long line, unsigned long address, char verdict);
// A memory address whose 16 bytes could not be read.
void NoteAddressNotRead(uint32_t address);
// A character typed on program line `line` whose echo never came.
void NoteEchoMissing(long line);

// ---------------------------------------------------------------------------
// At the end, on standard error (the progress line is taken away first).
// A run that ended before ProgressStart (before its first record) has
// nothing to sum up: these then print nothing.

// "Summary: 23 of 23 records sent in 0:04: 21 accepted, 2 not accepted", then
// one line for each record noted: "  line 5, load address 8030: refused (?)".
void SummarizeUpload(long sent, long total, long accepted, long resent = 0);
// After an upload cut short: the command that continues it from file line
// `line`, with --retry `retries` when above 0 and `port` when not nullptr.
void SuggestContinuing(const char* program, long line, int retries, const char* file,
                       const char* port);
// "Summary: 16 of 16 records saved (256 bytes) in 0:02", then one line for
// each address noted: "  address 8010: could not be read".
void SummarizeDump(long saved, long total);
// "Summary: 12 of 12 blocks read back in 0:01", then each address noted as
// for SummarizeDump.
void SummarizeVerify(long read, long total);
// "Summary: 12 of 12 lines typed (340 characters) in 0:09", then the lines
// whose echoes went missing: "  line 7: 2 echoes missing".
void SummarizeTyping(long linesTyped, long lines, long charsTyped);
