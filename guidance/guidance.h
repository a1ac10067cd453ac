// Guidance for the people at the console, all on standard error, never on
// the transcript's standard output: the work announced, progress (on a
// terminal only) and the summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "dialogue/pace.h"  // DumpWork, TypingWork
#include "hexrec/hexrec.h"  // UploadWork

// ---------------------------------------------------------------------------
// Pure text and figures

// `ms` rounded to seconds as "M:SS", from an hour "H:MM:SS", into `text`
// (`size` bytes, terminated); a negative time as "0:00".
void FormatDuration(long ms, char* text, std::size_t size);

// Milliseconds left at the pace so far (`done` of `total` units in `spentMs`),
// or `estimateMs` before the first unit; never negative.
long TimeLeftMs(long done, long total, long spentMs, long estimateMs);

// The progress line into `line` (`size` bytes, terminated), cut to `width`
// characters when `width` > 0. Returns its length.
std::size_t RenderProgressLine(char* line, std::size_t size, long done, long total,
                               const char* unit, long elapsedMs, long leftMs, int width);

// ---------------------------------------------------------------------------
// Lines on standard error

// Continuation lines of a wrapped line are indented this much more than it.
constexpr int kWrapIndent = 4;

// `text` into `out` (`size` bytes, terminated, cut when full), each line
// broken at spaces to at most `width` characters where its words allow.
// Returns the length written.
std::size_t WrapText(const char* text, int width, char* out, std::size_t size);

// Notes that the transcript's last text ended without a newline.
void NoteTranscriptLineOpen();

// Flushes standard output; then, when its line was noted open, ends that
// line on standard error, so what comes there starts on a line of its own.
void StartGuidanceLine();

// StartGuidanceLine, then `text` wrapped to the width of standard error's
// terminal less one column (79 when it is no terminal or its size unknown).
void WriteGuidance(const char* text);

// ---------------------------------------------------------------------------
// The work and its estimate, before the first record; each starts the clock
// of the progress line and the summary.

void AnnounceUpload(const UploadWork& work, double estimateMs);
void AnnounceDump(const DumpWork& work, uint32_t startAddress, double estimateMs);
void AnnounceVerify(const DumpWork& work, double estimateMs);
void AnnounceTyping(const TypingWork& work, double estimateMs);

// ---------------------------------------------------------------------------
// Progress, only when standard error is a terminal: redrawn in place, or,
// when standard output is the same terminal, on its bottom row below a
// scroll region (none on a terminal without cursor control).

constexpr long kProgressRedrawMs = 250;  // the least time between redraws

// Said once, at the start, where the transcript shares a terminal without
// cursor control (Wine's console, a "dumb" one), so no progress is shown.
extern const char* const kProgressOffText;

// Starts the progress of `total` units named `unit` ("records"), the whole
// run estimated at `estimateMs`, with the transcript at the start of a line.
void ProgressStart(long total, const char* unit, double estimateMs);

// `done` units finished; redraws when due, after flushing standard output.
void ProgressUpdate(long done);

// Takes the progress line away; safe to repeat, and without ProgressStart.
void ProgressEnd();

// Gives the terminal its whole screen back from a signal handler; signal-safe.
void AbandonProgress();

// Milliseconds since the announcement.
long RunElapsedMs();

// ---------------------------------------------------------------------------
// What went wrong on the way, listed in the summary.

constexpr int kNotesKept = 1000;  // the summary counts the others

// A record not accepted: its 1-based file line, its load address and its
// verdict ('?', 'E', or '\0' for none).
void NoteRecordNotAccepted(long line, unsigned long address, char verdict);
// A memory address whose 16 bytes could not be read.
void NoteAddressNotRead(uint32_t address);
// A character of program line `line` whose echo never came.
void NoteEchoMissing(long line);

// ---------------------------------------------------------------------------
// The summary, with the notes, once the progress line is gone; nothing for a
// run that ended before ProgressStart.

// The summary's "resent" count shows only when above 0.
void SummarizeUpload(long sent, long total, long accepted, long resent = 0);
// After an upload cut short: the command that continues it from file line
// `line`, with --retry `retries` when above 0 and `port` when not nullptr.
void SuggestContinuing(const char* program, long line, int retries, const char* file,
                       const char* port);
void SummarizeDump(long saved, long total);
void SummarizeVerify(long read, long total);
void SummarizeTyping(long linesTyped, long lines, long charsTyped);
