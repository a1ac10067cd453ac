// Ferrolt's exit statuses and its help, which lists them.
#pragma once

#include "run/exit_status.h"
#include "run/help.h"

// The status each way a stage of Ferrolt's run ends gives, and its text.
extern const ExitStatusTable kFerroltStatuses;

// Ferrolt's --help.
extern const ProgramHelp kFerroltHelp;
