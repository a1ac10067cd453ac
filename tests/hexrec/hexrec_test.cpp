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

TEST(RecordAddresses, ExtendedAddressRecordsSetTheBaseOthersKeepIt) {
    EXPECT_EQ(ExtendedAddress(":020000040001F9", 0), 0x10000u);
    EXPECT_EQ(ExtendedAddress(":020000041234B4", 7), 0x12340000u);
    EXPECT_EQ(ExtendedAddress(":020000021234B6", 0), 0x12340u);
    EXPECT_EQ(ExtendedAddress(":02000002f000fc", 0), 0xF0000u);  // lower case
    EXPECT_EQ(ExtendedAddress(":020000040000FA", 0x30000), 0u);  // back to none
    // Data, end and start-address records, and a type 4 of the wrong length.
    for (const char* line : {":0201000041427A", ":00000001FF", ":0400000300001000E9",
                             ":0400000500001000E7", ":03000004000100F8"}) {
        EXPECT_EQ(ExtendedAddress(line, 0x20000), 0x20000u) << line;
    }
}

TEST(RecordAddresses, DataBytesTakeTheLow16BitsOfTheirFullAddress) {
    const char* record = ":02FFFF004142FE";
    EXPECT_EQ(DataByteAddress(record, 0, 0), 0xFFFFu);
    EXPECT_EQ(DataByteAddress(record, 0, 1), 0x0000u);  // wraps as the Z80's address does
    EXPECT_EQ(DataByteAddress(":0201200041425A", 0x10000, 1), 0x0121u);
    EXPECT_EQ(DataByteAddress(":0201200041425A", 0x12340, 0), 0x2460u);
    EXPECT_EQ(DataByteAddress(":02a0b00041427A", 0, 0), 0xA0B0u);
}
