#include "tools/hex_line_reader.h"

namespace kestrum {

namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
}

HexLineReader::HexLineReader(std::istream& in)
    : in_(in), buffer_(std::make_unique_for_overwrite<char[]>(kReadChunk))
{}

int HexLineReader::Peek()
{
    if (pos_ == end_) {
        // A stream that failed without reaching its end (an unopened file, a
        // device error) is a read failure, not an empty file.
        if (in_.bad() || (in_.fail() && !in_.eof())) {
            failed_ = true;
            return -1;
        }
        if (in_.eof())
            return -1;
        in_.read(buffer_.get(), static_cast<std::streamsize>(kReadChunk));
        pos_ = 0;
        end_ = static_cast<std::size_t>(in_.gcount());
        if (in_.bad()) {
            failed_ = true;
            end_ = 0;
        }
        if (end_ == 0)
            return -1;
    }
    return static_cast<unsigned char>(buffer_[pos_]);
}

bool HexLineReader::Next(std::string_view& line)
{
    std::size_t length = 0;
    for (;;) {
        const int c = Peek();
        if (c < 0) {
            if (failed_ || length == 0)
                return false;
            break;
        }
        ++pos_;
        ++consumed_;
        if (c == '\n')
            break;
        if (c == '\r' && Peek() == '\n') {
            ++pos_;
            ++consumed_;
            break;
        }
        line_[length++] = static_cast<char>(c);
        if (length == kMaxLine)
            break;
    }
    if (failed_)
        return false;
    line = std::string_view(line_.data(), length);
    return true;
}

} // namespace kestrum
