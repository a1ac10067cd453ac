// How a run that ends early says why. Each End function prints its reason on
// the console and gives back the exit status; the program then closes its
// file, then its port (CloseFileAndPort), and exits with that status.
//
// Summary:
//   EndRun            the status for how a stage ended, a wait's end told
//   EndRunOnPort      ... with the hint after a wake-up left unanswered
//   CloseFileAndPort  close what an ending run still holds
#pragma once

#include <cstdio>

#include "dialogue/outcome.h"
#include "guidance/exit_status.h"
#include "serial/serial_link.h"

// Ends a run whose `stage` ended with `outcome`, and gives back the status
// the program's `table` lists for it. Says why on the console when the
// outcome is a wait's: a stop ("Stopped by signal", the status then 128 +
// the signal number), silence ("No Response from target"), a lost port, or
// chatter (a line that never fell quiet). Silence or a lost port while a
// stop signal is noted counts as the stop, since the signal cut the wait
// short. Every other outcome the step has explained already: nothing is
// printed for it.
int EndRun(const ExitStatusTable& table, Stage stage, Outcome outcome);

// EndRun for a program talking on `port`: says why and gives back the status
// as EndRun does, then, when the handshake ended without its prompt (other
// than by chatter: the target did talk), hints on standard error at why the
// wake-up went unanswered (HintWakeUpSilence, quiet after a stop signal or
// on a lost port). Call before closing the port; nothing is closed.
int EndRunOnPort(const ExitStatusTable& table, Stage stage, Outcome outcome, ComPort port);

// Closes what a run that ends still holds, the file before the port: `*fp`
// when open (then set to nullptr) and `*port` when open (then set to
// kInvalidComPort). Returns true when the port was open, standard output
// then flushed, for the summary the program writes on standard error after
// its last console line; false when it was not.
bool CloseFileAndPort(std::FILE** fp, ComPort* port);
