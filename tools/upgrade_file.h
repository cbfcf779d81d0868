#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// Reader of firmware upgrade files (Intel HEX, 16-bit addresses, record types
// 00 and 01 only). The file is streamed twice: ValidateUpgradeFile checks all
// of it before the controller is touched, then UpgradeFileWalk hands out one
// data record at a time for writing. Nothing holds an image of the file, so
// memory use does not depend on its size.
//
// Lines are cut as a 128-byte line buffer would cut them: at most 127
// characters, a longer physical line arriving as several lines; a carriage
// return directly before the line feed is not part of the line. Any byte value
// may appear in the input. Not thread-safe; one pass per stream at a time.
namespace kestrum {

inline constexpr std::size_t kHexLineMax = 127;
// 2 x count + 11 characters must fit in kHexLineMax, so a record holds at most
// 58 data bytes and therefore 29 words.
inline constexpr std::size_t kHexMaxWords = 29;

// The leading characters of `chars` as an unsigned hexadecimal number, either
// case; conversion stops at the first character that is not a hexadecimal
// digit (or at the end of `chars`), so "G1" gives 0 and "1G" gives 1.
std::uint8_t HexByte(std::string_view chars);  // first two characters
std::uint16_t HexWord(std::string_view chars); // first four characters

// Checksum of a record text after its ':': 0 minus the sum of every character
// pair but the last, modulo 256. A valid line's last pair equals it.
std::uint8_t LineChecksum(std::string_view afterColon);

struct UpgradeFileResult
{
    enum class Status
    {
        Valid,
        Invalid,   // a line broke a rule; `error` holds the text for the user
        ReadError, // the stream failed; report it as a file error, not as invalid
    };
    Status status = Status::Valid;
    std::string error;

    explicit operator bool() const { return status == Status::Valid; }
};

// Checks the whole stream from its current position to its end. Valid means
// every line is a well-formed record, an end-of-file record was seen and no
// data record follows one. A data record must also hold whole FLASH words
// (an even count at an even address) that end within FLASH (byte address
// 0xFFFF); those errors, and a character that is not a hexadecimal digit,
// name the line (counted from 1) where they were found.
UpgradeFileResult ValidateUpgradeFile(std::istream& in);

// One data record decoded into FLASH words: words[i] goes to wordAddress + i.
struct HexDataRecord
{
    std::uint16_t wordAddress = 0;
    std::size_t wordCount = 0;
    std::array<std::uint16_t, kHexMaxWords> words{};

    std::span<const std::uint16_t> Words() const { return {words.data(), wordCount}; }
};

class HexLineReader;

// The second pass. Typical use by the upgrade:
//
//   UpgradeFileWalk walk(file);
//   while (walk.Next() == UpgradeFileWalk::Step::Data) {
//       const HexDataRecord& r = walk.Record();
//       for (std::size_t i = 0; i < r.wordCount && !cancelled; ++i)
//           WriteFlash(r.wordAddress + i, r.words[i]);
//       progress.SetPos(walk.Position());
//   }
//   // Step::End means the end-of-file record was reached: the firmware is complete.
//
// Each line is checked again by the same rules as the validation pass: the file
// is read twice, and a file changed in between must not reach the controller.
class UpgradeFileWalk
{
public:
    enum class Step
    {
        Data,    // Record() holds the next data record
        End,     // the end-of-file record was reached; the walk is over
        Stopped, // the input ended without an end record, a read failed or a line
                 // broke a rule; Result() says which
    };

    explicit UpgradeFileWalk(std::istream& in);
    ~UpgradeFileWalk();
    UpgradeFileWalk(const UpgradeFileWalk&) = delete;
    UpgradeFileWalk& operator=(const UpgradeFileWalk&) = delete;

    Step Next();
    const HexDataRecord& Record() const { return record_; }

    // Bytes consumed from the stream so far, line ends included; reaches the
    // file's size at its end, which suits a progress bar over the file size.
    std::uint64_t Position() const;

    // After Step::Stopped: ReadError, or Invalid with the error text ("ERROR -
    // missing end of file record" when the input simply ended).
    const UpgradeFileResult& Result() const { return result_; }

private:
    std::unique_ptr<HexLineReader> lines_;
    HexDataRecord record_;
    UpgradeFileResult result_;
    std::size_t lineNumber_ = 0;
    bool finished_ = false;
};

} // namespace kestrum
