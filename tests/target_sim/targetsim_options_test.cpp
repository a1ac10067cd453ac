// targetsim's command line: --link never replaces what is not a link, and
// every option value it cannot use stops it at the start with status 1.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/e2e.h"

namespace {

// Runs targetsim with `options`; one that starts would serve until killed
// (status -1 after `timeoutSec` seconds).
RunResult RunSim(const std::vector<std::string>& options, int timeoutSec = 20) {
    return RunProgram(TARGETSIM_EXE, options, timeoutSec);
}

std::string LinkTarget(const std::string& path) {
    char target[256] = {};
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length < 0 ? "" : std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

TEST(TargetsimOptions, LinkRefusesAFileOrFolderAndReplacesOnlyALink) {
    TempDir dir;
    const std::string file = dir.Write("notes.txt", "keep me\n");
    const std::string folder = dir.path() + "/folder";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    for (const std::string& path : {file, folder}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(RunSim({"--link", path}).status, 1);
    }
    EXPECT_EQ(ReadFileText(file), "keep me\n");
    struct stat info {};
    EXPECT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));

    // A link left behind by a simulator that was killed is replaced, and the
    // new one removed when this simulator stops.
    const std::string link = dir.path() + "/z80port";
    ASSERT_EQ(symlink("/dev/pts/no-such-port", link.c_str()), 0);
    {
        SimTarget sim({"--link", link});
        EXPECT_EQ(LinkTarget(link), sim.port());
    }
    struct stat gone {};
    EXPECT_NE(lstat(link.c_str(), &gone), 0);
}

TEST(TargetsimOptions, ValuesItCannotUseAreRefusedAtTheStart) {
    TempDir dir;
    const std::string folder = dir.path();
    const std::vector<std::vector<std::string>> bad = {
        {"--no-such-option"},
        {"--hang-up-at", "teatime"},
        {"--hang-up-at", "record:"},
        {"--chatter-at", "record:0"},
        {"--chatter-at", "dump:2x"},
        {"--silent-from-record", "two"},
        {"--silent-from-record", "0"},
        {"--drop-echo", "-3"},
        {"--latency", "0"},
        {"--latency", "10001"},
        {"--record-answer", "x=*"},
        {"--dump-answer", "0=12"},
        {"--echo", "=a"},
        {"--memory-in", folder},
        {"--memory-in", folder + "/missing.bin"},
        {"--memory-out", folder},
        {"--line-stats", folder},
    };
    for (const auto& options : bad) {
        SCOPED_TRACE(options[0] + (options.size() > 1 ? " " + options[1] : ""));
        EXPECT_EQ(RunSim(options).status, 1);
    }
    // The same options with values it can use start it (it serves until stopped).
    SimTarget sim({"--hang-up-at", "record:3", "--chatter-at", "echo:2", "--silent-from-record",
                   "4", "--drop-echo", "5", "--record-answer", "2=*", "--memory-out",
                   folder + "/memory.bin"});
    EXPECT_FALSE(sim.port().empty());
}
