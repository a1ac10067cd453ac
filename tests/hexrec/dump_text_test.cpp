// Address arguments and the monitor's dump answers.
#include "hexrec/dump_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// 01..10 at 0000: 10 + 00 + 00 + (1 + ... + 16 = 88) = 98, so the checksum is 68.
const std::string kAnswerAt0000 = "0102030405060708090A0B0C0D0E0F1068";

const char* Check(const std::string& answer, uint32_t address) {
    return CheckDumpAnswer(answer.data(), answer.size(), address);
}

}  // namespace

TEST(ParseHexAddress, OneToFourDigitsInEitherCaseAreReadAsHex) {
    EXPECT_EQ(ParseHexAddress("0000"), 0);
    EXPECT_EQ(ParseHexAddress("ff00"), 0xFF00);
    EXPECT_EQ(ParseHexAddress("FF00"), 0xFF00);
    EXPECT_EQ(ParseHexAddress("fFfF"), 0xFFFF);
    EXPECT_EQ(ParseHexAddress("1234"), 0x1234);
    EXPECT_EQ(ParseHexAddress("ABC"), 0xABC);
    EXPECT_EQ(ParseHexAddress("10"), 0x10);  // hex, not decimal
    EXPECT_EQ(ParseHexAddress("f"), 0xF);
    EXPECT_EQ(ParseHexAddress("0"), 0);
}

TEST(ParseHexAddress, EmptyLongAndNonHexArgumentsAreRefused) {
    for (const char* text : {"", "10000", "00000", "FFFFF", "123456789012345678901234567890",
                             "12g4", "0x12", "-1", "+12", " 123", "123 ", "12:4", "G", "1.5"}) {
        EXPECT_EQ(ParseHexAddress(text), -1) << "'" << text << "'";
    }
}

TEST(DumpAnswer, WholeAnswersWithTheirRecordChecksumAreSound) {
    EXPECT_EQ(Check(kAnswerAt0000, 0x0000), nullptr);
    EXPECT_EQ(Check("0102030405060708090a0b0c0d0e0f1068", 0x0000), nullptr);
    // Sixteen zero bytes: the checksum is that of the header alone.
    EXPECT_EQ(Check(std::string(32, '0') + "01", 0xFFF0), nullptr);  // 10+FF+F0 = 1FF
    EXPECT_EQ(Check(std::string(32, '0') + "F0", 0x0000), nullptr);
    EXPECT_EQ(Check(std::string(32, 'F') + "00", 0x0000), nullptr);  // 10 + 16*FF = 1000
}

TEST(DumpAnswer, ShortLongAndNonHexAnswersAreRefused) {
    const std::string shortText = "is short";
    EXPECT_EQ(Check("", 0), shortText);
    EXPECT_EQ(Check("0102030405", 0), shortText);
    EXPECT_EQ(Check(kAnswerAt0000.substr(0, 33), 0), shortText);
    EXPECT_NE(Check(kAnswerAt0000 + "0", 0), nullptr);

    const std::string notHex = "holds a character that is not a hex digit";
    for (std::size_t at : {0u, 17u, 33u}) {
        for (char bad : {'G', 'g', ' ', '\r', '\n', ':', '\0', '\xB0'}) {
            std::string answer = kAnswerAt0000;
            answer[at] = bad;
            EXPECT_EQ(Check(answer, 0), notHex) << "at " << at << " byte " << int(bad);
        }
    }
}

TEST(DumpAnswer, ChecksumMustMatchTheDataAndTheAddress) {
    const std::string wrongSum = "has a checksum that does not match";
    std::string answer = kAnswerAt0000;
    answer[33] = '9';  // checksum 69
    EXPECT_EQ(Check(answer, 0x0000), wrongSum);
    answer = kAnswerAt0000;
    answer[5] = '4';  // a data byte 03 became 04
    EXPECT_EQ(Check(answer, 0x0000), wrongSum);
    // The same answer at another address: both address bytes count.
    EXPECT_EQ(Check(kAnswerAt0000, 0x0010), wrongSum);
    EXPECT_EQ(Check(kAnswerAt0000, 0x1000), wrongSum);
    EXPECT_EQ(Check("0102030405060708090A0B0C0D0E0F1058", 0x0010), nullptr);
}
