#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include "tests/support/e2e.h"

const std::vector<ProgramRow>& ProgramRows() {
    static const std::vector<ProgramRow> rows = {
        {"Torvanex", Job::kUpload, false, 3, 2, "OpenCom({device}) failed with error {error}.\n",
         "Done\r\n", "Len:{length} Type:{type} {data}{verdict}\r\n"},
        {"Torvane", Job::kUpload, true, 2, 255, "OpenCom (1) failed with error {error}.\n",
         " Done...\n", "Len:{length} Type:{type} {record}{verdict}\n"},
        {"Quilmark", Job::kSave, true, 2, 255, "OpenCom (1) failed with error {error}.\n",
         " Done...\n", ""},
        {"Ferrolt", Job::kTyping, true, 2, 255, "OpenCom failed with error {error}.\n",
         " Done...\n", ""},
    };
    return rows;
}

std::vector<ProgramRow> WindowsProgramRows() {
    std::vector<ProgramRow> rows;
    for (const auto& row : ProgramRows()) {
        if (row.windowsBuild) {
            rows.push_back(row);
        }
    }
    return rows;
}

const ProgramRow& ProgramNamed(std::string_view name) {
    for (const auto& row : ProgramRows()) {
        if (row.name == name) {
            return row;
        }
    }
    ADD_FAILURE() << "no program named " << name;
    return ProgramRows().front();
}

std::string OpenFailure(const ProgramRow& row, const std::string& device, int error) {
    return Filled(row.openFailure, {{"{device}", device}, {"{error}", std::to_string(error)}});
}

std::string RecordLineOf(const ProgramRow& uploader, const std::string& record,
                         const std::string& verdict) {
    // The length field is hex; the type field's two digits read as decimal
    // (the types are 00 to 05).
    return Filled(uploader.recordLine,
                  {{"{length}", std::to_string(std::stoi(record.substr(1, 2), nullptr, 16))},
                   {"{type}", std::to_string(std::stoi(record.substr(7, 2)))},
                   {"{record}", record},
                   {"{data}", record.substr(1)},
                   {"{verdict}", verdict}});
}

void PrintTo(const ProgramRow& row, std::ostream* out) {
    *out << row.name;
}
