// Ferrolt's exit statuses and its help, in one place: the table main's
// stages end the run with, and from which the help lists the statuses.
#pragma once

#include "guidance/exit_status.h"
#include "guidance/help.h"

// Which status each way a stage of Ferrolt's run ends gives, with the texts
// of the help, the manual page and the README for each.
extern const ExitStatusTable kFerroltStatuses;

// Ferrolt's --help: what it does, its arguments, and kFerroltStatuses.
extern const ProgramHelp kFerroltHelp;
