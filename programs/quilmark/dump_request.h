// Quilmark's conversation with the monitor, shared by its two flows: the save
// (quilmark.cpp) and the verify (verify.cpp). The wake-up with Quilmark's
// figures, and the dump request: ";", then "10" and a four-digit address,
// answered with the 16 bytes there as 32 hex digits and a record checksum.
//
// Summary:
//   OpenPort        open sPortName, print the "Com Port(1)" line or why not
//   WakeTarget      the handshake: wake the monitor, wait for "$$$", settle
//   RequestDump     one request for startAddress, its answer into dataBuf
//   ReadDumpAnswer  up to kAnswerTries requests until one answer is sound
#pragma once

#include <cstdint>

#include "programs/common/pace.h"
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

// Exit statuses of both flows.
constexpr int kStatusDone = 0;
constexpr int kStatusArguments = 1;
constexpr int kStatusNoFile = -1;
constexpr int kStatusNoPort = 2;
constexpr int kStatusNoWake = 3;
constexpr int kStatusSilent = 4;
constexpr int kStatusBadAnswer = 5;
constexpr int kStatusFileError = 6;  // the save's output file
constexpr int kStatusDiffers = 7;    // the verify found a byte that differs

constexpr int32_t kQuietMs = kQuilmarkQuietMs;  // quiet that ends a drain
constexpr int kAnswerTries = 3;                 // requests for one address before giving up

// Opens sPortName at comBaudRate into comHandle and prints "Com Port(1) %s
// open at %d baud.". Returns kStatusDone, or kStatusNoPort after printing
// "OpenCom (1) failed with error %d." with hints on standard error
// (`portArgument` is the port as given on the command line, or nullptr).
// Nothing else is closed here.
int OpenPort(const char* portArgument);

// The opening handshake on the open port comHandle, with Quilmark's row
// (kQuilmarkHandshake): wakes the monitor, pauses 100 ms, collects up to 40
// bytes until "$$$" with 5000 ms per byte, prints "\n Target Ready", then
// drains until kQuietMs ms of quiet. Returns kStatusDone; on silence, a lost
// port or a stop signal the status SilenceStatus gives (kStatusNoWake or
// 128 + n), on a line that never falls quiet kStatusNoWake, the reason
// printed (after silence, with a hint on standard error). The port stays
// open either way.
int WakeTarget();

// Sends one dump request for startAddress (";", then "10" and the address as
// four upper-case hex digits) and collects the answer into dataBuf:
// dataBufIndex characters, terminated, at most kDumpAnswerChars. Each wait
// for a byte is 5000 ms; whatever follows the answer is drained until
// kQuietMs ms of quiet. Returns 0 when kDumpAnswerChars characters came, -1
// when the target fell silent (or sent a NUL, or the port was lost, or a stop
// signal came) before that; dataBuf then holds what did come. Returns -2 when
// the drain gave up on a target that kept talking.
int RequestDump();

// Reads the 16 bytes at startAddress: asks the monitor up to kAnswerTries
// times until an answer is sound (CheckDumpAnswer). Prints nothing for the
// sound answer; each failed try is shown with why ("No Response from
// target(dataBufIndex=N)" or "Answer from target <fault>") and what came,
// followed by "?". Returns kStatusDone with the sound answer in dataBuf
// (kDumpAnswerChars hex digits, terminated). Otherwise kStatusSilent or
// kStatusBadAnswer, by how the last try failed; a lost port, a stop signal
// (StopSignal() then says which) and a target that never falls quiet end the
// tries at once, the port-lost and never-quiet reasons printed.
int ReadDumpAnswer();
