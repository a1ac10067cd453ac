// Quilmark and links it is given as its output: a link to a file not there
// yet leads to the dump, which creates that file (when its folder is there);
// a loop of links is refused as a file that cannot be created. The link is
// never replaced by a file of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "tests/hardening/hardening.h"
#include "tests/support/e2e.h"

namespace {

bool IsLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// What the folder holds, one name a line.
std::string Listing(const std::string& folder) {
    return RunProgram("/bin/sh", {"-c", "ls -A \"$0\"", folder}).output;
}

}  // namespace

TEST(SavedLinks, ADanglingLinkLeadsToTheFileItNames) {
    TempDir dir;
    HardeningJob job(dir);
    // A relative link, through a second one, read from the link's own folder.
    ASSERT_EQ(mkdir((dir.path() + "/out").c_str(), 0755), 0);
    const std::string link = dir.path() + "/link.hex";
    ASSERT_EQ(symlink("out/second.hex", link.c_str()), 0);
    ASSERT_EQ(symlink("dump.hex", (dir.path() + "/out/second.hex").c_str()), 0);
    SimTarget sim(job.Options("Quilmark", {}));
    RunResult run = RunProgram(NativeExe("Quilmark"), {"0000", "0030", link, sim.port()});
    EXPECT_EQ(run.status, 0) << run.output << run.errors;
    EXPECT_TRUE(IsLink(link));
    EXPECT_TRUE(IsLink(dir.path() + "/out/second.hex"));
    EXPECT_EQ(ReadFileText(dir.path() + "/out/dump.hex"), job.SavedRecords(3) + kEndLines);
    EXPECT_EQ(Listing(dir.path() + "/out"), "dump.hex\nsecond.hex\n");
}

TEST(SavedLinks, ADanglingLinkIntoNoFolderIsRefused) {
    TempDir dir;
    HardeningJob job(dir);
    const std::string link = dir.path() + "/link.hex";
    ASSERT_EQ(symlink("no/such/folder/dump.hex", link.c_str()), 0);
    SimTarget sim(job.Options("Quilmark", {}));
    RunResult run = RunProgram(NativeExe("Quilmark"), {"0000", "0030", link, sim.port()});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.output.find("ERROR: Cannot Open File '" + link + "'"), std::string::npos)
        << run.output;
    const std::string errors = std::regex_replace(run.errors, std::regex("\n {4,}"), " ");
    EXPECT_NE(errors.find("is a link to '" + dir.path() +
                          "/no/such/folder/dump.hex', and "
                          "the folder of that file is not there"),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(run.errors.find("there is no file or folder"), std::string::npos) << run.errors;
    EXPECT_TRUE(IsLink(link));
    EXPECT_EQ(sim.Received(), "");
}

TEST(SavedLinks, ALoopOfLinksIsRefused) {
    TempDir dir;
    HardeningJob job(dir);
    const std::string first = dir.path() + "/first.hex";
    const std::string second = dir.path() + "/second.hex";
    ASSERT_EQ(symlink(second.c_str(), first.c_str()), 0);
    ASSERT_EQ(symlink(first.c_str(), second.c_str()), 0);
    SimTarget sim(job.Options("Quilmark", {}));
    RunResult run = RunProgram(NativeExe("Quilmark"), {"0000", "0030", first, sim.port()});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.output.find("ERROR: Cannot Open File '" + first + "'"), std::string::npos)
        << run.output;
    EXPECT_NE(run.errors.find("symbolic links"), std::string::npos) << run.errors;
    EXPECT_TRUE(IsLink(first));
    EXPECT_TRUE(IsLink(second));
    EXPECT_EQ(sim.Received(), "");
}
