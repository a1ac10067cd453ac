// Quilmark --verify {filename} {com port}: each 16-byte block that holds a
// byte of the checked HEX file is read back once, in address order, and
// compared; nothing is written to the target.
#include "programs/quilmark/verify.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dialogue/outcome.h"
#include "guidance/empty_work.h"
#include "guidance/guidance.h"
#include "guidance/hints.h"
#include "hexrec/dump_text.h"
#include "hexrec/hexrec.h"
#include "host/stop_signal.h"
#include "programs/quilmark/dump_request.h"
#include "run/after_job.h"
#include "run/arguments.h"
#include "run/input_told.h"

namespace {

constexpr uint32_t kMemoryBytes = 65536;
constexpr uint32_t kBlocks = kMemoryBytes / kDumpBytes;

char srcFileName[80];
DumpSession session;                    // the port and the buffers of the conversation
AfterJob afterJob;                      // what is done on the port once the file is verified
char fileText[kMaxInputBytes];          // the whole file, read once
char recordLine[kMaxRecordChars + 2];   // the record being read
unsigned char fileBytes[kMemoryBytes];  // the file's data byte for each address
bool fileHolds[kMemoryBytes];           // true where the file has a data byte
bool blockNeeded[kBlocks];              // true for blocks holding a file byte
unsigned long bytesCompared = 0;
unsigned long bytesDiffering = 0;
DumpWork work{};      // the blocks to read back, for the guidance
long blocksRead = 0;  // ... read so far

// Places the file's data bytes where the uploaders' records store them; a
// later record over an earlier one's address wins, as on the target.
void TakeFileBytes(std::size_t length) {
    uint32_t base = 0;  // extended address in force
    std::size_t at = 0;
    long lines = 0;
    while (NextRecord(fileText, length, &at, &lines, recordLine, sizeof recordLine) != 0) {
        const int dataBytes = RecordType(recordLine) == kDataRecord ? RecordLength(recordLine) : 0;
        for (int i = 0; i < dataBytes; ++i) {
            const uint32_t address = DataByteAddress(recordLine, base, i);
            fileBytes[address] = HexStrToByte(recordLine + 9 + 2 * i);
            fileHolds[address] = true;
            blockNeeded[address / kDumpBytes] = true;
        }
        base = ExtendedAddress(recordLine, base);
    }
}

// Reads the block at the next address and compares it; a block that differs
// gets its line. Returns how the reading ended.
Outcome CompareBlock() {
    const Outcome answered = ReadDumpAnswer(&session);
    if (answered != Outcome::kDone) {
        return answered;
    }
    unsigned compared = 0;
    unsigned differing = 0;
    uint32_t firstAddress = 0;
    unsigned firstFound = 0;
    for (uint32_t i = 0; i < kDumpBytes; ++i) {
        const uint32_t address = session.startAddress + i;
        if (!fileHolds[address]) {
            continue;
        }
        ++compared;
        const unsigned found = HexStrToByte(session.dataBuf + 2 * i);
        if (found != fileBytes[address]) {
            if (differing == 0) {
                firstAddress = address;
                firstFound = found;
            }
            ++differing;
        }
    }
    if (differing > 0) {
        std::printf("\n %04X differs at %04X: expected %02X, found %02X (%u of %u bytes differ)",
                    static_cast<unsigned>(session.startAddress),
                    static_cast<unsigned>(firstAddress), fileBytes[firstAddress], firstFound,
                    differing, compared);
        std::fflush(stdout);
    }
    bytesCompared += compared;
    bytesDiffering += differing;
    return Outcome::kDone;
}

// A second stop signal ends the run at once, from its handler.
void StopAtOnce() {
    AbandonCom(session.comHandle);
    AbandonProgress();
}

// Says why the verify ends, closes the port and sums up; returns the status.
int EndAt(Stage stage, Outcome outcome) {
    const int status = EndStage(session, stage, outcome);
    if (session.comHandle != kInvalidComPort) {
        CloseCom(session.comHandle);
        session.comHandle = kInvalidComPort;
        std::fflush(stdout);
        SummarizeVerify(blocksRead, work.requests);
        if (stage == Stage::kFinish && work.requests == 0) {
            NoteNothingCompared(srcFileName);
        }
    }
    return status;
}

// Reads and checks the file as the uploaders do, takes its bytes in and
// announces the blocks to read back.
Outcome TakeFile(const char* name) {
    const long length = afterJob.loadAddress != nullptr
                            ? ReadBinaryRecords("Quilmark", name, afterJob.loadAddress, srcFileName,
                                                sizeof srcFileName, fileText, sizeof fileText)
                            : ReadRecordFile("Quilmark", name, srcFileName, sizeof srcFileName,
                                             fileText, sizeof fileText);
    if (length < 0) {
        return Outcome::kFileError;
    }
    TakeFileBytes(static_cast<std::size_t>(length));
    for (bool needed : blockNeeded) {
        work.requests += needed ? 1 : 0;
    }
    AnnounceVerify(work, QuilmarkVerifyMs(work, kLeastAnswers));
    return Outcome::kDone;
}

// Reads back and compares each block that holds a byte of the file; a stop
// lands between blocks. A block that cannot be read ends it, said so.
Outcome CompareBlocks() {
    Outcome outcome = Outcome::kDone;
    for (uint32_t block = 0; block < kBlocks && outcome == Outcome::kDone; ++block) {
        if (!blockNeeded[block]) {
            continue;
        }
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        session.startAddress = block * kDumpBytes;
        outcome = CompareBlock();
        if (outcome == Outcome::kDone) {
            ++blocksRead;
            ProgressUpdate(blocksRead);
        }
    }
    if (outcome != Outcome::kDone && StopSignal() != 0) {
        return Outcome::kStopped;
    }
    if (outcome != Outcome::kDone) {
        NoteAddressNotRead(session.startAddress);
        std::printf(
            "\n ERROR! Memory at %04X could not be read; %lu bytes compared before it, %lu "
            "differ\n",
            static_cast<unsigned>(session.startAddress), bytesCompared, bytesDiffering);
    }
    return outcome;
}

// Gives the verdict, the port left open: Outcome::kBadAnswer when a byte
// differs.
Outcome FinishVerify() {
    ProgressEnd();
    std::printf("\n Verify %s: %lu bytes compared, %lu differ\n",
                bytesDiffering == 0 ? "OK" : "FAILED", bytesCompared, bytesDiffering);
    std::fflush(stdout);
    return bytesDiffering == 0 ? Outcome::kDone : Outcome::kBadAnswer;
}

}  // namespace

