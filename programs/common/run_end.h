// How a run that ends early says why. Each function prints its reason on the
// console and gives back the exit status; the program then closes its file,
// then its port, and exits with that status.
#pragma once

#include "dialogue/outcome.h"
#include "programs/common/exit_status.h"

// Ends a run whose `stage` ended with `outcome`, and gives back the status
// the program's `table` lists for it. Says why on the console when the
// outcome is a wait's: a stop ("Stopped by signal", the status then 128 +
// the signal number), silence ("No Response from target"), a lost port, or
// chatter (a line that never fell quiet). Silence or a lost port while a
// stop signal is noted counts as the stop, since the signal cut the wait
// short. Every other outcome the step has explained already: nothing is
// printed for it.
int EndRun(const ExitStatusTable& table, Stage stage, Outcome outcome);
