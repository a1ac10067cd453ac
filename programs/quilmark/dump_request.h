// Quilmark's conversation with the monitor, shared by its two flows: the save
// (quilmark.cpp) and the verify (verify.cpp). The port, the wake-up with
// Quilmark's figures, and the dump request: ";", then "10" and a four-digit
// address, answered with the 16 bytes there as 32 hex digits and a record
// checksum. Also how a stage of either flow ends, read from Quilmark's
// exit-status table.
//
// Summary:
//   OpenPort        open sPortName, print the "Com Port(1)" line or why not
//   WakeTarget      the handshake: wake the monitor, wait for "$$$", settle
//   ReadDumpAnswer  up to kAnswerTries requests until one answer is sound
//   EndStage        the exit status for how a stage ended, the reason told
#pragma once

#include <cstdint>

#include "dialogue/outcome.h"
#include "dialogue/pace.h"
#include "guidance/exit_status.h"
#include "serial/serial_link.h"

// Program-wide state of the conversation, defined in dump_request.cpp.
extern char sPortName[kComPortNameSize];  // the port to open, "//./COM10" by default
extern int32_t comBaudRate;
extern ComPort comHandle;
extern int32_t comError;
extern char dataBuf[50];       // prompt text, then the request, then the answer
extern int32_t dataBufIndex;   // characters of the current answer received
extern char inByte;            // the last byte read
extern uint32_t startAddress;  // address of the next request

constexpr int32_t kQuietMs = kQuilmarkQuietMs;  // quiet that ends a drain
constexpr int kAnswerTries = 3;                 // requests for one address before giving up

// Opens sPortName at comBaudRate into comHandle and prints "Com Port(1) %s
// open at %d baud.". Returns Outcome::kDone, or Outcome::kNoPort after
// printing "OpenCom (1) failed with error %d." with hints on standard error
// (`portArgument` is the port as given on the command line, or nullptr).
// Nothing else is closed here.
Outcome OpenPort(const char* portArgument);

// The opening handshake on the open port comHandle, with Quilmark's row
// (kQuilmarkHandshake): wakes the monitor, pauses 100 ms, collects up to 40
// bytes until "$$$" with 5000 ms per byte, prints "\n Target Ready", then
// drains until kQuietMs ms of quiet. Returns as Handshake: Outcome::kDone,
// or Outcome::kSilent, Outcome::kPortLost or Outcome::kChatter with nothing
// printed (EndStage tells why). The port stays open either way.
Outcome WakeTarget();

// Reads the 16 bytes at startAddress: asks the monitor up to kAnswerTries
// times until an answer is sound (CheckDumpAnswer). Prints nothing for the
// sound answer; each failed try is shown with why ("No Response from
// target(dataBufIndex=N)" or "Answer from target <fault>") and what came,
// followed by "?". Returns Outcome::kDone with the sound answer in dataBuf
// (kDumpAnswerChars hex digits, terminated). Otherwise Outcome::kSilent or
// Outcome::kBadAnswer, by how the last try failed; a lost port, a stop
// signal and a target that never falls quiet end the tries at once with
// Outcome::kPortLost, Outcome::kStopped or Outcome::kChatter, the port-lost
// and never-quiet reasons printed.
Outcome ReadDumpAnswer();

// The exit status Quilmark's table (kQuilmarkStatuses) gives for `stage`
// ending with `outcome`, for the save and the verify alike. Tells why where
// the step has not: a stop in any stage, and the handshake's end as EndRun
// words it, with a hint after a wake-up left unanswered; the requests'
// tries told their reasons as they failed. Nothing is closed.
int EndStage(Stage stage, Outcome outcome);
