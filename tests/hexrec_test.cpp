// Hex digit conversion and the record-line rules.
#include "hexrec/hexrec.h"

#include <gtest/gtest.h>

#include <string>

TEST(HexDigits, BothCasesGiveTheSameValues) {
    const std::string upper = "0123456789ABCDEF";
    const std::string lower = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(AsciiToHexVal(upper[i]), i) << upper[i];
        EXPECT_EQ(AsciiToHexVal(lower[i]), i) << lower[i];
    }
    EXPECT_EQ(HexStrToByte("FF"), 0xFF);
    EXPECT_EQ(HexStrToByte("a5"), 0xA5);
    EXPECT_EQ(HexStrToByte("00"), 0x00);
    EXPECT_TRUE(IsHexDigit('f'));
    EXPECT_FALSE(IsHexDigit('g'));
    EXPECT_FALSE(IsHexDigit(':'));
}

TEST(RecordFields, LengthAndTypeAreDecoded) {
    EXPECT_EQ(RecordLength(":020000040000FA"), 2);
    EXPECT_EQ(RecordType(":020000040000FA"), 4);
    EXPECT_EQ(RecordLength(":10010000214601360121470136007EFE09D2190140"), 16);
    EXPECT_EQ(RecordType(":10010000214601360121470136007EFE09D2190140"), 0);
    EXPECT_EQ(RecordLength(":1a0000000000"), 26);
    EXPECT_EQ(RecordLength(":FF"), 255);
}

TEST(RecordFields, OnlyAnEmptyRecordOfNonZeroTypeEndsTheUpload) {
    EXPECT_TRUE(IsEndRecord(RecordLength(":00000001FF"), RecordType(":00000001FF")));
    EXPECT_FALSE(IsEndRecord(0, 0));  // an empty data record is sent like any other
    EXPECT_FALSE(IsEndRecord(2, 4));
    EXPECT_EQ(RecordChars(0), 11u);
    EXPECT_EQ(RecordChars(16), 43u);
    EXPECT_EQ(RecordChars(255), kMaxRecordChars);
}

TEST(RecordLines, LineEndsAreDropped) {
    char lf[] = ":00000001FF\n";
    char crlf[] = ":00000001FF\r\n";
    char none[] = ":00000001FF";
    EXPECT_EQ(StripLineEnd(lf, sizeof lf - 1), 11u);
    EXPECT_EQ(StripLineEnd(crlf, sizeof crlf - 1), 11u);
    EXPECT_EQ(StripLineEnd(none, sizeof none - 1), 11u);
    EXPECT_STREQ(crlf, ":00000001FF");
}

TEST(RecordLines, SoundLinesPass) {
    for (const std::string line : {":00000001FF", ":020000040000FA", ":020000040000fa",
                                   ":10010000214601360121470136007EFE09D2190140"}) {
        EXPECT_EQ(CheckRecordLine(line.c_str(), line.size()), nullptr) << line;
    }
    // The checksum is the target's business: a wrong one passes here.
    const std::string badSum = ":00000001FE";
    EXPECT_EQ(CheckRecordLine(badSum.c_str(), badSum.size()), nullptr);
    // The largest record, 255 data bytes.
    const std::string longest = ":FF000000" + std::string(510, 'A') + "00";
    EXPECT_EQ(CheckRecordLine(longest.c_str(), longest.size()), nullptr);
}

TEST(RecordLines, BrokenLinesAreRefusedWithAReason) {
    for (const std::string line : {
             "00000001FF",                   // no colon
             ";00000001FF",                  // another first character
             ":0000000GFF",                  // not hex
             ":000000 01FF",                 // a space inside
             ":0000",                        // too short for the fields
             ":",                            // a bare colon
             ":020000040000F",               // one digit short
             ":020000040000FA0",             // one digit over
             ":10010000214601360121470136",  // length field promises more
         }) {
        EXPECT_NE(CheckRecordLine(line.c_str(), line.size()), nullptr) << line;
    }
    const std::string withNul(
        ":0000\0\x30"
        "01FF",
        11);
    EXPECT_NE(CheckRecordLine(withNul.c_str(), withNul.size()), nullptr);
}
