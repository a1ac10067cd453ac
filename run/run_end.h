// The end of a run: why it ended said, and its status from the program's table.
#pragma once

#include "dialogue/outcome.h"
#include "run/exit_status.h"
#include "serial/serial_link.h"

// The status `table` gives for `stage` ending with `outcome`, after saying
// why when a wait ended it; silence, a lost port or a prompt that never
// came after a stop signal counts as the stop. Other outcomes were explained by their step.
int EndRun(const ExitStatusTable& table, Stage stage, Outcome outcome);

// EndRun, then the hint for a wake-up left unanswered on `port` (not for
// chatter). Call before closing the port.
int EndRunOnPort(const ExitStatusTable& table, Stage stage, Outcome outcome, ComPort port);
