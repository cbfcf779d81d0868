#include "tools/hex_line_reader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace kestrum {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::istringstream in(text);
    HexLineReader reader(in);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line))
        lines.emplace_back(line);
    EXPECT_FALSE(reader.Failed());
    EXPECT_EQ(reader.Position(), text.size());
    return lines;
}

std::string Repeat(char c, std::size_t n)
{
    return std::string(n, c);
}

TEST(HexLineReader, cutsLinesLikeA128ByteLineBuffer)
{
    const std::string a127 = Repeat('a', 127);
    struct Row
    {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    } rows[] = {
        {"empty", "", {}},
        {"lastLineWithoutEnd", "abc\ndef", {"abc", "def"}},
        {"trailingLineEnd", "abc\n", {"abc"}},
        {"blankLines", "\n\n", {"", ""}},
        {"crlf", "abc\r\ndef\r\n", {"abc", "def"}},
        {"loneCarriageReturnsKept", "a\rb\n\r", {"a\rb", "\r"}},
        {"doubleCarriageReturn", "a\r\r\n", {"a\r"}},
        {"exactly126", Repeat('a', 126) + "\n", {Repeat('a', 126)}},
        {"exactly126Crlf", Repeat('a', 126) + "\r\n", {Repeat('a', 126)}},
        {"exactly127", a127 + "\n", {a127, ""}},
        {"exactly127Crlf", a127 + "\r\n", {a127, ""}},
        {"exactly127AtEnd", a127, {a127}},
        {"longLineInPieces", a127 + a127 + "bc\n", {a127, a127, "bc"}},
        {"carriageReturnAs127th", Repeat('a', 126) + "\rb\n", {Repeat('a', 126) + "\r", "b"}},
        {"anyByte", std::string("\0\x80\xff\n", 4), {std::string("\0\x80\xff", 3)}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(Lines(r.text), r.lines) << r.name;
}

// The reader refills its buffer in chunks; a line end split across two
// chunks must still be one line end.
TEST(HexLineReader, crlfSplitAcrossReadChunks)
{
    {
        const std::size_t chunk = HexLineReader::kReadChunk;
        std::string text;
        std::vector<std::string> expected;
        while (text.size() + 100 < chunk - 1) {
            text += Repeat('x', 98) + "\r\n";
            expected.push_back(Repeat('x', 98));
        }
        const std::size_t fill = chunk - 1 - text.size(); // puts the next '\r' last in the chunk
        text += Repeat('y', fill) + "\r\nz\r\n";
        for (std::size_t i = 0; i < fill; i += 127)
            expected.push_back(Repeat('y', std::min<std::size_t>(127, fill - i)));
        if (fill % 127 == 0)
            expected.push_back("");
        expected.push_back("z");
        EXPECT_EQ(Lines(text), expected) << chunk;
    }
}

// The rules one byte at a time, as plainly as they can be put.
std::vector<std::string> ReferenceLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        open = true;
        if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r')
                ++i;
            lines.push_back(line);
            line.clear();
            open = false;
            continue;
        }
        line += c;
        if (line.size() == 127) {
            lines.push_back(line);
            line.clear();
            open = false;
        }
    }
    if (open && !line.empty())
        lines.push_back(line);
    return lines;
}

// Random lines around the 127-character limit with carriage returns and line
// feeds in every position, long enough to cross several read chunks.
TEST(HexLineReader, agreesWithTheBytewiseRulesOnRandomInput)
{
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        std::string text;
        while (text.size() < 150 * 1000) {
            const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 260)(random);
            for (std::size_t i = 0; i < length; ++i) {
                const int pick = std::uniform_int_distribution<int>(0, 40)(random);
                text += pick == 0 ? '\r' : pick == 1 ? '\n' : static_cast<char>('a' + pick % 26);
            }
            text += std::uniform_int_distribution<int>(0, 1)(random) ? "\r\n" : "\n";
        }
        text.resize(text.size() - std::uniform_int_distribution<std::size_t>(0, 3)(random));
        ASSERT_EQ(Lines(text), ReferenceLines(text)) << "round " << round;
    }
}

} // namespace
} // namespace kestrum
