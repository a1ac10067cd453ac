// What a program does after its job: the options taken from anywhere on the
// command line, the text escapes, the texts sent, and the wait for a text
// on a pseudo-terminal the test plays as the board.
#include "run/after_job.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "launch/await_state.h"
#include "tests/dialogue/port_on_pty.h"

namespace {

std::string Decoded(const char* text, std::size_t size = kMaxSendBytes) {
    char bytes[kMaxSendBytes];
    const long length = DecodeEscapes(text, bytes, size);
    return length < 0 ? "(refused)" : std::string(bytes, static_cast<std::size_t>(length));
}

TEST(DecodeEscapes, EachEscapeGivesItsByteAndABadOneIsRefused) {
    EXPECT_EQ(Decoded("G8000\\r"), "G8000\r");
    EXPECT_EQ(Decoded("a\\nb\\tc\\\\d\\x41\\x7e\\x00"), std::string("a\nb\tc\\dA~\0", 10));
    EXPECT_EQ(Decoded("plain"), "plain");
    for (const char* bad : {"\\", "end\\", "\\q", "\\x4", "\\xg1", "\\x"}) {
        EXPECT_EQ(Decoded(bad), "(refused)") << bad;
    }
    // The bytes must fit, escapes decoded.
    EXPECT_EQ(Decoded("\\x41\\x42", 2), "AB");
    EXPECT_EQ(Decoded("ABC", 2), "(refused)");
}

// A command line as main receives it, ended by a null pointer.
struct CommandLine {
    explicit CommandLine(std::vector<std::string> words) : words_(std::move(words)) {
        for (std::string& word : words_) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
    }
    std::vector<std::string> Left(int argc) const {
        return std::vector<std::string>(argv.begin(), argv.begin() + argc);
    }
    std::vector<std::string> words_;
    std::vector<char*> argv;
};

TEST(TakeAfterJobOptions, TakesThemFromAnywhereAndLeavesTheRestInOrder) {
    CommandLine line({"Torvanex", "--send", "G8000\\r", "--retry", "2", "prog.bin", "--expect",
                      "HELLO", "/dev/ttyUSB0", "--send", "x", "--timeout", "2", "--load-address",
                      "8000"});
    int argc = static_cast<int>(line.words_.size());
    AfterJob job;
    ASSERT_EQ(TakeAfterJobOptions(&argc, line.argv.data(), kTakesLoadAddress, &job), 0);
    EXPECT_EQ(line.Left(argc),
              (std::vector<std::string>{"Torvanex", "--retry", "2", "prog.bin", "/dev/ttyUSB0"}));
    EXPECT_EQ(line.argv[argc], nullptr);
    ASSERT_EQ(job.sendCount, 2);
    EXPECT_STREQ(job.sends[0], "G8000\\r");
    EXPECT_STREQ(job.sends[1], "x");
    EXPECT_STREQ(job.expect, "HELLO");
    EXPECT_EQ(job.timeoutSeconds, 2);
    EXPECT_STREQ(job.loadAddress, "8000");
    EXPECT_TRUE(WantsAfterJob(job));
}

TEST(TakeAfterJobOptions, RunGoesBeforeTheTextsSentWhereTheProgramTakesIt) {
    CommandLine line({"Ferrolt", "--send", "X", "game.bas", "--run", "3"});
    int argc = 6;
    AfterJob job;
    ASSERT_EQ(TakeAfterJobOptions(&argc, line.argv.data(), kTakesRun, &job), 0);
    EXPECT_EQ(line.Left(argc), (std::vector<std::string>{"Ferrolt", "game.bas", "3"}));
    ASSERT_EQ(job.sendCount, 2);
    EXPECT_STREQ(job.sends[0], "RUN\\r");
    EXPECT_STREQ(job.sends[1], "X");
}

TEST(TakeAfterJobOptions, NothingAskedLeavesTheLineAsItWas) {
    CommandLine line({"Ferrolt", "game.bas", "3"});
    int argc = 3;
    AfterJob job;
    ASSERT_EQ(TakeAfterJobOptions(&argc, line.argv.data(), 0, &job), 0);
    EXPECT_EQ(line.Left(argc), (std::vector<std::string>{"Ferrolt", "game.bas", "3"}));
    EXPECT_FALSE(WantsAfterJob(job));
    EXPECT_EQ(job.timeoutSeconds, kDefaultExpectSeconds);
}

TEST(TakeAfterJobOptions, BadValuesAreRefusedWithWhy) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"P", "f", "--timeout", "0"}, "Bad --timeout value '0' (give 1 to 3600 seconds)"},
        {{"P", "f", "--timeout", "3601"}, "Bad --timeout value '3601'"},
        {{"P", "f", "--timeout", "9x"}, "Bad --timeout value '9x'"},
        {{"P", "f", "--send"}, "--send needs a value after it"},
        {{"P", "f", "--send", "\\q"}, "Bad --send text '\\q'"},
        {{"P", "f", "--expect", ""}, "Bad --expect text ''"},
        // A program that reads no binary takes no load address: it stays an argument.
        {{"P", "f", "--terminal"}, "--terminal needs a terminal: standard input is not one"},
    };
    for (const auto& [words, why] : cases) {
        CommandLine line(words);
        int argc = static_cast<int>(words.size());
        AfterJob job;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(TakeAfterJobOptions(&argc, line.argv.data(), 0, &job), -1) << words[2];
        const std::string printed = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(printed.find("\n ERROR! " + why), std::string::npos) << printed;
    }
    std::vector<std::string> many = {"P"};
    for (int i = 0; i <= kMaxSends; ++i) {
        many.insert(many.end(), {"--send", "x"});
    }
    CommandLine line(many);
    int argc = static_cast<int>(many.size());
    AfterJob job;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(TakeAfterJobOptions(&argc, line.argv.data(), 0, &job), -1);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("--send given more than 16 times"),
              std::string::npos);
}

