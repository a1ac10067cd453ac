// Quilmark's exit statuses and its help, in one place: the table the save's
// and the verify's stages end the run with, and from which the help lists
// the statuses.
#pragma once

#include "guidance/exit_status.h"
#include "guidance/help.h"

// Which status each way a stage of a save or a verify ends gives, with the
// texts of the help, the manual page and the README for each.
extern const ExitStatusTable kQuilmarkStatuses;

// Quilmark's --help: what it does, its arguments, and kQuilmarkStatuses.
extern const ProgramHelp kQuilmarkHelp;
