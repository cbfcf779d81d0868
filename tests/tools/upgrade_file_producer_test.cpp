#include "tests/support/temp_dir.h"
#include "tools/upgrade_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

// Round trips through an independent Intel HEX producer: srecord's srec_cat
// turns random binaries into HEX files; walking them must give back exactly
// the binaries' words.
namespace kestrum {
namespace {

namespace fs = std::filesystem;
using WordMap = std::map<unsigned, unsigned>; // word address -> word

bool HaveSrecCat()
{
    return std::system("command -v srec_cat >/dev/null 2>&1") == 0;
}

using ScratchDir = kestrum::test::TempDir;

struct Segment
{
    unsigned byteAddress; // even
    std::vector<std::uint8_t> bytes;
};

void WriteBinary(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

WordMap ExpectedWords(const std::vector<Segment>& segments)
{
    WordMap words;
    for (const Segment& s : segments)
        for (std::size_t i = 0; i + 1 < s.bytes.size(); i += 2)
            words[(s.byteAddress + i) / 2] = s.bytes[i] | (s.bytes[i + 1] << 8);
    return words;
}

WordMap WalkFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    UpgradeFileWalk walk(in);
    WordMap words;
    UpgradeFileWalk::Step step;
    while ((step = walk.Next()) == UpgradeFileWalk::Step::Data) {
        const HexDataRecord& r = walk.Record();
        for (std::size_t i = 0; i < r.wordCount; ++i)
            EXPECT_TRUE(words.emplace(r.wordAddress + i, r.words[i]).second)
                << "word written twice";
    }
    EXPECT_EQ(step, UpgradeFileWalk::Step::End) << walk.Result().error;
    return words;
}

std::size_t LongestLine(const fs::path& path)
{
    std::ifstream in(path);
    std::string line;
    std::size_t longest = 0;
    while (std::getline(in, line))
        longest = std::max(longest, line.size());
    return longest;
}

TEST(UpgradeFileFromSrecCat, walk_givesBackTheBinaryWords)
{
    if (!HaveSrecCat())
        GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";

    ScratchDir dir;
    std::mt19937 random(20080612);
    std::uniform_int_distribution<int> byte(0, 255);
    auto randomBytes = [&](std::size_t n) {
        std::vector<std::uint8_t> v(n);
        for (auto& b : v)
            b = static_cast<std::uint8_t>(byte(random));
        return v;
    };

    // Even block sizes: the controller's words are byte pairs starting at even
    // addresses, which is what its firmware files hold.
    for (int blockSize : {2, 16, 32, 56}) {
        for (const bool crlf : {false, true}) {
            SCOPED_TRACE("block size " + std::to_string(blockSize) + (crlf ? " crlf" : ""));
            const std::vector<Segment> segments = {
                {0x0000, randomBytes(2 * 1500)},
                {0x4A02, randomBytes(2 * 331)},
                {0xFF00, randomBytes(256)}, // up to the last byte address
            };
            std::string command = "srec_cat";
            for (std::size_t i = 0; i < segments.size(); ++i) {
                const fs::path bin = dir.Path() / ("part" + std::to_string(i) + ".bin");
                WriteBinary(bin, segments[i].bytes);
                command += " '" + bin.string() + "' -Binary -offset " +
                           std::to_string(segments[i].byteAddress);
            }
            const fs::path hex = dir.Path() / "image.hex";
            command += " -Output '" + hex.string() + "' -Intel -address-length=2" +
                       " -Output_Block_Size=" + std::to_string(blockSize);
            if (crlf)
                command += " -CRLF";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            ASSERT_EQ(LongestLine(hex), 2u * blockSize + 11 + (crlf ? 1 : 0));

            std::ifstream in(hex, std::ios::binary);
            const UpgradeFileResult validated = ValidateUpgradeFile(in);
            EXPECT_TRUE(static_cast<bool>(validated)) << validated.error;
            EXPECT_EQ(WalkFile(hex), ExpectedWords(segments));
        }
    }
}

// The producer's own longest lines: 57 data bytes fit a line, 58 do not;
// 57 are refused all the same, as FLASH takes whole words.
TEST(UpgradeFileFromSrecCat, lineLengthLimitAtFiftySevenBytes)
{
    if (!HaveSrecCat())
        GTEST_SKIP() << "srec_cat (Debian package srecord) is not installed";
    ScratchDir dir;
    const fs::path bin = dir.Path() / "image.bin";
    WriteBinary(bin, std::vector<std::uint8_t>(58 * 4, 0x5A));
    const struct
    {
        int blockSize;
        std::string error;
    } rows[] = {{56, ""},
                {57, "ERROR - odd byte count in line 1"},
                {58, "ERROR - line doesn't begin with ':'"}};
    for (const auto& row : rows) {
        const fs::path hex = dir.Path() / "image.hex";
        const std::string command = "srec_cat '" + bin.string() + "' -Binary -Output '" +
                                    hex.string() + "' -Intel -address-length=2" +
                                    " -Output_Block_Size=" + std::to_string(row.blockSize);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(hex, std::ios::binary);
        const UpgradeFileResult r = ValidateUpgradeFile(in);
        EXPECT_EQ(r.error, row.error) << row.blockSize;
        EXPECT_EQ(static_cast<bool>(r), row.error.empty()) << row.blockSize;
    }
}

} // namespace
} // namespace kestrum
