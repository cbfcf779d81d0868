#include "tests/tools/hex_records.h"
#include "tools/upgrade_file.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// A transfer or editing accident that changes one character of a valid file
// must never change what is written to FLASH unnoticed: every such file is
// either rejected, or decodes to exactly the same words (a digit's case, or a
// non-digit standing where the lenient pair conversion already read 0).
namespace kestrum {
namespace {

using test::DataRecord;
using test::kEndRecord;
using Words = std::vector<std::pair<unsigned, unsigned>>;

bool Decode(const std::string& text, Words& words)
{
    std::istringstream check(text);
    if (!ValidateUpgradeFile(check))
        return false;
    std::istringstream in(text);
    UpgradeFileWalk walk(in);
    words.clear();
    while (walk.Next() == UpgradeFileWalk::Step::Data) {
        const HexDataRecord& r = walk.Record();
        for (std::size_t i = 0; i < r.wordCount; ++i)
            words.emplace_back(r.wordAddress + i, r.words[i]);
    }
    return true;
}

TEST(UpgradeFileMutation, everySingleCharacterChange_isRejectedOrDecodesTheSame)
{
    const std::string file = DataRecord(0x0000, {0x00, 0x2A, 0x8C, 0x30, 0xFF, 0x3F}) + "\n" +
                             DataRecord(0x0A50, {0x10, 0x01, 0x07, 0xE0, 0x5A, 0xA5, 0x00, 0x00}) +
                             "\r\n" + DataRecord(0xFFFC, {0x34, 0x12, 0x78, 0x56}) + "\n" +
                             kEndRecord + "\n";
    Words original;
    ASSERT_TRUE(Decode(file, original));

    std::size_t changes = 0, rejected = 0, identical = 0;
    for (std::size_t pos = 0; pos < file.size(); ++pos) {
        if (file[pos] == '\n' || file[pos] == '\r')
            continue; // record characters only
        for (int value = 0; value < 256; ++value) {
            if (static_cast<char>(value) == file[pos])
                continue;
            std::string changed = file;
            changed[pos] = static_cast<char>(value);
            ++changes;
            Words words;
            if (!Decode(changed, words)) {
                ++rejected;
                continue;
            }
            ++identical;
            EXPECT_EQ(words, original)
                << "byte " << pos << " set to " << value << " decodes differently and passes";
        }
    }
    std::printf("single-character changes: %zu, rejected %zu (%.2f%%), same words %zu (%.2f%%)\n",
                changes, rejected,
                100.0 * static_cast<double>(rejected) / static_cast<double>(changes), identical,
                100.0 * static_cast<double>(identical) / static_cast<double>(changes));
}

} // namespace
} // namespace kestrum