class AfterJobOnPty : public PortOnPty {};

// The text comes split across writes, after a start that matches only in
// part; what came is copied up to the text's end, the rest left unread.
TEST_F(AfterJobOnPty, TheTextIsFoundAcrossReadsAndWhatCameIsShown) {
    std::thread board([&] {
        pty.Send("HEHEL");
        AwaitState([&] { return pty.Unread() == 0; }, 10000);
        pty.Send("LO, rest");
    });
    ::testing::internal::CaptureStdout();
    const Outcome awaited = AwaitText(port, "HELLO", 5, 10000);
    const std::string shown = ::testing::internal::GetCapturedStdout();
    board.join();
    EXPECT_EQ(awaited, Outcome::kDone);
    EXPECT_EQ(shown, "HEHELLO");
    EXPECT_EQ(pty.Unread(), 6);
}

TEST_F(AfterJobOnPty, ATextThatNeverComesEndsWhenTheTimeIsUp) {
    pty.Send("HELL");
    ASSERT_TRUE(pty.AwaitUnread(4));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(AwaitText(port, "HELLO", 5, 50), Outcome::kNotSeen);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "HELL");
}

TEST_F(AfterJobOnPty, APortLostWhileWaitingEndsTheWait) {
    pty.HangUp();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(AwaitText(port, "HELLO", 5, 10000), Outcome::kPortLost);
    ::testing::internal::GetCapturedStdout();
}

// The sends go out in order, escapes decoded; then the expected answer ends
// the run's part after the job, the time for it and its reason unused.
TEST_F(AfterJobOnPty, SendsGoInOrderThenTheAnswerIsAwaited) {
    AfterJob job;
    job.sends = {"G8000\\r", "\\x41"};
    job.sendCount = 2;
    job.expect = "ok\\r\\n";
    std::thread board([&] {
        if (pty.Take(7) == "G8000\rA") {
            pty.Send("ok\r\n");
        }
    });
    ::testing::internal::CaptureStdout();
    const Outcome outcome = RunAfterJob(port, job);
    const std::string shown = ::testing::internal::GetCapturedStdout();
    board.join();
    EXPECT_EQ(outcome, Outcome::kDone);
    EXPECT_EQ(shown, "ok\r\n");
}

}  // namespace
