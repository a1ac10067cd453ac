// A program's exit statuses: the status each way a stage of its run ends
// gives, and the one text for each status, which --help prints and the
// manual page repeats word for word.
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
    kBasicStart,  // BASIC started and its memory question answered
    kRecords,     // the records sent, each answer awaited
    kRequests,    // the dump requests made, each answer read
    kTyping,      // the program text typed, each echo checked
    kFinish,      // the end of the run: the last checks, the result told
    kAfterJob,    // after a job done: text sent, an answer awaited, a terminal
};

// A set of outcomes, one bit each: Of(Outcome::kSilent) | Of(...).
using OutcomeSet = uint32_t;
constexpr OutcomeSet Of(Outcome outcome) {
    return OutcomeSet{1} << static_cast<unsigned>(outcome);
}
// The ways a wait fails short of a stop: silence, a lost port, chatter, a
// prompt that never came.
constexpr OutcomeSet kWaitFailures =
    Of(Outcome::kSilent) | Of(Outcome::kPortLost) | Of(Outcome::kChatter) | Of(Outcome::kNoPrompt);

// Some outcomes of one stage.
struct StageEnds {
    Stage stage = Stage::kNone;
    OutcomeSet outcomes = 0;
};

// The status of the stop row, which stands for the host's stop signals
// (kStopSignals, each 128 + its number) and ends every stage.
constexpr int kStoppedBySignal = 128;

// What ExitStatusFor gives for an end no row lists.
constexpr int kNoExitStatus = -1000;

struct ExitStatusRow {
    int status;                     // as main returns it; -1 shows as 255 on POSIX
    std::array<StageEnds, 4> ends;  // the stage ends that give it
    const char* text;               // its lines split by '\n'; nullptr in the stop row
};

// A program's rows, in the order the help lists them.
struct ExitStatusTable {
    const ExitStatusRow* rows;
    std::size_t count;
};

// The status of the first row of `table` holding `stage` ending with
// `outcome` (a stop: the stop row's); kNoExitStatus when none does.
int ExitStatusFor(const ExitStatusTable& table, Stage stage, Outcome outcome);
