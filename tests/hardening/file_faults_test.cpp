// Every program against files it cannot use: random bytes, empty files,
// files that cannot be read, files up to and over the 1 MiB limit, records
// of no known type or of a length their type does not take, BASIC texts with
// CR-only line ends, names with spaces and non-ASCII characters, and output
// that cannot be written. An input file that is refused is refused before
// the port opens, so nothing is sent.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

namespace {

class FileFaults : public HostTest<Host> {
  protected:
    // The programs that read a file built for this host: the uploaders and
    // the BASIC loader, and with `verify` Quilmark's verify (its save writes
    // a file).
    std::vector<ProgramRow> Readers(bool verify = false) const {
        std::vector<ProgramRow> readers;
        for (const auto& program : ProgramRows()) {
            if ((verify || program.job != Job::kSave) && (native() || program.windowsBuild)) {
                readers.push_back(program);
            }
        }
        return readers;
    }
    // Runs `program` (Quilmark: its verify) on `file` against `sim`.
    RunResult Read(const ProgramRow& program, const std::string& file, const SimTarget& sim) {
        if (program.job == Job::kSave) {
            return Run(program.name, {"--verify", file, "{port}"}, sim, kRunLimitSec);
        }
        return Run(program.name, {file, "{port}"}, sim, kRunLimitSec);
    }
    // The file `program` reads of these two.
    static const std::string& InputOf(const ProgramRow& program, const std::string& hex,
                                      const std::string& basic) {
        return program.job == Job::kTyping ? basic : hex;
    }

    TempDir dir_;
};

}  // namespace

// Random bytes (NUL bytes, control characters, no line structure) and an
// empty file: the first is refused, naming a line, the second is no work.
TEST_P(FileFaults, RandomBytesAreRefusedAndAnEmptyFileIsNoWork) {
    std::mt19937 random(20240601);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random() & 0xFF);
        if (c == '\x1A') {
            c = '\x1B';  // a Ctrl-Z would end the file there, and what is before may pass
        }
    }
    const std::string file = dir_.Write("noise.bin", noise);
    const std::string empty = dir_.Write("empty.txt", "");
    SimTarget sim;
    for (const auto& program : Readers()) {
        SCOPED_TRACE(program.name);
        RunResult run = Read(program, file, sim);
        EXPECT_EQ(run.status, program.fileStatus);
        EXPECT_NE(run.output.find(Shown("ERROR: Line ")), std::string::npos) << run.output;
        EXPECT_TRUE(EndsWith(run.output, Shown("; nothing was sent\n"))) << run.output;
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");

    SimTarget fresh;
    for (const auto& program : Readers()) {
        SCOPED_TRACE(program.name);
        RunResult run = Read(program, empty, fresh);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(EndsWith(run.output, Shown(program.done))) << run.output;
    }
}

// Files that cannot be read: a folder, refused for what it is, and natively
// the process's own memory file, which opens and whose first read fails with
// EIO.
TEST_P(FileFaults, FilesThatCannotBeReadAreRefused) {
    std::vector<std::string> unreadable = {dir_.path()};
    if (native()) {
        unreadable.push_back("/proc/self/mem");
    }
    SimTarget sim;
    for (const auto& program : Readers()) {
        for (const auto& file : unreadable) {
            SCOPED_TRACE(program.name + " " + file);
            RunResult run = Read(program, file, sim);
            EXPECT_EQ(run.status, program.fileStatus);
            const std::string message =
                file == dir_.path()
                    ? "ERROR: Cannot Open File '" + file + "': is a folder, not a file\n"
                    : "ERROR: Cannot Read File '" + file + "'\n";
            EXPECT_TRUE(EndsWith(run.output, Shown(message))) << run.output;
        }
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

// A file its owner may not read. Root reads every file whatever its mode,
// so this case can only run as another user.
TEST_P(FileFaults, AFileWithoutReadPermissionIsRefused) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root, who may read a file of mode 000; the folder and "
                        "/proc/self/mem cases cover files that cannot be read";
    }
    const std::string file = dir_.Write("locked.hex", ":00000001FF\n");
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    SimTarget sim;
    for (const auto& program : Readers()) {
        SCOPED_TRACE(program.name);
        RunResult run = Read(program, file, sim);
        EXPECT_EQ(run.status, program.fileStatus);
        EXPECT_TRUE(EndsWith(run.output, Shown("ERROR: Cannot Open File '" + file + "'\n")))
            << run.output;
    }
}

