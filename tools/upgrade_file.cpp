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

std::string LineError(const char* what, std::size_t lineNumber)
{
    char text[80];
    std::snprintf(text, sizeof text, "ERROR - %s in line %zu", what, lineNumber);
    return text;
}

// FLASH is written a word at a time, so a data record must cover whole words:
// an odd count or an odd address would leave a byte that no write can carry.
// Its last byte must also lie within the 64 KiB (0x8000 words) the controller
// decodes; a word address beyond would wrap round onto the start of FLASH.
Verdict CheckWordAlignment(std::string_view line, std::size_t lineNumber)
{
    const unsigned count = HexByte(line.substr(1));
    const unsigned address = HexWord(line.substr(3));
    if (count % 2 != 0)
        return Invalid(LineError("odd byte count", lineNumber));
    if (address % 2 != 0)
        return Invalid(LineError("odd address", lineNumber));
    if (address + count > 0x10000)
        return Invalid(LineError("data beyond the end of FLASH", lineNumber));
    return {RecordKind::Data, {}};
}

// The rules in the order a line is judged by: a line is reported by the first
// rule it breaks. `endSeen` tells whether an end-of-file record came before.
// The rules on digits and word alignment come last, so that every line the
// other rules refuse keeps its long-standing message.
Verdict CheckRecord(std::string_view line, bool endSeen, std::size_t lineNumber)
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
    // The pair conversion reads a stray character as the end of a number; a
    // line with one would pass whenever its checksum happened to agree.
    for (std::size_t i = 1; i < line.size(); ++i) {
        if (HexDigit(line[i]) < 0)
            return Invalid(LineError("not a hexadecimal digit", lineNumber));
    }
    if (line[8] == '1')
        return {RecordKind::End, {}};
    return CheckWordAlignment(line, lineNumber);
}

// Files saved on the platform the tool comes from may end with the DOS
// end-of-file character 0x1A, where its text-mode reads stop. It is accepted,
// and the rest of the file ignored, only where the firmware is complete: at
// the start of a line after an end-of-file record, or straight after one on
// its own line. Anywhere else the line is judged as it stands.
bool EndsAtDosEof(std::string_view line, bool endSeen, std::size_t lineNumber)
{
    const std::size_t mark = line.find('\x1A');
    if (mark == std::string_view::npos)
        return false;
    if (mark == 0)
        return endSeen;
    return CheckRecord(line.substr(0, mark), endSeen, lineNumber).kind == RecordKind::End;
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
    std::size_t lineNumber = 0;
    std::string_view line;
    while (lines.Next(line)) {
        ++lineNumber;
        if (EndsAtDosEof(line, endSeen, lineNumber))
            return {};
        Verdict verdict = CheckRecord(line, endSeen, lineNumber);
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
    ++lineNumber_;
    // The walk stops at the first end record, so no end has been seen here.
    if (EndsAtDosEof(line, false, lineNumber_)) {
        finished_ = true;
        record_.wordCount = 0;
        return Step::End;
    }
    Verdict verdict = CheckRecord(line, false, lineNumber_);
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
