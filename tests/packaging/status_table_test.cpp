// Each program's exit-status table: well formed, the status each stage's
// end gives, the help printed from it, and the manual page giving each
// status the help's text word for word.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>

#include "dialogue/dialogue.h"
#include "host/stop_signal.h"
#include "programs/ferrolt/exit_status.h"
#include "programs/quilmark/exit_status.h"
#include "programs/torvane/exit_status.h"
#include "programs/torvanex/exit_status.h"
#include "run/exit_status.h"
#include "run/help.h"
#include "run/run_end.h"

namespace {

struct ProgramTable {
    const char* program;
    const ExitStatusTable* table;
};
const ProgramTable kProgramTables[] = {
    {"Torvanex", &kTorvanexStatuses},
    {"Torvane", &kTorvaneStatuses},
    {"Quilmark", &kQuilmarkStatuses},
    {"Ferrolt", &kFerroltStatuses},
};

// Shows a case by its program in failure messages.
void PrintTo(const ProgramTable& table, std::ostream* out) {
    *out << table.program;
}

std::string ReadSource(const std::string& path) {
    std::ifstream in(std::string(SOURCE_DIR) + "/" + path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each status the help lists with its text on one line: the stop row as this
// host's stop signals.
std::map<int, std::string> HelpStatuses(const ExitStatusTable& table) {
    std::map<int, std::string> statuses;
    for (std::size_t i = 0; i < table.count; ++i) {
        const ExitStatusRow& row = table.rows[i];
        if (row.status == kStoppedBySignal) {
            for (std::size_t s = 0; s < kStopSignalCount; ++s) {
                statuses[StopStatus(kStopSignals[s].number)] = kStopSignals[s].text;
            }
            continue;
        }
        std::string text = row.text;
        for (char& c : text) {
            c = c == '\n' ? ' ' : c;
        }
        statuses[row.status] = text;
    }
    return statuses;
}

// `line` of roff text with its escapes for '-' and '\\' read.
std::string RoffText(std::string line) {
    for (const auto& [escape, plain] : {std::pair{"\\-", "-"}, std::pair{"\\e", "\\"}}) {
        for (std::size_t at = line.find(escape); at != std::string::npos;
             at = line.find(escape, at + 1)) {
            line.replace(at, 2, plain);
        }
    }
    return line;
}

// The manual page's EXIT STATUS entries: ".TP", ".B <status>", then its text.
std::map<int, std::string> ManualStatuses(const std::string& roff) {
    std::map<int, std::string> statuses;
    std::istringstream in(roff);
    bool inSection = false;
    std::string* entry = nullptr;
    std::string previous;
    for (std::string line; std::getline(in, line); previous = line) {
        if (line.rfind(".SH", 0) == 0) {
            inSection = line == ".SH EXIT STATUS";
            entry = nullptr;
        } else if (inSection && previous == ".TP" && line.rfind(".B ", 0) == 0) {
            entry = &statuses[std::stoi(RoffText(line.substr(3)))];
        } else if (line[0] == '.') {
            entry = nullptr;
        } else if (entry != nullptr) {
            *entry += (entry->empty() ? "" : " ") + RoffText(line);
        }
    }
    return statuses;
}

class StatusTable : public ::testing::TestWithParam<ProgramTable> {};

std::string CaseName(const ::testing::TestParamInfo<ProgramTable>& info) {
    return info.param.program;
}

}  // namespace

TEST_P(StatusTable, ManualPageGivesEachStatusTheHelpsText) {
    const std::string program = GetParam().program;
    const std::map<int, std::string> help = HelpStatuses(*GetParam().table);
    ASSERT_FALSE(help.empty());
    EXPECT_EQ(ManualStatuses(ReadSource("docs/man/" + program + ".1")), help);
}

// One row a status, the stop row present, each stage's end in one row
// only, every row but the stop row reached by some end, and the help's
// lines within 80 columns.
TEST_P(StatusTable, TableIsWellFormed) {
    const ExitStatusTable& table = *GetParam().table;
    std::map<int, int> rowsOf;
    std::map<std::pair<Stage, int>, int> statusOf;
    for (std::size_t i = 0; i < table.count; ++i) {
        const ExitStatusRow& row = table.rows[i];
        ++rowsOf[row.status];
        bool reached = false;
        for (const StageEnds& ends : row.ends) {
            if (ends.stage == Stage::kNone) {
                EXPECT_EQ(ends.outcomes, 0u) << "status " << row.status;
                continue;
            }
            reached = reached || ends.outcomes != 0;
            for (int o = 0; o < 32; ++o) {
                if ((ends.outcomes & (OutcomeSet{1} << o)) != 0) {
                    EXPECT_EQ(statusOf.count({ends.stage, o}), 0u)
                        << "stage " << static_cast<int>(ends.stage) << ", outcome " << o
                        << " in two rows";
                    statusOf[{ends.stage, o}] = row.status;
                }
            }
        }
        if (row.status == kStoppedBySignal) {
            EXPECT_FALSE(reached) << "a stop ends every stage: the stop row lists no ends";
            continue;
        }
        EXPECT_TRUE(reached) << "status " << row.status << " is given by no stage's end";
        ASSERT_NE(row.text, nullptr);
        std::istringstream lines(row.text);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(line.size() + 6, 80u) << line;
        }
    }
    EXPECT_EQ(rowsOf[kStoppedBySignal], 1);
    for (const auto& rows : rowsOf) {
        EXPECT_EQ(rows.second, 1) << "status " << rows.first;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, StatusTable, ::testing::ValuesIn(kProgramTables), CaseName);

// Every way each program's stages end, and the status it exits with.
struct StageEnd {
    const ExitStatusTable* table;
    Stage stage;
    Outcome outcome;
    int status;
};

namespace {

// The program whose table `table` is, for failure messages.
const char* ProgramOf(const ExitStatusTable* table) {
    for (const ProgramTable& program : kProgramTables) {
        if (program.table == table) {
            return program.program;
        }
    }
    return "?";
}

}  // namespace

TEST(StatusTableLookup, EachStageEndGivesTheProgramsStatus) {
    const ExitStatusTable* x = &kTorvanexStatuses;
    const ExitStatusTable* t = &kTorvaneStatuses;
    const ExitStatusTable* q = &kQuilmarkStatuses;
    const ExitStatusTable* f = &kFerroltStatuses;
    const StageEnd kEnds[] = {
        {x, Stage::kArguments, Outcome::kBadArguments, 1},
        {x, Stage::kFile, Outcome::kFileError, 2},
        {x, Stage::kPort, Outcome::kNoPort, 3},
        {x, Stage::kHandshake, Outcome::kSilent, 3},
        {x, Stage::kHandshake, Outcome::kPortLost, 3},
        {x, Stage::kHandshake, Outcome::kStopped, kStoppedBySignal},
        {x, Stage::kRecords, Outcome::kSilent, 4},
        {x, Stage::kRecords, Outcome::kPortLost, 4},
        {x, Stage::kRecords, Outcome::kChatter, 4},
        {x, Stage::kRecords, Outcome::kStopped, kStoppedBySignal},
        {x, Stage::kFinish, Outcome::kDone, 0},
        {x, Stage::kFinish, Outcome::kBadAnswer, 5},
        {t, Stage::kArguments, Outcome::kBadArguments, 1},
        {t, Stage::kFile, Outcome::kFileError, -1},
        {t, Stage::kPort, Outcome::kNoPort, 2},
        {t, Stage::kHandshake, Outcome::kSilent, 3},
        {t, Stage::kHandshake, Outcome::kPortLost, 3},
        {t, Stage::kHandshake, Outcome::kChatter, 3},
        {t, Stage::kRecords, Outcome::kSilent, 4},
        {t, Stage::kRecords, Outcome::kPortLost, 4},
        {t, Stage::kRecords, Outcome::kChatter, 4},
        {t, Stage::kRecords, Outcome::kStopped, kStoppedBySignal},
        {t, Stage::kFinish, Outcome::kPortLost, 4},
        {t, Stage::kFinish, Outcome::kStopped, kStoppedBySignal},
        {t, Stage::kFinish, Outcome::kDone, 0},
        {t, Stage::kFinish, Outcome::kBadAnswer, 5},
        // Quilmark: the save and the verify share the table; both read
        // memory in Stage::kRequests, only the save writes a file there.
        {q, Stage::kArguments, Outcome::kBadArguments, 1},
        {q, Stage::kFile, Outcome::kFileError, -1},
        {q, Stage::kPort, Outcome::kNoPort, 2},
        {q, Stage::kHandshake, Outcome::kSilent, 3},
        {q, Stage::kHandshake, Outcome::kPortLost, 3},
        {q, Stage::kHandshake, Outcome::kChatter, 3},
        {q, Stage::kHandshake, Outcome::kStopped, kStoppedBySignal},
        {q, Stage::kRequests, Outcome::kSilent, 4},
        {q, Stage::kRequests, Outcome::kPortLost, 4},
        {q, Stage::kRequests, Outcome::kBadAnswer, 5},
        {q, Stage::kRequests, Outcome::kChatter, 5},
        {q, Stage::kRequests, Outcome::kFileError, 6},
        {q, Stage::kRequests, Outcome::kStopped, kStoppedBySignal},
        {q, Stage::kFinish, Outcome::kDone, 0},
        {q, Stage::kFinish, Outcome::kFileError, 6},
        {q, Stage::kFinish, Outcome::kBadAnswer, 7},
        // Ferrolt: no answer while BASIC starts is 3; while typing, a missing
        // echo is 3 but a line that never falls quiet counts as a wrong echo.
        {f, Stage::kArguments, Outcome::kBadArguments, 1},
        {f, Stage::kFile, Outcome::kFileError, -1},
        {f, Stage::kPort, Outcome::kNoPort, 2},
        {f, Stage::kHandshake, Outcome::kSilent, 3},
        {f, Stage::kHandshake, Outcome::kPortLost, 3},
        {f, Stage::kHandshake, Outcome::kChatter, 3},
        {f, Stage::kHandshake, Outcome::kStopped, kStoppedBySignal},
        {f, Stage::kBasicStart, Outcome::kSilent, 3},
        {f, Stage::kBasicStart, Outcome::kPortLost, 3},
        {f, Stage::kBasicStart, Outcome::kChatter, 3},
        {f, Stage::kBasicStart, Outcome::kStopped, kStoppedBySignal},
        {f, Stage::kTyping, Outcome::kSilent, 3},
        {f, Stage::kTyping, Outcome::kPortLost, 3},
        {f, Stage::kTyping, Outcome::kBadAnswer, 4},
        {f, Stage::kTyping, Outcome::kChatter, 4},
        {f, Stage::kTyping, Outcome::kStopped, kStoppedBySignal},
        {f, Stage::kFinish, Outcome::kPortLost, 3},
        {f, Stage::kFinish, Outcome::kDone, 0},
    };
    for (const StageEnd& end : kEnds) {
        EXPECT_EQ(ExitStatusFor(*end.table, end.stage, end.outcome), end.status)
            << ProgramOf(end.table) << ", stage " << static_cast<int>(end.stage) << ", outcome "
            << static_cast<int>(end.outcome);
    }
    // An end no row lists is told apart from every status.
    EXPECT_EQ(ExitStatusFor(kTorvanexStatuses, Stage::kPort, Outcome::kSilent), kNoExitStatus);
}

// The help's list is printed from the table: numbers right-aligned in four
// places, -1 as the host shows it, later lines indented under the first,
// and the stop row as the host's signals.
TEST(StatusTableHelp, HelpListsTheTableRows) {
    static const ExitStatusRow kRows[] = {
        {0, {{{Stage::kFinish, Of(Outcome::kDone)}}}, "done"},
        {-1, {{{Stage::kFile, Of(Outcome::kFileError)}}}, "the file\ncannot be read"},
        {12, {{{Stage::kPort, Of(Outcome::kNoPort)}}}, "no port"},
        {kStoppedBySignal, {}, nullptr},
    };
    const ProgramHelp help = {"Prog", "Usage: Prog\n  port      ", true, {kRows, 4}};
    testing::internal::CaptureStdout();
    PrintHelp(help);
    const std::string printed = testing::internal::GetCapturedStdout();
    const std::string statuses = printed.substr(printed.find("Exit status:\n"));
    EXPECT_EQ(statuses,
              "Exit status:\n"
              "   0  done\n"
              " 255  the file\n"
              "      cannot be read\n"
              "  12  no port\n"
              " 130  stopped by Ctrl-C (SIGINT)\n"
              " 131  stopped by Ctrl-\\ (SIGQUIT)\n"
              " 143  stopped by SIGTERM\n"
              " 129  stopped by SIGHUP (the terminal closed)\n");
    EXPECT_EQ(printed.rfind("Usage: Prog\n  port      a COM port number", 0), 0u) << printed;
}

// A run ended from the table: a wait's end is said in the words every
// program uses, any other end was explained by its step; the status is the
// table's.
TEST(StatusTableEnd, EndRunSaysWhyForAWaitAndGivesTheTablesStatus) {
    struct End {
        Stage stage;
        Outcome outcome;
        const char* said;
        int status;
    };
    const End kEnds[] = {
        {Stage::kHandshake, Outcome::kSilent, kNoResponseText, 3},
        {Stage::kRecords, Outcome::kPortLost, kPortLostText, 4},
        {Stage::kRecords, Outcome::kChatter, kNeverQuietText, 4},
        {Stage::kFile, Outcome::kFileError, "", -1},
        {Stage::kFinish, Outcome::kBadAnswer, "", 5},
        {Stage::kFinish, Outcome::kDone, "", 0},
    };
    for (const End& end : kEnds) {
        testing::internal::CaptureStdout();
        const int status = EndRun(kTorvaneStatuses, end.stage, end.outcome);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), end.said);
        EXPECT_EQ(status, end.status) << "stage " << static_cast<int>(end.stage);
    }
}
