// Hex digit conversion and the record-line rules.
#include "hexrec/hexrec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
                                   ":020000021000EC", ":0400000300001000E9", ":0400000500001000E7",
                                   ":0000000000", ":10010000214601360121470136007EFE09D2190140"}) {
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
    // Types other than 00..05, read as decimal, would pass for another.
    const std::string kType = "has a record type other than 00 to 05";
    for (const std::string line : {":0000000AF6", ":0000000FF1", ":00000006FA", ":00000010F0"}) {
        EXPECT_EQ(CheckRecordLine(line.c_str(), line.size()), kType) << line;
    }
    // A length its type does not take: an empty one would end the upload.
    const std::string kLength = "has a length its record type does not take";
    for (const std::string line : {":00000004FC", ":00000002FE", ":0100000100FE",
                                   ":03000004000100F8", ":020000030000FB", ":00000005FB"}) {
        EXPECT_EQ(CheckRecordLine(line.c_str(), line.size()), kLength) << line;
    }
    const std::string longer = ":FF" + std::string(kMaxRecordChars, '0');
    EXPECT_EQ(CheckRecordLine(longer.c_str(), longer.size()),
              std::string("is longer than the largest record"));
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

TEST(RecordText, LinesEndAtLfOrCrLfAndTheLastNeedsNone) {
    const std::string text = ":A\n:B\r\n\n:C\r\r\n:D";
    std::vector<std::string> lines;
    std::size_t at = 0;
    std::size_t length = 0;
    for (const char* line; (line = NextLine(text.data(), text.size(), &at, &length)) != nullptr;) {
        lines.emplace_back(line, length);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{":A", ":B", "", ":C\r", ":D"}));
    EXPECT_EQ(at, text.size());
}

TEST(RecordText, TheCheckNamesTheFirstBadLineUpToTheEndRecord) {
    const auto check = [](const std::string& text, long* line) {
        const char* why = CheckRecordText(text.data(), text.size(), line);
        return std::string(why == nullptr ? "" : why);
    };
    long line = 0;
    EXPECT_EQ(check(":020000040000FA\r\n\r\n:00000001FF\r\nanything after the end\n", &line), "");
    EXPECT_EQ(check("", &line), "");
    EXPECT_EQ(check(":020000040000FA", &line), "");
    EXPECT_EQ(check(":020000040000FA\n\n:1000000001\n:00000001FF\n", &line),
              "does not have the length its length field gives");
    EXPECT_EQ(line, 3);
    EXPECT_EQ(check(":0100000055AA\n:00000004FC\n:0100000055AA\n", &line),
              "has a length its record type does not take");
    EXPECT_EQ(line, 2);
}

TEST(RecordText, RecordsComeInOrderUpToTheEndRecordCountedAsSent) {
    const std::string text =
        ":020000040000FA\r\n\n:0380000001020377\n:00000001FF\n:0380000001020377\n";
    char line[kMaxRecordChars + 2];
    std::size_t at = 0;
    long number = 0;
    ASSERT_EQ(NextRecord(text.data(), text.size(), &at, &number, line, sizeof line), 15u);
    EXPECT_STREQ(line, ":020000040000FA");
    ASSERT_EQ(NextRecord(text.data(), text.size(), &at, &number, line, sizeof line), 17u);
    EXPECT_STREQ(line, ":0380000001020377");
    EXPECT_EQ(number, 3);  // the empty line passed over
    EXPECT_EQ(NextRecord(text.data(), text.size(), &at, &number, line, sizeof line), 0u);
    EXPECT_EQ(number, 4);

    const UploadWork work = CountUploadWork(text.data(), text.size());
    EXPECT_EQ(work.records, 2);
    EXPECT_EQ(work.dataBytes, 3);  // the extended address is no data
    EXPECT_EQ(work.sentChars, 14 + 16);
}

TEST(RecordText, AnUploadFromALineSendsTheExtendedAddressInForceFirst) {
    const std::string text =
        ":020000040001F9\n:0380000001020377\n:020000021000EC\n\n:0380100001020367\n"
        ":00000001FF\n";
    const auto start = [&](long fromLine, UploadCursor* cursor) {
        return FindUploadStart(text.data(), text.size(), fromLine, cursor);
    };
    UploadCursor cursor;
    char line[kMaxRecordChars + 2];
    long recordLine = 0;
    // Line 4 is empty: the upload starts at line 5, after the type 02 of line 3.
    ASSERT_TRUE(start(4, &cursor));
    ASSERT_NE(NextUploadRecord(text.data(), text.size(), &cursor, &recordLine, line, sizeof line),
              0u);
    EXPECT_STREQ(line, ":020000021000EC");
    EXPECT_EQ(recordLine, 3);
    EXPECT_EQ(NextUploadLine(text.data(), text.size(), cursor), 5);
    EXPECT_EQ(CountUploadWork(text.data(), text.size(), UploadCursor{}).records, 4);

    // A first record that sets the address itself needs none before it.
    ASSERT_TRUE(start(3, &cursor));
    EXPECT_EQ(CountUploadWork(text.data(), text.size(), cursor).records, 2);
    ASSERT_TRUE(start(2, &cursor));
    EXPECT_EQ(CountUploadWork(text.data(), text.size(), cursor).records, 4);
    // Nothing on or after the end record's line.
    EXPECT_FALSE(start(6, &cursor));
}

// A plain binary as the HEX text of 16-byte records: the same lines a save
// of that memory would write, then the end record; nothing past FFFF.
TEST(BinaryRecords, SixteenBytesARecordTheLastShorterThenTheEndRecord) {
    unsigned char bytes[18];
    for (unsigned i = 0; i < sizeof bytes; ++i) {
        bytes[i] = static_cast<unsigned char>(i);
    }
    char text[256];
    const std::size_t length = BinaryRecords(bytes, sizeof bytes, 0x8000, text, sizeof text);
    EXPECT_EQ(std::string(text, length),
              ":10800000000102030405060708090A0B0C0D0E0FF8\n"
              ":0280100010114D\n"
              ":00000001FF\n");
    long badLine = 0;
    EXPECT_EQ(CheckRecordText(text, length, &badLine), nullptr);
    // The last byte at FFFF fits; one more does not, nor a text too small.
    EXPECT_GT(BinaryRecords(bytes, 1, 0xFFFF, text, sizeof text), 0u);
    EXPECT_EQ(BinaryRecords(bytes, 2, 0xFFFF, text, sizeof text), 0u);
    EXPECT_EQ(BinaryRecords(bytes, sizeof bytes, 0x8000, text, 50), 0u);
}
