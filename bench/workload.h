// The benchmark's reference workloads, the same bytes on every run:
//   Torvanex, Torvane  load 4 KiB (8000..8FFF) as 256 records of 16 bytes
//   Quilmark           save the same 4 KiB, loaded into the target first
//   Verify             Quilmark --verify of the same 4 KiB file against a
//                      target that holds it
//   Ferrolt            type a 100-line BASIC program
#pragma once

#include <string>
#include <vector>

constexpr unsigned kLoadAddress = 0x8000;
constexpr unsigned kLoadBytes = 4096;
constexpr unsigned kRecordBytes = 16;
constexpr int kBasicLines = 100;

struct Workload {
    std::vector<unsigned char> image;  // 64 KiB, the 4 KiB workload at kLoadAddress
    std::string hexText;               // the workload as an Intel HEX file
    std::string basicText;             // the 100-line BASIC program
};

// Returns the workloads.
Workload MakeWorkload();

// Returns, for each record of `hexText` up to the end record, its
// characters after the colon.
std::vector<int> RecordCharCounts(const std::string& hexText);

// Counts the characters of `text` that the target echoes (0x20..0x7F) into
// `echoed` and the others into `silent`.
void CountEchoed(const std::string& text, int* echoed, int* silent);
