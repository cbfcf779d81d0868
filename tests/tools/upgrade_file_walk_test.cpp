#include "tests/tools/hex_records.h"
#include "tools/upgrade_file.h"

#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrum {
namespace {

using test::Counting;
using test::DataRecord;
using test::HexRecord;
using test::kEndRecord;
using Step = UpgradeFileWalk::Step;
using Words = std::vector<std::pair<unsigned, unsigned>>; // (word address, word)

struct Walked
{
    Words words;
    Step last;
    UpgradeFileResult result;
    std::size_t records = 0;
};

Walked Walk(const std::string& text)
{
    std::istringstream in(text);
    UpgradeFileWalk walk(in);
    Walked out;
    while ((out.last = walk.Next()) == Step::Data) {
        ++out.records;
        const HexDataRecord& r = walk.Record();
        for (std::size_t i = 0; i < r.wordCount; ++i)
            out.words.emplace_back(r.wordAddress + i, r.words[i]);
    }
    out.result = walk.Result();
    return out;
}

struct Case
{
    const char* name;
    std::string file;
    Words words;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class WalkTable : public testing::TestWithParam<Case>
{};

TEST_P(WalkTable, yieldsFlashWordsUpToTheEndRecord)
{
    const Case& c = GetParam();
    const Walked w = Walk(c.file);
    EXPECT_EQ(w.last, Step::End) << w.result.error;
    EXPECT_EQ(w.words, c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Records, WalkTable,
    testing::Values(
        // Low byte first: bytes 34 12 78 56 at byte address 0x0100.
        Case{"wordAddressExample",
             DataRecord(0x0100, {0x34, 0x12, 0x78, 0x56}) + "\n" + kEndRecord,
             {{0x0080, 0x1234}, {0x0081, 0x5678}}},
        Case{"topOfAddressSpace",
             DataRecord(0xFFFE, {0xFF, 0x3F}) + "\n" + kEndRecord,
             {{0x7FFF, 0x3FFF}}},
        Case{"onlyEndRecordWritesNothing", kEndRecord + "\n", {}},
        Case{"crlfAndLowerCase",
             ":04000000aabbccdd" + std::string("EE") + "\r\n" + kEndRecord + "\r\n",
             {{0x0000, 0xBBAA}, {0x0001, 0xDDCC}}},
        Case{"record56Bytes", DataRecord(0x0200, Counting(56)) + "\n" + kEndRecord,
             [] {
                 Words w;
                 for (unsigned i = 0; i < 28; ++i)
                     w.emplace_back(0x0100 + i, (2 * i + 1) * 256 + 2 * i);
                 return w;
             }()},
        // The walk ends at the first end record and never looks further.
        Case{"stopsAtFirstEnd",
             DataRecord(0, {1, 0}) + "\n" + kEndRecord + "\n" + DataRecord(2, {2, 0}) + "\n",
             {{0x0000, 0x0001}}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(UpgradeFileWalk, lineChangedSinceValidation_stopsTheWalkWithItsError)
{
    const Walked w = Walk(DataRecord(0, {1, 0}) + "\n:0100000055AB\n" + kEndRecord + "\n");
    EXPECT_EQ(w.last, Step::Stopped);
    EXPECT_EQ(w.result.status, UpgradeFileResult::Status::Invalid);
    EXPECT_EQ(w.result.error, "ERROR - bad checksum '0xaa'");
    EXPECT_EQ(w.records, 1u);
}

// Records that validation refuses for FLASH's word width stop the walk too,
// before any of their words is handed out.
TEST(UpgradeFileWalk, recordsThatAreNotWholeWords_stopTheWalk)
{
    const struct
    {
        std::string record;
        std::string error;
    } rows[] = {
        {DataRecord(0x0010, {0x01, 0x02, 0x03}), "ERROR - odd byte count in line 2"},
        {DataRecord(0x0010, {0x01}), "ERROR - odd byte count in line 2"},
        {DataRecord(0x0101, {0xCD, 0xAB}), "ERROR - odd address in line 2"},
        {DataRecord(0xFFFE, {1, 2, 3, 4}), "ERROR - data beyond the end of FLASH in line 2"},
    };
    for (const auto& row : rows) {
        const Walked w = Walk(DataRecord(0, {1, 0}) + "\n" + row.record + "\n" + kEndRecord);
        EXPECT_EQ(w.last, Step::Stopped) << row.error;
        EXPECT_EQ(w.result.error, row.error);
        EXPECT_EQ(w.words, (Words{{0, 1}})) << row.error;
    }
}

TEST(UpgradeFileWalk, dosEofAfterTheEndRecord_endsTheWalk)
{
    const Walked w = Walk(DataRecord(0, {1, 0}) + "\n" + kEndRecord + "\x1A");
    EXPECT_EQ(w.last, Step::End) << w.result.error;
    EXPECT_EQ(w.words, (Words{{0, 1}}));
}

TEST(UpgradeFileWalk, inputEndingWithoutEndRecord_stops)
{
    const Walked w = Walk(DataRecord(0, {1, 0}) + "\n");
    EXPECT_EQ(w.last, Step::Stopped);
    EXPECT_EQ(w.result.error, "ERROR - missing end of file record");
    EXPECT_EQ(w.records, 1u);
}

TEST(UpgradeFileWalk, staysFinishedAfterTheEnd)
{
    std::istringstream in(kEndRecord + "\n" + DataRecord(0, {1, 0}) + "\n");
    UpgradeFileWalk walk(in);
    EXPECT_EQ(walk.Next(), Step::End);
    EXPECT_EQ(walk.Next(), Step::End);
    EXPECT_TRUE(static_cast<bool>(walk.Result()));
}

TEST(UpgradeFileWalk, position_countsEveryByteSoProgressReachesTheFileSize)
{
    const std::string first = DataRecord(0, {1, 0}) + "\r\n";
    const std::string file = first + DataRecord(2, {2, 0}) + "\r\n" + kEndRecord + "\r\n";
    std::istringstream in(file);
    UpgradeFileWalk walk(in);
    ASSERT_EQ(walk.Next(), Step::Data);
    EXPECT_EQ(walk.Position(), first.size());
    ASSERT_EQ(walk.Next(), Step::Data);
    ASSERT_EQ(walk.Next(), Step::End);
    EXPECT_EQ(walk.Position(), file.size());
}

// A stream buffer that hands out its text and then fails, as a disk or
// network file can fail in the middle of a read.
class FailingBuffer : public std::streambuf
{
public:
    explicit FailingBuffer(std::string text) : text_(std::move(text))
    {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::runtime_error("device error"); }

private:
    std::string text_;
};

TEST(UpgradeFileWalk, readFailureMidFileIsAReadError)
{
    FailingBuffer buffer(DataRecord(0, {1, 0}) + "\n" + DataRecord(2, {2, 0}));
    std::istream in(&buffer);
    const UpgradeFileResult validated = ValidateUpgradeFile(in);
    EXPECT_EQ(validated.status, UpgradeFileResult::Status::ReadError);

    FailingBuffer again(DataRecord(0, {1, 0}) + "\n" + DataRecord(2, {2, 0}));
    std::istream second(&again);
    UpgradeFileWalk walk(second);
    Step step;
    while ((step = walk.Next()) == Step::Data) {
    }
    EXPECT_EQ(step, Step::Stopped);
    EXPECT_EQ(walk.Result().status, UpgradeFileResult::Status::ReadError);
}

} // namespace
} // namespace kestrum