bool AsksForVerify(int argc, char* argv[]) {
    return argc > 1 && std::strcmp(argv[1], "--verify") == 0;
}

int VerifyLoad(int argc, char* argv[]) {
    // Banner and arguments: what is done after the job first, from anywhere.
    std::printf("Z80 Verify Data\n");
    Outcome outcome =
        TakeAfterJobOptions(&argc, argv, kTakesLoadAddress, &afterJob) == 0
            ? TakeFileAndPort(argc, argv, 2, "Quilmark --verify {filename} {com port}",
                              sizeof srcFileName, session.sPortName, sizeof session.sPortName)
            : Outcome::kBadArguments;
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kArguments, outcome);
    }
    // From here a stop signal ends the run through its own exits.
    CatchStopSignals(StopAtOnce);

    // File: read, checked and its data bytes taken in before the port opens.
    outcome = TakeFile(argv[2]);
    HintArguments("Quilmark", argc, argv, 2, 2);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kFile, outcome);
    }
    // Port.
    outcome = OpenSessionPort(&session, argc > 3 ? argv[3] : nullptr);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kPort, outcome);
    }
    // Handshake: wake the monitor and wait for its "$$$".
    outcome = Handshake(session.comHandle, kQuilmarkHandshake, session.dataBuf,
                        sizeof session.dataBuf, &session.inByte);
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kHandshake, outcome);
    }
    ProgressStart(work.requests, "blocks", QuilmarkVerifyMs(work, kLeastAnswers));

    // Requests: one per block that holds a byte of the file, compared.
    outcome = CompareBlocks();
    if (outcome != Outcome::kDone) {
        return EndAt(Stage::kRequests, outcome);
    }
    // Finish: the verdict on the whole file.
    outcome = FinishVerify();
    // After the job done: text sent, an answer awaited, a terminal.
    if (outcome == Outcome::kDone && WantsAfterJob(afterJob)) {
        outcome = RunAfterJob(session.comHandle, afterJob);
        if (outcome != Outcome::kDone) {
            return EndAt(Stage::kAfterJob, outcome);
        }
    }
    // The port closed, the run summed up.
    return EndAt(Stage::kFinish, outcome);
}
