#include "tools/upgrade_file.h"

#include "tools/hex_line_reader.h"

#include <cstdio>

namespace kestrum {

namespace {

// Digit values by byte, -1 for every other byte. Indexed through unsigned
// char, so bytes 0x80-0xFF are plain non-digits, never negative indexes.
constexpr std::array<signed char, 256> kDigitValue = [] {
    std::array<signed char, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        table['a' + i] = static_cast<signed char>(10 + i);
        table['A' + i] = static_cast<signed char>(10 + i);
    }
    return table;
}();

int HexDigit(char c)
{
    return kDigitValue[static_cast<unsigned char>(c)];
}

unsigned HexValue(std::string_view chars, std::size_t digits)
{
    unsigned value = 0;
    for (std::size_t i = 0; i < digits && i < chars.size(); ++i) {
        const int d = HexDigit(chars[i]);
        if (d < 0)
            break;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value;
}

enum class RecordKind
{
    Data,
    End,
    Invalid
};

struct Verdict
{
    RecordKind kind;
    std::string error;
};

Verdict Invalid(std::string text)
{
    return {RecordKind::Invalid, std::move(text)};
}

Verdict BadType(std::string_view line)
{
    std::string text = "ERROR - bad record type '";
    text += line[7];
    text += line[8];
    text += '\'';
    return Invalid(std::move(text));
}

// The rules in the order a line is judged by: a line is reported by the first
// rule it breaks. `endSeen` tells whether an end-of-file record came before.
Verdict CheckRecord(std::string_view line, bool endSeen)
{
    if (line.empty() || line[0] != ':')
        return Invalid("ERROR - line doesn't begin with ':'");
    const unsigned count = HexByte(line.substr(1));
    if (line.size() != 2 * count + 11)
        return Invalid("ERROR - wrong line length");
    if (line[7] != '0')
        return BadType(line);
    if (line[8] == '0' && endSeen)
        return Invalid("ERROR - unexpected input");
    if (line[8] != '0' && line[8] != '1')
        return BadType(line);

    const std::uint8_t computed = LineChecksum(line.substr(1));
    const std::uint8_t stored = HexByte(line.substr(line.size() - 2));
    if (computed != stored) {
        // The message names the checksum the line should carry. The stored one
        // is on the line for anyone to read, and when its characters are not
        // hexadecimal digits its value (0) would say nothing at all.
        char text[40];
        std::snprintf(text, sizeof text, "ERROR - bad checksum '0x%02x'", computed);
        return Invalid(text);
    }
    return {line[8] == '1' ? RecordKind::End : RecordKind::Data, {}};
}

void Decode(std::string_view line, HexDataRecord& record)
{
    const unsigned count = HexByte(line.substr(1));
    record.wordAddress = static_cast<std::uint16_t>(HexWord(line.substr(3)) >> 1);
    record.wordCount = count / 2;
    for (std::size_t i = 0; i < record.wordCount; ++i) {
        const unsigned low = HexByte(line.substr(9 + 4 * i));
        const unsigned high = HexByte(line.substr(11 + 4 * i));
        record.words[i] = static_cast<std::uint16_t>(high * 256 + low);
    }
}

UpgradeFileResult MissingEnd()
{
    return {UpgradeFileResult::Status::Invalid, "ERROR - missing end of file record"};
}

UpgradeFileResult ReadFailure()
{
    return {UpgradeFileResult::Status::ReadError, {}};
}

} // namespace

std::uint8_t HexByte(std::string_view chars)
{
    return static_cast<std::uint8_t>(HexValue(chars, 2));
}

std::uint16_t HexWord(std::string_view chars)
{
    return static_cast<std::uint16_t>(HexValue(chars, 4));
}

std::uint8_t LineChecksum(std::string_view afterColon)
{
    const std::size_t pairs = afterColon.size() / 2;
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < pairs; ++i)
        sum += HexByte(afterColon.substr(2 * i));
    return static_cast<std::uint8_t>(0u - sum);
}

UpgradeFileResult ValidateUpgradeFile(std::istream& in)
{
    HexLineReader lines(in);
    bool endSeen = false;
    std::string_view line;
    while (lines.Next(line)) {
        Verdict verdict = CheckRecord(line, endSeen);
        if (verdict.kind == RecordKind::Invalid)
            return {UpgradeFileResult::Status::Invalid, std::move(verdict.error)};
        if (verdict.kind == RecordKind::End)
            endSeen = true;
    }
    if (lines.Failed())
        return ReadFailure();
    if (!endSeen)
        return MissingEnd();
    return {};
}

UpgradeFileWalk::UpgradeFileWalk(std::istream& in) : lines_(std::make_unique<HexLineReader>(in)) {}

UpgradeFileWalk::~UpgradeFileWalk() = default;

std::uint64_t UpgradeFileWalk::Position() const
{
    return lines_->Position();
}

UpgradeFileWalk::Step UpgradeFileWalk::Next()
{
    if (finished_)
        return result_ ? Step::End : Step::Stopped;

    std::string_view line;
    if (!lines_->Next(line)) {
        finished_ = true;
        result_ = lines_->Failed() ? ReadFailure() : MissingEnd();
        return Step::Stopped;
    }
    Verdict verdict = CheckRecord(line, false);
    if (verdict.kind == RecordKind::Invalid) {
        finished_ = true;
        result_ = {UpgradeFileResult::Status::Invalid, std::move(verdict.error)};
        return Step::Stopped;
    }
    if (verdict.kind == RecordKind::End) {
        finished_ = true;
        record_.wordCount = 0;
        return Step::End;
    }
    Decode(line, record_);
    return Step::Data;
}

} // namespace kestrum
