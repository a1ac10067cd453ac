// Quilmark's exit statuses and its help, which lists them.
#pragma once

#include "run/exit_status.h"
#include "run/help.h"

// The status each way a stage of a save or a verify ends gives, and its text.
extern const ExitStatusTable kQuilmarkStatuses;

// Quilmark's --help.
extern const ProgramHelp kQuilmarkHelp;
