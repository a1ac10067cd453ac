// The command line taken into the programs' fixed buffers: the usage line
// for too few arguments, names that must fit, and the port argument where it
// stands for each program.
#include "run/arguments.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

// A command line as main receives it, its words writable.
struct CommandLine {
    explicit CommandLine(std::vector<std::string> words) : words_(std::move(words)) {
        for (std::string& word : words_) {
            argv.push_back(word.data());
        }
    }
    int argc() const {
        return static_cast<int>(argv.size());
    }
    std::vector<std::string> words_;
    std::vector<char*> argv;
};

constexpr const char* kUsage = "Torvane {filename} {port}";

// Runs TakeFileAndPort on `line` with the file name at `at`, into a port name
// that starts as "unchanged"; what it printed goes to *printed.
Outcome Take(const CommandLine& line, int at, char (&portName)[80], std::string* printed) {
    std::snprintf(portName, sizeof portName, "unchanged");
    CommandLine copy(line.words_);
    ::testing::internal::CaptureStdout();
    const Outcome taken =
        TakeFileAndPort(copy.argc(), copy.argv.data(), at, kUsage, 20, portName, sizeof portName);
    *printed = ::testing::internal::GetCapturedStdout();
    return taken;
}

}  // namespace

TEST(CheckArgumentCount, TooFewArgumentsShowTheUsage) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(CheckArgumentCount(2, 2, kUsage), 0);
    EXPECT_EQ(CheckArgumentCount(1, 2, kUsage), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\n ERROR! Too Few Arguments\n Usage: Torvane {filename} {port}\n");
}

TEST(TakeFileAndPort, TheFileAloneLeavesTheDefaultPort) {
    char portName[80];
    std::string printed;
    EXPECT_EQ(Take(CommandLine({"Torvane", "f.hex"}), 1, portName, &printed), Outcome::kDone);
    EXPECT_STREQ(portName, "unchanged");
    EXPECT_EQ(printed, "");
}

TEST(TakeFileAndPort, ThePortFollowsTheFileWhereverTheFileStands) {
    char portName[80];
    std::string printed;
    EXPECT_EQ(Take(CommandLine({"Torvane", "f.hex", "3"}), 1, portName, &printed), Outcome::kDone);
    EXPECT_STREQ(portName, "COM3");
    EXPECT_EQ(Take(CommandLine({"Quilmark", "--verify", "f.hex", "12"}), 2, portName, &printed),
              Outcome::kDone);
    EXPECT_STREQ(portName, "//./COM12");
    EXPECT_EQ(printed, "");
}

TEST(TakeFileAndPort, WhatCannotBeTakenIsRefusedWithItsReason) {
    char portName[80];
    std::string printed;
    EXPECT_EQ(Take(CommandLine({"Quilmark", "--verify"}), 2, portName, &printed),
              Outcome::kBadArguments);
    EXPECT_EQ(printed, "\n ERROR! Too Few Arguments\n Usage: Torvane {filename} {port}\n");
    EXPECT_EQ(Take(CommandLine({"Torvane", std::string(20, 'f'), "3"}), 1, portName, &printed),
              Outcome::kBadArguments);
    EXPECT_EQ(printed, "\n ERROR! File name too long (at most 19 characters)\n");
    EXPECT_STREQ(portName, "unchanged");
    EXPECT_EQ(Take(CommandLine({"Torvane", "f.hex", "1234567890123"}), 1, portName, &printed),
              Outcome::kBadArguments);
    EXPECT_EQ(printed.rfind("\n ERROR! Port '1234567890123' does not fit a port name", 0), 0u)
        << printed;
    EXPECT_STREQ(portName, "unchanged");
}

TEST(TakeFileArgument, OnlyTheFileIsTaken) {
    CommandLine line({"Torvanex", "f.hex", "/dev/ttyUSB1"});
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(TakeFileArgument(line.argc(), line.argv.data(), 1, kUsage, 20), Outcome::kDone);
    EXPECT_EQ(TakeFileArgument(1, line.argv.data(), 1, kUsage, 20), Outcome::kBadArguments);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "\n ERROR! Too Few Arguments\n Usage: Torvane {filename} {port}\n");
}
