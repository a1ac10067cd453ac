// What the hardening cases share: one ordinary job per program, the texts the
// programs print for faults, and a run that is stopped by a signal.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/e2e.h"
#include "tests/support/programs.h"

// Console texts for faults (as printed natively; ForHost gives Wine's).
inline const std::string kNoResponse = "\n ERROR! No Response from target";
inline const std::string kPortLost =
    "\n ERROR! Port lost: the line hung up or its device was removed\n";
inline const std::string kNeverQuiet =
    "\n ERROR! Target keeps sending: the line never fell quiet\n";
inline const std::string kNoVerdictChatter =
    "\n ERROR! No Verdict from target: it kept sending other bytes\n";
inline const std::string kNotHex =
    "\n ERROR! Answer from target holds a character that is not a hex digit";
inline const std::string kStopAt0010 =
    "\n ERROR! Memory at 0010 could not be read; the file holds what was saved before it\n";
inline const std::string kEndLines = ":00000001FF\n\n";

// A run still going after this many seconds counts as hung (RunProgram kills
// it and reports status -1). The slowest fault here, a hung-up line under
// Wine met by Quilmark's three tries, ends by itself in about 45 s.
constexpr int kRunLimitSec = 150;

// How the stop line names `signal`: Ctrl-C for SIGINT, else its name.
inline std::string StopName(int signal) {
    switch (signal) {
        case SIGINT:
            return "Ctrl-C";
        case SIGQUIT:
            return "SIGQUIT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

// What a program prints when signal `signal` stopped it.
inline std::string Stopped(int signal) {
    return "\n ERROR! Stopped (" + StopName(signal) + ")\n";
}

// `count` records of 16 bytes from 4000, the first filled with `firstFill`
// and each next one with one more: an upload long enough to be stopped or
// changed in the middle.
inline std::vector<std::string> LongUpload(unsigned count, unsigned firstFill) {
    std::vector<std::string> records;
    for (unsigned i = 0; i < count; ++i) {
        records.push_back(
            DataRecord(0x4000 + 16 * i, std::vector<unsigned char>(16, (firstFill + i) & 0xFF)));
    }
    return records;
}

// The first `count` of `records` (all when more), one per line.
inline std::string RecordLines(const std::vector<std::string>& records, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count && i < records.size(); ++i) {
        text += records[i] + "\n";
    }
    return text;
}

// One ordinary job for each program, in files of `dir`: three records to
// load, a two-line BASIC program to type, three records of memory to save.
struct HardeningJob {
    explicit HardeningJob(const TempDir& dir) {
        for (unsigned i = 0; i < 3; ++i) {
            std::vector<unsigned char> data;
            for (unsigned j = 0; j < 4; ++j) {
                data.push_back(static_cast<unsigned char>(i * 16 + j + 1));
            }
            records.push_back(DataRecord(0x0100 + 4 * i, data));
        }
        hexFile = dir.Write("prog.hex",
                            records[0] + "\n" + records[1] + "\n" + records[2] + "\n:00000001FF\n");
        basicFile = dir.Write("prog.bas", "10 PRINT 1\n20 END\n");
        std::string memory(65536, '\0');
        for (std::size_t i = 0; i < memory.size(); ++i) {
            memory[i] = static_cast<char>(i * 5 + 3);
        }
        image.assign(memory.begin(), memory.end());
        imageFile = dir.Write("image.bin", memory);
        saved = dir.path() + "/save.hex";
    }

    // The program's arguments for the job; "{port}" stands for the port.
    std::vector<std::string> Args(const ProgramRow& program) const {
        switch (program.job) {
            case Job::kSave:
                return {"0000", "0030", saved, "{port}"};
            case Job::kTyping:
                return {basicFile, "{port}"};
            case Job::kUpload:
                break;
        }
        return {hexFile, "{port}"};
    }
    // The simulator's options for the job, with `faults` added: the memory
    // a save reads.
    std::vector<std::string> Options(const ProgramRow& program,
                                     std::vector<std::string> faults) const {
        if (program.job == Job::kSave) {
            faults.insert(faults.begin(), {"--memory-in", imageFile});
        }
        return faults;
    }
    // The same, for the program named `program`.
    std::vector<std::string> Args(std::string_view program) const {
        return Args(ProgramNamed(program));
    }
    std::vector<std::string> Options(std::string_view program,
                                     std::vector<std::string> faults) const {
        return Options(ProgramNamed(program), std::move(faults));
    }
    // The first `count` records Quilmark saves from the image, one per line.
    std::string SavedRecords(unsigned count) const {
        std::string lines;
        for (unsigned address = 0; address < 16 * count; address += 16) {
            lines +=
                DataRecord(address, {image.begin() + address, image.begin() + address + 16}) + "\n";
        }
        return lines;
    }

    std::vector<std::string> records;
    std::string hexFile;
    std::string basicFile;
    std::vector<unsigned char> image;
    std::string imageFile;
    std::string saved;
};

// Runs the native `program` with `args` ("{port}" reaching `sim`) and, once
// `ready` holds (checked every 10 ms), does `action` once. Returns as
// RunProgram: status -1 when it had to be killed after `timeoutSec` seconds
// or the run ended before `ready` held.
RunResult RunAndDo(const std::string& program, const std::vector<std::string>& args,
                   const SimTarget& sim, const std::function<bool()>& ready,
                   const std::function<void(pid_t)>& action, int timeoutSec = kRunLimitSec);

// RunAndDo with the action of sending the program `signal`.
RunResult RunAndSignal(const std::string& program, const std::vector<std::string>& args,
                       const SimTarget& sim, const std::function<bool()>& ready, int signal,
                       int timeoutSec = kRunLimitSec);
