// Reading what people read about a program's exit statuses: the manual
// page's EXIT STATUS list (roff) and the program's column of the README's
// "Exit statuses" table (Markdown), each compared with the program's table.
#pragma once

#include <string>
#include <vector>

#include "guidance/exit_status.h"

// Where `program`'s table and its manual page (`manual`, roff text) and its
// README column (`readme`, the whole README) disagree: one line each, none
// when they agree. Texts are compared after roff and Markdown are read as
// plain text with spaces run together.
std::vector<std::string> Differences(const std::string& program, const ExitStatusTable& table,
                                     const std::string& manual, const std::string& readme);

// `lines`, each followed by a newline, for failure messages.
std::string Joined(const std::vector<std::string>& lines);
