// A program's exit statuses, in one table per program: which status each
// way a step of the run can end gives, and the texts that explain each
// status in the help (printed from the table), the manual page and the
// README (checked against the table by a test).
//
// A program declares its table beside its help text, in
// programs/<name>/exit_status.cpp, one row per status in the order the help
// lists them:
//
//   constexpr ExitStatusRow kRows[] = {
//       {0, {{{Stage::kFinish, Of(Outcome::kDone)}}}, "done", "Done.", "done"},
//       {3, {{{Stage::kPort, Of(Outcome::kNoPort)},
//             {Stage::kHandshake, kWaitFailures}}}, "...", "...", "..."},
//       {kStoppedBySignal, {}, nullptr, "Stopped by Ctrl-C ...", "stopped by ..."},
//   };
//   const ExitStatusTable kTorvanexStatuses = {kRows, std::size(kRows)};
//
// and ends a run with EndRun(kTorvanexStatuses, stage, outcome) (run_end.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dialogue/outcome.h"

// The steps of a run, in the order they come. A program uses those it has.
enum class Stage {
    kNone,        // marks an unused entry of a row's `ends`
    kArguments,   // the command line checked and copied
    kFile,        // the input file opened and checked whole
    kPort,        // the port opened
    kHandshake,   // the monitor woken and the line settled
    kBasicStart,  // BASIC started and its memory question answered (Ferrolt)
    kRecords,     // the records sent, each answer awaited
    kRequests,    // the dump requests made, each answer read (Quilmark)
    kTyping,      // the program text typed, each echo checked (Ferrolt)
    kFinish,      // the end of the run: the last checks, the result told
};

// A set of outcomes, one bit each: Of(Outcome::kSilent) | Of(...).
using OutcomeSet = uint32_t;
constexpr OutcomeSet Of(Outcome outcome) {
    return OutcomeSet{1} << static_cast<unsigned>(outcome);
}
// The ways a wait fails short of a stop: silence, a lost port, chatter.
constexpr OutcomeSet kWaitFailures =
    Of(Outcome::kSilent) | Of(Outcome::kPortLost) | Of(Outcome::kChatter);

// Some outcomes of one stage.
struct StageEnds {
    Stage stage = Stage::kNone;
    OutcomeSet outcomes = 0;
};

// The status of the row for a run ended by a stop signal: the run exits
// with 128 + the signal's number, and the help lists the host's signals.
// A stop ends every stage so; the row's `ends` stay empty.
constexpr int kStoppedBySignal = 128;

// What ExitStatusFor gives for an end no row lists (a fault of the table,
// which the status table test rules out for every end a program has).
constexpr int kNoExitStatus = -1000;

// One exit status and what explains it.
struct ExitStatusRow {
    int status;                     // as main returns it; -1 shows as 255 on POSIX
    std::array<StageEnds, 4> ends;  // the stage ends that give this status
    // The help's text after the number: lines split by '\n', printed with
    // the later lines indented under the first. nullptr for the stop row,
    // whose lines are the host's signals.
    const char* help;
    // The manual page's paragraph under the status (EXIT STATUS), as plain
    // text: roff requests and escapes left out, lines joined by spaces.
    const char* manual;
    // The README's cell for the status in the program's column (Markdown).
    const char* readme;
};

// A program's rows, in the order the help lists them.
struct ExitStatusTable {
    const ExitStatusRow* rows;
    std::size_t count;
};

// The status `table` gives for `stage` ending with `outcome`: the first row
// whose ends hold it; kStoppedBySignal for Outcome::kStopped in any stage,
// when the table has that row. kNoExitStatus when no row holds it.
int ExitStatusFor(const ExitStatusTable& table, Stage stage, Outcome outcome);
