#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <memory>
#include <string_view>

// Splits a byte stream into the lines an upgrade file is judged by, the way a
// 128-byte fgets buffer on a text-mode file splits it:
// - a line feed ends a line; a carriage return directly before it is dropped;
// - a line holds at most 127 characters: after 127 the piece is handed out and
//   the rest of the physical line follows as the next line (so a line of
//   exactly 127 characters followed by its line end yields an empty line);
// - the last line needs no line end; an empty tail after the last line end is
//   no line.
// Bytes are taken as they are (NUL and 0x80-0xFF included). Memory use is a
// fixed read buffer whatever the stream's size.
namespace kestrum {

class HexLineReader
{
public:
    static constexpr std::size_t kMaxLine = 127;
    // Bytes taken from the stream per read; lines run across chunk borders.
    static constexpr std::size_t kReadChunk = 64 * 1024;

    explicit HexLineReader(std::istream& in);

    // The next line, valid until the following call; false at the end of the
    // stream or when reading failed (see Failed).
    bool Next(std::string_view& line);

    bool Failed() const { return failed_; }

    // Bytes taken from the stream so far, carriage returns and line feeds included.
    std::uint64_t Position() const { return consumed_; }

private:
    // Fills the buffer; false at the end of the stream or on failure.
    bool Refill();

    std::istream& in_;
    std::unique_ptr<char[]> buffer_; // kReadChunk bytes, left uninitialised
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;
    bool failed_ = false;
    std::array<char, kMaxLine> line_{};
};

} // namespace kestrum
