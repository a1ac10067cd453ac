// Torvane's exit statuses and its help, which lists them.
#pragma once

#include "run/exit_status.h"
#include "run/help.h"

// The status each way a stage of Torvane's run ends gives, and its text.
extern const ExitStatusTable kTorvaneStatuses;

// Torvane's --help.
extern const ProgramHelp kTorvaneHelp;
