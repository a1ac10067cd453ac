// What the end-to-end tests expect of each program, one row a program: a
// case loops over the rows, or takes one as its parameter, instead of asking
// a program's name. The figures are written here as the programs' users see
// them, not read from the programs, so a change in a program shows here.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The kind of job a program does, which decides its arguments.
enum class Job {
    kUpload,  // loads a record file: {file} {port}
    kTyping,  // types a BASIC text: {file} {port}
    kSave,    // saves memory to a file: {start} {end} {file} {port}
};

struct ProgramRow {
    std::string name;         // "Torvanex", "Torvane", "Quilmark", "Ferrolt"
    Job job;                  // what it does
    bool windowsBuild;        // also built for Windows, so it runs under Wine too
    int portStatus;           // its exit status when the port does not open
    int fileStatus;           // its exit status when its file is refused
    std::string openFailure;  // its line when the port does not open: "{device}"
                              // and "{error}" stand for the port and the code
    std::string done;         // how a finished job's output ends (native text)
    std::string recordLine;   // an uploader's line for a record (native text):
                              // "{length}", "{type}", "{record}" (with its ':'),
                              // "{data}" (after the ':') and "{verdict}" stand for
                              // its parts; "" for the programs that load nothing
};

// Every program's row, Torvanex first.
const std::vector<ProgramRow>& ProgramRows();
// The rows of the programs that also have a Windows build.
std::vector<ProgramRow> WindowsProgramRows();
// The row of `name`; a test failure (and the first row) when there is none.
const ProgramRow& ProgramNamed(std::string_view name);

// The line `uploader` prints for `record` and `verdict` (see recordLine).
std::string RecordLineOf(const ProgramRow& uploader, const std::string& record,
                         const std::string& verdict);

// Shows a row by its program's name in test lists and failure messages.
void PrintTo(const ProgramRow& row, std::ostream* out);

// The program's line for a port `device` that did not open with `error`.
std::string OpenFailure(const ProgramRow& row, const std::string& device, int error);
