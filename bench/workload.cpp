#include "bench/workload.h"

#include <cstdint>
#include <cstdio>
#include <sstream>

namespace {

// The 4 KiB at kLoadAddress: a fixed pseudo-random sequence.
std::vector<unsigned char> MakeImage() {
    std::vector<unsigned char> image(65536, 0);
    uint32_t state = 0x2545F491;
    for (unsigned i = 0; i < kLoadBytes; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[kLoadAddress + i] = static_cast<unsigned char>(state >> 24);
    }
    return image;
}

// The image's workload as data records of kRecordBytes and an end record.
std::string HexTextOf(const std::vector<unsigned char>& image) {
    std::string hexText;
    char piece[16];
    for (unsigned address = kLoadAddress; address < kLoadAddress + kLoadBytes;
         address += kRecordBytes) {
        unsigned sum = kRecordBytes + (address >> 8) + (address & 0xFF);
        std::snprintf(piece, sizeof piece, ":%02X%04X00", kRecordBytes, address);
        hexText += piece;
        for (unsigned i = 0; i < kRecordBytes; ++i) {
            sum += image[address + i];
            std::snprintf(piece, sizeof piece, "%02X", image[address + i]);
            hexText += piece;
        }
        std::snprintf(piece, sizeof piece, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        hexText += piece;
    }
    return hexText + ":00000001FF\n";
}

// kBasicLines lines of BASIC in five kinds, numbered 10, 20, ...
std::string MakeBasicText() {
    std::string basicText;
    char line[96];
    for (int k = 1; k <= kBasicLines; ++k) {
        const int number = 10 * k;
        switch (k % 5) {
            case 0:
                std::snprintf(line, sizeof line, "%d PRINT \"LINE %d OF THE BENCHMARK PROGRAM\"\n",
                              number, number);
                break;
            case 1:
                std::snprintf(line, sizeof line, "%d LET A%d = %d * 3 + %d\n", number, k % 10, k,
                              k % 7);
                break;
            case 2:
                std::snprintf(line, sizeof line, "%d IF A%d > %d THEN PRINT \"BIG\"\n", number,
                              k % 10, k);
                break;
            case 3:
                std::snprintf(line, sizeof line, "%d FOR I = 1 TO %d: S = S + I: NEXT I\n", number,
                              k);
                break;
            default:
                std::snprintf(line, sizeof line, "%d REM TYPED ONE CHARACTER AT A TIME\n", number);
                break;
        }
        basicText += line;
    }
    return basicText;
}

}  // namespace

Workload MakeWorkload() {
    Workload workload;
    workload.image = MakeImage();
    workload.hexText = HexTextOf(workload.image);
    workload.basicText = MakeBasicText();
    return workload;
}

std::vector<int> RecordCharCounts(const std::string& hexText) {
    std::vector<int> counts;
    std::istringstream lines(hexText);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == ":00000001FF") {
            break;
        }
        counts.push_back(static_cast<int>(line.size()) - 1);
    }
    return counts;
}

void CountEchoed(const std::string& text, int* echoed, int* silent) {
    *echoed = 0;
    *silent = 0;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7F) {
            ++*echoed;
        } else {
            ++*silent;
        }
    }
}
