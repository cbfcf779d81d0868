#include "tests/tools/hex_records.h"
#include "tools/upgrade_file.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace kestrum {
namespace {

using test::Counting;
using test::DataRecord;
using test::HexRecord;
using test::kEndRecord;
using Status = UpgradeFileResult::Status;

UpgradeFileResult Validate(const std::string& text)
{
    std::istringstream in(text);
    return ValidateUpgradeFile(in);
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

struct Case
{
    const char* name;
    std::string file;
    std::string error; // empty: the file is valid
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

const std::string kData = DataRecord(0x0100, {0x34, 0x12, 0x78, 0x56});
const std::string kBeginError = "ERROR - line doesn't begin with ':'";
const std::string kLengthError = "ERROR - wrong line length";
const std::string kUnexpected = "ERROR - unexpected input";
const std::string kMissingEnd = "ERROR - missing end of file record";

class ValidateTable : public testing::TestWithParam<Case>
{};

TEST_P(ValidateTable, reportsFirstBrokenRule)
{
    const Case& c = GetParam();
    const UpgradeFileResult r = Validate(c.file);
    if (c.error.empty()) {
        EXPECT_EQ(r.status, Status::Valid) << r.error;
        EXPECT_TRUE(static_cast<bool>(r));
    } else {
        EXPECT_EQ(r.status, Status::Invalid);
        EXPECT_EQ(r.error, c.error);
        EXPECT_FALSE(static_cast<bool>(r));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ErrorTexts, ValidateTable,
    testing::Values(
        Case{"noColon", "00000001FF\n", kBeginError},
        Case{"leadingBlank", " :00000001FF\n", kBeginError},
        Case{"wrongLength", ":01000000FF\n" + kEndRecord + "\n", kLengthError},
        Case{"countSaysMoreThanThere", ":0500000034127856AC\n" + kEndRecord, kLengthError},
        Case{"badType02", HexRecord(0, 2, {0x10, 0x00}) + "\n" + kEndRecord + "\n",
             "ERROR - bad record type '02'"},
        Case{"badType04", HexRecord(0, 4, {0x00, 0x00}) + "\n" + kEndRecord + "\n",
             "ERROR - bad record type '04'"},
        Case{"badTypeFirstDigit", HexRecord(0, 0x10, {}) + "\n", "ERROR - bad record type '10'"},
        Case{"badTypeLetters", ":000000xyFF\n", "ERROR - bad record type 'xy'"},
        // The computed checksum (0xAA) is the one reported, not the stored 0xAB.
        Case{"badChecksum", ":0100000055AB\n" + kEndRecord + "\n", "ERROR - bad checksum '0xaa'"},
        Case{"badChecksumNotDigits", ":0100000055ZZ\n", "ERROR - bad checksum '0xaa'"},
        Case{"badChecksumOnEnd", ":00000001FE\n", "ERROR - bad checksum '0xff'"},
        Case{"dataAfterEnd", kEndRecord + "\n" + kData + "\n", kUnexpected},
        Case{"missingEnd", kData + "\n", kMissingEnd}, Case{"emptyFile", "", kMissingEnd}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// A line that breaks several rules is reported by the earliest of them.
INSTANTIATE_TEST_SUITE_P(
    RuleOrder, ValidateTable,
    testing::Values(Case{"colonBeforeLength", "X0\n", kBeginError},
                    Case{"lengthBeforeType", ":00000002\n", kLengthError},
                    Case{"lengthOfBareColon", ":\n", kLengthError},
                    Case{"typeBeforeChecksum", ":00000002FF\n", "ERROR - bad record type '02'"},
                    Case{"typeBeforeUnexpected", kEndRecord + "\n" + HexRecord(0, 0x20, {}) + "\n",
                         "ERROR - bad record type '20'"},
                    Case{"unexpectedBeforeChecksum", kEndRecord + "\n:0100000055AB\n", kUnexpected},
                    Case{"firstBadLineWins", ":00000002FE\n:0100000055AB\n",
                         "ERROR - bad record type '02'"}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// FLASH takes whole words at word addresses 0 to 0x7FFF; a line with a stray
// character is refused even when its checksum agrees.
INSTANTIATE_TEST_SUITE_P(
    WordsAndDigits, ValidateTable,
    testing::Values(
        Case{"oddCountNamesLine", kData + "\n" + DataRecord(0x10, {1, 2, 3}) + "\n" + kEndRecord,
             "ERROR - odd byte count in line 2"},
        Case{"singleByte", DataRecord(0x10, {1}) + "\n" + kEndRecord,
             "ERROR - odd byte count in line 1"},
        Case{"oddAddress", DataRecord(0x0101, {0xCD, 0xAB}) + "\n" + kEndRecord,
             "ERROR - odd address in line 1"},
        Case{"pastLastWord", DataRecord(0xFFFE, {1, 2, 3, 4}) + "\n" + kEndRecord,
             "ERROR - data beyond the end of FLASH in line 1"},
        Case{"lastWord", DataRecord(0xFFFE, {1, 2}) + "\n" + kEndRecord, ""},
        // "G0" reads as 0 and the checksum was made to agree with that.
        Case{"nonDigitWithMatchingChecksum", ":02001000G001ED\n" + kEndRecord,
             "ERROR - not a hexadecimal digit in line 1"},
        Case{"nonDigitInEndAddress", ":000G0001FF\n", "ERROR - not a hexadecimal digit in line 1"},
        Case{"dosEofAfterEnd", kData + "\r\n" + kEndRecord + "\r\n\x1A", ""},
        Case{"dosEofOnEndLine", kData + "\n" + kEndRecord + "\x1A", ""},
        Case{"dosEofIgnoresRest", kEndRecord + "\n\x1Agarbage\n", ""},
        Case{"dosEofBeforeEnd", kData + "\n\x1A\n" + kEndRecord, kBeginError},
        Case{"dosEofOnDataLine", kData + "\x1A\n" + kEndRecord, kLengthError}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ValidateTable,
    testing::Values(
        Case{"onlyEndRecord", kEndRecord + "\n", ""},
        Case{"endRecordWithoutLineEnd", kData + "\n" + kEndRecord, ""},
        Case{"twoEndRecords", kData + "\n" + kEndRecord + "\n" + kEndRecord + "\n", ""},
        Case{"crlfLineEnds", kData + "\r\n" + kEndRecord + "\r\n", ""},
        Case{"lowerCaseDigits",
             Lower(DataRecord(0xABCE, {0xEF, 0xCD, 0xAB, 0x89})) + "\n" + kEndRecord, ""},
        Case{"blankLineFirst", "\n" + kData + "\n" + kEndRecord + "\n", kBeginError},
        Case{"blankLineBetween", kData + "\n\n" + kEndRecord + "\n", kBeginError},
        Case{"blankLineAfterEnd", kData + "\n" + kEndRecord + "\n\n", kBeginError},
        Case{"crlfBlankLineAfterEnd", kEndRecord + "\r\n\r\n", kBeginError},
        // A carriage return not followed by a line feed is part of the line.
        Case{"loneCarriageReturn", kEndRecord + "\r\r\n", kLengthError},
        // 57 bytes fit a line, but not whole words.
        Case{"record57Bytes", DataRecord(0, Counting(57)) + "\n" + kEndRecord + "\n",
             "ERROR - odd byte count in line 1"},
        Case{"record57BytesCrlf", DataRecord(0, Counting(57)) + "\r\n" + kEndRecord + "\r\n",
             "ERROR - odd byte count in line 1"},
        Case{"record56Bytes", DataRecord(0, Counting(56)) + "\r\n" + kEndRecord + "\r\n", ""},
        // 58 bytes make a 127-character line; its line end arrives as an empty line.
        Case{"record58Bytes", DataRecord(0, Counting(58)) + "\n" + kEndRecord + "\n", kBeginError},
        Case{"record58BytesCrlf", DataRecord(0, Counting(58)) + "\r\n" + kEndRecord + "\r\n",
             kBeginError},
        Case{"record59Bytes", DataRecord(0, Counting(59)) + "\n" + kEndRecord + "\n", kLengthError},
        Case{"nulAtStart", std::string(1, '\0') + kEndRecord + "\n", kBeginError},
        Case{"nulInData", ":010000001" + std::string(1, '\0') + "FF\n",
             "ERROR - bad checksum '0xfe'"},
        Case{"highBytesInType", std::string(":000000\x80\xff") + "FF\n",
             "ERROR - bad record type '\x80\xff'"}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(HexConversions, stopAtFirstNonDigit)
{
    struct Row
    {
        std::string text;
        unsigned byte;
        unsigned word;
    } rows[] = {
        {"0000", 0x00, 0x0000},
        {"1234", 0x12, 0x1234},
        {"abCD", 0xAB, 0xABCD},
        {"FFff", 0xFF, 0xFFFF},
        {"G123", 0x00, 0x0000},
        {"1G23", 0x01, 0x0001},
        {"12G3", 0x12, 0x0012},
        {"123G", 0x12, 0x0123},
        {" 123", 0x00, 0x0000},
        {"-1FF", 0x00, 0x0000},
        {"\xff"
         "123",
         0x00, 0x0000},
        {"1\x80"
         "23",
         0x01, 0x0001},
        {"", 0x00, 0x0000},
        {"7", 0x07, 0x0007},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(HexByte(r.text), r.byte) << r.text;
        EXPECT_EQ(HexWord(r.text), r.word) << r.text;
    }
}

TEST(HexConversions, lineChecksum_sumsEveryPairButTheLast)
{
    EXPECT_EQ(LineChecksum("00000001FF"), 0xFF);
    EXPECT_EQ(LineChecksum("0100000055AB"), 0xAA);
    EXPECT_EQ(LineChecksum("0100000055"), 0xFF);  // the "55" is taken as the checksum
    EXPECT_EQ(LineChecksum("01000000550"), 0xFF); // an odd last character is dropped
    EXPECT_EQ(LineChecksum("10"), 0x00);
    EXPECT_EQ(LineChecksum(""), 0x00);
}

TEST(ValidateUpgradeFile, streamThatCannotBeRead_isAReadErrorNotAnInvalidFile)
{
    std::istringstream in(kEndRecord + "\n");
    in.setstate(std::ios::failbit);
    const UpgradeFileResult r = ValidateUpgradeFile(in);
    EXPECT_EQ(r.status, Status::ReadError);
    EXPECT_FALSE(static_cast<bool>(r));
}

} // namespace
} // namespace kestrum