// Files near the 1 MiB limit: checked to their end before the port opens,
// and refused at the line that breaks the rules, however far down; one
// line of 600 kB is refused as too long. A file over the limit is refused
// whole, and the port is never opened.
TEST_P(FileFaults, LargeFilesAreCheckedToTheirEndAndOverOneMebibyteRefused) {
    std::string records;
    const std::string record = DataRecord(0x2000, std::vector<unsigned char>(16, 0x5A)) + "\n";
    for (int i = 0; i < 20000; ++i) {
        records += record;  // 880 kB
    }
    std::string program;
    for (int i = 0; i < 90000; ++i) {
        program += "10 PRINT 1\n";  // 990 kB
    }
    const std::string hugeHex = dir_.Write("huge.hex", records + "garbage\n");
    const std::string hugeBasic = dir_.Write("huge.bas", program + std::string(80, 'x') + "\n");
    const std::string oneLine = dir_.Write("one-line.txt", std::string(600 * 1024, 'A'));
    const std::string overHex = dir_.Write("over.hex", records + records);
    const std::string overBasic = dir_.Write("over.bas", program + program);
    SimTarget sim;
    for (const auto& reader : Readers(true)) {
        SCOPED_TRACE(reader.name);
        const bool basic = reader.job == Job::kTyping;
        RunResult run = Read(reader, InputOf(reader, hugeHex, hugeBasic), sim);
        EXPECT_EQ(run.status, reader.fileStatus);
        const std::string fault = basic ? "ERROR: Line 90001 of '" + hugeBasic +
                                              "' is longer than 79 characters; nothing was sent\n"
                                        : "ERROR: Line 20001 of '" + hugeHex +
                                              "' does not start with ':'; nothing was sent\n";
        EXPECT_TRUE(EndsWith(run.output, Shown(fault))) << run.output.substr(0, 400);

        run = Read(reader, oneLine, sim);
        EXPECT_EQ(run.status, reader.fileStatus);
        const std::string tooLong = basic ? "is longer than 79 characters; nothing was sent\n"
                                          : "is longer than the largest record; nothing was sent\n";
        EXPECT_TRUE(EndsWith(run.output, Shown("ERROR: Line 1 of '" + oneLine + "' " + tooLong)))
            << run.output.substr(0, 400);

        const std::string& over = InputOf(reader, overHex, overBasic);
        run = Read(reader, over, sim);
        EXPECT_EQ(run.status, reader.fileStatus);
        EXPECT_TRUE(EndsWith(
            run.output,
            Shown("ERROR: File '" + over + "' is larger than 1048576 bytes; nothing was sent\n")))
            << run.output.substr(0, 400);
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
    EXPECT_NE(sim.LineSettings(), "speed=9600 data=8 stop=2 parity=none raw=yes");  // never opened
}

// A record of no known type, or with a length its type does not take, is
// refused at its line: an empty type 04 record would otherwise end the
// upload as done with nothing sent, and a type 0A pass for data.
TEST_P(FileFaults, RecordsOfAnUnknownTypeOrAWrongLengthAreRefused) {
    const std::string data = DataRecord(0x2000, {1, 2, 3, 4});
    const std::string emptyExtended =
        dir_.Write("empty04.hex", ":00000004FC\n" + data + "\n:00000001FF\n");
    const std::string typeA = dir_.Write("type0a.hex", data + "\n:0420000A01020304C8\n");
    SimTarget sim;
    for (const auto& reader : Readers(true)) {
        if (reader.job == Job::kTyping) {
            continue;
        }
        SCOPED_TRACE(reader.name);
        RunResult run = Read(reader, emptyExtended, sim);
        EXPECT_EQ(run.status, reader.fileStatus);
        EXPECT_TRUE(EndsWith(run.output, Shown("ERROR: Line 1 of '" + emptyExtended +
                                               "' has a length its record type does not take; "
                                               "nothing was sent\n")))
            << run.output;
        run = Read(reader, typeA, sim);
        EXPECT_EQ(run.status, reader.fileStatus);
        EXPECT_TRUE(EndsWith(run.output, Shown("ERROR: Line 2 of '" + typeA +
                                               "' has a record type other than 00 to 05; nothing "
                                               "was sent\n")))
            << run.output;
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

// A BASIC text whose lines end in a CR alone would be typed as one line and
// its echoes taken for wrong ones: refused, with a hint to convert it.
TEST_P(FileFaults, ABasicTextWithCrOnlyLineEndsIsRefusedWithAHint) {
    const std::string file = dir_.Write("mac.bas", "10 PRINT 1\r20 END\r");
    SimTarget sim;
    RunResult run = Run("Ferrolt", {file, "{port}"}, sim, kRunLimitSec);
    sim.Stop();
    EXPECT_EQ(run.status, 255);
    EXPECT_TRUE(EndsWith(run.output, Shown("ERROR: Line 1 of '" + file +
                                           "' holds a CR not followed by LF; nothing was sent\n")))
        << run.output;
    EXPECT_NE(run.errors.find("Save it with LF or CR LF line ends"), std::string::npos)
        << run.errors;
    EXPECT_EQ(sim.Received(), "");
}

// Names with spaces and non-ASCII characters are used as they stand. Under
// Wine the name reaches the program in the Windows code page, so there the
// case keeps to spaces.
TEST_P(FileFaults, NamesWithSpacesAndNonAsciiCharactersWork) {
    HardeningJob job(dir_);
    const std::string odd = native() ? "my prog \xC3\xA4\xC3\xA9 \xE2\x82\xAC" : "my prog v2";
    const std::string hex = dir_.Write(odd + ".hex", ReadFileText(job.hexFile));
    const std::string basic = dir_.Write(odd + ".bas", ReadFileText(job.basicFile));
    for (const auto& program : Readers()) {
        SCOPED_TRACE(program.name);
        SimTarget sim;
        RunResult run = Read(program, InputOf(program, hex, basic), sim);
        sim.Stop();
        EXPECT_EQ(run.status, 0) << run.output;
        if (native()) {
            EXPECT_NE(run.output.find(odd), std::string::npos) << run.output;
        }
        if (program.job == Job::kUpload) {
            EXPECT_EQ(sim.Received().substr(0, 1 + job.records[0].size()), "@" + job.records[0]);
        }
    }

    const std::string saved = dir_.path() + "/" + odd + " saved.hex";
    SimTarget sim(job.Options(ProgramNamed("Quilmark"), {}));
    RunResult run = Run("Quilmark", {"0000", "0030", saved, "{port}"}, sim);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(ReadFileText(saved), Shown(job.SavedRecords(3) + kEndLines));
}

// Output Quilmark cannot create: a folder in its place, a folder that is not
// there, and (not as root, who may write anywhere) a read-only folder. It
// stops with -1 before the port opens. A file that cannot grow (a size
// limit, as a full disk) is among Quilmark's own cases.
TEST_P(FileFaults, OutputThatCannotBeCreatedIsRefusedBeforeThePortOpens) {
    HardeningJob job(dir_);
    std::vector<std::string> outputs = {dir_.path(), dir_.path() + "/no/such/folder/save.hex"};
    const std::string readOnly = dir_.path() + "/read-only";
    ASSERT_EQ(mkdir(readOnly.c_str(), 0500), 0);
    if (geteuid() != 0) {
        outputs.push_back(readOnly + "/save.hex");
    }
    SimTarget sim(job.Options(ProgramNamed("Quilmark"), {}));
    for (const auto& output : outputs) {
        SCOPED_TRACE(output);
        RunResult run = Run("Quilmark", {"0000", "0010", output, "{port}"}, sim);
        EXPECT_EQ(run.status, 255);
        const std::string why = output == dir_.path() ? ": is a folder, not a file" : "";
        EXPECT_TRUE(
            EndsWith(run.output, Shown("ERROR: Cannot Open File '" + output + "'" + why + "\n")))
            << run.output;
    }
    sim.Stop();
    EXPECT_EQ(sim.Received(), "");
}

INSTANTIATE_TEST_SUITE_P(Hosts, FileFaults, EveryHost(), HostCaseName);
