#include "tools/hex_line_reader.h"

#include <algorithm>
#include <gtest/gtest.h>
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
        const std::size_t chunk = 64 * 1024;
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

} // namespace
} // namespace kestrum
